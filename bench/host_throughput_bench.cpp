// `orb-host serve` under one client on loopback: a change cycle (POST a local message, GET the
// list, DELETE the new message) with 10, 1,000 and 10,000 messages listed. The plug-in pushes the
// whole list after every change, so the cost of a cycle grows with the list; the host's share of
// it is what this watches. items_per_second counts requests. ORB_HOST_STREAM=1 keeps one
// event-stream reader open, reading everything, during the run; ORB_HOST_PROGRAM runs another
// build of orb-host (to compare with an older one), or a script that runs it under
// `valgrind --tool=callgrind`: the plug-in's share is then the inclusive cost of
// HostStandIn::Call and ~ApiResponse (its release) less HttpHost::OnEvent, which it calls back.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "devhost/host_stand_in.h"
#include "tests/devhost/orb_host_process.h"

namespace {

using namespace std::chrono_literals;

constexpr char kMessages[] = "/ark-simple-dialog-messages/v1/messages";
constexpr char kSession[] = "/ark-gameflow/v1/session";
constexpr char kLoginData[] = "/ark-login/v1/login-data-packet";

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "host_throughput_bench: %s\n", what.c_str());
  std::exit(1);
}

// The login data with `count` messages, taken in while the game flow holds them back and shown
// with one push when it lets them through: filling the list costs one push, not `count`.
std::string LoginData(int count) {
  std::string json = "{\"simpleMessages\":[";
  for (int i = 0; i < count; ++i) {
    if (i > 0) json += ',';
    json += "{\"accountId\":7,\"msgId\":\"fill-" + std::to_string(i) +
            "\",\"type\":\"championMastery\",\"params\":[\"aurel\",\"" + std::to_string(i % 8) + "\"]}";
  }
  return json + "]}";
}

class Server {
 public:
  explicit Server(int listed) {
    const char* program = std::getenv("ORB_HOST_PROGRAM");
    if (!process_.Start(program != nullptr ? program : ORB_HOST_PATH,
                        {"serve", "--plugin", Vela::DevHost::BuiltPluginPath(), "--listen", "127.0.0.1:0"})) {
      Die("cannot start orb-host");
    }
    std::optional<std::string> line = process_.WaitForLine("listening on http://127.0.0.1:", 60s);
    if (!line) Die("orb-host did not start: " + process_.Errors());
    port_ = std::stoi(line->substr(line->rfind(':') + 1));
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_keep_alive(true);
    // As curl does: a request's head and body go out at once, not one ACK apart.
    client_->set_tcp_nodelay(true);
    client_->set_read_timeout(120, 0);
    Expect(client_->Put(kSession, R"({"phase":"ChampSelect"})", "application/json"), 201);
    Expect(client_->Put(kLoginData, LoginData(listed), "application/json"), 201);
    Expect(client_->Put(kSession, R"({"phase":"Lobby"})", "application/json"), 200);
    const char* stream = std::getenv("ORB_HOST_STREAM");
    if (stream != nullptr && std::string(stream) == "1") {
      reader_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
      readerThread_ =
          std::thread([this] { reader_->Get("/events", [this](const char*, std::size_t) { return !stopping_; }); });
    }
  }
  ~Server() {
    stopping_ = true;
    if (reader_) reader_->stop();
    if (readerThread_.joinable()) readerThread_.join();
    client_.reset();
    process_.Signal(SIGTERM);
    if (!process_.Wait(60s)) Die("orb-host did not stop");
  }

  httplib::Client& Client() { return *client_; }

  static void Expect(const httplib::Result& result, int status) {
    if (!result) Die("no reply: " + httplib::to_string(result.error()));
    if (result->status != status) Die("status " + std::to_string(result->status) + ": " + result->body);
  }

 private:
  Vela::DevHost::Testing::OrbHostProcess process_;
  int port_ = 0;
  std::unique_ptr<httplib::Client> client_;
  std::unique_ptr<httplib::Client> reader_;
  std::thread readerThread_;
  std::atomic<bool> stopping_{false};
};

void ChangeCycle(benchmark::State& state) {
  const int listed = static_cast<int>(state.range(0));
  Server server(listed);
  httplib::Client& client = server.Client();
  // Ids are handed out in order: the filled messages took 0 .. listed-1.
  int64_t next = listed;
  for (auto _ : state) {
    Server::Expect(client.Post(kMessages, R"({"msgType":"bench","msgBody":["demo-1"]})", "application/json"), 204);
    httplib::Result list = client.Get(kMessages);
    Server::Expect(list, 200);
    benchmark::DoNotOptimize(list->body.size());
    Server::Expect(client.Delete(std::string(kMessages) + "/" + std::to_string(next++)), 204);
  }
  state.SetItemsProcessed(state.iterations() * 3);
}

BENCHMARK(ChangeCycle)->Arg(10)->Iterations(3000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ChangeCycle)->Arg(1000)->Iterations(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ChangeCycle)->Arg(10000)->Iterations(150)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
