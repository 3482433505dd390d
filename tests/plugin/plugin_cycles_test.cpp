// The built plug-in's whole life, many times over in one process: load, handshake, Initialise,
// requests of every kind, Destroy, unload.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/plugin/service_host.h"

namespace Vela::DevHost {
namespace {

using Vela::Sdk::MemoryStatisticsRecord;
using Vela::Sdk::Platform::LibraryLifetime;

// Every run ends, after Destroy, with the same number of live blocks: what the library keeps for
// its own life (the logger, the static type records) and nothing that grows run by run. (Their
// bytes vary a little from run to run: the count is of usable sizes, which depend on the heap's
// state.) The unload then takes them too: the sanitizer build's leak check at exit finds nothing
// of a thousand runs.
TEST(PluginCycles, AThousandRunsEachUnloadedLeaveNothingBehind) {
  constexpr int kRuns = 1000;
  std::optional<uint64_t> settled;
  for (int run = 0; run < kRuns; ++run) {
    ServiceHost service(LibraryLifetime::kUntilClosed);
    service.host.SetResource(kLoginDataUrl,
                             OwnedFlatValue(ServiceHost::LoginData({{7, "boot", "championMastery", {"aurel"}}})));
    service.host.SetResource(kSessionUrl, OwnedFlatValue(FlatStructure({{"phase", FlatText("Lobby")}})));
    const MemoryStatisticsRecord start = service.host.MemoryStatistics();
    ASSERT_EQ(start.allocationCount, 0u) << "run " << run << ": the library was not loaded afresh";
    service.Start();

    ASSERT_EQ(service.Post(R"({"msgType":"local","msgBody":["brisk"]})").Error(), "");
    service.SendLcds(PlatformMessage{7, "m-1", "championMastery", {"7"}});
    service.SendSession("Update", "ChampSelect");
    service.SendLcds(PlatformMessage{7, "m-2", "championMastery", {"5"}});
    service.SendSession("Update", "EndOfGame");
    service.SendLoginData("Update", {{7, "again", "championMastery", {}}});
    EXPECT_EQ(service.Delete(0).Error(), "");  // the login data's message: acknowledged
    EXPECT_EQ(service.Delete(1).Error(), "");  // the local one
    EXPECT_NE(service.Delete(99).Error(), "");
    EXPECT_NE(service.Post("{\"msgType\":").Error(), "");
    EXPECT_NE(service.List().find("\"id\":2"), std::string::npos);

    service.host.Destroy();
    const MemoryStatisticsRecord end = service.host.MemoryStatistics();
    const uint64_t liveBlocks = (end.allocationCount - end.freeCount) - (start.allocationCount - start.freeCount);
    if (!settled) settled = liveBlocks;
    ASSERT_EQ(liveBlocks, *settled) << "run " << run;
    ASSERT_LT(end.totalBytesAllocated - end.totalBytesFreed, 64u * 1024u) << "run " << run;
  }
}

}  // namespace
}  // namespace Vela::DevHost
