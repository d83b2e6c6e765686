#include "codec/flat_map.h"

#include <gtest/gtest.h>

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

// The work done on keys while a map is built, counted by the keys
// themselves: a bound on it holds on any machine, under any sanitizer.
struct KeyWork {
  size_t comparisons = 0;
  size_t moves = 0;
};
KeyWork key_work;

class CountedKey {
 public:
  explicit CountedKey(int32_t value) : value_(value) {}
  CountedKey(const CountedKey& other) : value_(other.value_) {
    ++key_work.moves;
  }
  CountedKey& operator=(const CountedKey& other) {
    ++key_work.moves;
    value_ = other.value_;
    return *this;
  }
  ~CountedKey() = default;

  friend bool operator<(const CountedKey& a, const CountedKey& b) {
    ++key_work.comparisons;
    return a.value_ < b.value_;
  }

  int32_t value() const { return value_; }

 private:
  int32_t value_;
};

// Keys in reverse order would cost a quadratic number of moves if each entry
// were put in place one at a time: about n * n / 2, against n log n for a
// merge sort. Keys already in order cost one comparison each.
TEST(FlatMapTest, BuildsFromEntriesWithLogLinearWork) {
  constexpr int32_t kKeys = 1 << 12;
  constexpr size_t kLogLinear = size_t{kKeys} * 12;
  using CountedMap = FlatMap<CountedKey, int>;
  struct Case {
    const char* name;
    bool descending;
    size_t max_comparisons;
    size_t max_moves;
  };
  const Case cases[] = {
      {"ascending", false, kKeys - 1, 0},
      {"descending", true, 2 * kLogLinear, 3 * kLogLinear},
  };
  for (const Case& c : cases) {
    CountedMap::Entries entries;
    entries.reserve(kKeys);
    for (int32_t i = 0; i < kKeys; ++i) {
      entries.emplace_back(CountedKey(c.descending ? kKeys - 1 - i : i), i);
    }
    key_work = KeyWork();
    const CountedMap map = CountedMap::FromEntries(std::move(entries));
    EXPECT_LE(key_work.comparisons, c.max_comparisons) << c.name;
    EXPECT_LE(key_work.moves, c.max_moves) << c.name;
    ASSERT_EQ(map.size(), static_cast<size_t>(kKeys)) << c.name;
    EXPECT_EQ(map.begin()->first.value(), 0) << c.name;
    EXPECT_EQ(map.rbegin()->first.value(), kKeys - 1) << c.name;
  }
}

}  // namespace
}  // namespace flutter
