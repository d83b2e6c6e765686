#include "codec/standard_method_codec.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
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

constexpr char kMouseScroll[] =
    "07 0B 6D 6F 75 73 65 53 63 72 6F 6C 6C 0D 02 07 02 64 78 03 05 00 00 00 "
    "07 02 64 79 03 FD FF FF FF";
constexpr char kNameNotString[] =
    "Invalid method call; method name is not a string.\n";

// Records how a result was completed.
class RecordingResult : public MethodResult<EncodableValue> {
 public:
  std::string answer;  // "success", "error" or "not implemented"
  std::optional<EncodableValue> value;  // absent for a null pointer
  std::string code;
  std::string message;

 protected:
  void SuccessImpl(const EncodableValue* result) override {
    answer += "success";
    if (result != nullptr) value = *result;
  }
  void ErrorImpl(const std::string& error_code,
                 const std::string& error_message,
                 const EncodableValue* details) override {
    answer += "error";
    code = error_code;
    message = error_message;
    if (details != nullptr) value = *details;
  }
  void NotImplementedImpl() override { answer += "not implemented"; }
};

TEST(StandardMethodCodecTest, EncodesAndDecodesTheMouseScrollCall) {
  const MethodCall<EncodableValue> call(
      "mouseScroll", std::make_unique<EncodableValue>(EncodableMap{
                         {"dx", int32_t{5}}, {"dy", int32_t{-3}}}));
  const std::vector<uint8_t> bytes = Bytes(kMouseScroll);
  EXPECT_EQ(*Codec().EncodeMethodCall(call), bytes);
  const auto decoded = Codec().DecodeMethodCall(bytes.data(), bytes.size());
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(decoded->method_name(), "mouseScroll");
  ASSERT_NE(decoded->arguments(), nullptr);
  EXPECT_EQ(*decoded->arguments(), *call.arguments());
  // No arguments travel as null.
  const MethodCall<EncodableValue> bare("x", nullptr);
  EXPECT_EQ(*Codec().EncodeMethodCall(bare), Bytes("07 01 78 00"));
}

TEST(StandardMethodCodecTest, WritesEnvelopesExactly) {
  const EncodableValue null_value, yes = true, half = 0.5;
  const std::vector<
      std::pair<std::unique_ptr<std::vector<uint8_t>>, const char*>>
      cases = [&] {
        std::vector<
            std::pair<std::unique_ptr<std::vector<uint8_t>>, const char*>>
            c;
        c.emplace_back(Codec().EncodeSuccessEnvelope(nullptr), "00 00");
        c.emplace_back(Codec().EncodeSuccessEnvelope(&null_value), "00 00");
        c.emplace_back(Codec().EncodeSuccessEnvelope(&yes), "00 01");
        c.emplace_back(Codec().EncodeSuccessEnvelope(&half),
                       "00 06 00 00 00 00 00 00 00 00 00 00 00 00 E0 3F");
        c.emplace_back(Codec().EncodeErrorEnvelope("INVALID_ARGS", "", nullptr),
                       "01 07 0C 49 4E 56 41 4C 49 44 5F 41 52 47 53 00 00");
        c.emplace_back(
            Codec().EncodeErrorEnvelope("INVALID_ARGS", "Missing dx or dy",
                                        nullptr),
            "01 07 0C 49 4E 56 41 4C 49 44 5F 41 52 47 53 07 10 4D 69 73 73 "
            "69 6E 67 20 64 78 20 6F 72 20 64 79 00");
        c.emplace_back(Codec().EncodeErrorEnvelope("", "", &yes),
                       "01 07 00 00 01");
        return c;
      }();
  for (const auto& [bytes, hex] : cases) {
    EXPECT_EQ(*bytes, Bytes(hex)) << hex;
  }
}

TEST(StandardMethodCodecTest, RefusesCallsWhoseNameIsNotAString) {
  struct Case {
    const char* hex;
    bool decodes;
    std::string errors;
  };
  const std::vector<Case> cases = {
      {"03 01 00 00 00", false, kNameNotString},
      {"", false, InvalidReads(1) + kNameNotString},
      // Only the name: the arguments read as null after one failed read.
      {"07 01 78", true, InvalidReads(1)},
      {"07 01 78 00 FF", true, ""},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = Bytes(c.hex);
    ::testing::internal::CaptureStderr();
    const auto call = Codec().DecodeMethodCall(bytes.data(), bytes.size());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.errors) << c.hex;
    ASSERT_EQ(call != nullptr, c.decodes) << c.hex;
    if (call) {
      ASSERT_NE(call->arguments(), nullptr);
      EXPECT_TRUE(call->arguments()->IsNull());
    }
  }
}

TEST(StandardMethodCodecTest, DecodesResponseEnvelopes) {
  struct Case {
    const char* hex;
    bool recognised;
    std::string answer;
    std::optional<EncodableValue> value;
    std::string code, message, errors;
  };
  const std::vector<Case> cases = {
      {"", true, "success", std::nullopt, "", "", InvalidReads(2)},
      {"00 00", true, "success", std::nullopt, "", "", ""},
      {"00 03 07 00 00 00", true, "success", EncodableValue(7), "", "", ""},
      {"01 07 00 00 00", true, "error", std::nullopt, "", "", ""},
      {"01 07 01 45 07 01 6D 01", true, "error", EncodableValue(true), "E", "m",
       ""},
      {"02", false, "", std::nullopt, "", "", ""},
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
    EXPECT_EQ(result.answer, c.answer) << c.hex;
    EXPECT_EQ(result.value, c.value) << c.hex;
    EXPECT_EQ(result.code, c.code) << c.hex;
    EXPECT_EQ(result.message, c.message) << c.hex;
  }
}

TEST(StandardMethodCodecTest, RaisesForANonStringErrorCodeOrMessage) {
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

TEST(MethodResultTest, ForwardsAnswersWithNullPointersForAbsentValues) {
  RecordingResult success;
  success.Success();
  EXPECT_EQ(success.answer, "success");
  EXPECT_FALSE(success.value.has_value());
  RecordingResult error;
  error.Error("CODE", "text");
  EXPECT_EQ(error.answer, "error");
  EXPECT_FALSE(error.value.has_value());
  RecordingResult not_implemented;
  not_implemented.NotImplemented();
  EXPECT_EQ(not_implemented.answer, "not implemented");

  const MethodCall<EncodableValue> without("m", nullptr);
  EXPECT_EQ(without.arguments(), nullptr);
  const MethodCall<EncodableValue> with_null(
      "m", std::make_unique<EncodableValue>());
  ASSERT_NE(with_null.arguments(), nullptr);
  EXPECT_TRUE(with_null.arguments()->IsNull());
}

}  // namespace
}  // namespace flutter
