// Outgoing calls through the stand-in: requests and their failures, replies read flat or
// streamed, LCDS invokes, resource events, telemetry and waiting on futures.
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "devhost/flat_values.h"
#include "sdk/diag/logger.h"
#include "sdk/host/abi/allocation.h"
#include "sdk/host/app_module.h"
#include "sdk/host/telemetry_sink.h"
#include "tests/host/glue_test_module.h"
#include "tests/printed_text.h"

namespace Vela::Sdk::GlueTest {
namespace {

using DevHost::CopyFlatValue;
using DevHost::FlatSigned;
using DevHost::FlatStructure;
using DevHost::FlatText;
using DevHost::FlatValueText;
using DevHost::OwnedFlatValue;
using Texts = std::vector<std::string>;

struct Unregistered {
  int32_t x = 0;
};

/// What the host saw of the requests it answered.
struct SeenRequest {
  int32_t method = 0;
  std::string url;
  uintptr_t hostContext = 0;
  Texts arguments;  // "name=" prefix for named ones, then the value's text
};

void Record(std::vector<SeenRequest>& seen, const HostRequest& request) {
  SeenRequest entry{request.method, request.url, request.hostContext, {}};
  for (uint32_t i = 0; i < request.argumentCount; ++i) {
    const HostArgument& argument = request.arguments[i];
    std::string prefix = argument.name == nullptr ? "" : std::string(argument.name) + "=";
    entry.arguments.push_back(prefix + FlatValueText(argument.value));
  }
  seen.push_back(entry);
}

void AnswerError(HostResponse& response, int32_t status, const char* error) {
  response.error = DuplicateText(error);
  response.errorOwned = 1;
  response.status = status;
}

TEST(AppModuleCalls, ErrorResponseCarriesTheStatusAndTheHostsText) {
  GlueHost glue;
  glue.host.SetRequestHandler([](const HostRequest&, HostResponse& response) {
    AnswerError(response, 404, "x");
    // A body beside the error text is released with the response, not read.
    response.body = FlatText("ignored");
  });
  Maybe<BindingValue> reply = glue.module->RequestReply<BindingValue>(kMethodGet, "/a");
  ASSERT_FALSE(reply);
  EXPECT_EQ(reply.Error().Code(), 404);
  EXPECT_EQ(reply.Error().Message(), "Error response for GET /a: x");
  EXPECT_EQ(reply.Error().Fields(), (FieldList{{"method", FieldValue::String("GET")},
                                               {"url", FieldValue::String("/a")},
                                               {"error", FieldValue::String("x")}}));
  Maybe<void> sent = glue.module->Send(kMethodDelete, "/d", 5);
  ASSERT_FALSE(sent);
  EXPECT_EQ(sent.Error().Code(), 404);
  EXPECT_EQ(sent.Error().Message(), "Error response for DELETE /d: x");
  // Every response is released, also that of a request that wants no reply.
  EXPECT_EQ(glue.host.HostResponsesReleased(), 2);
}

TEST(AppModuleCalls, UnconvertibleArgumentSendsNothing) {
  GlueHost glue;
  Maybe<void> sent = glue.module->Send(kMethodPost, "/b", std::string("fine"), Unregistered{});
  ASSERT_FALSE(sent);
  EXPECT_EQ(sent.Error().Code(), 400);
  EXPECT_EQ(sent.Error().Message(),
            "Request not sent: Error converting parameters for POST /b: Couldn't convert native value because it's an "
            "unregistered structure.");
  EXPECT_TRUE(glue.host.CallsOf(0).empty());
}

TEST(AppModuleCalls, ArgumentsGoPositionallyOrAsOneStructure) {
  GlueHost glue;
  std::vector<SeenRequest> seen;
  glue.host.SetRequestHandler([&](const HostRequest& request, HostResponse&) { Record(seen, request); });
  EXPECT_TRUE(glue.module->Send(kMethodPut, "/p", std::string("a"), 7, Session{"Lobby", 2}));
  EXPECT_TRUE(glue.module->SendNamed(kMethodPatch, "/n", {{"b", BindingValue(2)}, {"a", BindingValue("x")}}));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].method, kMethodPut);
  EXPECT_EQ(seen[0].hostContext, glue.host.HostContext());
  EXPECT_EQ(seen[0].arguments, (Texts{"\"a\"", "7", "{\"phase\":\"Lobby\",\"round\":2}"}));
  EXPECT_EQ(seen[1].arguments, (Texts{"{\"a\":\"x\",\"b\":2}"}));
}

TEST(AppModuleCalls, ReplyIsConvertedToTheAskedType) {
  GlueHost glue;
  glue.host.SetResource("/s", OwnedFlatValue(FlatStructure({{"phase", FlatText("Lobby")}, {"round", FlatSigned(4)}})));
  glue.host.SetResource("/t", OwnedFlatValue(FlatText("text")));
  Maybe<Session> session = glue.module->RequestReply<Session>(kMethodGet, "/s");
  ASSERT_TRUE(session) << session.Error().Message();
  EXPECT_EQ(session.Value().phase, "Lobby");
  EXPECT_EQ(session.Value().round, 4);
  Maybe<Session> wrong = glue.module->RequestReply<Session>(kMethodGet, "/t");
  ASSERT_FALSE(wrong);
  EXPECT_EQ(wrong.Error().Code(), 0);
  EXPECT_EQ(
      wrong.Error().Message().rfind("Error converting response for GET /t: Couldn't assign value to '<result>'", 0), 0u)
      << wrong.Error().Message();
  EXPECT_EQ(glue.host.HostResponsesReleased(), 2);
}

// A host stream serving scripted chunks.
struct Stream {
  std::string text;
  std::vector<uint32_t> chunks;
  std::vector<uint8_t> more;
  std::size_t reads = 0;
  std::size_t position = 0;
  int released = 0;
  bool failAt = false;
  std::size_t failRead = 0;

  static uint8_t Read(void* context, char* buffer, uint32_t* length, uint8_t* more) {
    auto* self = static_cast<Stream*>(context);
    std::size_t index = self->reads++;
    if (self->failAt && index == self->failRead) return 0;
    if (index >= self->chunks.size()) {
      *length = 0;
      *more = 0;
      return 1;
    }
    uint32_t size = std::min(self->chunks[index], *length);
    std::memcpy(buffer, self->text.data() + self->position, size);
    self->position += size;
    *length = size;
    *more = self->more[index];
    return 1;
  }
  static void Release(void* context) { ++static_cast<Stream*>(context)->released; }

  void Answer(HostResponse& response) {
    response.streamRead = &Read;
    response.streamRelease = &Release;
    response.streamContext = this;
    response.streamSizeHint = text.size();
  }
};

std::string QuotedText(std::size_t length) { return "\"" + std::string(length - 2, 'a') + "\""; }

TEST(AppModuleCalls, StreamedReplyReadsFullChunksWithoutYielding) {
  GlueHost glue;
  Stream stream{QuotedText(4096 + 4096 + 10), {4096, 4096, 10}, {1, 1, 0}};
  glue.host.SetRequestHandler([&](const HostRequest&, HostResponse& response) { stream.Answer(response); });
  Maybe<BindingValue> reply = glue.module->RequestReply<BindingValue>(kMethodGet, "/big");
  ASSERT_TRUE(reply) << reply.Error().Message();
  EXPECT_EQ(reply.Value().GetString().size(), 8200u);
  EXPECT_EQ(stream.reads, 3u);
  EXPECT_EQ(stream.released, 1);
  EXPECT_TRUE(glue.host.CallsOf(6).empty());
}

TEST(AppModuleCalls, ShortChunkWithMoreToComeYieldsOnce) {
  GlueHost glue;
  Stream stream{"[1,2,3]", {3, 4}, {1, 0}};
  glue.host.SetRequestHandler([&](const HostRequest&, HostResponse& response) { stream.Answer(response); });
  Maybe<BindingValue> reply = glue.module->RequestReply<BindingValue>(kMethodGet, "/s");
  ASSERT_TRUE(reply) << reply.Error().Message();
  EXPECT_EQ(reply.Value().Size(), 3u);
  EXPECT_EQ(stream.reads, 2u);
  std::vector<int> slots;
  for (const DevHost::HostCall& call : glue.host.Calls()) {
    if (call.slot >= 6 && call.slot <= 8) slots.push_back(call.slot);
  }
  EXPECT_EQ(slots, (std::vector<int>{7, 6, 8}));
  EXPECT_EQ(ArgumentsOf(glue.host, 7), (std::vector<Texts>{{"Wait: yield", "0"}}));
}

TEST(AppModuleCalls, StreamFailuresName) {
  struct Row {
    Stream stream;
    const char* message;
  } rows[] = {
      {{"[1,2]", {2, 3}, {1, 0}, 0, 0, 0, true, 1}, "Error reading streamed response for GET /s: Stream read error"},
      {{"[1,", {3}, {0}}, "Error reading streamed response for GET /s: Error: Invalid value. at offset 3."},
  };
  for (Row& row : rows) {
    GlueHost glue;
    glue.host.SetRequestHandler([&](const HostRequest&, HostResponse& response) { row.stream.Answer(response); });
    Maybe<BindingValue> reply = glue.module->RequestReply<BindingValue>(kMethodGet, "/s");
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.Error().Code(), 0);
    EXPECT_EQ(reply.Error().Message(), row.message);
    // The stream and the response are released however reading ended.
    EXPECT_EQ(row.stream.released, 1);
    EXPECT_EQ(glue.host.HostResponsesReleased(), 1);
  }
}

TEST(AppModuleCalls, InvokeLcdsMarksTheArgumentWithItsClass) {
  GlueHost glue;
  glue.module->LcdsClassNameMap()["GlueSession"] = "com.x.Session";
  std::vector<SeenRequest> seen;
  glue.host.SetRequestHandler([&](const HostRequest& request, HostResponse&) { Record(seen, request); });
  std::future<Maybe<void>> future =
      glue.module->InvokeLcds("clientFacadeService", "callPersistenceMessaging", Session{"Lobby", 1});
  ASSERT_EQ(future.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_TRUE(future.get());
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, kMethodPost);
  EXPECT_EQ(seen[0].url, "/ark-login/v1/session/invoke");
  EXPECT_EQ(seen[0].arguments, (Texts{"\"clientFacadeService\"", "\"callPersistenceMessaging\"",
                                      "[{\"__class\":\"com.x.Session\",\"phase\":\"Lobby\",\"round\":1}]"}));
}

TEST(AppModuleCalls, InvokeLcdsWithAnUnconvertibleArgumentSendsNothing) {
  GlueHost glue;
  std::future<Maybe<void>> future = glue.module->InvokeLcds("d", "m", Unregistered{});
  Maybe<void> result = future.get();
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Error().Code(), 0);
  EXPECT_EQ(result.Error().Message(),
            "Couldn't convert LCDS call parameters: Couldn't convert native value because it's an unregistered "
            "structure.");
  EXPECT_TRUE(glue.host.CallsOf(0).empty());
}

TEST(AppModuleCalls, PublishedResourceFiresUnderBothNames) {
  GlueHost glue;
  TraceCapture traces;
  const std::string uri = "/ark-simple-dialog-messages/v1/messages";
  EXPECT_TRUE(glue.module->PublishResource(uri, std::vector<Session>{{"Lobby", 1}}));
  const auto& fired = glue.host.FiredEvents();
  ASSERT_EQ(fired.size(), 2u);
  EXPECT_EQ(fired[0].name, "OnJsonApiEvent_ark-simple-dialog-messages_v1_messages");
  EXPECT_EQ(fired[1].name, "OnJsonApiEvent");
  for (const DevHost::FiredEvent& event : fired) {
    EXPECT_EQ(FlatValueText(event.data.Get()),
              "{\"data\":[{\"phase\":\"Lobby\",\"round\":1}],\"eventType\":\"Update\",\"uri\":\"" + uri + "\"}");
    EXPECT_EQ(event.value, 0);
    EXPECT_EQ(event.userData, 0u);
  }
  EXPECT_EQ(traces.Texts(), (Texts{"glue: Sending event: OnJsonApiEvent_ark-simple-dialog-messages_v1_messages"}));

  // Under its own derived name an event is fired once.
  PluginResourceEvent event{"/a/b", PluginResourceEventType::Delete, {}};
  EXPECT_TRUE(glue.module->SendResourceEvent("OnJsonApiEvent_a_b", event, 7));
  ASSERT_EQ(fired.size(), 3u);
  EXPECT_EQ(fired[2].value, 7);
}

TEST(AppModuleCalls, UnconvertibleResourceIsTracedAndNotSent) {
  GlueHost glue;
  TraceCapture traces;
  Maybe<void> result = glue.module->PublishResource("/u", Unregistered{});
  EXPECT_FALSE(result);
  EXPECT_TRUE(glue.host.FiredEvents().empty());
  EXPECT_EQ(traces.Texts(), (Texts{"glue: Couldn't convert resource " + glue.module->TypeNameOf<Unregistered>() +
                                   " for event uri \"/u\""}));
}

TEST(AppModuleCalls, TelemetryPostsItsFieldsByName) {
  GlueHost glue;
  std::vector<SeenRequest> seen;
  glue.host.SetRequestHandler([&](const HostRequest& request, HostResponse&) { Record(seen, request); });
  ASSERT_NE(glue.module->Telemetry(), nullptr);
  std::future<Maybe<void>> empty = glue.module->Telemetry()->Send("x", {});
  std::future<Maybe<void>> full = glue.module->Telemetry()->Send("y", {{"n", BindingValue(1)}});
  ASSERT_EQ(empty.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_TRUE(empty.get());
  EXPECT_TRUE(full.get());
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].method, kMethodPost);
  EXPECT_EQ(seen[0].url, "/telemetry/v1/events/x");
  EXPECT_EQ(seen[0].arguments, (Texts{"{}"}));
  EXPECT_EQ(seen[1].url, "/telemetry/v1/events/y");
  EXPECT_EQ(seen[1].arguments, (Texts{"{\"n\":1}"}));
}

TEST(AppModuleCalls, AwaitOnAReadyFutureNeverWaits) {
  GlueHost glue;
  std::promise<int> promise;
  promise.set_value(3);
  EXPECT_EQ(glue.module->Await(promise.get_future()), 3);
  EXPECT_TRUE(glue.host.Calls().empty());
}

void FulfilLater(void* context) { static_cast<std::promise<int>*>(context)->set_value(9); }

TEST(AppModuleCalls, AwaitYieldsInsideOneWaitUntilReady) {
  GlueHost glue;
  std::promise<int> promise;
  glue.module->Schedule("later", &FulfilLater, &promise, 0, 0);
  glue.host.ClearCalls();
  EXPECT_EQ(glue.module->Await(promise.get_future()), 9);
  std::vector<int> slots;
  for (const DevHost::HostCall& call : glue.host.Calls()) slots.push_back(call.slot);
  EXPECT_EQ(slots, (std::vector<int>{7, 6, 8}));
  EXPECT_EQ(glue.host.CallsOf(7)[0].arguments, (Texts{"Wait: future<int>", "0"}));

  glue.host.ClearCalls();
  glue.module->YieldToHost();
  EXPECT_EQ(ArgumentsOf(glue.host, 7), (std::vector<Texts>{{"Wait: yield", "0"}}));
  EXPECT_EQ(glue.host.CallsOf(6).size(), 1u);
  EXPECT_EQ(glue.host.CallsOf(8).size(), 1u);
}

TEST(AppModuleCallsDeathTest, FutureErrorEndsTheProcess) {
  GlueModule module;
  // Earlier tests in this process may have taken the console targets away.
  auto report = [] { Logger::Instance().StdErrTarget().Register(); };
  EXPECT_DEATH((report(), module.Await(std::future<int>())),
               Testing::Printed(testing::HasSubstr("Expression: ALE-6D828C10\n\nDescription: Caught std::future_error "
                                                   "in AppModule::Await: (3) No associated state")));
  EXPECT_DEATH(
      {
        report();
        std::future<int> future;
        {
          std::promise<int> promise;
          future = promise.get_future();
        }
        module.Await(std::move(future));
      },
      Testing::Printed(testing::HasSubstr("Expression: ALE-6D828C10\n\nDescription: Caught std::future_error in "
                                          "AppModule::Await: (4) Broken promise")));
}

}  // namespace
}  // namespace Vela::Sdk::GlueTest
