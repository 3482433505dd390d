// Scheduled tasks, found again through process-wide context keys.
#include "sdk/host/scheduled_task_table.h"

#include <utility>

namespace Vela::Sdk {

namespace {

struct TaskAddress {
  uint64_t tableSerial;
  uint64_t taskId;
};

// Context keys are small integers, so they fit the host's pointer-sized word on every system.
struct ProcessTaskIndex {
  std::mutex mutex;
  uint64_t nextSerial = 1;
  uintptr_t nextKey = 1;
  std::map<uint64_t, ScheduledTaskTable*> liveTables;
  std::map<uintptr_t, TaskAddress> contexts;
};

// A static object rather than a heap one, so that unloading the library frees it.
ProcessTaskIndex& Index() {
  static ProcessTaskIndex index;
  return index;
}

}  // namespace

ScheduledTaskTable::ScheduledTaskTable() {
  ProcessTaskIndex& index = Index();
  std::lock_guard<std::mutex> lock(index.mutex);
  serial_ = index.nextSerial++;
  index.liveTables[serial_] = this;
}

ScheduledTaskTable::~ScheduledTaskTable() {
  ProcessTaskIndex& index = Index();
  std::lock_guard<std::mutex> lock(index.mutex);
  index.liveTables.erase(serial_);
}

void* ScheduledTaskTable::Add(Task task, uint64_t* id) {
  uint64_t taskId = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taskId = nextId_++;
    tasks_[taskId] = std::move(task);
  }
  if (id != nullptr) *id = taskId;
  ProcessTaskIndex& index = Index();
  std::lock_guard<std::mutex> lock(index.mutex);
  uintptr_t key = index.nextKey++;
  if (index.nextKey == 0) index.nextKey = 1;  // 0 would read as no context
  index.contexts[key] = TaskAddress{serial_, taskId};
  return reinterpret_cast<void*>(key);
}

void ScheduledTaskTable::Callback(void* context) noexcept {
  ScheduledTaskTable* table = nullptr;
  uint64_t taskId = 0;
  {
    ProcessTaskIndex& index = Index();
    std::lock_guard<std::mutex> lock(index.mutex);
    auto found = index.contexts.find(reinterpret_cast<uintptr_t>(context));
    if (found == index.contexts.end()) return;
    TaskAddress address = found->second;
    index.contexts.erase(found);
    auto live = index.liveTables.find(address.tableSerial);
    if (live == index.liveTables.end()) return;
    table = live->second;
    taskId = address.taskId;
  }
  try {
    table->Run(taskId);
  } catch (...) {
    // Nothing may reach the host.
  }
}

// The task runs without the table's lock, so it may queue further tasks.
void ScheduledTaskTable::Run(uint64_t id) {
  Task task;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = tasks_.find(id);
    if (found == tasks_.end()) return;
    task = found->second;
  }
  if (task) task();
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.erase(id);
}

std::size_t ScheduledTaskTable::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.size();
}

uint64_t ScheduledTaskTable::NextId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return nextId_;
}

}  // namespace Vela::Sdk
