// Host events through the stand-in: subscriptions and their listeners, resource routing by URL,
// LCDS messages through scheduled tasks, and service-proxy responses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devhost/flat_values.h"
#include "sdk/binding/binding_registry.h"
#include "sdk/host/app_module.h"
#include "tests/host/glue_test_module.h"

namespace Vela::Sdk::GlueTest {
namespace {

using DevHost::FlatCollection;
using DevHost::FlatSigned;
using DevHost::FlatStructure;
using DevHost::FlatText;
using DevHost::OwnedFlatValue;
using Texts = std::vector<std::string>;

constexpr char kSessionUrl[] = "/ark-gameflow/v1/session";
constexpr char kSessionEvent[] = "OnJsonApiEvent_ark-gameflow_v1_session";
constexpr char kLcdsType[] = "com.x.Session";
constexpr char kLcdsEvent[] = "OnLcdsEvent_com_x_Session";

FlatValue SessionFlat(const char* phase, int64_t round) {
  return FlatStructure({{"phase", FlatText(phase)}, {"round", FlatSigned(round)}});
}

OwnedFlatValue ResourceEvent(const char* uri, const char* type, FlatValue data) {
  return OwnedFlatValue(FlatStructure({{"uri", FlatText(uri)}, {"eventType", FlatText(type)}, {"data", data}}));
}

OwnedFlatValue LcdsEvent(const char* typeName, FlatValue body) {
  return OwnedFlatValue(FlatStructure(
      {{"clientId", FlatText("c")}, {"subtopic", FlatText("s")}, {"typeName", FlatText(typeName)}, {"body", body}}));
}

OwnedFlatValue ProxyResponse(const char* uuid, const char* service, const char* method) {
  return OwnedFlatValue(FlatStructure({{"uuid", FlatText(uuid)},
                                       {"serviceName", FlatText(service)},
                                       {"methodName", FlatText(method)},
                                       {"payload", FlatText("p")}}));
}

TEST(AppModuleEvents, SdkTypesAndHostEventsAreRegistered) {
  GlueHost glue;
  BindingRegistry& registry = glue.module->Registry();
  const TypeDescriptor* event = registry.FindType("PluginResourceEvent");
  ASSERT_NE(event, nullptr);
  std::vector<std::string> fields;
  for (const FieldDescriptor& field : event->fields) fields.push_back(field.name);
  EXPECT_EQ(fields, (Texts{"uri", "eventType", "data"}));
  for (const char* name : {"PluginManagerState", "PluginManagerResource", "PluginResourceEventType", "PluginLcdsEvent",
                           "PluginLcdsResponse", "PluginServiceProxyResponse"}) {
    EXPECT_NE(registry.FindType(name), nullptr) << name;
  }
  struct Row {
    const char* name;
    const char* payload;
    const char* description;
  } rows[] = {
      {"OnJsonApiEvent", "PluginResourceEvent", "Fired when a resource is changed."},
      {"OnLcdsEvent", "PluginLcdsEvent", "Fired when a message is received over the LCDS connection."},
      {"OnServiceProxyUuidEvent", "PluginServiceProxyResponse",
       "Fired when a uuid-based service proxy message is received."},
      {"OnServiceProxyMethodEvent", "PluginServiceProxyResponse",
       "Fired when a method-based service proxy message is received."},
      {"OnServiceProxyAsyncEvent", "PluginServiceProxyResponse",
       "Fired when an async service proxy message is received."},
  };
  for (const Row& row : rows) {
    const EventDescriptor* found = registry.FindEvent(row.name);
    ASSERT_NE(found, nullptr) << row.name;
    ASSERT_NE(found->dataType, nullptr) << row.name;
    EXPECT_EQ(found->dataType->name, row.payload);
    EXPECT_EQ(found->nameSpace, "vclient");
    EXPECT_EQ(found->description, row.description);
  }
}

TEST(AppModuleEvents, OneListenerWhileSubscriptionsLast) {
  GlueHost glue;
  TraceCapture traces;
  std::string context = std::to_string(glue.host.HostContext());
  glue.module->Subscribe(kSessionUrl);
  glue.module->Subscribe(kSessionUrl);
  ASSERT_EQ(glue.host.CallsOf(3).size(), 1u);
  EXPECT_EQ(glue.host.CallsOf(3)[0].arguments[0], kSessionEvent);
  EXPECT_EQ(glue.host.CallsOf(3)[0].arguments[1], context);
  EXPECT_EQ(glue.host.CallsOf(3)[0].arguments[4], "0");
  glue.module->Unsubscribe(kSessionUrl);
  EXPECT_TRUE(glue.host.CallsOf(4).empty());
  glue.module->Unsubscribe(kSessionUrl);
  EXPECT_EQ(ArgumentsOf(glue.host, 4), (std::vector<Texts>{{kSessionEvent, context}}));
  // One too many leaves nothing to remove, and a new Subscribe listens again.
  glue.module->Unsubscribe(kSessionUrl);
  EXPECT_EQ(glue.host.CallsOf(4).size(), 1u);
  glue.module->Subscribe(kSessionUrl);
  EXPECT_EQ(glue.host.CallsOf(3).size(), 2u);
  EXPECT_EQ(traces.Texts(), (Texts{"glue: Subscribing to event: OnJsonApiEvent_ark-gameflow_v1_session",
                                   "glue: Unsubscribing to event: OnJsonApiEvent_ark-gameflow_v1_session",
                                   "glue: Subscribing to event: OnJsonApiEvent_ark-gameflow_v1_session"}));
}

// Both URLs listen under one host event name; the uri of the event picks the handler.
TEST(AppModuleEvents, DispatcherTellsResourcesOfOneEventNameApart) {
  GlueHost glue;
  Texts seen;
  glue.module->ObserveResourceEvents(kSessionUrl, [&](const PluginResourceEvent& e) { seen.push_back("s " + e.uri); });
  glue.module->ObserveResourceEvents("/ark-gameflow/v1/session/extra",
                                     [&](const PluginResourceEvent& e) { seen.push_back("x " + e.uri); });
  EXPECT_EQ(glue.host.CallsOf(3).size(), 1u);
  ASSERT_TRUE(
      glue.host.DeliverEvent(kSessionEvent, ResourceEvent("/ark-gameflow/v1/session/extra", "Update", {}).Get()));
  ASSERT_TRUE(glue.host.DeliverEvent(kSessionEvent, ResourceEvent("ark-gameflow/v1/session", "Update", {}).Get()));
  ASSERT_TRUE(
      glue.host.DeliverEvent(kSessionEvent, ResourceEvent("/ark-gameflow/v1/session/other", "Update", {}).Get()));
  EXPECT_EQ(seen, (Texts{"x /ark-gameflow/v1/session/extra", "s /ark-gameflow/v1/session"}));
}

TEST(AppModuleEvents, WildcardPatternsSeeTheUrlsTheyMatch) {
  GlueHost glue;
  Texts seen;
  glue.module->ObserveResourceEvents("/a/*/c", [&](const PluginResourceEvent& e) { seen.push_back("p " + e.uri); });
  glue.module->ObserveResourceEvents("/a/b/c", [&](const PluginResourceEvent& e) { seen.push_back("e " + e.uri); });
  // A pattern is not read at once; the exact URL is (and the stand-in has nothing there).
  EXPECT_EQ(ArgumentsOf(glue.host, 0), (std::vector<Texts>{{"2", "/a/b/c"}}));
  // The dispatcher matches by uri whichever of the two names the event came under.
  for (const char* uri : {"/a/b/c", "/a//c", "/a/b/x/c"}) {
    glue.host.DeliverEvent("OnJsonApiEvent_a_*_c", ResourceEvent(uri, "Update", {}).Get());
  }
  EXPECT_EQ(seen, (Texts{"e /a/b/c", "p /a/b/c", "p /a//c"}));
}

TEST(AppModuleEvents, ObservedResourceIsReadAtOnceAndConverted) {
  GlueHost glue;
  TraceCapture traces;
  glue.host.SetResource(kSessionUrl, OwnedFlatValue(SessionFlat("Lobby", 2)));
  std::vector<std::string> seen;
  glue.module->ObserveResource<Session>(kSessionUrl, [&](const ResourceEventOf<Session>& e) {
    seen.push_back(e.uri + " " + std::to_string(static_cast<int>(e.eventType)) + " " + e.data.phase + " " +
                   std::to_string(e.data.round));
  });
  EXPECT_EQ(seen, (Texts{"/ark-gameflow/v1/session 0 Lobby 2"}));

  glue.host.DeliverEvent(kSessionEvent, ResourceEvent(kSessionUrl, "Update", SessionFlat("InProgress", 3)).Get());
  // Delete carries no data and still reaches the handler, with an empty record.
  OwnedFlatValue deleted(FlatStructure({{"uri", FlatText(kSessionUrl)}, {"eventType", FlatText("Delete")}}));
  glue.host.DeliverEvent(kSessionEvent, deleted.Get());
  glue.host.DeliverEvent(kSessionEvent, ResourceEvent(kSessionUrl, "Update", FlatText("not a session")).Get());
  EXPECT_EQ(seen, (Texts{"/ark-gameflow/v1/session 0 Lobby 2", "/ark-gameflow/v1/session 1 InProgress 3",
                         "/ark-gameflow/v1/session 2  0"}));
  EXPECT_EQ(traces.Texts().back(),
            "Couldn't convert resource GlueSession to C++ while handling update for URL: /ark-gameflow/v1/session");
}

TEST(AppModuleEvents, FailedFirstReadLeavesTheObserverWithoutACall) {
  GlueHost glue;
  int calls = 0;
  glue.module->ObserveResource<Session>(kSessionUrl, [&](const ResourceEventOf<Session>&) { ++calls; });
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(glue.host.HostResponsesReleased(), 1);
  glue.host.DeliverEvent(kSessionEvent, ResourceEvent(kSessionUrl, "Update", SessionFlat("Lobby", 1)).Get());
  EXPECT_EQ(calls, 1);
}

TEST(AppModuleEvents, UnconvertiblePayloadIsDroppedWithATrace) {
  GlueHost glue;
  TraceCapture traces;
  int calls = 0;
  glue.module->ObserveResourceEvents(kSessionUrl, [&](const PluginResourceEvent&) { ++calls; });
  FlatValue hostile{};
  hostile.kind = 11;
  glue.host.DeliverEvent(kSessionEvent, hostile);
  OwnedFlatValue badType(FlatStructure({{"uri", FlatText(kSessionUrl)}, {"eventType", FlatText("Sideways")}}));
  glue.host.DeliverEvent(kSessionEvent, badType.Get());
  EXPECT_EQ(calls, 0);
  ASSERT_EQ(traces.Texts().size(), 3u);
  EXPECT_EQ(traces.Texts()[1],
            "glue: Couldn't convert payload PluginResourceEvent for event OnJsonApiEvent_ark-gameflow_v1_session: "
            "Couldn't assign value to '<result>' of type object because the input is of an incompatible type ''.");
  EXPECT_EQ(traces.Texts()[2].rfind("glue: Couldn't convert payload PluginResourceEvent for event "
                                    "OnJsonApiEvent_ark-gameflow_v1_session: ",
                                    0),
            0u)
      << traces.Texts()[2];
}

TEST(AppModuleEvents, LcdsMessagesArriveThroughAScheduledTask) {
  GlueHost glue;
  TraceCapture traces;
  std::vector<std::string> seen;
  glue.module->SubscribeLcds<Session>(kLcdsType, [&](const Session& s) { seen.push_back(s.phase); });
  ASSERT_EQ(glue.host.Listeners().count(kLcdsEvent), 1u);
  EXPECT_EQ(glue.host.Listeners().at(kLcdsEvent).flag, 1);

  ASSERT_TRUE(glue.host.DeliverEvent(kLcdsEvent, LcdsEvent(kLcdsType, SessionFlat("Lobby", 1)).Get()));
  EXPECT_TRUE(seen.empty());
  ASSERT_EQ(glue.host.ScheduledTasks().size(), 1u);
  EXPECT_EQ(glue.host.ScheduledTasks()[0].label, "Event: OnLcdsEvent (com.x.Session)");
  EXPECT_EQ(glue.host.ScheduledTasks()[0].delaySeconds, 0.0);
  EXPECT_EQ(glue.host.ScheduledTasks()[0].flags, 0);
  EXPECT_EQ(glue.module->Tasks().Size(), 1u);
  glue.host.RunScheduled();
  EXPECT_EQ(seen, (Texts{"Lobby"}));
  EXPECT_EQ(glue.module->Tasks().Size(), 0u);
  EXPECT_EQ(glue.module->Tasks().NextId(), 1u);

  // A body the record cannot take is traced and dropped when the task runs.
  glue.host.DeliverEvent(kLcdsEvent, LcdsEvent(kLcdsType, FlatText("x")).Get());
  glue.host.RunScheduled();
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_EQ(traces.Texts().back(), "glue: Couldn't convert LCDS DTO com.x.Session to C++ from \"x\"");
}

TEST(AppModuleEvents, LcdsMessageOfAnotherTypeSchedulesNothing) {
  GlueHost glue;
  glue.module->SubscribeLcds(kLcdsType, [](const PluginLcdsEvent&) {});
  glue.host.DeliverEvent(kLcdsEvent, LcdsEvent("com.x.Other", FlatText("x")).Get());
  EXPECT_TRUE(glue.host.ScheduledTasks().empty());
  EXPECT_EQ(glue.module->Tasks().Size(), 0u);
}

TEST(AppModuleEvents, TaskOfAnUnsubscribedTypeDoesNothing) {
  GlueHost glue;
  int calls = 0;
  glue.module->SubscribeLcds(kLcdsType, [&](const PluginLcdsEvent&) { ++calls; });
  glue.host.DeliverEvent(kLcdsEvent, LcdsEvent(kLcdsType, FlatText("x")).Get());
  glue.module->UnsubscribeLcds(kLcdsType);
  EXPECT_EQ(glue.host.Listeners().count(kLcdsEvent), 0u);
  EXPECT_EQ(glue.host.RunScheduled(), 1u);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(glue.module->Tasks().Size(), 0u);
}

// The host runs a queued task even when the object that queued it is gone; the callback must
// find nothing rather than the freed object (the sanitizer build checks the memory).
TEST(AppModuleEvents, TaskOfADestroyedModuleFindsNothing) {
  GlueHost glue;
  int calls = 0;
  glue.module->SubscribeLcds(kLcdsType, [&](const PluginLcdsEvent&) { ++calls; });
  glue.host.DeliverEvent(kLcdsEvent, LcdsEvent(kLcdsType, FlatText("x")).Get());
  glue.host.Destroy();
  EXPECT_EQ(glue.host.RunScheduled(), 1u);
  EXPECT_EQ(calls, 0);
}

TEST(AppModuleEvents, ServiceProxyResponsesFulfilWaitingRequests) {
  GlueHost glue;
  Texts completed;
  glue.module->AddPendingServiceProxyRequest(
      "u1", [&](const PluginServiceProxyResponse& r) { completed.push_back(r.uuid + " " + r.payload); });
  glue.module->AddPendingServiceProxyRequest(
      "svc.m", [&](const PluginServiceProxyResponse& r) { completed.push_back(r.serviceName + "." + r.methodName); });
  glue.host.DeliverEvent("OnServiceProxyUuidEvent", ProxyResponse("u0", "a", "b").Get());
  glue.host.DeliverEvent("OnServiceProxyUuidEvent", ProxyResponse("u1", "a", "b").Get());
  glue.host.DeliverEvent("OnServiceProxyMethodEvent", ProxyResponse("u2", "svc", "m").Get());
  EXPECT_EQ(completed, (Texts{"u1 p", "svc.m"}));
  // A response that came before its request is taken when the request is added.
  glue.module->AddPendingServiceProxyRequest("u0",
                                             [&](const PluginServiceProxyResponse& r) { completed.push_back(r.uuid); });
  EXPECT_EQ(completed, (Texts{"u1 p", "svc.m", "u0"}));
  std::vector<DevHost::LogRecord> logs = glue.host.Logs();
  ASSERT_EQ(logs.size(), 3u);
  EXPECT_EQ(logs[0].level, kLogAlways);
  EXPECT_EQ(logs[0].message, "glue: Fulfilled service proxy request: u1");
  EXPECT_EQ(logs[1].message, "glue: Fulfilled service proxy request: svc.m");
}

TEST(AppModuleEvents, AsyncServiceProxyEventsNeedAHandler) {
  GlueHost glue;
  Texts seen;
  glue.module->AddAsyncServiceProxyHandler("svc", "m",
                                           [&](const PluginServiceProxyResponse& r) { seen.push_back(r.uuid); });
  glue.host.DeliverEvent("OnServiceProxyAsyncEvent", ProxyResponse("u1", "svc", "m").Get());
  glue.host.DeliverEvent("OnServiceProxyAsyncEvent", ProxyResponse("u2", "svc", "other").Get());
  EXPECT_EQ(seen, (Texts{"u1"}));
  ASSERT_EQ(glue.host.Logs().size(), 1u);
  EXPECT_EQ(glue.host.Logs()[0].level, kLogError);
  EXPECT_EQ(glue.host.Logs()[0].message,
            "glue: Could not find registered handler for async service proxy event svc.other");
}

TEST(AppModuleEvents, ShutdownRemovesEveryListenerAndHandler) {
  GlueHost glue;
  int calls = 0;
  glue.module->ObserveResourceEvents(kSessionUrl, [&](const PluginResourceEvent&) { ++calls; });
  glue.module->SubscribeLcds(kLcdsType, [&](const PluginLcdsEvent&) { ++calls; });
  std::size_t listening = glue.host.Listeners().size();
  EXPECT_EQ(listening, 5u);
  DevHost::Listener resource = glue.host.Listeners().at(kSessionEvent);
  glue.host.ClearCalls();
  glue.module->Shutdown();
  EXPECT_EQ(glue.host.CallsOf(4).size(), listening);
  for (const DevHost::HostCall& call : glue.host.CallsOf(4)) {
    EXPECT_EQ(call.arguments[1], std::to_string(glue.host.HostContext()));
  }
  EXPECT_TRUE(glue.host.Listeners().empty());
  // An event the host still had under way finds no handler.
  OwnedFlatValue late = ResourceEvent(kSessionUrl, "Update", {});
  HostEvent event{kSessionEvent, late.Get(), 0, reinterpret_cast<uintptr_t>(resource.userData)};
  resource.callback(&event);
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace Vela::Sdk::GlueTest
