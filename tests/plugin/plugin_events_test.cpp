// The host glue of the built plug-in as the host sees it: its event listeners, its SDK types
// and events in the API description, service-proxy events and log records forwarded to the host.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "devhost/host_stand_in.h"

namespace Vela::DevHost {
namespace {

void Start(HostStandIn& host) {
  ASSERT_TRUE(host.Load(BuiltPluginPath())) << host.LastError();
  ASSERT_EQ(host.Handshake(), 0);
  ASSERT_TRUE(host.Initialise());
}

OwnedFlatValue ProxyResponse(const char* uuid, const char* service, const char* method) {
  return OwnedFlatValue(FlatStructure({{"uuid", FlatText(uuid)},
                                       {"serviceName", FlatText(service)},
                                       {"methodName", FlatText(method)},
                                       {"payload", FlatText("")},
                                       {"status", FlatText("")},
                                       {"error", FlatText("")}}));
}

TEST(PluginEvents, InitialiseListensToTheServiceProxyEvents) {
  HostStandIn host;
  Start(host);
  for (const char* name : {"OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent"}) {
    ASSERT_EQ(host.Listeners().count(name), 1u) << name;
    const Listener& listener = host.Listeners().at(name);
    EXPECT_EQ(listener.flag, 1) << name;
    EXPECT_EQ(listener.hostContext, host.HostContext()) << name;
    EXPECT_EQ(listener.userData, host.Handle()) << name;
  }
}

// The async event has no handler in this plug-in: the ERROR record it logs comes to the host
// through the plug-in's log target, as level and bare message.
TEST(PluginEvents, UnhandledAsyncEventIsLoggedToTheHost) {
  HostStandIn host;
  Start(host);
  std::size_t before = host.Logs().size();
  ASSERT_TRUE(host.DeliverEvent("OnServiceProxyAsyncEvent", ProxyResponse("u", "svc", "m").Get()));
  ASSERT_EQ(host.Logs().size(), before + 1);
  EXPECT_EQ(host.Logs().back().level, 2);
  EXPECT_EQ(host.Logs().back().message,
            "ark-simple-dialog-messages: Could not find registered handler for async service proxy event svc.m");
}

TEST(PluginEvents, MalformedPayloadsAreDroppedQuietly) {
  HostStandIn host;
  Start(host);
  std::size_t logs = host.Logs().size();
  FlatValue hostile{};
  hostile.kind = 11;
  for (const auto& [name, listener] : host.Listeners()) {
    EXPECT_TRUE(host.DeliverEvent(name, hostile)) << name;
    EXPECT_TRUE(host.DeliverEvent(name, OwnedFlatValue(FlatText("x")).Get())) << name;
  }
  // A uuid response nobody waits for is kept without a word.
  EXPECT_TRUE(host.DeliverEvent("OnServiceProxyUuidEvent", ProxyResponse("u", "s", "m").Get()));
  EXPECT_EQ(host.Logs().size(), logs);
  EXPECT_TRUE(host.ScheduledTasks().empty());
}

TEST(PluginEvents, ApiDescriptionCarriesTheHostEvents) {
  HostStandIn host;
  Start(host);
  std::map<std::string, std::string> events;  // name -> "nameSpace payload: description"
  const Vela::Sdk::FlatApiDescription* api = host.Api();
  ASSERT_NE(api, nullptr);
  for (const Vela::Sdk::FlatEventRecord* event = api->events; event != nullptr; event = event->next) {
    events[event->name] = std::string(event->nameSpace) + " " + event->payloadTypeName + ": " + event->description;
  }
  EXPECT_EQ(events["OnJsonApiEvent"], "vclient PluginResourceEvent: Fired when a resource is changed.");
  EXPECT_EQ(events["OnLcdsEvent"],
            "vclient PluginLcdsEvent: Fired when a message is received over the LCDS connection.");
  EXPECT_EQ(events["OnServiceProxyAsyncEvent"],
            "vclient PluginServiceProxyResponse: Fired when an async service proxy message is received.");
  std::map<std::string, uint32_t> types;
  for (const Vela::Sdk::FlatTypeRecord* type = api->types; type != nullptr; type = type->next) {
    types[type->name] = type->count;
  }
  EXPECT_EQ(types["PluginResourceEventType"], 3u);
  EXPECT_EQ(types["PluginServiceProxyResponse"], 6u);
  EXPECT_EQ(types["PluginManagerState"], 2u);
}

TEST(PluginEvents, DestroyRemovesEveryListenerWithTheHostContext) {
  HostStandIn host;
  Start(host);
  std::size_t listening = host.Listeners().size();
  host.ClearCalls();
  host.Destroy();
  std::map<std::string, int> removed;
  for (const HostCall& call : host.CallsOf(4)) {
    ++removed[call.arguments[0]];
    EXPECT_EQ(call.arguments[1], std::to_string(host.HostContext()));
  }
  EXPECT_EQ(removed.size(), listening);
  for (const auto& [name, count] : removed) EXPECT_EQ(count, 1) << name;
  EXPECT_TRUE(host.Listeners().empty());
}

}  // namespace
}  // namespace Vela::DevHost
