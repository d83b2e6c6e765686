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
  // The listening socket; defined with Winsock in the implementation.
  class Listener;

  TestPort(std::unique_ptr<Listener> listener, Handlers handlers);

  void Run();
  // Serves one connection until it ends or the port stops.
  void Serve(uintptr_t client);

  std::unique_ptr<Listener> listener_;
  Handlers handlers_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace lanternquill::sim
