#include "codec/standard_codec_serializer.h"

#include <gtest/gtest.h>

#include <any>
#include <cmath>
#include <string>
#include <vector>

#include "codec/byte_buffer_streams.h"
#include "tests/codec/codec_test_support.h"

namespace flutter {
namespace {

using testing::Bytes;
using testing::Decode;
using testing::Encode;
using testing::InvalidReads;

struct WireCase {
  EncodableValue value;
  const char* hex;
};

TEST(StandardCodecSerializerTest, WritesAndReadsEachAlternativeExactly) {
  const std::vector<WireCase> cases = {
      {EncodableValue(), "00"},
      {true, "01"},
      {false, "02"},
      {int32_t{1}, "03 01 00 00 00"},
      {int32_t{-3}, "03 FD FF FF FF"},
      {int64_t{1}, "04 01 00 00 00 00 00 00 00"},
      {1.0, "06 00 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F"},
      {"a", "07 01 61"},
      {std::string("a\0b", 3), "07 03 61 00 62"},
      {"", "07 00"},
      {std::vector<uint8_t>{1, 0xFF}, "08 02 01 FF"},
      {std::vector<int32_t>{1, -1}, "09 02 00 00 01 00 00 00 FF FF FF FF"},
      {std::vector<int64_t>{2},
       "0A 01 00 00 00 00 00 00 02 00 00 00 00 00 00 00"},
      {std::vector<double>{1.0},
       "0B 01 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F"},
      {std::vector<float>{1.0f}, "0E 01 00 00 00 00 80 3F"},
      // Empty 4- and 8-byte lists carry the alignment the reader skips.
      {std::vector<int32_t>{}, "09 00 00 00"},
      {std::vector<float>{}, "0E 00 00 00"},
      {std::vector<int64_t>{}, "0A 00 00 00 00 00 00 00"},
      {std::vector<double>{}, "0B 00 00 00 00 00 00 00"},
      {EncodableList{int32_t{1}, "a"}, "0C 02 03 01 00 00 00 07 01 61"},
      {EncodableMap{{"a", int32_t{1}}}, "0D 01 07 01 61 03 01 00 00 00"},
      // Written in key order, whatever the order of insertion.
      {EncodableMap{{"b", int32_t{2}}, {"a", int32_t{1}}},
       "0D 02 07 01 61 03 01 00 00 00 07 01 62 03 02 00 00 00"},
      // A double inside a list is aligned from the message's first byte.
      {EncodableList{0.5}, "0C 01 06 00 00 00 00 00 00 00 00 00 00 00 E0 3F"},
  };
  for (const WireCase& c : cases) {
    const std::vector<uint8_t> bytes = Bytes(c.hex);
    EXPECT_EQ(Encode(c.value), bytes) << c.hex;
    EncodableValue decoded;
    EXPECT_EQ(Decode(bytes, &decoded), "") << c.hex;
    EXPECT_EQ(decoded, c.value) << c.hex;
  }
}

TEST(StandardCodecSerializerTest, WritesAndReadsSizesAtEveryBoundary) {
  const StandardCodecSerializer& serializer =
      StandardCodecSerializer::GetInstance();
  const std::vector<std::pair<uint32_t, const char*>> cases = {
      {253, "FD"},
      {254, "FE FE 00"},
      {65535, "FE FF FF"},
      {65536, "FF 00 00 01 00"}};
  for (const auto& [size, hex] : cases) {
    std::vector<uint8_t> bytes;
    ByteBufferStreamWriter writer(&bytes);
    serializer.WriteSize(size, &writer);
    EXPECT_EQ(bytes, Bytes(hex));
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EXPECT_EQ(serializer.ReadSize(&reader), size);
  }
  // Longer forms than needed are accepted.
  for (const char* hex : {"FE 05 00", "FF 05 00 00 00"}) {
    const std::vector<uint8_t> bytes = Bytes(hex);
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EXPECT_EQ(serializer.ReadSize(&reader), 5u);
  }
  EXPECT_EQ(Encode(std::string(254, 'x')).size(), 1u + 3u + 254u);
}

TEST(StandardCodecSerializerTest, ReadsTypeFiveAsAStringAndUnknownTypesAsNull) {
  EncodableValue value;
  EXPECT_EQ(Decode(Bytes("05 02 68 69"), &value), "");
  EXPECT_EQ(value, EncodableValue("hi"));
  for (const char* type : {"0F", "FF"}) {
    const std::vector<uint8_t> bytes =
        Bytes(std::string(type) + " 03 01 00 00 00");
    ::testing::internal::CaptureStderr();
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    const auto& serializer = StandardCodecSerializer::GetInstance();
    const EncodableValue unknown = serializer.ReadValue(&reader);
    const EncodableValue next = serializer.ReadValue(&reader);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                  std::to_string(bytes[0]) + "\n");
    EXPECT_TRUE(unknown.IsNull());
    EXPECT_EQ(next, EncodableValue(int32_t{1}));
  }
}

TEST(StandardCodecSerializerTest, KeepsTheFirstOfTwoEqualKeys) {
  EncodableValue value;
  Decode(Bytes("0D 02 07 01 61 03 01 00 00 00 07 01 61 03 02 00 00 00"),
         &value);
  EXPECT_EQ(value, EncodableValue(EncodableMap{{"a", int32_t{1}}}));
}

TEST(StandardCodecSerializerTest, WritesCustomValueAsNullWithOneLine) {
  ::testing::internal::CaptureStderr();
  const std::vector<uint8_t> bytes =
      Encode(EncodableList{int32_t{1}, CustomEncodableValue(3), int32_t{2}});
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Unhandled custom type in StandardCodecSerializer::WriteValue. "
            "Custom types require codec extensions.\n");
  EXPECT_EQ(bytes, Bytes("0C 03 03 01 00 00 00 00 03 02 00 00 00"));
}

TEST(StandardCodecSerializerTest, RoundTripsATreeOfEveryAlternative) {
  const EncodableValue tree = EncodableMap{
      {EncodableValue(), EncodableList{true, false, EncodableValue()}},
      {int32_t{-2147483647 - 1}, int64_t{-9223372036854775807 - 1}},
      {int64_t{9}, -0.0},
      {1e300, std::string("\xC3\xA9t\xC3\xA9")},
      // Empty typed lists followed by more values: every one reads back.
      {"lists",
       EncodableList{std::vector<uint8_t>{}, std::vector<int32_t>{},
                     std::vector<int64_t>{}, std::vector<double>{},
                     std::vector<float>{}, 2.5, std::vector<uint8_t>{7},
                     std::vector<int32_t>{1, 2, 3}, std::vector<int64_t>{4},
                     std::vector<double>{5.5, 6.5}, std::vector<float>{7.5f}}},
      {std::vector<uint8_t>{1}, EncodableMap{{"nested", EncodableMap{}}}},
      {std::vector<float>{0.5f}, EncodableList{}}};
  EncodableValue decoded;
  EXPECT_EQ(Decode(Encode(tree), &decoded), "");
  EXPECT_EQ(decoded, tree);
}

// A codec extension: a point written under its own type byte. Nested values
// reach it through the virtual operations.
struct Point {
  int32_t x;
  int32_t y;
};

class PointSerializer : public StandardCodecSerializer {
 public:
  static constexpr uint8_t kPointType = 128;

  void WriteValue(const EncodableValue& value,
                  ByteStreamWriter* stream) const override {
    const auto* custom = std::get_if<CustomEncodableValue>(&value);
    if (custom == nullptr) {
      StandardCodecSerializer::WriteValue(value, stream);
      return;
    }
    const auto point = std::any_cast<Point>(custom->value());
    stream->WriteByte(kPointType);
    StandardCodecSerializer::WriteValue(point.x, stream);
    StandardCodecSerializer::WriteValue(point.y, stream);
  }

  EncodableValue ReadValueOfType(uint8_t type,
                                 ByteStreamReader* stream) const override {
    if (type != kPointType) {
      return StandardCodecSerializer::ReadValueOfType(type, stream);
    }
    const int32_t x = std::get<int32_t>(ReadValue(stream));
    const int32_t y = std::get<int32_t>(ReadValue(stream));
    return CustomEncodableValue(Point{x, y});
  }
};

TEST(StandardCodecSerializerTest, DerivedSerializerSeesEveryNestedValue) {
  const PointSerializer serializer;
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  serializer.WriteValue(
      EncodableList{EncodableMap{{"p", CustomEncodableValue(Point{3, -4})}}},
      &writer);
  EXPECT_EQ(bytes, Bytes("0C 01 0D 01 07 01 70 80 03 03 00 00 00 03 FC FF FF "
                         "FF"));
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  const EncodableValue value = serializer.ReadValue(&reader);
  const auto& map = std::get<EncodableMap>(std::get<EncodableList>(value)[0]);
  const auto point =
      std::any_cast<Point>(std::get<CustomEncodableValue>(map.at("p")).value());
  EXPECT_EQ(point.x, 3);
  EXPECT_EQ(point.y, -4);
}

TEST(ByteBufferStreamReaderTest, FailsReadsPastTheEndWithoutMoving) {
  const std::vector<uint8_t> bytes = Bytes("01 02 03");
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  uint8_t out[4] = {9, 9, 9, 9};
  ::testing::internal::CaptureStderr();
  reader.ReadBytes(out, 4);  // fails, copies nothing
  EXPECT_EQ(out[0], 9);
  reader.ReadBytes(out, 3);  // exactly up to the end
  EXPECT_EQ(reader.ReadByte(), 0);
  reader.ReadBytes(out, 0);  // at the end: allowed
  reader.ReadAlignment(4);   // carries location past the end
  EXPECT_EQ(reader.location(), 4u);
  EXPECT_EQ(reader.RemainingBytes(), 0u);
  reader.ReadBytes(out, 0);  // past the end: fails
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), InvalidReads(3));
  EXPECT_EQ(out[2], 3);
}

}  // namespace
}  // namespace flutter
