// The host's work loop.
#include "devhost/host_loop.h"

#include <cmath>
#include <vector>

namespace Vela::DevHost {

namespace {

HostLoop::Clock::duration Delay(double seconds) {
  // A day bounds what a plug-in may ask for, so the sum with now cannot overflow.
  constexpr double kLongestDelay = 86400.0;
  if (!(seconds > 0)) return HostLoop::Clock::duration::zero();
  if (seconds > kLongestDelay) seconds = kLongestDelay;
  return std::chrono::duration_cast<HostLoop::Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

HostLoop::HostLoop() : loopThread_(std::this_thread::get_id()) {}

HostLoop::~HostLoop() { Close(); }

bool HostLoop::Post(Work work, double delaySeconds, Work cancel) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    tasks_.emplace(Key{Clock::now() + Delay(delaySeconds), nextSequence_++}, Task{std::move(work), std::move(cancel)});
  }
  wake_.notify_all();
  return true;
}

std::optional<HostLoop::Task> HostLoop::TakeDue(Clock::time_point now, uint64_t sequenceLimit) {
  std::lock_guard lock(mutex_);
  for (auto entry = tasks_.begin(); entry != tasks_.end() && entry->first.first <= now; ++entry) {
    if (entry->first.second < sequenceLimit) {
      Task task = std::move(entry->second);
      tasks_.erase(entry);
      return task;
    }
  }
  return std::nullopt;
}

void HostLoop::Run() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = false;
  }
  while (true) {
    Task task;
    {
      std::unique_lock lock(mutex_);
      while (!stopping_) {
        if (!tasks_.empty() && tasks_.begin()->first.first <= Clock::now()) break;
        if (tasks_.empty()) {
          wake_.wait(lock);
        } else {
          wake_.wait_until(lock, tasks_.begin()->first.first);
        }
      }
      if (stopping_) return;
      task = std::move(tasks_.begin()->second);
      tasks_.erase(tasks_.begin());
    }
    if (task.work) task.work();
  }
}

void HostLoop::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
}

std::size_t HostLoop::RunDue() {
  uint64_t limit;
  {
    std::lock_guard lock(mutex_);
    limit = nextSequence_;
  }
  Clock::time_point now = Clock::now();
  std::size_t ran = 0;
  while (std::optional<Task> task = TakeDue(now, limit)) {
    if (task->work) task->work();
    ++ran;
  }
  return ran;
}

std::size_t HostLoop::RunUntilIdle(std::size_t maxPasses) {
  std::size_t ran = 0;
  for (std::size_t pass = 0; pass < maxPasses; ++pass) {
    std::size_t now = RunDue();
    if (now == 0) break;
    ran += now;
  }
  return ran;
}

void HostLoop::RunFor(double seconds) {
  Clock::time_point end = Clock::now() + Delay(seconds);
  while (true) {
    RunUntilIdle();
    std::unique_lock lock(mutex_);
    Clock::time_point next = tasks_.empty() ? end : std::min(end, tasks_.begin()->first.first);
    if (Clock::now() >= end) return;
    wake_.wait_until(lock, next);
    if (Clock::now() >= end) return;
  }
}

void HostLoop::Close() {
  std::vector<Work> cancels;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    stopping_ = true;
    for (auto& [key, task] : tasks_) {
      if (task.cancel) cancels.push_back(std::move(task.cancel));
    }
    tasks_.clear();
  }
  wake_.notify_all();
  for (Work& cancel : cancels) cancel();
}

bool HostLoop::IsClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

std::size_t HostLoop::Pending() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

}  // namespace Vela::DevHost
