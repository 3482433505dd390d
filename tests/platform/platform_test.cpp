// The POSIX side of the platform seam.
#include "sdk/platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace Vela::Sdk::Platform {
namespace {

TEST(Platform, RegionIsWritableAcrossItsWholeSize) {
  void* region = ReserveRegion();
  ASSERT_NE(region, nullptr);
  std::memset(region, 0xA5, kRegionSize);
  EXPECT_EQ(static_cast<unsigned char*>(region)[kRegionSize - 1], 0xA5);
  ReleaseRegion(region);
}

TEST(Platform, ExecutableFileNameHasNoDirectory) {
  std::string name = ExecutableFileName();
  EXPECT_EQ(name, "platform_test");
  EXPECT_EQ(name.find('/'), std::string::npos);
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

TEST(Platform, MissingLibraryIsNotFound) {
  EXPECT_EQ(OpenLibrary("Advapi32.dll"), nullptr);
  EXPECT_EQ(FindFunction(nullptr, "EventRegister"), nullptr);
}

}  // namespace
}  // namespace Vela::Sdk::Platform
