#include "codec/standard_codec_serializer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "codec/byte_buffer_streams.h"
#include "tests/codec/codec_test_support.h"

namespace flutter {
namespace {

using testing::Bytes;
using testing::Decode;
using testing::Encode;
using U8List = std::vector<uint8_t>;

TEST(StandardCodecSerializerTest, WritesAndReadsEachAlternativeExactly) {
  const std::vector<std::pair<EncodableValue, const char*>> cases = {
      {EncodableValue(), "00"},
      {true, "01"},
      {false, "02"},
      {int32_t{1}, "03 01 00 00 00"},
      {int64_t{1}, "04 01 00 00 00 00 00 00 00"},
      // Aligned from the message's first byte.
      {1.0, "06 00 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F"},
      {EncodableList{0.5}, "0C 01 06 00 00 00 00 00 00 00 00 00 00 00 E0 3F"},
      {std::string("a\0b", 3), "07 03 61 00 62"},
      {U8List{1, 0xFF}, "08 02 01 FF"},
      {std::vector<int32_t>{1, -1}, "09 02 00 00 01 00 00 00 FF FF FF FF"},
      {std::vector<int64_t>{2},
       "0A 01 00 00 00 00 00 00 02 00 00 00 00 00 00 00"},
      {std::vector<double>{1.0},
       "0B 01 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F"},
      {std::vector<float>{1.0f}, "0E 01 00 00 00 00 80 3F"},
      // Empty 4- and 8-byte lists carry the alignment the reader skips.
      {std::vector<int32_t>{}, "09 00 00 00"},
      {std::vector<double>{}, "0B 00 00 00 00 00 00 00"},
      {EncodableMap{{"a", 1}}, "0D 01 07 01 61 03 01 00 00 00"},
      // Key order, whatever the order of insertion.
      {EncodableMap{{"b", 2}, {"a", 1}},
       "0D 02 07 01 61 03 01 00 00 00 07 01 62 03 02 00 00 00"},
  };
  for (const auto& [value, hex] : cases) {
    EXPECT_EQ(Encode(value), Bytes(hex)) << hex;
    EncodableValue decoded;
    EXPECT_EQ(Decode(Bytes(hex), &decoded), "") << hex;
    EXPECT_EQ(decoded, value) << hex;
  }
}

TEST(StandardCodecSerializerTest, WritesSizesInTheShortestForm) {
  const std::vector<std::pair<uint32_t, const char*>> cases = {
      {253, "FD"},
      {254, "FE FE 00"},
      {65535, "FE FF FF"},
      {65536, "FF 00 00 01 00"}};
  for (const auto& [size, hex] : cases) {
    std::vector<uint8_t> written;
    ByteBufferStreamWriter writer(&written);
    StandardCodecSerializer::GetInstance().WriteSize(size, &writer);
    EXPECT_EQ(written, Bytes(hex));
    // Read back as the length of a uint8 list.
    EncodableValue value;
    written.insert(written.begin(), 0x08);
    written.resize(written.size() + size);
    EXPECT_EQ(Decode(written, &value), "");
    EXPECT_EQ(std::get<U8List>(value).size(), size);
  }
  // A longer form than needed is accepted.
  EncodableValue value;
  Decode(Bytes("07 FE 01 00 61"), &value);
  EXPECT_EQ(value, EncodableValue("a"));
}

TEST(StandardCodecSerializerTest, ReadsTypeFiveAsStringAndUnknownTypesAsNull) {
  EncodableValue value;
  EXPECT_EQ(Decode(Bytes("05 02 68 69"), &value), "");
  EXPECT_EQ(value, EncodableValue("hi"));
  // The next byte after an unknown type starts the next value.
  for (const char* hex :
       {"0C 02 0F 03 01 00 00 00", "0C 02 FF 03 01 00 00 00"}) {
    const std::vector<uint8_t> bytes = Bytes(hex);
    EXPECT_EQ(Decode(bytes, &value),
              "Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                  std::to_string(bytes[2]) + "\n");
    EXPECT_EQ(value, EncodableValue(EncodableList{EncodableValue(), 1}));
  }
  // The first of two equal keys wins.
  Decode(Bytes("0D 02 07 01 61 03 01 00 00 00 07 01 61 03 02 00 00 00"),
         &value);
  EXPECT_EQ(value, EncodableValue(EncodableMap{{"a", 1}}));
}

// A map that a failed assignment left valueless.
EncodableValue Valueless() {
  struct Refuses {
    operator EncodableMap() const { throw std::runtime_error("refused"); }
  };
  EncodableValue value(1);
  try {
    value.emplace<EncodableMap>(Refuses());
  } catch (const std::runtime_error&) {
  }
  return value;
}

// Neither has bytes of its own; each goes out as null so that the values
// after it stay in step.
TEST(StandardCodecSerializerTest, WritesCustomAndValuelessValuesAsNull) {
  struct Case {
    const char* name;
    EncodableValue value;
    const char* line;
  };
  EncodableValue valueless = Valueless();
  ASSERT_TRUE(valueless.valueless_by_exception());
  const Case cases[] = {
      {"custom", CustomEncodableValue(3),
       "Unhandled custom type in StandardCodecSerializer::WriteValue. "
       "Custom types require codec extensions.\n"},
      {"valueless", std::move(valueless), ""},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    const std::vector<uint8_t> bytes = Encode(EncodableList{1, c.value, 2});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line) << c.name;
    EXPECT_EQ(bytes, Bytes("0C 03 03 01 00 00 00 00 03 02 00 00 00")) << c.name;
  }
}

TEST(StandardCodecSerializerTest, RoundTripsATreeOfEveryAlternative) {
  const EncodableValue tree = EncodableMap{
      {EncodableValue(), EncodableList{true, false, EncodableValue()}},
      {int32_t{-2147483647 - 1}, int64_t{-9223372036854775807 - 1}},
      {int64_t{9}, -0.0},
      {1e300, std::string("\xC3\xA9t\xC3\xA9")},
      // Empty typed lists followed by more values: every one reads back.
      {"lists",
       EncodableList{U8List{}, std::vector<int32_t>{}, std::vector<int64_t>{},
                     std::vector<double>{}, std::vector<float>{}, 2.5,
                     U8List{7}, std::vector<int32_t>{1, 2, 3},
                     std::vector<int64_t>{4}, std::vector<double>{5.5, 6.5},
                     std::vector<float>{7.5f}}},
      {U8List{1}, EncodableMap{{"nested", EncodableMap{}}}},
      {std::vector<float>{0.5f}, EncodableList{}}};
  EncodableValue decoded;
  EXPECT_EQ(Decode(Encode(tree), &decoded), "");
  EXPECT_EQ(decoded, tree);
}

// Streams of another kind, and serializers deriving from the default one,
// take the virtual calls for every byte and every nested value.
class ForwardingWriter : public ByteStreamWriter {
 public:
  explicit ForwardingWriter(std::vector<uint8_t>* bytes) : inner_(bytes) {}
  void WriteByte(uint8_t value) override { inner_.WriteByte(value); }
  void WriteBytes(const uint8_t* bytes, size_t length) override {
    inner_.WriteBytes(bytes, length);
  }
  void WriteAlignment(uint8_t alignment) override {
    inner_.WriteAlignment(alignment);
  }

 private:
  ByteBufferStreamWriter inner_;
};

class ForwardingReader : public ByteStreamReader {
 public:
  explicit ForwardingReader(const std::vector<uint8_t>& bytes)
      : inner_(bytes.data(), bytes.size()) {}
  uint8_t ReadByte() override { return inner_.ReadByte(); }
  void ReadBytes(uint8_t* buffer, size_t length) override {
    inner_.ReadBytes(buffer, length);
  }
  void ReadAlignment(uint8_t alignment) override {
    inner_.ReadAlignment(alignment);
  }
  size_t RemainingBytes() const override { return inner_.RemainingBytes(); }
  void SkipToEnd() override { inner_.SkipToEnd(); }

 private:
  ByteBufferStreamReader inner_;
};

class CountingSerializer : public StandardCodecSerializer {
 public:
  void WriteValue(const EncodableValue& value,
                  ByteStreamWriter* stream) const override {
    ++writes;
    StandardCodecSerializer::WriteValue(value, stream);
  }
  EncodableValue ReadValueOfType(uint8_t type,
                                 ByteStreamReader* stream) const override {
    ++reads;
    return StandardCodecSerializer::ReadValueOfType(type, stream);
  }
  mutable int writes = 0;
  mutable int reads = 0;
};

TEST(StandardCodecSerializerTest, OtherStreamsAndDerivedSerializersAgree) {
  const EncodableValue tree =
      EncodableList{EncodableMap{{"b", 1.5}, {"a", std::string(300, 'x')}},
                    std::vector<int32_t>{},
                    2.5,
                    U8List{1, 2, 3},
                    std::vector<double>{0.25},
                    EncodableList{int64_t{7}, EncodableValue(), true}};
  const int tree_values = 14;
  const std::vector<uint8_t> tree_bytes = Encode(tree);
  // An unknown type, an int32 cut short, and a read of what follows it.
  const std::vector<uint8_t> malformed = Bytes("0C 03 0F 03 01 00");
  const int malformed_values = 4;
  EncodableValue malformed_value;
  const std::string malformed_lines = Decode(malformed, &malformed_value);
  ASSERT_EQ(malformed_value,
            EncodableValue(EncodableList{EncodableValue(), 0, true}));

  CountingSerializer counting;
  const StandardCodecSerializer* serializers[] = {
      &StandardCodecSerializer::GetInstance(), &counting};
  for (const StandardCodecSerializer* serializer : serializers) {
    for (bool forwarding : {false, true}) {
      // Aligned from the vector's first byte, also when it held bytes.
      std::vector<uint8_t> written = {0x01};
      ByteBufferStreamWriter buffer_writer(&written);
      ForwardingWriter forwarding_writer(&written);
      ByteStreamWriter* writer =
          forwarding ? static_cast<ByteStreamWriter*>(&forwarding_writer)
                     : &buffer_writer;
      serializer->WriteValue(2.5, writer);
      EXPECT_EQ(written,
                Bytes("01 06 00 00 00 00 00 00 00 00 00 00 00 00 04 40"));
      written.clear();
      counting.writes = 0;
      serializer->WriteValue(tree, writer);
      EXPECT_EQ(written, tree_bytes);

      counting.reads = 0;
      ForwardingReader reader(tree_bytes);
      EXPECT_EQ(serializer->ReadValue(&reader), tree);
      ::testing::internal::CaptureStderr();
      ForwardingReader malformed_reader(malformed);
      EXPECT_EQ(serializer->ReadValue(&malformed_reader), malformed_value);
      EXPECT_EQ(::testing::internal::GetCapturedStderr(), malformed_lines);
    }
  }
  // Every nested value went through the derived serializer's overrides.
  EXPECT_EQ(counting.writes, tree_values);
  EXPECT_EQ(counting.reads, tree_values + malformed_values);
}

}  // namespace
}  // namespace flutter
