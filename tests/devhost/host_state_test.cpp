// The host's count of held messages, checked against what the built plug-in really releases.
#include "devhost/host_state.h"

#include <gtest/gtest.h>

#include "devhost/payload_codec.h"

namespace Vela::DevHost {
namespace {

constexpr char kMessages[] = "/ark-simple-dialog-messages/v1/messages";

std::string Lcds(const char* msgId, const char* type) {
  return std::string("{\"typeName\":\"") + kDialogMessageClass + "\",\"body\":{\"accountId\":3,\"msgId\":\"" + msgId +
         "\",\"type\":\"" + type + "\",\"params\":[\"aurel\"]}}";
}

class HostStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Load(BuiltPluginPath())) << host_.Error();
    ASSERT_TRUE(host_.Start()) << host_.Error();
    loop_.RunUntilIdle();
  }
  HttpReply Send(const char* method, const std::string& target, const std::string& body = {}) {
    return state_.Handle(host_, MakeCall(method, target, body, body.empty() ? "" : kJsonContentType));
  }
  std::size_t Shown() {
    return DecodePayload(PayloadFormat::kJson, Send("GET", kMessages).body).Value().Elements().size();
  }

  HostLoop loop_;
  HttpHost host_{loop_};
  HostStateTracker state_;
};

TEST_F(HostStateTest, CountsWhatThePluginHoldsAndReleases) {
  // Each row: a call, then the state the host reports.
  struct Row {
    const char* method;
    const char* target;
    std::string body;
    const char* state;
  } rows[] = {
      {"GET", kHostStatePath, "", R"({"phase":null,"held":false,"heldCount":0})"},
      {"PUT", kGameflowSessionUrl, R"({"phase":"Lobby"})", R"({"phase":"Lobby","held":false,"heldCount":0})"},
      {"POST", kLcdsMessagesPath, Lcds("shown-1", kShownMessageType),
       R"({"phase":"Lobby","held":false,"heldCount":0})"},
      {"PUT", kGameflowSessionUrl, R"({"phase":"ReadyCheck"})", R"({"phase":"ReadyCheck","held":true,"heldCount":0})"},
      {"POST", kLcdsMessagesPath, Lcds("held-1", kShownMessageType),
       R"({"phase":"ReadyCheck","held":true,"heldCount":1})"},
      // Types the plug-in drops are not held; a refused delivery delivers nothing.
      {"POST", kLcdsMessagesPath, Lcds("dropped", "otherNotice"),
       R"({"phase":"ReadyCheck","held":true,"heldCount":1})"},
      {"POST", kLcdsMessagesPath, R"({"body":{}})", R"({"phase":"ReadyCheck","held":true,"heldCount":1})"},
      {"PUT", kLoginDataPacketUrl,
       R"({"simpleMessages":[{"accountId":3,"msgId":"p-1","type":"championMastery","params":["brisa"]},
                             {"accountId":3,"msgId":"p-2","type":"otherNotice","params":[]}]})",
       R"({"phase":"ReadyCheck","held":true,"heldCount":2})"},
      // A phase stored by number is read as the enumeration's name.
      {"PUT", kGameflowSessionUrl, R"({"phase":11})", R"({"phase":"PreEndOfGame","held":true,"heldCount":2})"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.method) + " " + row.target + " " + row.body);
    Send(row.method, row.target, row.body);
    EXPECT_EQ(Send("GET", kHostStatePath).body, row.state);
  }
  ASSERT_EQ(Shown(), 1u);
  Send("PUT", kGameflowSessionUrl, R"({"phase":"EndOfGame"})");
  EXPECT_EQ(Shown(), 3u) << "the two counted as held appear";
  EXPECT_EQ(Send("GET", kHostStatePath).body, R"({"phase":"EndOfGame","held":false,"heldCount":0})");

  // Deleting the session releases as well.
  Send("PUT", kGameflowSessionUrl, R"({"phase":"InProgress"})");
  Send("POST", kLcdsMessagesPath, Lcds("held-2", kShownMessageType));
  EXPECT_EQ(Send("GET", kHostStatePath).body, R"({"phase":"InProgress","held":true,"heldCount":1})");
  Send("DELETE", kGameflowSessionUrl);
  EXPECT_EQ(Shown(), 4u);
  EXPECT_EQ(Send("GET", kHostStatePath).body, R"({"phase":null,"held":false,"heldCount":0})");
  EXPECT_EQ(Send("PUT", kHostStatePath, "{}").status, 405);
}

}  // namespace
}  // namespace Vela::DevHost
