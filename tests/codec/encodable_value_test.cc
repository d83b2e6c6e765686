#include "codec/encodable_value.h"

#include <gtest/gtest.h>

#include <any>
#include <limits>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {
namespace {

using U8 = std::vector<uint8_t>;

TEST(EncodableValueTest, OrdersByAlternativeFirstThenByContent) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Each pair is strictly ordered: first < second and not the reverse.
  const std::vector<std::pair<EncodableValue, EncodableValue>> ordered = {
      {EncodableValue(), false},
      {true, int32_t{-100}},
      {int32_t{7}, int64_t{1}},
      {int32_t{-3}, int32_t{2}},
      {"z", U8{}},
      {"a", "ab"},
      {"ab", "b"},
      {"z", "\xC3"},
      {U8{0x7A}, U8{0xC3}},
      {std::vector<double>{nan, 1.0}, std::vector<double>{nan, 2.0}},
      {EncodableList{int32_t{1}}, EncodableList{int32_t{1}, EncodableValue()}},
      {EncodableMap{{"a", 1}}, EncodableMap{{"a", 2}}},
      {EncodableMap{{"a", 9}}, EncodableMap{{"b", 0}}},
  };
  for (const auto& [less, greater] : ordered) {
    EXPECT_TRUE(less < greater) << less.index() << " vs " << greater.index();
    EXPECT_FALSE(greater < less) << less.index() << " vs " << greater.index();
  }
  EXPECT_FALSE(EncodableValue(nan) < EncodableValue(1.0));
  EXPECT_FALSE(EncodableValue(1.0) < EncodableValue(nan));
}

TEST(EncodableValueTest, MapLookupMatchesAlternativeAndExactBytes) {
  EncodableMap map = {{int32_t{5}, "int32"},
                      {int64_t{5}, "int64"},
                      {U8{'k', 'e', 'y', 'C', 'o', 'd', 'e'}, "bytes"},
                      {"KeyCode", "other case"},
                      {"b", 2},
                      {EncodableValue(), "null"}};
  ASSERT_EQ(map.size(), 6u);
  EXPECT_EQ(map.at(int32_t{5}), EncodableValue("int32"));
  EXPECT_EQ(map.find(EncodableValue("keyCode")), map.end());
  EXPECT_TRUE(map.begin()->first.IsNull());
  // Inserting a key already present keeps the entry that is there.
  EXPECT_FALSE(map.emplace("b", 3).second);
  EXPECT_EQ(map.at("b"), EncodableValue(2));
  // A custom key is found by no copy of it.
  map.emplace(CustomEncodableValue(42), "custom");
  const EncodableValue copy = map.rbegin()->first;
  EXPECT_EQ(map.find(copy), map.end());
  EXPECT_NE(map.find(map.rbegin()->first), map.end());
}

TEST(EncodableValueTest, CharacterStringsAreTextAndWrongReadsRaise) {
  for (const char* text : {"true", "0", ""}) {
    EncodableValue value(text);
    EXPECT_EQ(std::get<std::string>(value), text);
    value = 1;
    value = text;
    EXPECT_EQ(std::get<std::string>(value), text);
    EXPECT_THROW((void)std::get<int32_t>(value), std::bad_variant_access);
    EXPECT_EQ(std::get_if<int32_t>(&value), nullptr);
  }
}

TEST(EncodableValueTest, MovedFromContainersStayTheirAlternativeAndEmpty) {
  // {value, what its source holds after a move}; scalars are copied.
  const std::vector<std::pair<EncodableValue, EncodableValue>> cases = {
      {std::string(40, 'x'), std::string()},  // beyond the small buffer
      {"short", std::string()},
      {U8{1, 2}, U8{}},
      {std::vector<int32_t>{1}, std::vector<int32_t>{}},
      {std::vector<int64_t>{1}, std::vector<int64_t>{}},
      {std::vector<double>{1.0}, std::vector<double>{}},
      {std::vector<float>{1.0f}, std::vector<float>{}},
      {EncodableList{1}, EncodableList{}},
      {EncodableMap{{1, 2}}, EncodableMap{}},
      {true, true},
      {int64_t{-7}, int64_t{-7}},
      {0.25, 0.25}};
  for (const auto& [original, emptied] : cases) {
    EncodableValue constructed_from = original;
    EncodableValue target(std::move(constructed_from));
    EncodableValue assigned_from = original;
    target = std::move(assigned_from);
    // Reading the sources after the moves is the point of this test.
    EXPECT_EQ(constructed_from, emptied);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(assigned_from, emptied);     // NOLINT(bugprone-use-after-move)
  }
  EncodableValue custom = CustomEncodableValue(std::string("kept"));
  EncodableValue target(std::move(custom));
  EXPECT_EQ(std::any_cast<std::string>(
                std::get<CustomEncodableValue>(custom).value()),  // NOLINT
            "kept");
}

}  // namespace
}  // namespace flutter
