// The platform seam, on whichever system the build is for.
#include "sdk/platform/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace Vela::Sdk::Platform {
namespace {

TEST(Platform, RegionIsZeroedAndWritableAcrossItsWholeSize) {
  for (bool soonUsed : {false, true}) {
    auto* region = static_cast<unsigned char*>(ReserveRegion(soonUsed));
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(region[0] | region[kRegionSize / 2] | region[kRegionSize - 1], 0) << soonUsed;
    std::memset(region, 0xA5, kRegionSize);
    EXPECT_EQ(region[kRegionSize - 1], 0xA5);
    ReleaseRegion(region);
  }
}

TEST(Platform, ExecutableFileNameHasNoDirectory) {
  std::string name = ExecutableFileName();
  EXPECT_TRUE(name == "platform_test" || name == "platform_test.exe") << name;
}

TEST(Platform, CounterIsMonotonic) {
  uint64_t first = HighResolutionCounter();
  uint64_t second = HighResolutionCounter();
  EXPECT_LE(first, second);
  EXPECT_GT(HighResolutionFrequency(), 0u);
}

TEST(Platform, LocalTimeFieldsAreInRange) {
  LocalTime now = GetLocalTime();
  EXPECT_GE(now.year, 2000);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_LE(now.millisecond, 999);
}

std::string captured;
void Capture(const char* text) { captured += text; }

TEST(Platform, DebuggerOutputReachesOnlyTheSink) {
  DebuggerOutput("nobody listens");
  DebuggerSink previous = SetDebuggerSink(&Capture);
  DebuggerOutput("hello");
  SetDebuggerSink(previous);
  EXPECT_EQ(captured, "hello");
}

TEST(Platform, MissingLibraryIsNotFoundAndSaysWhy) {
  EXPECT_EQ(OpenLibrary("orb-absent-aurel-library"), nullptr);
  EXPECT_NE(LibraryError(), "");
  EXPECT_EQ(LibraryError(), "");
  EXPECT_EQ(FindFunction(nullptr, "EventRegister"), nullptr);
}

TEST(Platform, RecursiveLockIsReentrantForItsOwnerOnly) {
  RecursiveLock lock;
  auto takenElsewhere = [&lock] {
    bool taken = false;
    std::thread([&] {
      taken = lock.TryLock();
      if (taken) lock.Unlock();
    }).join();
    return taken;
  };
  lock.Lock();
  EXPECT_TRUE(lock.TryLock());
  lock.Unlock();
  EXPECT_FALSE(takenElsewhere());
  lock.Unlock();
  EXPECT_TRUE(takenElsewhere());
}

TEST(Platform, UsableSizeCoversTheRequest) {
  for (std::size_t size : {1u, 24u, 4096u, 100000u}) {
    void* block = std::malloc(size);
    EXPECT_GE(UsableSize(block), size);
    std::free(block);
  }
  EXPECT_EQ(UsableSize(nullptr), 0u);
}

}  // namespace
}  // namespace Vela::Sdk::Platform
