// `orb-host serve` under a bounded load on loopback: several clients sending a mix of requests
// (the list, local messages, dismissals, the game-flow session, LCDS messages, the host's
// records), one slow event-stream reader, and a phase in which the list grows to thousands. Every
// request must be answered as expected, and the server must stay under a fixed resident-memory
// ceiling: its histories and stream backlogs are bounded in bytes, not only in count.
#include <gtest/gtest.h>

#ifdef ORB_HAVE_HTTPLIB

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

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
constexpr int kClients = 6;
constexpr int kMixedRequests = 20000;
constexpr int kGrownList = 3000;
constexpr int kGrownCycles = 60;
constexpr std::size_t kCeilingKiB = 256 * 1024;

// A "VmRSS"-like line of /proc/<pid>/status, in KiB; 0 when it cannot be read.
std::size_t StatusKiB(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stoul(line.substr(field.size() + 1));
  }
  return 0;
}

std::string LcdsMessage(int account, const std::string& msgId, const std::string& owner) {
  return std::string("{\"typeName\":\"") + kLcdsType + "\",\"body\":{\"accountId\":" + std::to_string(account) +
         ",\"msgId\":\"" + msgId + "\",\"type\":\"championMastery\",\"params\":[\"" + owner + "\"]}}";
}

// Every request counted, every unexpected answer kept for the failure message.
struct Tally {
  std::atomic<int> requests{0};
  std::atomic<int> failures{0};
  std::mutex mutex;
  std::vector<std::string> firstFailures;
};

// One client connection; it dismisses only what it added itself, so the clients never race for
// the same message and every dismissal must succeed.
class Client {
 public:
  Client(int port, int number, Tally& tally)
      : http_("127.0.0.1", port), owner_("soak-" + std::to_string(number)), number_(number), tally_(tally) {
    http_.set_keep_alive(true);
    http_.set_tcp_nodelay(true);
    http_.set_read_timeout(60, 0);
  }

  httplib::Result Send(const char* method, const std::string& path, int expected, const std::string& body = {}) {
    std::string m = method;
    httplib::Result result = m == "GET"      ? http_.Get(path.c_str())
                             : m == "DELETE" ? http_.Delete(path.c_str())
                             : m == "PUT"    ? http_.Put(path.c_str(), body, "application/json")
                                             : http_.Post(path.c_str(), body, "application/json");
    ++tally_.requests;
    if (!result || result->status != expected) {
      ++tally_.failures;
      std::lock_guard lock(tally_.mutex);
      if (tally_.firstFailures.size() < 5) {
        tally_.firstFailures.push_back(std::string(method) + " " + path + ": " +
                                       (result ? std::to_string(result->status) + " " + result->body.substr(0, 200)
                                               : httplib::to_string(result.error())));
      }
    }
    return result;
  }

  void AddLocal() { Send("POST", kMessages, 204, R"({"msgType":")" + owner_ + R"(","msgBody":["demo-1"]})"); }
  void AddFromPlatform() {
    Send("POST", "/lcds/messages", 200, LcdsMessage(number_, owner_ + "-" + std::to_string(++sent_), owner_));
  }

  // Reads the list and dismisses this client's messages in it.
  void DismissOwn() {
    httplib::Result list = Send("GET", kMessages, 200);
    if (!list || list->status != 200) return;
    Vela::Sdk::BindingResult parsed = Vela::Sdk::JsonToValue(list->body);
    std::vector<uint64_t> own;
    for (const Vela::Sdk::BindingValue& message : parsed.Value().Elements()) {
      if (message.Member("type").GetString() == owner_ || message.Member("body").Element(0).GetString() == owner_) {
        own.push_back(message.Member("id").GetUnsigned());
      }
    }
    for (uint64_t id : own) Send("DELETE", std::string(kMessages) + "/" + std::to_string(id), 204);
  }

  // A mixed round: two messages in, a phase now and then, the host's records now and then, and
  // this client's messages out again, so that the list stays short.
  void Round(int round) {
    AddLocal();
    AddFromPlatform();
    if (round % 4 == 0)
      Send("PUT", kSession, 200, round % 8 == 0 ? R"({"phase":"ChampSelect"})" : R"({"phase":"Lobby"})");
    if (round % 25 == 0) Send("GET", round % 50 == 0 ? "/host/events?since=100" : "/host/log", 200);
    DismissOwn();
  }

 private:
  httplib::Client http_;
  std::string owner_;
  int number_;
  int sent_ = 0;
  Tally& tally_;
};

// Reads the event stream slowly: a few milliseconds of sleep for every piece it takes. When the
// server drops it for falling behind, it connects again.
class SlowReader {
 public:
  explicit SlowReader(int port) : port_(port) {
    thread_ = std::thread([this] {
      while (!stop_) {
        httplib::Client http("127.0.0.1", port_);
        http.set_read_timeout(30, 0);
        // A small receive buffer, so that what the reader has not read waits in the server
        // rather than in the kernel.
        http.set_socket_options([](socket_t socket) {
          int size = 16 << 10;
          setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        });
        {
          std::lock_guard lock(mutex_);
          if (stop_) break;
          current_ = &http;
        }
        http.Get("/events", [this](const char*, std::size_t length) {
          bytes_ += length;
          std::this_thread::sleep_for(2ms);
          return !stop_;
        });
        std::lock_guard lock(mutex_);
        current_ = nullptr;
        ++streams_;
      }
    });
  }
  ~SlowReader() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      if (current_ != nullptr) current_->stop();
    }
    thread_.join();
  }
  std::size_t Bytes() const { return bytes_; }
  int Streams() const { return streams_; }

 private:
  int port_;
  std::thread thread_;
  std::mutex mutex_;
  httplib::Client* current_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> bytes_{0};
  std::atomic<int> streams_{0};
};

TEST(OrbHostSoak, MixedLoadStaysUnderTheMemoryCeilingWithoutAFailedRequest) {
  auto start = std::chrono::steady_clock::now();
  OrbHostProcess process;
  ASSERT_TRUE(process.Start(
      ORB_HOST_PATH, {"serve", "--plugin", BuiltPluginPath(), "--listen", "127.0.0.1:0", "--keep-alive", "0.2"}));
  std::optional<std::string> line = process.WaitForLine("listening on http://127.0.0.1:", 60s);
  ASSERT_TRUE(line) << process.Output() << process.Errors();
  const int port = std::stoi(line->substr(line->rfind(':') + 1));
  const std::size_t startKiB = StatusKiB(process.Pid(), "VmRSS");

  Tally tally;
  int readerStreams = 0;
  std::size_t readerBytes = 0;
  {
    Client setup(port, 0, tally);
    setup.Send("PUT", kSession, 201, R"({"phase":"Lobby"})");
    SlowReader reader(port);
    std::vector<std::thread> clients;
    for (int number = 1; number <= kClients; ++number) {
      clients.emplace_back([&, number] {
        Client client(port, number, tally);
        for (int round = 1; tally.requests < kMixedRequests && tally.failures == 0; ++round) client.Round(round);
      });
    }
    for (std::thread& client : clients) client.join();
    const int mixed = tally.requests;
    const std::size_t mixedKiB = StatusKiB(process.Pid(), "VmRSS");

    // The list grows to thousands: platform messages held during champion select come out at once
    // when it ends, then every change pushes the whole list.
    setup.Send("PUT", kSession, 200, R"({"phase":"ChampSelect"})");
    for (int i = 0; i < kGrownList && tally.failures == 0; ++i) setup.AddFromPlatform();
    setup.Send("PUT", kSession, 200, R"({"phase":"Lobby"})");
    for (int i = 0; i < kGrownCycles && tally.failures == 0; ++i) {
      setup.AddLocal();
      setup.Send("GET", kMessages, 200);
      setup.Send("GET", "/host/events", 200);
    }
    std::printf("soak: %d mixed requests (then %zu KiB resident), %d in all\n", mixed, mixedKiB, tally.requests.load());
    readerStreams = reader.Streams();
    readerBytes = reader.Bytes();
  }

  const std::size_t rssKiB = StatusKiB(process.Pid(), "VmRSS");
  const std::size_t peakKiB = StatusKiB(process.Pid(), "VmHWM");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "soak: %.1f s; resident %zu KiB at start, %zu KiB at the end, %zu KiB at most; the slow reader "
      "read %zu KiB over %d streams\n",
      seconds, startKiB, rssKiB, peakKiB, readerBytes / 1024, readerStreams + 1);
  EXPECT_EQ(tally.failures, 0) << testing::PrintToString(tally.firstFailures);
  EXPECT_GE(tally.requests, kMixedRequests + kGrownList);
  EXPECT_GT(peakKiB, 0u);
  EXPECT_LT(peakKiB, kCeilingKiB);

  process.Signal(SIGTERM);
  std::optional<int> status = process.Wait(60s);
  ASSERT_TRUE(status) << "orb-host did not end on SIGTERM";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << process.Errors();
  EXPECT_NE(process.Output().find("orb-host: stopped"), std::string::npos) << process.Output();
}

}  // namespace
}  // namespace Vela::DevHost

#else

TEST(OrbHostSoak, NeedsTheHttpLibrary) { GTEST_SKIP() << "orb-host was built without cpp-httplib"; }

#endif
