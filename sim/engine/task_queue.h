#pragma once

// Work the engine must do on the UI thread, queued from any thread.

#include <deque>
#include <functional>
#include <mutex>

namespace lanternquill::sim {

class TaskQueue {
 public:
  using Task = std::function<void()>;

  // Called (outside the queue's lock) after each post, to wake the UI thread.
  void SetWake(std::function<void()> wake);
  void Post(Task task);
  // Runs the tasks queued before the call; tasks they post wait for the next
  // run, so a task that posts never loops forever. Returns how many ran.
  size_t RunPending();
  // Drops every queued task without running it.
  void Clear();

 private:
  std::mutex mutex_;
  std::deque<Task> tasks_;
  std::function<void()> wake_;
};

}  // namespace lanternquill::sim
