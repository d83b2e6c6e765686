#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec/byte_buffer_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"

namespace flutter::testing {

// "03 01 00" -> {0x03, 0x01, 0x00}.
inline std::vector<uint8_t> Bytes(std::string_view hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 3) {
    bytes.push_back(static_cast<uint8_t>(
        std::stoul(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

// `count` read-failure lines as they appear on stderr.
inline std::string InvalidReads(size_t count) {
  std::string lines;
  for (size_t i = 0; i < count; ++i) {
    lines.append(kInvalidReadLine).append("\n");
  }
  return lines;
}

inline std::vector<uint8_t> Encode(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

// Decodes one value and returns what was written to stderr meanwhile.
inline std::string Decode(const std::vector<uint8_t>& bytes,
                          EncodableValue* value) {
  ::testing::internal::CaptureStderr();
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  *value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
  return ::testing::internal::GetCapturedStderr();
}

}  // namespace flutter::testing
