#include "sim/engine/test_port_protocol.h"

namespace lanternquill::sim {

std::optional<uint16_t> ParsePortNumber(std::string_view text) {
  if (text.empty() || text.size() > 5) {
    return std::nullopt;
  }
  uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value == 0 || value > 65535) {
    return std::nullopt;
  }
  return static_cast<uint16_t>(value);
}

uint32_t ReadU32Le(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) |
         (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) |
         (static_cast<uint32_t>(bytes[3]) << 24);
}

void AppendU32Le(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out->push_back(static_cast<uint8_t>(value >> shift));
  }
}

std::optional<PortRequest> ParsePortRequest(const uint8_t* body, size_t size) {
  if (body == nullptr || size == 0) {
    return std::nullopt;
  }
  PortRequest request;
  switch (body[0]) {
    case static_cast<uint8_t>(PortOperation::kMessage): {
      if (size < 2) {
        return std::nullopt;
      }
      const size_t name_length = body[1];
      if (name_length > size - 2) {
        return std::nullopt;
      }
      request.operation = PortOperation::kMessage;
      request.channel.assign(reinterpret_cast<const char*>(body + 2),
                             name_length);
      request.message.assign(body + 2 + name_length, body + size);
      return request;
    }
    case static_cast<uint8_t>(PortOperation::kClose):
      if (size != 1) {
        return std::nullopt;
      }
      request.operation = PortOperation::kClose;
      return request;
    default:
      return std::nullopt;
  }
}

std::vector<uint8_t> EncodePortResponse(PortStatus status,
                                        const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> out;
  out.reserve(5 + bytes.size());
  AppendU32Le(&out, static_cast<uint32_t>(1 + bytes.size()));
  out.push_back(static_cast<uint8_t>(status));
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

}  // namespace lanternquill::sim
