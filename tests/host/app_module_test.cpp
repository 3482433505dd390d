// The plug-in object: handshake, entry functions and forwarding to the host, driven through the
// host stand-in with a module linked into the test.
#include "sdk/host/app_module.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "devhost/host_stand_in.h"
#include "sdk/api/request_entry.h"
#include "tests/printed_text.h"

namespace Vela::Sdk {
namespace {

using DevHost::HostStandIn;
using Arguments = std::vector<std::string>;

constexpr char kName[] = "ark-simple-dialog-messages";

class TestModule : public AppModule {
 public:
  TestModule() : AppModule(kName) {}
  ~TestModule() override { HostLog(0, "deleted"); }

  void RegisterRoutes() override {
    ++routesRegistered;
    // The host's version is stored before the service registers, the API table built after.
    minorSeenByRoutes = HostVersion().minor;
    apiBuiltBeforeRoutes = ApiTable() != nullptr;
    Registry().RegisterFunction("GetTestThings", {}, FunctionSettings{});
  }

  bool Start() override {
    servicesSeenByStart = Services();
    contextSeenByStart = HostContext();
    if (listenOnStart) {
      AddHostListener("OnA", &Deliver, 1);
      AddHostListener("OnB", &Deliver, 0);
    }
    return startResult;
  }

  void Shutdown() override {
    HostLog(0, IsShuttingDown() ? "shutdown while shutting down" : "shutdown");
    AppModule::Shutdown();
  }

  static void Deliver(HostEvent*) {}

  int routesRegistered = 0;
  uint32_t minorSeenByRoutes = 0;
  bool apiBuiltBeforeRoutes = false;
  HostServices* servicesSeenByStart = nullptr;
  uintptr_t contextSeenByStart = 0;
  bool listenOnStart = false;
  bool startResult = true;
};

TestModule* lastModule = nullptr;
int modulesCreated = 0;

AppModule* CreateTestModule() {
  ++modulesCreated;
  return lastModule = new TestModule();
}

int LoadTestModule(PluginHandshake* handshake) { return LoadPlugin(handshake, &CreateTestModule); }

struct Loaded {
  HostStandIn host;
  TestModule* module = nullptr;
};

// A stand-in that has shaken hands with a fresh test module.
void Load(Loaded& loaded, uint32_t minor = 0) {
  loaded.host.Attach(&LoadTestModule);
  ASSERT_EQ(loaded.host.Handshake(18, minor, 0), 0);
  loaded.module = lastModule;
}

TEST(AppModule, HandshakeAnswersACompatibleHost) {
  struct Row {
    uint32_t minor;
    uint32_t patch;
  } rows[] = {{0, 0}, {3, 7}};
  for (const Row& row : rows) {
    HostStandIn host;
    host.Attach(&LoadTestModule);
    ASSERT_EQ(host.Handshake(18, row.minor, row.patch), 0);
    const PluginHandshake& record = host.HandshakeRecord();
    TestModule* module = lastModule;
    EXPECT_EQ(+record.major, 18u);
    EXPECT_EQ(+record.minor, 0u);
    EXPECT_EQ(+record.patch, 0u);
    EXPECT_STREQ(record.shortName, kName);
    EXPECT_EQ(+record.handle, module);
    EXPECT_EQ(+record.entries, &module->EntryTable());
    EXPECT_EQ(+record.api, module->ApiTable());
    EXPECT_EQ(module->HostVersion().ToText(), "18." + std::to_string(row.minor) + "." + std::to_string(row.patch));
    EXPECT_EQ(module->Identity().fullName, "orb-be-ark-simple-dialog-messages");
    EXPECT_EQ(module->Identity().kindName, "backend");
    EXPECT_EQ(module->Tags(), (std::vector<std::string>{"Plugins", "Plugin ark-simple-dialog-messages"}));
    EXPECT_EQ(module->ApiNamePrefix(), "ArkSimpleDialogMessages");
    EXPECT_EQ(module->routesRegistered, 1);
    EXPECT_EQ(module->minorSeenByRoutes, row.minor);
    EXPECT_FALSE(module->apiBuiltBeforeRoutes);
    EXPECT_FALSE(module->IsShuttingDown());
  }
}

TEST(AppModule, IncompatibleHostLeavesTheRecordAsItWas) {
  struct Row {
    uint32_t major, minor, patch;
  } rows[] = {{17, 9, 9}, {19, 0, 0}, {0, 0, 0}};
  for (const Row& row : rows) {
    TestModule module;
    PluginHandshake record{row.major, row.minor, row.patch, nullptr, nullptr, nullptr, nullptr};
    std::memset(reinterpret_cast<char*>(&record) + 12, 0xAB, sizeof record - 12);
    PluginHandshake before = record;
    EXPECT_FALSE(module.Handshake(record));
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
    EXPECT_EQ(module.HostVersion().ToText(), "0.0.0");
    EXPECT_EQ(module.routesRegistered, 0);
    EXPECT_EQ(module.ApiTable(), nullptr);
  }
}

TEST(AppModuleDeathTest, IncompatibleHostEndsTheProcess) {
  PluginHandshake record{17, 9, 9, nullptr, nullptr, nullptr, nullptr};
  EXPECT_DEATH(LoadTestModule(&record),
               Testing::Printed(testing::HasSubstr(
                   "Expression: ALE-EECF0606\n\nDescription: ark-simple-dialog-messages which supports plugin API "
                   "18.0.0 is not compatible with core's plugin API 17.9.9")));
}

TEST(AppModule, NullRecordBuildsNothing) {
  int created = modulesCreated;
  EXPECT_NE(LoadTestModule(nullptr), 0);
  EXPECT_EQ(modulesCreated, created);
}

TEST(AppModule, EntryFunctionsRefuseANullHandleOrServices) {
  Loaded loaded;
  Load(loaded);
  PluginEntryTable entries = loaded.host.Entries();
  HostServices services{loaded.host.Table(), 1};
  EXPECT_EQ(entries.initialise(nullptr, &services), 0);
  EXPECT_EQ(entries.initialise(loaded.module, nullptr), 0);
  entries.destroy(nullptr);
  entries.memoryStatistics(nullptr, nullptr);
  EXPECT_TRUE(loaded.host.Calls().empty());
  EXPECT_EQ(loaded.module->Services(), nullptr);
  EXPECT_FALSE(loaded.module->IsShuttingDown());
}

// Every host slot reaches its host function, with the table itself first.
TEST(AppModule, HostSlotsForwardToTheirHostFunctions) {
  Loaded loaded;
  Load(loaded);
  ASSERT_TRUE(loaded.host.Initialise());
  TestModule& module = *loaded.module;
  HostEvent event{"OnSomething", DevHost::FlatBool(true), 0, 0};
  struct Row {
    std::function<void()> call;
    int slot;
    Arguments arguments;
  } rows[] = {
      {[&] { module.Reserved(7, 9); }, 1, {"7", "9"}},
      {[&] { module.FireEvent(&event); }, 2, {"OnSomething", "true"}},
      {[&] { module.AddEventListener("OnX", 42, nullptr, nullptr, 1); }, 3, {"OnX", "42", "0x0", "0x0", "1"}},
      {[&] { module.RemoveEventListener("OnX", 42); }, 4, {"OnX", "42"}},
      {[&] { module.Schedule("Later", nullptr, nullptr, 0.5, 0); }, 5, {"Later", "0x0", "0x0", "0.5", "0"}},
      {[&] { module.Yield(); }, 6, {}},
      {[&] { module.BeginWait("Waiting", 0); }, 7, {"Waiting", "0"}},
      {[&] { module.EndWait(); }, 8, {}},
      {[&] { module.HostLog(2, "line"); }, 9, {"2", "line"}},
  };
  for (const Row& row : rows) {
    loaded.host.ClearCalls();
    row.call();
    ASSERT_EQ(loaded.host.Calls().size(), 1u) << "slot " << row.slot;
    const DevHost::HostCall& call = loaded.host.Calls()[0];
    EXPECT_EQ(call.slot, row.slot);
    EXPECT_EQ(call.table, loaded.host.Table());
    EXPECT_EQ(call.arguments, row.arguments) << "slot " << row.slot;
  }

  // A request comes back filled, with the host's release function.
  loaded.host.ClearCalls();
  HostRequest request{};
  request.method = kMethodGet;
  request.url = "/nowhere";
  HostResponse response{};
  module.SendRequest(&response, &request);
  ASSERT_EQ(loaded.host.Calls().size(), 1u);
  EXPECT_EQ(loaded.host.Calls()[0].slot, 0);
  EXPECT_EQ(loaded.host.Calls()[0].table, loaded.host.Table());
  EXPECT_EQ(loaded.host.Calls()[0].arguments, (Arguments{"2", "/nowhere"}));
  EXPECT_EQ(+response.status, 404);
  ASSERT_NE(+response.release, nullptr);
  response.release(&response);
  EXPECT_EQ(loaded.host.HostResponsesReleased(), 1);
}

TEST(AppModule, HostSlotsDoNothingBeforeInitialise) {
  Loaded loaded;
  Load(loaded);
  TestModule& module = *loaded.module;
  HostResponse response{};
  HostRequest request{};
  module.SendRequest(&response, &request);
  module.Reserved(1, 2);
  module.Yield();
  module.BeginWait("w", 0);
  module.EndWait();
  module.HostLog(0, "x");
  EXPECT_TRUE(loaded.host.Calls().empty());
  EXPECT_EQ(+response.release, nullptr);
}

// The host may move its table: the module follows the services record, not a copy of it.
TEST(AppModule, TableIsReadThroughTheServicesRecordAtEveryCall) {
  HostStandIn first;
  HostStandIn second;
  TestModule module;
  HostServices services{first.Table(), 5};
  ASSERT_TRUE(module.Initialise(services));
  module.Yield();
  services.functions = second.Table();
  module.Yield();
  EXPECT_EQ(first.CallsOf(6).size(), 1u);
  ASSERT_EQ(second.CallsOf(6).size(), 1u);
  EXPECT_EQ(second.CallsOf(6)[0].table, second.Table());
}

TEST(AppModule, InitialiseStoresTheServicesBeforeStartAndReturnsItsResult) {
  for (bool started : {true, false}) {
    Loaded loaded;
    Load(loaded);
    loaded.module->startResult = started;
    EXPECT_EQ(loaded.host.Initialise(), started);
    EXPECT_NE(loaded.module->servicesSeenByStart, nullptr);
    EXPECT_EQ(loaded.module->servicesSeenByStart->functions, loaded.host.Table());
    EXPECT_EQ(loaded.module->contextSeenByStart, loaded.host.HostContext());
  }
}

// Destroy: the flag first, then one removal per listened name with the host's context, then
// the object goes.
TEST(AppModule, DestroyShutsDownThenDeletes) {
  Loaded loaded;
  Load(loaded);
  loaded.module->listenOnStart = true;
  ASSERT_TRUE(loaded.host.Initialise());
  // Besides the service's two, the three service-proxy listeners of Initialise.
  ASSERT_EQ(loaded.host.Listeners().size(), 5u);
  EXPECT_EQ(loaded.host.Listeners().at("OnA").userData, loaded.module);
  EXPECT_EQ(loaded.host.Listeners().at("OnA").flag, 1);
  loaded.host.ClearCalls();

  loaded.host.Destroy();
  std::string context = std::to_string(loaded.host.HostContext());
  std::vector<std::pair<int, Arguments>> seen;
  for (const DevHost::HostCall& call : loaded.host.Calls()) seen.emplace_back(call.slot, call.arguments);
  EXPECT_EQ(seen, (std::vector<std::pair<int, Arguments>>{{9, {"0", "shutdown while shutting down"}},
                                                          {4, {"OnA", context}},
                                                          {4, {"OnB", context}},
                                                          {4, {"OnServiceProxyAsyncEvent", context}},
                                                          {4, {"OnServiceProxyMethodEvent", context}},
                                                          {4, {"OnServiceProxyUuidEvent", context}},
                                                          {9, {"0", "deleted"}}}));
  EXPECT_TRUE(loaded.host.Listeners().empty());
}

// Every function record carries the request entry; one registered without a route has
// nothing to dispatch to.
TEST(AppModule, FunctionRecordsCarryTheRequestEntry) {
  Loaded loaded;
  Load(loaded);
  ASSERT_EQ(loaded.host.FunctionNames(), (std::vector<std::string>{"GetTestThings"}));
  const FlatFunctionRecord* record = loaded.host.FindFunction("GetTestThings");
  EXPECT_EQ(+record->requestCallback, &HandleRegisteredRequest);

  DevHost::ApiResponse response = loaded.host.Call("GetTestThings", DevHost::ApiRequest{});
  EXPECT_EQ(response.Error(), "Invalid function");
  EXPECT_EQ(response.Status(), 404);
  response.Release();
  HostResponse zero{};
  EXPECT_EQ(std::memcmp(&response.Get(), &zero, sizeof zero), 0);
}

}  // namespace
}  // namespace Vela::Sdk
