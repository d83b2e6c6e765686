#include "codec/standard_method_codec.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "tests/codec/codec_test_support.h"

namespace flutter {
namespace {

using testing::Bytes;
using testing::InvalidReads;

const StandardMethodCodec& Codec() {
  return StandardMethodCodec::GetInstance();
}

constexpr char kInvalidArgs[] = "01 07 0C 49 4E 56 41 4C 49 44 5F 41 52 47 53 ";

// Records how a result was completed: "success" or "error", the code and
// message, and the value or details (absent for a null pointer).
class RecordingResult : public MethodResult<EncodableValue> {
 public:
  std::string answer, code, message;
  std::optional<EncodableValue> value;

 protected:
  void SuccessImpl(const EncodableValue* result) override {
    answer += "success";
    value = result ? std::optional<EncodableValue>(*result) : std::nullopt;
  }
  void ErrorImpl(const std::string& error_code,
                 const std::string& error_message,
                 const EncodableValue* details) override {
    answer += "error";
    code = error_code;
    message = error_message;
    value = details ? std::optional<EncodableValue>(*details) : std::nullopt;
  }
  void NotImplementedImpl() override { answer += "not implemented"; }
};

TEST(StandardMethodCodecTest, EncodesAndDecodesTheMouseScrollCall) {
  const MethodCall<EncodableValue> call(
      "mouseScroll",
      std::make_unique<EncodableValue>(EncodableMap{{"dx", 5}, {"dy", -3}}));
  const std::vector<uint8_t> bytes = Bytes(
      "07 0B 6D 6F 75 73 65 53 63 72 6F 6C 6C 0D 02 07 02 64 78 03 05 00 00 00 "
      "07 02 64 79 03 FD FF FF FF");
  EXPECT_EQ(*Codec().EncodeMethodCall(call), bytes);
  const auto decoded = Codec().DecodeMethodCall(bytes.data(), bytes.size());
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(decoded->method_name(), "mouseScroll");
  EXPECT_EQ(*decoded->arguments(), *call.arguments());
  EXPECT_EQ(*Codec().EncodeMethodCall({"x", nullptr}), Bytes("07 01 78 00"));
}

TEST(StandardMethodCodecTest, WritesEnvelopesExactly) {
  const EncodableValue null_value, yes = true, half = 0.5;
  EXPECT_EQ(*Codec().EncodeSuccessEnvelope(nullptr), Bytes("00 00"));
  EXPECT_EQ(*Codec().EncodeSuccessEnvelope(&null_value), Bytes("00 00"));
  EXPECT_EQ(*Codec().EncodeSuccessEnvelope(&yes), Bytes("00 01"));
  EXPECT_EQ(*Codec().EncodeSuccessEnvelope(&half),
            Bytes("00 06 00 00 00 00 00 00 00 00 00 00 00 00 E0 3F"));
  EXPECT_EQ(*Codec().EncodeErrorEnvelope("INVALID_ARGS", "", nullptr),
            Bytes(std::string(kInvalidArgs) + "00 00"));
  EXPECT_EQ(
      *Codec().EncodeErrorEnvelope("INVALID_ARGS", "Missing dx or dy", nullptr),
      Bytes(std::string(kInvalidArgs) +
            "07 10 4D 69 73 73 69 6E 67 20 64 78 20 6F 72 20 64 79 00"));
  EXPECT_EQ(*Codec().EncodeErrorEnvelope("", "", &yes),
            Bytes("01 07 00 00 01"));
  // Into a vector that already holds bytes: they go, and the double is still
  // aligned from the envelope's first byte.
  std::vector<uint8_t> bytes = {0xAA};
  Codec().EncodeSuccessEnvelopeTo(&half, &bytes);
  EXPECT_EQ(bytes, Bytes("00 06 00 00 00 00 00 00 00 00 00 00 00 00 E0 3F"));
  Codec().EncodeErrorEnvelopeTo("", "", &yes, &bytes);
  EXPECT_EQ(bytes, Bytes("01 07 00 00 01"));
}

TEST(StandardMethodCodecTest, RefusesCallsWhoseNameIsNotAString) {
  const std::string refused =
      "Invalid method call; method name is not a string.\n";
  // {message, decodes, stderr}; a decoded call here has null arguments.
  const std::vector<std::tuple<const char*, bool, std::string>> cases = {
      {"03 01 00 00 00", false, refused},
      {"", false, InvalidReads(1) + refused},
      {"07 01 78", true, InvalidReads(1)},
      {"07 01 78 00 FF", true, ""},  // bytes after the arguments are ignored
  };
  for (const auto& [hex, decodes, errors] : cases) {
    const std::vector<uint8_t> bytes = Bytes(hex);
    ::testing::internal::CaptureStderr();
    const auto call = Codec().DecodeMethodCall(bytes.data(), bytes.size());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), errors) << hex;
    ASSERT_EQ(call != nullptr, decodes) << hex;
    EXPECT_TRUE(!call || call->arguments()->IsNull()) << hex;
  }
}

TEST(StandardMethodCodecTest, DecodesResponseEnvelopes) {
  struct Case {
    const char* hex;
    bool recognised;
    std::string answer, code, message;
    std::optional<EncodableValue> value;
    std::string errors;
  };
  const std::vector<Case> cases = {
      {"", true, "success", "", "", std::nullopt, InvalidReads(2)},
      {"00 00", true, "success", "", "", std::nullopt, ""},
      {"00 03 07 00 00 00", true, "success", "", "", EncodableValue(7), ""},
      {"01 07 00 00 00", true, "error", "", "", std::nullopt, ""},
      {"01 07 01 45 07 01 6D 01", true, "error", "E", "m", true, ""},
      {"02", false, "", "", "", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = Bytes(c.hex);
    RecordingResult result;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(
        Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result),
        c.recognised)
        << c.hex;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.errors) << c.hex;
    EXPECT_EQ(
        std::tie(result.answer, result.code, result.message, result.value),
        std::tie(c.answer, c.code, c.message, c.value))
        << c.hex;
  }
  // A code or message that is not a string raises; the result is untouched.
  for (const char* hex :
       {"01 03 01 00 00 00 00 00", "01 00 00 00", "01 07 00 01 00"}) {
    const std::vector<uint8_t> bytes = Bytes(hex);
    RecordingResult result;
    EXPECT_THROW(
        Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result),
        std::bad_variant_access)
        << hex;
    EXPECT_EQ(result.answer, "") << hex;
  }
}

TEST(StandardMethodCodecTest, GivesOneCodecPerSerializer) {
  const StandardMethodCodec& first = StandardMethodCodec::GetInstance();
  EXPECT_EQ(&StandardMethodCodec::GetInstance(), &first);
  EXPECT_EQ(&StandardMethodCodec::GetInstance(
                &StandardCodecSerializer::GetInstance()),
            &first);
  static const StandardCodecSerializer other;
  const StandardMethodCodec& second = StandardMethodCodec::GetInstance(&other);
  EXPECT_NE(&second, &first);
  EXPECT_EQ(&StandardMethodCodec::GetInstance(&other), &second);
}

}  // namespace
}  // namespace flutter
