#include "codec/encodable_value.h"

#include <gtest/gtest.h>

#include <any>
#include <limits>
#include <string>
#include <type_traits>
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
      {int64_t{-1}, int64_t{0}},
      {-1.5, 2.0},
      {"z", U8{}},
      {"a", "ab"},
      {"ab", "b"},
      {"z", "\xC3"},
      {U8{0x7A}, U8{0xC3}},
      {std::vector<int32_t>{1}, std::vector<int32_t>{1, 0}},
      {std::vector<double>{nan, 1.0}, std::vector<double>{nan, 2.0}},
      {EncodableList{int32_t{1}}, EncodableList{int32_t{1}, EncodableValue()}},
      {EncodableMap{{"a", int32_t{1}}}, EncodableMap{{"a", int32_t{2}}}},
      {EncodableMap{{"a", int32_t{9}}}, EncodableMap{{"b", int32_t{0}}}},
      {std::vector<float>{}, std::vector<float>{-1.0f}},
  };
  for (const auto& [less, greater] : ordered) {
    EXPECT_TRUE(less < greater) << less.index() << " vs " << greater.index();
    EXPECT_FALSE(greater < less) << less.index() << " vs " << greater.index();
  }
  // A NaN is neither less nor greater than any double.
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
  EXPECT_EQ(map.at(int64_t{5}), EncodableValue("int64"));
  EXPECT_EQ(map.find(EncodableValue("keyCode")), map.end());
  EXPECT_TRUE(map.begin()->first.IsNull());
  // Inserting a key already present keeps the entry that is there.
  EXPECT_FALSE(map.emplace("b", 3).second);
  EXPECT_EQ(map.at("b"), EncodableValue(2));
}

TEST(EncodableValueTest, CustomKeyIsNeverFoundByACopy) {
  EncodableMap map;
  map.emplace(CustomEncodableValue(42), "custom");
  const EncodableValue copy = map.begin()->first;
  EXPECT_EQ(map.find(copy), map.end());
  EXPECT_EQ(std::any_cast<int>(std::get<CustomEncodableValue>(copy).value()),
            42);
  EXPECT_NE(map.find(map.begin()->first), map.end());
}

TEST(EncodableValueTest, CharacterStringIsAlwaysTheStringAlternative) {
  for (const char* text : {"true", "false", "1", "0", ""}) {
    EncodableValue value(text);
    EXPECT_EQ(std::get<std::string>(value), text);
    value = int32_t{1};
    value = text;
    EXPECT_EQ(std::get<std::string>(value), text);
  }
}

TEST(EncodableValueTest, ReadingTheWrongAlternativeRaisesOrYieldsNothing) {
  const EncodableValue value("text");
  EXPECT_THROW((void)std::get<int32_t>(value), std::bad_variant_access);
  EXPECT_EQ(std::get_if<int32_t>(&value), nullptr);
}

// Elements of a string, typed list, list or map; 1 for any other content.
size_t ContentSize(const EncodableValue& value) {
  return std::visit(
      [](const auto& content) -> size_t {
        using T = std::decay_t<decltype(content)>;
        if constexpr (std::is_class_v<T> &&
                      !std::is_same_v<T, std::monostate> &&
                      !std::is_same_v<T, CustomEncodableValue>) {
          return content.size();
        } else {
          return 1;
        }
      },
      static_cast<const EncodableValue::Variant&>(value));
}

TEST(EncodableValueTest, MovedFromContainersStayTheirAlternativeAndEmpty) {
  const std::vector<EncodableValue> originals = {
      std::string(40, 'x'),  // beyond the small-string buffer
      "short", U8{1, 2}, std::vector<int32_t>{1}, std::vector<int64_t>{1},
      std::vector<double>{1.0}, EncodableList{int32_t{1}},
      EncodableMap{{int32_t{1}, int32_t{2}}}, std::vector<float>{1.0f},
      // Scalars and custom values are copied: the source keeps its content.
      true, int32_t{-7}, int64_t{1} << 40, 0.25,
      CustomEncodableValue(std::string("kept"))};
  for (const EncodableValue& original : originals) {
    const bool keeps_content = original.index() <= 4 || original.index() == 12;
    EncodableValue constructed_from = original;
    EncodableValue target(std::move(constructed_from));
    EncodableValue assigned_from = original;
    target = std::move(assigned_from);
    for (const EncodableValue* moved : {&constructed_from, &assigned_from}) {
      ASSERT_EQ(moved->index(), original.index());
      EXPECT_EQ(ContentSize(*moved), keeps_content ? 1u : 0u)
          << "alternative " << original.index();
      if (original.index() == 12) {
        EXPECT_EQ(std::any_cast<std::string>(
                      std::get<CustomEncodableValue>(*moved).value()),
                  "kept");
      } else if (keeps_content) {
        EXPECT_EQ(*moved, original);
      }
    }
  }
}

TEST(EncodableValueTest, CopiesAreDeep) {
  const EncodableValue original =
      EncodableList{EncodableMap{{"k", EncodableList{int32_t{1}}}}};
  EncodableValue copy = original;
  std::get<EncodableList>(
      std::get<EncodableMap>(std::get<EncodableList>(copy)[0]).at("k"))
      .push_back(int32_t{2});
  EXPECT_NE(copy, original);
  EXPECT_EQ(original, EncodableValue(EncodableList{
                          EncodableMap{{"k", EncodableList{int32_t{1}}}}}));
}

}  // namespace
}  // namespace flutter
