// Scheduled tasks and the host's callback for them.
#include "sdk/host/scheduled_task_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace Vela::Sdk {
namespace {

TEST(ScheduledTaskTable, TaskRunsOnceThenLeavesTheTable) {
  ScheduledTaskTable table;
  int runs = 0;
  uint64_t first = 99;
  uint64_t second = 99;
  void* context = table.Add([&] { ++runs; }, &first);
  table.Add([] {}, &second);
  EXPECT_EQ(first, 0u);
  EXPECT_EQ(second, 1u);
  EXPECT_EQ(table.Size(), 2u);
  ScheduledTaskTable::Callback(context);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(table.Size(), 1u);
  // A context used once, or one never handed out, leads nowhere.
  ScheduledTaskTable::Callback(context);
  ScheduledTaskTable::Callback(nullptr);
  ScheduledTaskTable::Callback(reinterpret_cast<void*>(~uintptr_t{0}));
  EXPECT_EQ(runs, 1);
}

TEST(ScheduledTaskTable, CallbackAfterTheTableIsGoneDoesNothing) {
  int runs = 0;
  auto table = std::make_unique<ScheduledTaskTable>();
  void* context = table->Add([&] { ++runs; });
  table.reset();
  ScheduledTaskTable::Callback(context);
  EXPECT_EQ(runs, 0);
}

TEST(ScheduledTaskTable, TaskMayQueueAnother) {
  ScheduledTaskTable table;
  std::vector<void*> queued;
  int inner = 0;
  void* outer = table.Add([&] { queued.push_back(table.Add([&] { ++inner; })); });
  ScheduledTaskTable::Callback(outer);
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(table.Size(), 1u);
  ScheduledTaskTable::Callback(queued[0]);
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(table.Size(), 0u);
}

}  // namespace
}  // namespace Vela::Sdk
