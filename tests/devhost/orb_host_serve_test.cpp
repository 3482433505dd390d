// `orb-host serve` end to end: the program started on a free loopback port with the built
// plug-in, driven over HTTP as the user interface, the other plug-ins and the platform would.
#include <gtest/gtest.h>

#ifdef ORB_HAVE_HTTPLIB

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "devhost/host_stand_in.h"
#include "devhost/host_state.h"
#include "orb_host_process.h"
#include "sdk/api/json_codec.h"

namespace Vela::DevHost {
namespace {

using namespace std::chrono_literals;
using Testing::OrbHostProcess;

constexpr char kMessages[] = "/ark-simple-dialog-messages/v1/messages";
constexpr const char* kSession = kGameflowSessionUrl;
constexpr const char* kLcdsType = kDialogMessageClass;

std::string LcdsMessage(const std::string& msgId, const std::string& param) {
  return std::string("{\"typeName\":\"") + kLcdsType + "\",\"body\":{\"accountId\":9,\"msgId\":\"" + msgId +
         "\",\"type\":\"championMastery\",\"params\":[\"" + param + "\"]}}";
}

// Reads GET /events on its own connection and keeps every "data:" line.
class EventReader {
 public:
  explicit EventReader(int port) : client_("127.0.0.1", port) {
    client_.set_read_timeout(30, 0);
    thread_ = std::thread([this] {
      client_.Get("/events", [this](const char* data, std::size_t length) {
        std::lock_guard lock(mutex_);
        text_.append(data, length);
        changed_.notify_all();
        return !stop_;
      });
      std::lock_guard lock(mutex_);
      ended_ = true;
      changed_.notify_all();
    });
  }
  ~EventReader() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    client_.stop();
    thread_.join();
  }
  /// Waits until the text holds `count` data lines (or the stream's opening, with 0).
  bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = 10s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      return (count == 0 ? text_.find(": stream open") != std::string::npos : DataLines().size() >= count) || ended_;
    }) && !ended_;
  }
  std::string Text() {
    std::lock_guard lock(mutex_);
    return text_;
  }
  std::vector<std::string> Data() {
    std::lock_guard lock(mutex_);
    return DataLines();
  }
  bool Ended(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return ended_; });
  }

 private:
  std::vector<std::string> DataLines() const {
    std::vector<std::string> lines;
    for (std::size_t at = text_.find("data: "); at != std::string::npos; at = text_.find("data: ", at + 1)) {
      std::size_t end = text_.find("\n\n", at);
      if (end == std::string::npos) break;
      lines.push_back(text_.substr(at + 6, end - at - 6));
    }
    return lines;
  }

  httplib::Client client_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
  bool stop_ = false;
  bool ended_ = false;
};

// The JSON reply body, read back with the SDK so that member order does not matter.
Vela::Sdk::BindingValue Json(const std::string& text) {
  Vela::Sdk::BindingResult result = Vela::Sdk::JsonToValue(text);
  EXPECT_TRUE(result.Ok()) << text;
  return result.Value();
}

std::string Compact(const std::string& json) { return Vela::Sdk::ValueToJson(Json(json)); }

class OrbHostServe : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(process_.Start(
        ORB_HOST_PATH, {"serve", "--plugin", BuiltPluginPath(), "--listen", "127.0.0.1:0", "--keep-alive", "0.2"}));
    std::optional<std::string> line = process_.WaitForLine("listening on http://127.0.0.1:", 60s);
    ASSERT_TRUE(line) << process_.Output() << process_.Errors();
    port_ = std::stoi(line->substr(line->rfind(':') + 1));
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_read_timeout(30, 0);
  }

  void TearDown() override {
    if (!stopped_) Stop();
  }

  // SIGTERM ends the program cleanly: Destroy called, exit 0.
  void Stop() {
    stopped_ = true;
    client_.reset();
    process_.Signal(SIGTERM);
    std::optional<int> status = process_.Wait(60s);
    ASSERT_TRUE(status) << "orb-host did not end on SIGTERM";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << process_.Errors();
    EXPECT_NE(process_.Output().find("orb-host: stopped"), std::string::npos) << process_.Output();
  }

  // Every reply must come; a missing one is a hang or a crash of the server.
  httplib::Result Send(const char* method, const std::string& path, const std::string& body = {},
                       const char* contentType = "application/json") {
    std::string m = method;
    httplib::Result result = m == "GET"      ? client_->Get(path.c_str())
                             : m == "DELETE" ? client_->Delete(path.c_str())
                             : m == "PUT"    ? client_->Put(path.c_str(), body, contentType)
                                             : client_->Post(path.c_str(), body, contentType);
    EXPECT_TRUE(result) << method << " " << path << ": " << httplib::to_string(result.error());
    return result;
  }

  std::string GetBody(const std::string& path) {
    httplib::Result result = Send("GET", path);
    return result ? Compact(result->body) : std::string();
  }

  OrbHostProcess process_;
  bool stopped_ = false;
  int port_ = 0;
  std::unique_ptr<httplib::Client> client_;
};

// The HTTP path end to end: calls, the resource store, LCDS delivery and the event stream. The
// gating rules themselves are the service's unit tests' and the gating scenario's.
TEST_F(OrbHostServe, MessagesFlowThroughTheStoreTheEventStreamAndAcknowledgement) {
  EXPECT_EQ(GetBody(kMessages), "[]");

  EventReader events(port_);
  ASSERT_TRUE(events.WaitFor(0));
  httplib::Result created = Send("POST", kMessages, R"({"msgType":"welcome","msgBody":["hi"]})");
  EXPECT_EQ(created->status, 204);
  ASSERT_TRUE(events.WaitFor(2)) << process_.Errors();
  std::vector<std::string> data = events.Data();
  EXPECT_EQ(Compact(data[0]), Compact(R"({"event":"OnJsonApiEvent_ark-simple-dialog-messages_v1_messages",
      "uri":"/ark-simple-dialog-messages/v1/messages","eventType":"Update",
      "data":[{"id":0,"type":"welcome","body":["hi"]}]})"));
  EXPECT_EQ(Json(data[1]).Member("event").GetString(), "OnJsonApiEvent");

  // The session resource is stored and delivered as a Create event.
  httplib::Result session = Send("PUT", kSession, R"({"phase":"Lobby"})");
  EXPECT_EQ(session->status, 201);
  EXPECT_EQ(Compact(session->body), Compact(R"({"delivered":true,"event":"OnJsonApiEvent_ark-gameflow_v1_session",
      "eventType":"Create","uri":"/ark-gameflow/v1/session"})"));
  EXPECT_EQ(GetBody(kSession), R"({"phase":"Lobby"})");

  // A platform message is shown with the next id and announced.
  EXPECT_EQ(Send("POST", "/lcds/messages", LcdsMessage("m-1", "aurel"))->status, 200);
  EXPECT_EQ(GetBody(kMessages),
            R"([{"body":["hi"],"id":0,"type":"welcome"},{"body":["aurel"],"id":1,"type":"championMastery"}])");
  ASSERT_TRUE(events.WaitFor(4));

  // Dismissing it acknowledges it to the platform.
  EXPECT_EQ(Send("DELETE", std::string(kMessages) + "/1")->status, 204);
  EXPECT_EQ(GetBody("/host/lcds-invocations"), Compact(R"([{"destination":"clientFacadeService",
      "method":"callPersistenceMessaging","failed":false,
      "arguments":[{"__class":"com.velaworks.platform.messaging.persistence.SimpleDialogMessageResponse",
                    "accountId":9,"msgId":"m-1","command":"ack"}]}])"));

  // The platform stops answering: the dismissal succeeds and the failure is logged.
  EXPECT_EQ(Send("PUT", "/host/lcds-invoke-fails", "true")->status, 200);
  EXPECT_EQ(Send("POST", "/lcds/messages", LcdsMessage("m-2", "brisk"))->status, 200);
  EXPECT_EQ(Send("DELETE", std::string(kMessages) + "/2")->status, 204);
  EXPECT_NE(
      GetBody("/host/log")
          .find(
              R"({"level":1,"levelName":"WARN","message":"Failed to acknowledge SimpleDialogMessage with msgId m-2"})"),
      std::string::npos)
      << GetBody("/host/log");
  EXPECT_EQ(Json(GetBody("/host/lcds-invocations")).Element(1).Member("failed").GetBool(), true);
  EXPECT_EQ(GetBody(kMessages), R"([{"body":["hi"],"id":0,"type":"welcome"}])");
}

TEST_F(OrbHostServe, BadRequestsAnswer4xx) {
  struct Row {
    const char* method;
    std::string path;
    std::string body;
    int status;
    const char* message;
  } rows[] = {
      // The plug-in's own route space answers with the plug-in's own 404.
      {"GET", "/ark-simple-dialog-messages/v1/other", "", 404, "Invalid function"},
      {"PUT", kMessages, "{}", 404, "Invalid function"},
      {"DELETE", std::string(kMessages) + "/abc", "", 400, nullptr},
      {"POST", kMessages, "{\"msgType\":", 400, "Error: Invalid value. at offset 11."},
      // Everything else is the host's.
      {"GET", "/nowhere/v1/x", "", 404, "Nothing is stored at /nowhere/v1/x"},
      {"DELETE", "/nowhere/v1/x", "", 404, "Nothing is stored at /nowhere/v1/x"},
      {"POST", "/nowhere/v1/x", "{}", 405, "Method POST is not allowed on /nowhere/v1/x"},
      {"PUT", "/ark-login/v1/login-data-packet", "{\"simpleMessages\":", 400, "Error: Invalid value. at offset 18."},
      {"POST", "/lcds/messages", "{\"body\":{}}", 400, "An LCDS message needs a \"typeName\" text and a \"body\""},
      {"PUT", "/host/lcds-invoke-fails", "maybe", 400, "Expected true or false"},
      {"GET", "/host/nothing", "", 404, "No host control at /host/nothing"},
  };
  for (const Row& row : rows) {
    httplib::Result result = Send(row.method, row.path, row.body);
    if (!result) continue;
    EXPECT_EQ(result->status, row.status) << row.method << " " << row.path << ": " << result->body;
    Vela::Sdk::BindingValue body = Json(result->body);
    EXPECT_EQ(body.Member("httpStatus").GetUnsigned(), static_cast<uint64_t>(row.status)) << result->body;
    if (row.message != nullptr) {
      EXPECT_EQ(body.Member("message").GetString(), row.message) << row.path;
    }
  }

  // A body above 8 MiB is refused before it is read.
  httplib::Result large = Send("POST", kMessages, std::string((8u << 20) + 1, ' '));
  ASSERT_TRUE(large);
  EXPECT_EQ(large->status, 413);
  EXPECT_EQ(Compact(large->body), R"({"httpStatus":413,"message":"Request body larger than 8 MiB"})");

  // Bytes that are not HTTP get a 400 and the server goes on.
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const char garbage[] = "NOT HTTP AT ALL\r\n\r\n";
  ASSERT_EQ(write(fd, garbage, sizeof garbage - 1), static_cast<ssize_t>(sizeof garbage - 1));
  char reply[64] = {};
  timeval timeout{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ASSERT_GT(read(fd, reply, sizeof reply - 1), 0);
  close(fd);
  EXPECT_EQ(std::string(reply).substr(0, 12), "HTTP/1.1 400");
  EXPECT_EQ(GetBody(kMessages), "[]");
}

TEST_F(OrbHostServe, ShutdownEndsOpenEventStreams) {
  EventReader events(port_);
  ASSERT_TRUE(events.WaitFor(0));
  // Keep-alive comments arrive while nothing happens (every 0.2 s here).
  std::this_thread::sleep_for(700ms);
  EXPECT_NE(events.Text().find(": keep-alive\n\n"), std::string::npos);
  Stop();
  EXPECT_TRUE(events.Ended(30s));
}

TEST_F(OrbHostServe, OpenEventStreamsLeaveTheApiReachable) {
  std::vector<std::unique_ptr<EventReader>> readers;
  for (int i = 0; i < 8; ++i) {
    readers.push_back(std::make_unique<EventReader>(port_));
    ASSERT_TRUE(readers.back()->WaitFor(0));
  }
  httplib::Result refused = Send("GET", "/events");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);
  EXPECT_EQ(Compact(refused->body), R"({"httpStatus":503,"message":"Too many open event streams"})");
  EXPECT_EQ(GetBody(kMessages), "[]");
  Stop();
  for (auto& reader : readers) EXPECT_TRUE(reader->Ended(30s));
}

TEST(OrbHostServeStart, RefusesWhatItCannotUseWithExit2) {
  OrbHostProcess busy;
  ASSERT_TRUE(busy.Start(ORB_HOST_PATH, {"serve", "--listen", "127.0.0.1:0"}));
  std::optional<std::string> line = busy.WaitForLine("listening on", 60s);
  ASSERT_TRUE(line);
  std::string taken = line->substr(line->rfind(':') + 1);

  struct Row {
    std::vector<std::string> arguments;
    std::string error;
  } rows[] = {
      {{"serve", "--plugin", "/nonexistent/plugin.so"},
       "orb-host serve: Plug-in file not found: /nonexistent/plugin.so\n"},
      {{"serve", "--scenario", "/nonexistent/s.yaml"}, "orb-host serve: cannot read scenario /nonexistent/s.yaml\n"},
      {{"serve", "--listen", "127.0.0.1:" + taken}, "orb-host serve: cannot listen on 127.0.0.1:" + taken + "\n"},
  };
  for (const Row& row : rows) {
    OrbHostProcess process;
    ASSERT_TRUE(process.Start(ORB_HOST_PATH, row.arguments));
    std::optional<int> status = process.Wait(60s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << *status;
    EXPECT_EQ(process.Errors(), row.error);
  }
  busy.Signal(SIGINT);
  std::optional<int> status = busy.Wait(60s);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "SIGINT ends it as cleanly as SIGTERM";
}

}  // namespace
}  // namespace Vela::DevHost

#else

TEST(OrbHostServe, NeedsTheHttpLibrary) { GTEST_SKIP() << "orb-host was built without cpp-httplib"; }

#endif
