// Allocation counting as MemoryStatistics reports it.
#include <gtest/gtest.h>

#include <cstring>

#include "sdk/host/abi/allocation.h"
#include "sdk/host/app_module.h"

namespace Vela::Sdk {
namespace {

class CountingModule : public AppModule {
 public:
  CountingModule() : AppModule("counting") {}
  void RegisterRoutes() override {}
  bool Start() override { return true; }
};

// Read through the entry function the host calls; the handle is not needed for it.
MemoryStatisticsRecord Read() {
  static CountingModule module;
  MemoryStatisticsRecord record;
  std::memset(&record, 0xFF, sizeof record);
  module.EntryTable().memoryStatistics(nullptr, &record);
  return record;
}

TEST(MemoryStatistics, BlockAllocatedAndFreedCountsOnceEachWay) {
  MemoryStatisticsRecord before = Read();
  void* block = Allocate(100);
  uint64_t size = UsableSize(block);
  MemoryStatisticsRecord held = Read();
  Free(block);
  MemoryStatisticsRecord after = Read();

  EXPECT_GE(size, 100u);
  EXPECT_EQ(after.totalBytesAllocated - before.totalBytesAllocated, size);
  EXPECT_EQ(after.allocationCount - before.allocationCount, 1u);
  EXPECT_EQ(after.totalBytesFreed - before.totalBytesFreed, size);
  EXPECT_EQ(after.freeCount - before.freeCount, 1u);
  EXPECT_GE(held.peakLiveBytes, before.peakLiveBytes);
  EXPECT_EQ(after.peakLiveBytes, held.peakLiveBytes);
  EXPECT_EQ(after.reserved0, 0u);
  EXPECT_EQ(after.reserved1, 0u);
}

TEST(MemoryStatistics, PeakFollowsLiveBytesUpOnly) {
  MemoryStatisticsRecord before = Read();
  // Larger than anything live before, so it must raise the peak.
  std::size_t big = static_cast<std::size_t>(before.peakLiveBytes) + 4096;
  void* block = Allocate(big);
  MemoryStatisticsRecord held = Read();
  Free(block);
  MemoryStatisticsRecord after = Read();

  EXPECT_EQ(held.peakLiveBytes, held.totalBytesAllocated - held.totalBytesFreed);
  EXPECT_EQ(held.liveCountAtPeak, held.allocationCount - held.freeCount);
  EXPECT_EQ(after.peakLiveBytes, held.peakLiveBytes);
  EXPECT_EQ(after.liveCountAtPeak, held.liveCountAtPeak);
}

TEST(MemoryStatistics, ReallocateCountsAFreeAndAnAllocation) {
  void* block = Allocate(16);
  uint64_t oldSize = UsableSize(block);
  MemoryStatisticsRecord before = Read();
  block = Reallocate(block, 5000);
  uint64_t newSize = UsableSize(block);
  MemoryStatisticsRecord after = Read();
  Free(block);

  EXPECT_EQ(after.totalBytesFreed - before.totalBytesFreed, oldSize);
  EXPECT_EQ(after.freeCount - before.freeCount, 1u);
  EXPECT_EQ(after.totalBytesAllocated - before.totalBytesAllocated, newSize);
  EXPECT_EQ(after.allocationCount - before.allocationCount, 1u);
}

TEST(MemoryStatistics, DuplicatedTextCountsAsOneAllocation) {
  MemoryStatisticsRecord before = Read();
  char* copy = DuplicateText("counted");
  MemoryStatisticsRecord after = Read();
  EXPECT_STREQ(copy, "counted");
  EXPECT_EQ(after.totalBytesAllocated - before.totalBytesAllocated, UsableSize(copy));
  EXPECT_EQ(after.allocationCount - before.allocationCount, 1u);
  Free(copy);
}

}  // namespace
}  // namespace Vela::Sdk
