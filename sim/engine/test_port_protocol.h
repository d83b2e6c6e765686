#pragma once

// Framing of the engine's test port. All integers little-endian.
// Request: u32 body length, body = u8 operation + data.
//   1 message: u8 channel-name length L, L bytes of name, message bytes.
//   2 close: no data.
// Response: u32 body length, body = u8 status + bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lanternquill::sim {

// Largest request body read from a connection: stops a bad length field
// from making the engine allocate gigabytes.
inline constexpr uint32_t kMaxRequestBody = 64u * 1024 * 1024;

enum class PortOperation : uint8_t { kMessage = 1, kClose = 2 };

enum class PortStatus : uint8_t {
  kOk = 0,
  kNoCallback = 1,
  kNoResponse = 2,
};

struct PortRequest {
  PortOperation operation = PortOperation::kMessage;
  std::string channel;
  std::vector<uint8_t> message;
};

// A decimal port number 1..65535, as LANTERNQUILL_ENGINE_PORT holds it.
std::optional<uint16_t> ParsePortNumber(std::string_view text);

uint32_t ReadU32Le(const uint8_t* bytes);
void AppendU32Le(std::vector<uint8_t>* out, uint32_t value);

// Nothing for a malformed body: unknown operation, a name running past the
// end, or data after a close.
std::optional<PortRequest> ParsePortRequest(const uint8_t* body, size_t size);

// The whole response, length prefix included.
std::vector<uint8_t> EncodePortResponse(PortStatus status,
                                        const std::vector<uint8_t>& bytes);

}  // namespace lanternquill::sim
