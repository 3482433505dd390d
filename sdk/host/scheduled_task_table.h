// The tasks a plug-in object has handed to the host's scheduler and not yet seen run.
//
// The host calls a task's callback exactly once, possibly after the plug-in object that queued
// it has been destroyed. So the context word given to the host points at no object: it is a key
// into a process-wide table that leads to the owning table only while that table is alive; a
// callback whose table is gone finds nothing and returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace Vela::Sdk {

class ScheduledTaskTable {
 public:
  using Task = std::function<void()>;

  ScheduledTaskTable();
  ~ScheduledTaskTable();
  ScheduledTaskTable(const ScheduledTaskTable&) = delete;
  ScheduledTaskTable& operator=(const ScheduledTaskTable&) = delete;

  /// Stores the task under the next id (the 64-bit counter, post-increment) and returns the
  /// context word to hand to the host with Callback.
  void* Add(Task task, uint64_t* id = nullptr);

  /// The host's task callback: runs the task the context leads to, then erases it. Does nothing
  /// when the owning table is gone or the context is unknown or already used.
  static void Callback(void* context) noexcept;

  /// Tasks queued and not yet run.
  std::size_t Size() const;
  /// The id the next task takes.
  uint64_t NextId() const;

 private:
  void Run(uint64_t id);

  uint64_t serial_;  // identifies this table in the process-wide table
  mutable std::mutex mutex_;
  uint64_t nextId_ = 0;
  std::map<uint64_t, Task> tasks_;
};

}  // namespace Vela::Sdk
