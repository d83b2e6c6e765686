#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/byte_buffer_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"

namespace flutter {
namespace {

EncodableValue NestedLists(size_t depth) {
  EncodableValue value;
  for (size_t i = 0; i < depth; ++i) {
    value = EncodableValue(EncodableList{value});
  }
  return value;
}

EncodableValue NestedMaps(size_t depth) {
  EncodableValue value;
  for (size_t i = 0; i < depth; ++i) {
    value = EncodableValue(EncodableMap{{value, EncodableValue()}});
  }
  return value;
}

TEST(EncodableValueOrderingTest, NestedValuesOrderLikeTheirContents) {
  const double nan = std::nan("");
  struct Case {
    EncodableValue smaller;
    EncodableValue larger;
  };
  const std::vector<Case> cases = {
      {EncodableList{1, "b"}, EncodableList{1, "c"}},
      {EncodableList{1}, EncodableList{1, 0}},
      {EncodableList{EncodableList{}}, EncodableList{EncodableList{0}}},
      // Keys decide before values; values decide between equal keys.
      {EncodableMap{{1, "z"}}, EncodableMap{{2, "a"}}},
      {EncodableMap{{1, "a"}}, EncodableMap{{1, "b"}}},
      {EncodableMap{{1, "a"}}, EncodableMap{{1, "a"}, {2, "a"}}},
      {std::string("\x7A"), std::string("\xC3")},
      {std::vector<double>{nan, 1.0}, std::vector<double>{nan, 2.0}},
      // The alternative decides first: a string before a byte list.
      {EncodableList{"\x7A"}, EncodableList{std::vector<uint8_t>{0x7A}}},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(c.smaller < c.larger);
    EXPECT_FALSE(c.larger < c.smaller);
    EXPECT_TRUE(c.larger > c.smaller && c.smaller <= c.larger &&
                c.larger >= c.smaller);
  }
  // A NaN is neither smaller nor larger than another double.
  const EncodableValue a = EncodableList{nan};
  const EncodableValue b = EncodableList{1.0};
  EXPECT_FALSE(a < b);
  EXPECT_FALSE(b < a);
}

using encodable_value_internal::compared_containers;

// Comparing element pairs both ways at every level would double the work per
// level (quadruple it for maps): 2^30 lists compared here instead of 30. The
// count of containers compared tells the two apart on any machine.
TEST(EncodableValueOrderingTest, ComparesDeeplyNestedEqualValuesInLinearWork) {
  struct Case {
    const char* name;
    EncodableValue nested;
    uint64_t levels;
  };
  const Case cases[] = {
      {"lists", NestedLists(30), 30},
      {"maps", NestedMaps(15), 15},
  };
  for (const Case& c : cases) {
    const EncodableValue copy = c.nested;
    compared_containers = 0;
    EXPECT_FALSE(c.nested < copy) << c.name;
    EXPECT_GE(compared_containers, c.levels) << c.name;
    EXPECT_LE(compared_containers, 2 * c.levels) << c.name;

    EXPECT_TRUE(c.nested <= copy && c.nested >= copy) << c.name;
    EncodableMap map;
    map.emplace(c.nested, 1);
    EXPECT_FALSE(map.emplace(copy, 2).second) << c.name;
    EXPECT_EQ(map.at(copy), EncodableValue(1)) << c.name;
  }
}

TEST(EncodableValueOrderingTest, DecodesAMapWithTwoEqualDeepKeysInLinearWork) {
  // { [[...30 lists...[null]...]]: null, the same key again: null }
  constexpr uint64_t kDepth = 30;
  std::vector<uint8_t> key;
  for (uint64_t i = 0; i < kDepth; ++i) {
    key.insert(key.end(), {0x0C, 0x01});
  }
  key.push_back(0x00);
  std::vector<uint8_t> bytes = {0x0D, 0x02};
  for (int i = 0; i < 2; ++i) {
    bytes.insert(bytes.end(), key.begin(), key.end());
    bytes.push_back(0x00);
  }
  compared_containers = 0;
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  const EncodableValue value =
      StandardCodecSerializer::GetInstance().ReadValue(&reader);
  // Sorting and de-duplicating two keys takes a few comparisons, each
  // through every level once. At least one goes through every level: a count
  // below that means the keys were ordered by some comparison that is not
  // counted, and so not known to be linear.
  EXPECT_GE(compared_containers, kDepth);
  EXPECT_LE(compared_containers, 8 * kDepth);
  EXPECT_EQ(std::get<EncodableMap>(value).size(), 1u);
  EXPECT_EQ(reader.location(), bytes.size());
}

}  // namespace
}  // namespace flutter
