#include "sim/engine/task_queue.h"

#include <utility>

namespace lanternquill::sim {

void TaskQueue::SetWake(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_ = std::move(wake);
}

void TaskQueue::Post(Task task) {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    wake = wake_;
  }
  if (wake) {
    wake();
  }
}

size_t TaskQueue::RunPending() {
  std::deque<Task> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(tasks_);
  }
  for (Task& task : batch) {
    task();
  }
  return batch.size();
}

void TaskQueue::Clear() {
  std::deque<Task> dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  dropped.swap(tasks_);
}

}  // namespace lanternquill::sim
