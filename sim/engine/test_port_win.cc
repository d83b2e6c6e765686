#include "sim/engine/test_port_win.h"

// Winsock before anything that includes windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "codec/diagnostics.h"
#include "host/unique_handles.h"

namespace lanternquill::sim {
namespace {

// How often blocked socket waits look at the stop flag.
constexpr long kPollMicroseconds = 100 * 1000;

bool WaitReadable(SOCKET socket, const std::atomic<bool>& stopping) {
  while (!stopping) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout{0, kPollMicroseconds};
    const int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready < 0) return false;
    if (ready > 0) return true;
  }
  return false;
}

bool ReadExactly(SOCKET socket, uint8_t* out, size_t size,
                 const std::atomic<bool>& stopping) {
  size_t done = 0;
  while (done < size) {
    if (!WaitReadable(socket, stopping)) return false;
    const size_t chunk = std::min<size_t>(size - done, 1 << 20);
    const int received = recv(socket, reinterpret_cast<char*>(out + done),
                              static_cast<int>(chunk), 0);
    if (received <= 0) return false;
    done += static_cast<size_t>(received);
  }
  return true;
}

bool WriteAll(SOCKET socket, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t chunk = std::min<size_t>(bytes.size() - done, 1 << 20);
    const int sent =
        send(socket, reinterpret_cast<const char*>(bytes.data() + done),
             static_cast<int>(chunk), 0);
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace

class TestPort::Listener {
 public:
  explicit Listener(UniqueSocket socket) : handle(std::move(socket)) {}
  UniqueSocket handle;
};

std::unique_ptr<TestPort> TestPort::Start(uint16_t port, Handlers handlers) {
  const std::string failure =
      "simulated engine: cannot listen on 127.0.0.1:" + std::to_string(port);
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    flutter::WriteDiagnosticLine(failure);
    return nullptr;
  }
  UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // Exclusive, so a second engine on the same port fails instead of sharing.
  BOOL exclusive = TRUE;
  if (listener) {
    setsockopt(listener.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&exclusive), sizeof(exclusive));
  }
  if (!listener ||
      bind(listener.get(), reinterpret_cast<const sockaddr*>(&address),
           sizeof(address)) != 0 ||
      listen(listener.get(), 1) != 0) {
    listener.reset();
    WSACleanup();
    flutter::WriteDiagnosticLine(failure);
    return nullptr;
  }
  return std::unique_ptr<TestPort>(new TestPort(
      std::make_unique<Listener>(std::move(listener)), std::move(handlers)));
}

TestPort::TestPort(std::unique_ptr<Listener> listener, Handlers handlers)
    : listener_(std::move(listener)), handlers_(std::move(handlers)) {
  thread_ = std::thread([this] { Run(); });
}

TestPort::~TestPort() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  listener_.reset();
  WSACleanup();
}

void TestPort::Run() {
  try {
    while (!stopping_) {
      const SOCKET listening = listener_->handle.get();
      if (!WaitReadable(listening, stopping_)) continue;
      sockaddr_in peer{};
      int peer_size = sizeof(peer);
      UniqueSocket client(
          accept(listening, reinterpret_cast<sockaddr*>(&peer), &peer_size));
      if (!client) continue;
      // Bound to loopback already; checked again so that no other address
      // can ever drive the engine.
      if (peer.sin_family != AF_INET ||
          peer.sin_addr.s_addr != htonl(INADDR_LOOPBACK)) {
        continue;
      }
      Serve(static_cast<uintptr_t>(client.get()));
    }
  } catch (...) {
    // An allocation failure ends the port, never the process.
  }
}

void TestPort::Serve(uintptr_t client_socket) {
  const auto client = static_cast<SOCKET>(client_socket);
  while (!stopping_) {
    uint8_t header[4];
    if (!ReadExactly(client, header, sizeof(header), stopping_)) return;
    const uint32_t length = ReadU32Le(header);
    if (length == 0 || length > kMaxRequestBody) {
      flutter::WriteDiagnosticLine(
          "simulated engine: bad test port request length " +
          std::to_string(length) + "; connection closed");
      return;
    }
    std::vector<uint8_t> body(length);
    if (!ReadExactly(client, body.data(), body.size(), stopping_)) return;
    std::optional<PortRequest> request =
        ParsePortRequest(body.data(), body.size());
    if (!request) {
      flutter::WriteDiagnosticLine(
          "simulated engine: bad test port request; connection closed");
      return;
    }
    std::vector<uint8_t> response;
    if (request->operation == PortOperation::kClose) {
      handlers_.close();
      response = EncodePortResponse(PortStatus::kOk, {});
    } else {
      const std::shared_ptr<PendingReply> pending =
          handlers_.deliver(std::move(*request));
      switch (pending->Wait(kResponseGrace, stopping_)) {
        case PendingReply::Outcome::kResponded:
          response = EncodePortResponse(PortStatus::kOk, pending->response());
          break;
        case PendingReply::Outcome::kNoCallback:
          response = EncodePortResponse(PortStatus::kNoCallback, {});
          break;
        case PendingReply::Outcome::kNoResponse:
          response = EncodePortResponse(PortStatus::kNoResponse, {});
          break;
        case PendingReply::Outcome::kStopped:
          return;
      }
    }
    if (!WriteAll(client, response)) return;
  }
}

}  // namespace lanternquill::sim
