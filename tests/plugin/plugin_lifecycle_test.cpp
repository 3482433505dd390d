// The built plug-in library, driven through the host stand-in as the host would drive it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "devhost/host_stand_in.h"
#include "tests/printed_text.h"

namespace Vela::DevHost {
namespace {

void LoadBuilt(HostStandIn& host) { ASSERT_TRUE(host.Load(BuiltPluginPath())) << host.LastError(); }

TEST(PluginLifecycle, CompatibleHostGetsTheRecordFilled) {
  struct Row {
    uint32_t minor, patch;
  } rows[] = {{0, 0}, {3, 7}};
  for (const Row& row : rows) {
    HostStandIn host;
    LoadBuilt(host);
    ASSERT_EQ(host.Handshake(18, row.minor, row.patch), 0);
    const PluginHandshake& record = host.HandshakeRecord();
    EXPECT_EQ(+record.major, 18u);
    EXPECT_EQ(+record.minor, 0u);
    EXPECT_EQ(+record.patch, 0u);
    EXPECT_STREQ(record.shortName, "ark-simple-dialog-messages");
    EXPECT_NE(+record.handle, nullptr);
    ASSERT_NE(+record.entries, nullptr);
    EXPECT_NE(record.entries->initialise, nullptr);
    EXPECT_NE(record.entries->destroy, nullptr);
    EXPECT_NE(record.entries->memoryStatistics, nullptr);
    ASSERT_NE(+record.api, nullptr);
    for (const std::string& name : host.FunctionNames()) {
      EXPECT_NE(+host.FindFunction(name)->requestCallback, nullptr) << name;
    }
  }
}

TEST(PluginLifecycleDeathTest, IncompatibleHostEndsTheProcess) {
  struct Row {
    uint32_t major, minor, patch;
    const char* hostText;
  } rows[] = {{17, 9, 9, "17.9.9"}, {19, 0, 0, "19.0.0"}};
  for (const Row& row : rows) {
    HostStandIn host;
    LoadBuilt(host);
    EXPECT_DEATH(host.Handshake(row.major, row.minor, row.patch),
                 Vela::Sdk::Testing::Printed(testing::HasSubstr(
                     std::string("Expression: ALE-EECF0606\n\nDescription: ark-simple-dialog-messages "
                                 "which supports plugin API 18.0.0 is not compatible with core's "
                                 "plugin API ") +
                     row.hostText)));
  }
}

TEST(PluginLifecycle, NullRecordAndNullHandleAreRefused) {
  HostStandIn host;
  LoadBuilt(host);
  EXPECT_NE(host.Export()(nullptr), 0);
  ASSERT_EQ(host.Handshake(), 0);
  Vela::Sdk::HostServices services{host.Table(), 1};
  EXPECT_EQ(host.Entries().initialise(nullptr, &services), 0);
  host.Entries().destroy(nullptr);
  EXPECT_TRUE(host.Calls().empty());
  EXPECT_TRUE(host.IsAlive());
}

TEST(PluginLifecycle, InitialiseStartsAndDestroyRemovesEveryListener) {
  HostStandIn host;
  LoadBuilt(host);
  ASSERT_EQ(host.Handshake(), 0);
  ASSERT_TRUE(host.Initialise());
  std::size_t listened = host.Listeners().size();
  for (const HostCall& call : host.Calls()) EXPECT_EQ(call.table, host.Table());
  host.ClearCalls();
  host.Destroy();
  EXPECT_EQ(host.CallsOf(4).size(), listened);
  for (const HostCall& call : host.CallsOf(4)) EXPECT_EQ(call.arguments[1], std::to_string(host.HostContext()));
  EXPECT_TRUE(host.Listeners().empty());
  EXPECT_FALSE(host.IsAlive());
}

// Statics of the library may stay from the first run; a second run must give back all it took.
TEST(PluginLifecycle, ARunFreesEverythingItAllocated) {
  auto run = [](HostStandIn& host) {
    ASSERT_EQ(host.Handshake(), 0);
    ASSERT_TRUE(host.Initialise());
    host.Destroy();
  };
  HostStandIn host;
  LoadBuilt(host);
  run(host);
  Vela::Sdk::MemoryStatisticsRecord before = host.MemoryStatistics();
  run(host);
  Vela::Sdk::MemoryStatisticsRecord after = host.MemoryStatistics();
  EXPECT_GT(after.allocationCount, before.allocationCount);
  EXPECT_EQ(after.allocationCount - before.allocationCount, after.freeCount - before.freeCount);
  EXPECT_EQ(after.totalBytesAllocated - before.totalBytesAllocated, after.totalBytesFreed - before.totalBytesFreed);
  EXPECT_GE(after.peakLiveBytes, before.peakLiveBytes);
}

// The logger stays with the library, so the next plug-in object finds it as the last Initialise
// left it: without console targets, nothing logged before its own Initialise reaches stderr.
TEST(PluginLifecycle, TheLoggerOutlivesThePluginObject) {
  HostStandIn host;
  LoadBuilt(host);
  ASSERT_EQ(host.Handshake(), 0);
  ASSERT_TRUE(host.Initialise());
  host.Destroy();
  ASSERT_EQ(host.Handshake(), 0);
  ApiRequest request;
  request.method = Vela::Sdk::kMethodDelete;
  request.url = "/ark-simple-dialog-messages/v1/messages/5";
  testing::internal::CaptureStderr();
  ApiResponse response = host.Call("DeleteArkSimpleDialogMessagesV1MessagesByMessageId", request);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(response.Error(), "Message 5 does not exist or has already been dismissed");
  host.Destroy();
}

}  // namespace
}  // namespace Vela::DevHost
