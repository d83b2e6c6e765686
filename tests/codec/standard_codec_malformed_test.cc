// Malformed and hostile input: truncation, impossible counts and deep
// nesting. Allocations are counted to show that peer data cannot make the
// decoder allocate more than one value per message byte.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <tuple>
#include <vector>

#include "codec/byte_buffer_streams.h"
#include "codec/standard_codec_serializer.h"
#include "codec/standard_method_codec.h"
#include "tests/codec/codec_test_support.h"
#include "tests/support/replaced_new.h"

namespace flutter {
namespace {

using testing::Bytes;
using testing::InvalidReads;

// Decodes one value; returns the bytes allocated meanwhile.
size_t DecodeAllocating(const std::vector<uint8_t>& bytes,
                        EncodableValue* value, std::string* errors) {
  ::testing::internal::CaptureStderr();
  lq_test::g_allocated_bytes = 0;
  {
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    *value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
  }
  const size_t allocated = lq_test::g_allocated_bytes;
  *errors = ::testing::internal::GetCapturedStderr();
  return allocated;
}

TEST(StandardCodecMalformedTest,
     KeepsDeclaredCountsThatFitAndFailsThoseThatCannot) {
  struct Case {
    const char* hex;
    EncodableValue expected;
    size_t invalid_reads;
  };
  const std::vector<Case> cases = {
      // A list of 3 of which only 1 is present keeps its count.
      {"0C 03 03 01 00 00 00",
       EncodableList{int32_t{1}, EncodableValue(), EncodableValue()}, 2},
      // Aligning an empty list carries the reader past the end.
      {"09 00", std::vector<int32_t>{}, 1},
      {"07 04 61 62 63", std::string(), 1},
      {"09 02 00 00 01 00 00 00", std::vector<int32_t>{}, 1},
      {"0D 01 00 00", EncodableMap{{EncodableValue(), EncodableValue()}}, 0},
      {"0D 02 00 00 00", EncodableMap{}, 1},
      // Declared payloads of gigabytes in messages of 10 to 16 bytes.
      {"07 FF FF FF FF FF 00 00 00 00", std::string(), 1},
      {"0E FF 00 00 00 40 00 00 00 00", std::vector<float>{}, 1},
      // 2^29 elements of 8 bytes: the product wraps to 0 in 32 bits.
      {"0A FF 00 00 00 20 00 00 00 00 00 00 00 00 00 00",
       std::vector<int64_t>{}, 1},
      {"0C FF FF FF FF FF 00 00 00 00", EncodableList{}, 1},
      {"0D FF FF FF FF FF 00 00 00 00", EncodableMap{}, 1},
  };
  for (const Case& c : cases) {
    EncodableValue value;
    std::string errors;
    EXPECT_LT(DecodeAllocating(Bytes(c.hex), &value, &errors), 1024u) << c.hex;
    EXPECT_EQ(errors, InvalidReads(c.invalid_reads)) << c.hex;
    EXPECT_EQ(value, c.expected) << c.hex;
  }
}

// Truncates `message` at every length below its own and compares stderr.
template <typename DecodeFunction>
void ExpectAtEveryCut(const std::vector<uint8_t>& message,
                      const std::vector<std::string>& expected,
                      DecodeFunction decode) {
  ASSERT_EQ(expected.size(), message.size() + 1);
  for (size_t cut = 0; cut <= message.size(); ++cut) {
    const std::vector<uint8_t> prefix(
        message.begin(), message.begin() + static_cast<std::ptrdiff_t>(cut));
    ::testing::internal::CaptureStderr();
    decode(prefix);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), expected[cut])
        << "cut at " << cut;
  }
}

TEST(StandardCodecMalformedTest, ReportsEachFailedReadOfATruncatedCall) {
  const std::string unknown =
      "Unknown type in StandardCodecSerializer::ReadValueOfType: ";
  const std::string r1 = InvalidReads(1), r2 = InvalidReads(2),
                    r3 = InvalidReads(3);
  const std::string name =
      r1 + "Invalid method call; method name is not a string.\n";
  const std::string m = r1 + unknown + "109\n";  // 'm' read as a type byte
  // Name at 0 (string of 11), arguments map at 13: "dx" at 15, its int32
  // at 19, "dy" at 24, its int32 at 28. A failed read does not move the
  // reader, so the bytes of a value cut short are read again as the next.
  const std::vector<std::string> expected = {
      name, r2, r2, m,  m,  m,  m,
      m,    m,  m,  m,  m,  m,  r1,
      r1,   r1, r1, r1, r1, r3, r3,
      r3,   r2, r1, r2, r2, r2, r1 + unknown + "100\n",
      r1,   r1, r1, r1, r1, ""};
  ExpectAtEveryCut(
      Bytes("07 0B 6D 6F 75 73 65 53 63 72 6F 6C 6C 0D 02 07 02 64 78 03 05 "
            "00 00 00 07 02 64 79 03 FD FF FF FF"),
      expected, [](const std::vector<uint8_t>& bytes) {
        StandardMethodCodec::GetInstance().DecodeMethodCall(bytes.data(),
                                                            bytes.size());
      });
}

TEST(StandardCodecMalformedTest, ReportsEachFailedReadOfATruncatedList) {
  // [0.5, int32 list {1, 2}, "hi"]: double at 8, int32 list at 20, string 28.
  // A double cut short leaves the reader at 8, where zeros read as nulls.
  const std::string r1 = InvalidReads(1), r2 = InvalidReads(2),
                    r3 = InvalidReads(3);
  const std::vector<std::string> expected = {
      r1, r1, r1, r1, r1, r3, r3, r3, r3, r2, r1, r1, r1, r1, r1, r1, r2,
      r3, r2, r2, r2, r1, r1, r1, r1, r1, r1, r1, r1, r1, r1, r1, ""};
  ExpectAtEveryCut(
      Bytes("0C 03 06 00 00 00 00 00 00 00 00 00 00 00 E0 3F 09 02 00 00 01 "
            "00 00 00 02 00 00 00 07 02 68 69"),
      expected, [](const std::vector<uint8_t>& bytes) {
        EncodableValue value;
        ByteBufferStreamReader reader(bytes.data(), bytes.size());
        value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
      });
}

TEST(StandardCodecMalformedTest, StopsAtSixtyFourNestedListsOrMaps) {
  // {header, how often, stderr}: a list of one, or a map of null to one.
  const std::vector<std::tuple<const char*, size_t, size_t>> cases = {
      {"0C 01", 64, 0},    {"0C 01", 65, 1},    {"0C 01", 100000, 1},
      {"0D 01 00", 64, 0}, {"0D 01 00", 65, 1}, {"0D 01 00", 100000, 1}};
  for (const auto& [header, headers, invalid_reads] : cases) {
    std::vector<uint8_t> bytes;
    const std::vector<uint8_t> unit = Bytes(header);
    for (size_t i = 0; i < headers; ++i) {
      bytes.insert(bytes.end(), unit.begin(), unit.end());
    }
    bytes.push_back(0);
    // 64 levels stand, with null in place of whatever was below.
    EncodableValue expected;
    for (int level = 0; level < 64; ++level) {
      expected =
          unit[0] == 0x0C
              ? EncodableValue(EncodableList{expected})
              : EncodableValue(EncodableMap{{EncodableValue(), expected}});
    }
    ::testing::internal::CaptureStderr();
    ByteBufferStreamReader reader(bytes.data(), bytes.size());
    const auto& serializer = StandardCodecSerializer::GetInstance();
    EXPECT_EQ(serializer.ReadValue(&reader), expected);
    // After the limit the rest of the message is never read.
    if (invalid_reads != 0) {
      EXPECT_TRUE(serializer.ReadValue(&reader).IsNull());
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              InvalidReads(2 * invalid_reads))
        << header << " x" << headers;
  }
}

TEST(StandardCodecMalformedTest,
     NestedLargestHonestCountsStayWithinTheMessage) {
  // 64 list headers, each declaring every byte after it as an element, then
  // zeros. Only the outermost count can be honest once the others are
  // promised to it.
  constexpr size_t kSize = size_t{64} * 1024;
  constexpr size_t kHeaders = 64;
  std::vector<uint8_t> bytes(kSize, 0);
  for (size_t i = 0; i < kHeaders; ++i) {
    const uint32_t count = static_cast<uint32_t>(kSize - 6 * (i + 1));
    uint8_t* header = &bytes[6 * i];
    header[0] = 0x0C;
    header[1] = 0xFF;
    for (size_t b = 0; b < 4; ++b) {
      header[2 + b] = static_cast<uint8_t>(count >> (8 * b));
    }
  }
  EncodableValue value;
  std::string errors;
  EXPECT_LE(DecodeAllocating(bytes, &value, &errors),
            kSize * sizeof(EncodableValue) + kSize);
  // 63 refused counts, then 5 bytes per refused header that the outer list
  // still expects past the end.
  EXPECT_EQ(errors, InvalidReads((kHeaders - 1) + 5 * (kHeaders - 1)));
  const auto& list = std::get<EncodableList>(value);
  ASSERT_EQ(list.size(), kSize - 6);
  EXPECT_EQ(list[0], EncodableValue(EncodableList{}));
  EXPECT_EQ(list[kHeaders - 2], EncodableValue(EncodableList{}));
  EXPECT_TRUE(list[kHeaders - 1].IsNull());
}

}  // namespace
}  // namespace flutter
