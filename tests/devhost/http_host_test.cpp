// The developer host around the built plug-in, in process: routing by asking the plug-in, the
// resource store, LCDS delivery and invocations, the host function table as a running host.
#include "devhost/http_host.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "devhost/payload_codec.h"
#include "sdk/api/json_codec.h"

namespace Vela::DevHost {
namespace {

using Vela::Sdk::BindingValue;

constexpr char kMessages[] = "/ark-simple-dialog-messages/v1/messages";
constexpr char kLcdsType[] = "com.velaworks.platform.messaging.persistence.SimpleDialogMessage";

BindingValue Json(std::string_view text) {
  Vela::Sdk::BindingResult result = Vela::Sdk::JsonToValue(std::string(text));
  EXPECT_TRUE(result.Ok()) << text;
  return result.Value();
}

std::string Compact(std::string_view text) { return Vela::Sdk::ValueToJson(Json(text)); }

BindingValue Lcds(const char* msgId) {
  return Json(std::string("{\"typeName\":\"") + kLcdsType + "\",\"body\":{\"accountId\":3,\"msgId\":\"" + msgId +
              "\",\"type\":\"championMastery\",\"params\":[\"p\"]}}");
}

class HttpHostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Load(BuiltPluginPath())) << host_.Error(); }
  void Start() {
    ASSERT_TRUE(host_.Start()) << host_.Error();
    loop_.RunUntilIdle();
  }
  HttpReply Send(const char* method, const std::string& target, const std::string& body = {}) {
    return host_.Handle(MakeCall(method, target, body, body.empty() ? "" : kJsonContentType));
  }

  HostLoop loop_;
  HttpHost host_{loop_};
};

TEST_F(HttpHostTest, CallsFindTheFunctionByAskingThePlugin) {
  Start();
  struct Row {
    const char* method;
    std::string target;
    std::string body;
    int status;
    const char* reply;
  } rows[] = {
      {"GET", kMessages, "", 200, "[]"},
      {"HEAD", kMessages, "", 200, "[]"},
      // The query travels to the plug-in, which binds it (and refuses what it does not know).
      {"GET", std::string(kMessages) + "?unused=1", "", 400,
       R"({"httpStatus":400,"message":"Unknown argument 'unused' for 'GetArkSimpleDialogMessagesV1Messages'."})"},
      {"POST", kMessages, R"({"msgType":"t","msgBody":[]})", 204, ""},
      {"DELETE", std::string(kMessages) + "/0", "", 204, ""},
      {"DELETE", std::string(kMessages) + "/0", "", 400,
       R"({"httpStatus":400,"message":"Message 0 does not exist or has already been dismissed"})"},
      {"PATCH", kMessages, "{}", 404, R"({"httpStatus":404,"message":"Invalid function"})"},
      {"GET", std::string(kMessages) + "/x/y", "", 404, R"({"httpStatus":404,"message":"Invalid function"})"},
      {"GET", "/ark-simple-dialog-messages", "", 404, R"({"httpStatus":404,"message":"Invalid function"})"},
  };
  for (const Row& row : rows) {
    HttpReply reply = Send(row.method, row.target, row.body);
    EXPECT_EQ(reply.status, row.status) << row.method << " " << row.target << " " << reply.body;
    EXPECT_EQ(reply.body.empty() ? "" : Compact(reply.body), row.reply) << row.method << " " << row.target;
  }
}

TEST_F(HttpHostTest, PresetResourcesAreWhatThePluginReadsAtStart) {
  host_.PresetResource("/ark-gameflow/v1/session", Json(R"({"phase":"InProgress"})"));
  host_.PresetResource(
      "/ark-login/v1/login-data-packet",
      Json(R"({"simpleMessages":[{"accountId":1,"msgId":"a","type":"championMastery","params":["x"]}]})"));
  Start();
  EXPECT_EQ(Compact(Send("GET", kMessages).body), R"([{"body":["x"],"id":0,"type":"championMastery"}])");
  EXPECT_EQ(host_.EventCount(), 2u) << "shown before the phase was applied";
  host_.DeliverLcds(Lcds("later"));
  EXPECT_EQ(Json(Send("GET", kMessages).body).Size(), 1u) << "held while in progress";
}

TEST_F(HttpHostTest, ResourceStoreDeliversCreateUpdateDelete) {
  Start();
  struct Row {
    const char* method;
    const char* body;
    int status;
    const char* reply;
  } rows[] = {
      {"PUT", R"({"phase":"ChampSelect"})", 201,
       R"({"delivered":true,"event":"OnJsonApiEvent_ark-gameflow_v1_session","eventType":"Create","uri":"/ark-gameflow/v1/session"})"},
      {"GET", "", 200, R"({"phase":"ChampSelect"})"},
      {"PUT", R"({"phase":"ReadyCheck"})", 200,
       R"({"delivered":true,"event":"OnJsonApiEvent_ark-gameflow_v1_session","eventType":"Update","uri":"/ark-gameflow/v1/session"})"},
      {"DELETE", "", 200,
       R"({"delivered":true,"event":"OnJsonApiEvent_ark-gameflow_v1_session","eventType":"Delete","uri":"/ark-gameflow/v1/session"})"},
      {"DELETE", "", 404, R"({"httpStatus":404,"message":"Nothing is stored at /ark-gameflow/v1/session"})"},
      {"GET", "", 404, R"({"httpStatus":404,"message":"Nothing is stored at /ark-gameflow/v1/session"})"},
  };
  for (const Row& row : rows) {
    HttpReply reply = Send(row.method, "/ark-gameflow/v1/session", row.body);
    EXPECT_EQ(reply.status, row.status) << row.method;
    EXPECT_EQ(Compact(reply.body), row.reply) << row.method;
  }
  // Held on ReadyCheck, released by the Delete of the session: the plug-in saw all three.
  host_.PutResource("/ark-gameflow/v1/session", Json(R"({"phase":"GameStart"})"));
  host_.DeliverLcds(Lcds("m"));
  EXPECT_EQ(Json(Send("GET", kMessages).body).Size(), 0u);
  host_.DeleteResource("/ark-gameflow/v1/session");
  EXPECT_EQ(Json(Send("GET", kMessages).body).Size(), 1u);

  // Nobody listens here; the store takes it all the same and says so.
  EXPECT_EQ(Compact(host_.PutResource("/other/v1/x", Json("[1]")).body),
            R"({"delivered":false,"event":"OnJsonApiEvent_other_v1_x","eventType":"Create","uri":"/other/v1/x"})");
  EXPECT_EQ(Send("PUT", "/other/v1/x", "[1,").status, 400);
  EXPECT_EQ(Compact(Send("PUT", "/other/v1/x", "[1,").body),
            R"({"httpStatus":400,"message":"Error: Invalid value. at offset 3."})");
}

TEST_F(HttpHostTest, InvocationsAreRecordedAndMayBeMadeToFail) {
  Start();
  host_.DeliverLcds(Lcds("ok"));
  host_.DeliverLcds(Lcds("refused"));
  EXPECT_EQ(Send("DELETE", std::string(kMessages) + "/0").status, 204);
  EXPECT_EQ(Send("PUT", "/host/lcds-invoke-fails", "true").status, 200);
  EXPECT_EQ(Send("GET", "/host/lcds-invoke-fails").body, "true");
  EXPECT_EQ(Send("DELETE", std::string(kMessages) + "/1").status, 204);

  std::vector<BindingValue> invocations = host_.InvocationsSince(0);
  ASSERT_EQ(invocations.size(), 2u);
  EXPECT_EQ(invocations[0].Member("failed").GetBool(true), false);
  EXPECT_EQ(invocations[1].Member("failed").GetBool(), true);
  EXPECT_EQ(invocations[1].Member("arguments").Element(0).Member("msgId").GetString(), "refused");
  EXPECT_EQ(Compact(Send("GET", "/host/log").body),
            Compact(R"([{"level":3,"levelName":"ALWAYS","message":"Acknowledged SimpleDialogMessage with msgId ok"},
                        {"level":1,"levelName":"WARN","message":"Failed to acknowledge SimpleDialogMessage with msgId refused"}])"));
}

TEST_F(HttpHostTest, AnswersThePluginsOtherRequests) {
  Start();
  Vela::Sdk::HostFunctionTable* table = host_.Stand().Table();
  struct Row {
    int32_t method;
    const char* url;
    int32_t status;
    const char* error;
  } rows[] = {
      {Vela::Sdk::kMethodPost, "/telemetry/v1/events/started", 204, nullptr},
      {Vela::Sdk::kMethodPost, "/ark-login/v1/other", 404, "Resource not found"},
      {Vela::Sdk::kMethodGet, "/ark-login/v1/unknown", 404, "Resource not found"},
  };
  for (const Row& row : rows) {
    Vela::Sdk::HostRequest request{};
    request.method = row.method;
    request.url = row.url;
    Vela::Sdk::HostResponse response{};
    table->sendRequest(table, &response, &request);
    int32_t status = response.status;  // packed fields are read by value
    const char* error = response.error;
    EXPECT_EQ(status, row.status) << row.url;
    EXPECT_STREQ(error, row.error) << row.url;
    response.release(&response);
  }
}

int taskRuns = 0;
void CountTask(void*) { ++taskRuns; }

TEST_F(HttpHostTest, ScheduledTasksRunOnTheLoopAfterTheirDelayAndNeverAfterDestroy) {
  Start();
  Vela::Sdk::HostFunctionTable* table = host_.Stand().Table();
  taskRuns = 0;
  table->schedule(table, "soon", &CountTask, nullptr, 0.05, 0);
  EXPECT_EQ(loop_.RunDue(), 0u);
  loop_.RunFor(0.2);
  EXPECT_EQ(taskRuns, 1);
  table->yield(table);  // nothing due: returns at once
  table->schedule(table, "orphan", &CountTask, nullptr, 0, 0);
  host_.Shutdown();
  loop_.RunUntilIdle();
  EXPECT_EQ(taskRuns, 1);
  EXPECT_TRUE(host_.Stand().Listeners().empty());
  EXPECT_EQ(Compact(Send("GET", kMessages).body), R"({"httpStatus":503,"message":"The host is shutting down"})");
}

// The histories are bounded in count and in bytes, oldest first (the newest stays, whatever its
// size), and stay numbered from the start: a listing says how many went and answers "since" by
// those numbers.
TEST(HttpHostRecords, AreBoundedInCountAndBytesAndNumberedFromTheStart) {
  const std::string record = R"({"level":0,"levelName":"OKAY","message":"000"})";
  struct Row {
    RecordBounds bounds;
    std::size_t kept;
  } rows[] = {
      {{1u << 20, 4}, 4},
      {{3 * ChargeOf(record), 100}, 3},
      {{0, 100}, 1},
      {{1u << 20, 0}, 0},
  };
  for (const Row& row : rows) {
    HostLoop loop;
    HttpHost host(loop, row.bounds);
    ASSERT_TRUE(host.Load(BuiltPluginPath()));
    ASSERT_TRUE(host.Start());
    Vela::Sdk::HostFunctionTable* table = host.Stand().Table();
    for (int i = 100; i < 110; ++i) table->log(table, 0, std::to_string(i).c_str());
    EXPECT_EQ(host.LogCount(), 10u);
    EXPECT_EQ(host.Logs().Kept(), row.kept);
    EXPECT_LE(host.Logs().Bytes(), std::max(row.bounds.bytes, ChargeOf(record)));

    HttpReply all = host.Handle(MakeCall("GET", "/host/log", "", ""));
    EXPECT_EQ(Json(all.body).Size(), row.kept);
    const std::pair<std::string, std::string> dropped{kRecordsDroppedHeader, std::to_string(10 - row.kept)};
    EXPECT_NE(std::find(all.headers.begin(), all.headers.end(), dropped), all.headers.end()) << row.kept;
    std::vector<BindingValue> last = host.LogsSince(9);
    ASSERT_EQ(last.size(), row.kept == 0 ? 0u : 1u);
    if (row.kept > 0) {
      EXPECT_EQ(last[0].Member("message").GetString(), "109");
      EXPECT_EQ(Compact(host.Handle(MakeCall("GET", "/host/log?since=9", "", "")).body),
                R"([{"level":0,"levelName":"OKAY","message":"109"}])");
    }
  }
}

TEST_F(HttpHostTest, HostControlsAndTheirRefusals) {
  Start();
  BindingValue api = Json(Send("GET", "/host/api").body);
  ASSERT_EQ(api.Member("functions").Size(), 3u);
  EXPECT_EQ(api.Member("functions").Element(0).Member("name").GetString(),
            "DeleteArkSimpleDialogMessagesV1MessagesByMessageId");
  struct Row {
    const char* method;
    const char* target;
    const char* body;
    const char* reply;
  } rows[] = {
      {"POST", "/host/log", "", R"({"httpStatus":405,"message":"Method POST is not allowed on /host/log"})"},
      {"GET", "/host/x", "", R"({"httpStatus":404,"message":"No host control at /host/x"})"},
      {"PUT", "/host/lcds-invoke-fails", "1", R"({"httpStatus":400,"message":"Expected true or false"})"},
      {"GET", "/lcds/messages", "", R"({"httpStatus":405,"message":"Method GET is not allowed on /lcds/messages"})"},
      {"POST", "/lcds/messages", R"({"typeName":"","body":1})",
       R"({"httpStatus":400,"message":"An LCDS message needs a \"typeName\" text and a \"body\""})"},
      {"GET", "/events", "", R"({"httpStatus":404,"message":"The event stream is served over HTTP only"})"},
      {"POST", "/ark-login/v1/x", "{}",
       R"({"httpStatus":405,"message":"Method POST is not allowed on /ark-login/v1/x"})"},
  };
  for (const Row& row : rows) EXPECT_EQ(Compact(Send(row.method, row.target, row.body).body), row.reply) << row.target;
  EXPECT_EQ(Compact(host_.DeliverLcds(Json(R"({"typeName":"x.Y","body":{}})")).body),
            R"({"delivered":false,"event":"OnLcdsEvent_x_Y"})");
}

}  // namespace
}  // namespace Vela::DevHost
