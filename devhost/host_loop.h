// HostLoop: the one thread from which a running host calls into the plug-in. The plug-in has no
// thread of its own and takes no lock for its state, so HTTP workers and timers hand their work
// to this loop instead of calling in themselves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace Vela::DevHost {

class HostLoop {
 public:
  using Clock = std::chrono::steady_clock;
  using Work = std::function<void()>;

  /// The constructing thread is the loop's thread.
  HostLoop();
  /// Cancels what is still queued.
  ~HostLoop();
  HostLoop(const HostLoop&) = delete;
  HostLoop& operator=(const HostLoop&) = delete;

  /// Queues `work` to run on the loop after `delaySeconds` (negative, NaN: at once). Tasks run in
  /// order of due time, then of posting. `cancel`, if given, runs instead when the loop closes
  /// first. False when the loop is closed already; nothing is called then.
  bool Post(Work work, double delaySeconds = 0, Work cancel = {});

  /// Runs `work` on the loop and waits for its result; from the loop's own thread it runs at
  /// once. Empty when the loop closed before the work ran.
  template <class F>
  auto Invoke(F&& work) -> std::optional<std::invoke_result_t<F>>;

  /// Runs tasks as they fall due until Stop() is called.
  void Run();
  /// Makes Run() return after the task in hand; callable from any thread.
  void Stop();
  /// Runs, once each, the tasks that are due now; tasks they queue wait for the next pass.
  /// Returns how many ran. This is what the plug-in's Yield gets.
  std::size_t RunDue();
  /// Runs due tasks, repeatedly, until none is due (at most `maxPasses` passes); for a headless
  /// host that must settle after each step.
  std::size_t RunUntilIdle(std::size_t maxPasses = 1000);
  /// Runs tasks as they fall due for `seconds`.
  void RunFor(double seconds);
  /// Refuses new tasks and cancels the queued ones; Invoke callers waiting get an empty result.
  void Close();

  bool IsLoopThread() const { return std::this_thread::get_id() == loopThread_; }
  bool IsClosed() const;
  std::size_t Pending() const;

 private:
  struct Task {
    Work work;
    Work cancel;
  };
  using Key = std::pair<Clock::time_point, uint64_t>;
  /// Takes the first task due at `now`, if any, among those posted before `sequenceLimit`.
  std::optional<Task> TakeDue(Clock::time_point now, uint64_t sequenceLimit);

  std::thread::id loopThread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::map<Key, Task> tasks_;
  uint64_t nextSequence_ = 0;
  bool stopping_ = false;
  bool closed_ = false;
};

template <class F>
auto HostLoop::Invoke(F&& work) -> std::optional<std::invoke_result_t<F>> {
  using Result = std::invoke_result_t<F>;
  if (IsLoopThread()) return std::optional<Result>(work());
  struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<Result> result;
  };
  auto waiter = std::make_shared<Waiter>();
  auto finish = [waiter](std::optional<Result> result) {
    std::lock_guard lock(waiter->mutex);
    waiter->result = std::move(result);
    waiter->finished = true;
    waiter->done.notify_all();
  };
  // The caller blocks until one of the two runs, so `work` may be taken by reference.
  bool posted = Post([&work, finish] { finish(std::optional<Result>(work())); }, 0, [finish] { finish(std::nullopt); });
  if (!posted) return std::nullopt;
  std::unique_lock lock(waiter->mutex);
  waiter->done.wait(lock, [&] { return waiter->finished; });
  return std::move(waiter->result);
}

}  // namespace Vela::DevHost
