// The host stand-in as a plug-in meets it: through its function table.
#include "devhost/host_stand_in.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace Vela::DevHost {
namespace {

using Vela::Sdk::HostEvent;

TEST(HostStandIn, LoadFailuresSayWhatWentWrong) {
  HostStandIn host;
  EXPECT_FALSE(host.Load("/nonexistent/plugin.so"));
  EXPECT_EQ(host.LastError(), "Plug-in file not found: /nonexistent/plugin.so");

  std::string text = (std::filesystem::temp_directory_path() / "orb-not-a-library.so").string();
  std::ofstream(text) << "not a library";
  EXPECT_FALSE(host.Load(text));
  EXPECT_EQ(host.LastError().rfind("Plug-in could not be loaded: " + text + ": ", 0), 0u) << host.LastError();
  std::filesystem::remove(text);

  // A library that loads fine but exports no plug-in entry.
  EXPECT_FALSE(host.Load(ORB_NO_ENTRY_LIBRARY));
  EXPECT_EQ(host.LastError(), "Plug-in has no export " ORB_PLUGIN_ENTRY_NAME ": " ORB_NO_ENTRY_LIBRARY);
  EXPECT_EQ(host.Handshake(), -1);
}

TEST(HostStandIn, GetIsAnsweredWithACopyOfTheStoredResource) {
  HostStandIn host;
  host.SetResource("/ark-gameflow/v1/session", OwnedFlatValue(FlatStructure({{"phase", FlatText("Lobby")}})));
  HostFunctionTable* table = host.Table();

  struct Row {
    int32_t method;
    const char* url;
    const char* body;
    const char* error;
    int32_t status;
  } rows[] = {
      {Vela::Sdk::kMethodGet, "/ark-gameflow/v1/session", "{\"phase\":\"Lobby\"}", nullptr, 200},
      {Vela::Sdk::kMethodGet, "/ark-gameflow/v1/other", "null", "Resource not found", 404},
      {Vela::Sdk::kMethodPost, "/ark-gameflow/v1/session", "null", "Resource not found", 404},
  };
  for (const Row& row : rows) {
    Vela::Sdk::HostRequest request{};
    request.method = row.method;
    request.url = row.url;
    HostResponse response{};
    table->sendRequest(table, &response, &request);
    EXPECT_EQ(FlatValueText(response.body), row.body) << row.url;
    EXPECT_STREQ(response.error, row.error);
    EXPECT_EQ(+response.status, row.status);
    ASSERT_NE(+response.release, nullptr);
    response.release(&response);
    EXPECT_EQ(+response.body.kind, 0);
  }
  EXPECT_EQ(host.HostResponsesReleased(), 3);
  EXPECT_EQ(host.CallsOf(0)[1].arguments, (std::vector<std::string>{"2", "/ark-gameflow/v1/other"}));
}

TEST(HostStandIn, RequestHandlerAnswersWhatTheStoreDoesNot) {
  HostStandIn host;
  host.SetRequestHandler([](const HostRequest& request, HostResponse& response) {
    response.body = FlatText(request.url);
    response.status = 201;
  });
  Vela::Sdk::HostRequest request{};
  request.method = Vela::Sdk::kMethodPost;
  request.url = "/ark-login/v1/session/invoke";
  HostResponse response{};
  host.Table()->sendRequest(host.Table(), &response, &request);
  EXPECT_EQ(FlatValueText(response.body), "\"/ark-login/v1/session/invoke\"");
  EXPECT_EQ(+response.status, 201);
  response.release(&response);
}

HostEvent received{};
std::string receivedName;
void Receive(HostEvent* event) {
  received = *event;
  receivedName = event->name;
}

TEST(HostStandIn, EventsReachTheListenerWithItsUserData) {
  HostStandIn host;
  HostFunctionTable* table = host.Table();
  int owner = 0;
  table->addEventListener(table, "OnLcdsEvent_x", 77, &Receive, &owner, 1);
  ASSERT_EQ(host.Listeners().count("OnLcdsEvent_x"), 1u);
  EXPECT_EQ(host.Listeners().at("OnLcdsEvent_x").hostContext, 77u);

  OwnedFlatValue data(FlatSigned(-5));
  EXPECT_TRUE(host.DeliverEvent("OnLcdsEvent_x", data.Get()));
  EXPECT_EQ(receivedName, "OnLcdsEvent_x");
  EXPECT_EQ(+received.userData, reinterpret_cast<uintptr_t>(&owner));
  EXPECT_EQ(+received.data.payload.i64, -5);
  EXPECT_EQ(+received.value, 0);

  table->removeEventListener(table, "OnLcdsEvent_x", 77);
  EXPECT_FALSE(host.DeliverEvent("OnLcdsEvent_x", data.Get()));
}

std::vector<int> ran;
HostStandIn* scheduling = nullptr;
void Task(void* context) {
  int id = *static_cast<int*>(context);
  ran.push_back(id);
  // A task that queues another leaves it for the next round.
  static int follower = 99;
  if (id == 1) scheduling->Table()->schedule(scheduling->Table(), "follow-up", &Task, &follower, 0, 0);
}

TEST(HostStandIn, ScheduledTasksRunOnYieldInOrderOneRoundAtATime) {
  HostStandIn host;
  scheduling = &host;
  ran.clear();
  int one = 1, two = 2;
  HostFunctionTable* table = host.Table();
  table->schedule(table, "first", &Task, &one, 0.25, 0);
  table->schedule(table, "second", &Task, &two, 0, 0);
  EXPECT_EQ(host.ScheduledTasks().size(), 2u);
  table->yield(table);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  ASSERT_EQ(host.ScheduledTasks().size(), 1u);
  EXPECT_EQ(host.ScheduledTasks().front().label, "follow-up");
  EXPECT_EQ(host.RunScheduled(), 1u);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 99}));
  EXPECT_EQ(host.RunScheduled(), 0u);
}

TEST(HostStandIn, RecordsLogsWaitsAndFiredEvents) {
  HostStandIn host;
  HostFunctionTable* table = host.Table();
  table->log(table, 2, "broken");
  table->beginWait(table, "Awaiting", 0);
  EXPECT_EQ(host.WaitDepth(), 1);
  table->endWait(table);
  EXPECT_EQ(host.WaitDepth(), 0);

  char text[] = "visible";
  HostEvent event{"OnJsonApiEvent", {}, 0, 0};
  event.data.kind = Vela::Sdk::kFlatStringBorrowed;
  event.data.payload.ref.data = text;
  event.data.payload.ref.count = 7;
  table->fireEvent(table, &event);
  text[0] = 'X';  // the host keeps its own copy

  ASSERT_EQ(host.Logs().size(), 1u);
  EXPECT_EQ(host.Logs()[0].level, 2);
  EXPECT_EQ(host.Logs()[0].message, "broken");
  ASSERT_EQ(host.FiredEvents().size(), 1u);
  EXPECT_EQ(host.FiredEvents()[0].name, "OnJsonApiEvent");
  EXPECT_EQ(FlatValueText(host.FiredEvents()[0].data.Get()), "\"visible\"");
  std::vector<int> slots;
  for (const HostCall& call : host.Calls()) slots.push_back(call.slot);
  EXPECT_EQ(slots, (std::vector<int>{9, 7, 8, 2}));
}

TEST(HostStandIn, CallOfAnUnknownFunctionCallsNothing) {
  HostStandIn host;
  ApiResponse response = host.Call("GetNothing", ApiRequest{});
  EXPECT_EQ(host.LastError(), "No API function GetNothing");
  EXPECT_EQ(+response.Get().release, nullptr);
}

}  // namespace
}  // namespace Vela::DevHost
