#pragma once

// The engine's test port: a loopback TCP listener that lets end-to-end tests
// play the UI (send channel messages, close the window). One connection at a
// time, requests answered in order; framing in test_port_protocol.h.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "sim/engine/pending_reply.h"
#include "sim/engine/test_port_protocol.h"
#include "sim/engine/win_handles.h"

namespace lanternquill::sim {

class TestPort {
 public:
  struct Handlers {
    // Hands a message to the UI thread; the result tells how it went.
    std::function<std::shared_ptr<PendingReply>(PortRequest)> deliver;
    // Asks the window holding the view to close.
    std::function<void()> close;
  };

  // How long a response may take after the callback has returned.
  static constexpr std::chrono::milliseconds kResponseGrace{5000};

  // Empty, after one "simulated engine:" line, when the port cannot be
  // listened on.
  static std::unique_ptr<TestPort> Start(uint16_t port, Handlers handlers);
  TestPort(const TestPort&) = delete;
  TestPort& operator=(const TestPort&) = delete;
  // Closes the sockets and joins the thread.
  ~TestPort();

 private:
  TestPort(UniqueSocket listener, Handlers handlers);

  void Run();
  void Serve(const UniqueSocket& client);
  bool WaitReadable(SOCKET socket);
  bool ReadExactly(SOCKET socket, uint8_t* out, size_t size);
  bool WriteAll(SOCKET socket, const std::vector<uint8_t>& bytes);

  UniqueSocket listener_;
  Handlers handlers_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace lanternquill::sim
