#include "codec/flat_map.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "codec/byte_buffer_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"

namespace flutter {
namespace {

using Entries = EncodableMap::Entries;

// A map message holding `entries` in the order given.
std::vector<uint8_t> MapMessage(const Entries& entries) {
  const auto& serializer = StandardCodecSerializer::GetInstance();
  std::vector<uint8_t> bytes = {0x0D};
  ByteBufferStreamWriter writer(&bytes);
  serializer.WriteSize(entries.size(), &writer);
  for (const auto& [key, value] : entries) {
    serializer.WriteValue(key, &writer);
    serializer.WriteValue(value, &writer);
  }
  return bytes;
}

Entries EntriesOf(const EncodableMap& map) {
  return Entries(map.begin(), map.end());
}

// Every way of building a map from entries in arrival order agrees with
// inserting them one at a time: key order, and the first of equal keys wins.
TEST(FlatMapTest, KeepsTheFirstOfEqualKeysWhateverTheArrivalOrder) {
  Entries descending_twice;  // past the insertion-sort limit
  Entries expected_descending;
  for (int32_t key = 40; key > 0; --key) {
    descending_twice.emplace_back(key, "first");
    expected_descending.emplace(expected_descending.begin(), key, "first");
  }
  for (int32_t key = 40; key > 0; --key) {
    descending_twice.emplace_back(key, "second");
  }
  struct Case {
    Entries arrival;
    Entries expected;
  };
  const std::vector<Case> cases = {
      {{{2, "b"}, {1, "a"}, {2, "c"}}, {{1, "a"}, {2, "b"}}},
      {{{"dy", 1}, {"dx", 2}}, {{"dx", 2}, {"dy", 1}}},
      {{{1, "a"}, {1, "b"}, {1, "c"}}, {{1, "a"}}},
      // The 32-bit 5 orders before the 64-bit 1 and is not equal to 64-bit 5.
      {{{int64_t{5}, 1}, {int64_t{1}, 2}, {5, 3}},
       {{5, 3}, {int64_t{1}, 2}, {int64_t{5}, 1}}},
      {descending_twice, expected_descending},
  };
  for (const Case& c : cases) {
    EncodableMap one_at_a_time;
    for (const auto& [key, value] : c.arrival) {
      one_at_a_time.emplace(key, value);
    }
    EXPECT_EQ(EntriesOf(one_at_a_time), c.expected);
    EXPECT_EQ(EntriesOf(EncodableMap::FromEntries(c.arrival)), c.expected);

    const std::vector<uint8_t> bytes = MapMessage(c.arrival);
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    const EncodableValue decoded =
        StandardCodecSerializer::GetInstance().ReadValue(&reader);
    EXPECT_EQ(EntriesOf(std::get<EncodableMap>(decoded)), c.expected);
  }
}

TEST(FlatMapTest, LooksUpInsertsAndErasesByKey) {
  EncodableMap map = {{"b", 2}, {"a", 1}};
  map["c"] = 3;
  map["a"] = 10;
  EXPECT_FALSE(map.try_emplace("b", 20).second);
  EXPECT_TRUE(map.insert({"d", 4}).second);
  EXPECT_EQ(map.erase("d"), 1u);
  EXPECT_EQ(map.erase("d"), 0u);
  EXPECT_EQ(map.count("c"), 1u);
  EXPECT_THROW((void)map.at("d"), std::out_of_range);
  EXPECT_EQ(EntriesOf(map), (Entries{{"a", 10}, {"b", 2}, {"c", 3}}));
  // A key taken from the map itself may be inserted again.
  EXPECT_FALSE(map.emplace(map.begin()->first, 0).second);
}

// Keys in reverse order would cost a quadratic number of moves if each entry
// were inserted in place: about 10^10 here, many minutes. The bound is far
// from both, so that a sanitizer build on a loaded machine still passes.
TEST(FlatMapTest, DecodesAMebibyteOfReversedKeysPromptly) {
  constexpr int32_t kEntries = (1 << 20) / 6;  // 5 bytes of key, 1 of value
  Entries reversed;
  reversed.reserve(kEntries);
  for (int32_t key = kEntries; key > 0; --key) {
    reversed.emplace_back(key, EncodableValue());
  }
  const std::vector<uint8_t> bytes = MapMessage(reversed);
  const auto start = std::chrono::steady_clock::now();
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  const EncodableValue decoded =
      StandardCodecSerializer::GetInstance().ReadValue(&reader);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  const auto& map = std::get<EncodableMap>(decoded);
  ASSERT_EQ(map.size(), static_cast<size_t>(kEntries));
  EXPECT_EQ(map.begin()->first, EncodableValue(1));
  EXPECT_EQ(map.rbegin()->first, EncodableValue(kEntries));
}

}  // namespace
}  // namespace flutter
