// The HTTP front of the developer host.
#include "devhost/http_front.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <ostream>
#include <thread>

#include "devhost/command_line.h"
#include "devhost/console_page.h"
#include "devhost/event_stream.h"
#include "devhost/host_loop.h"
#include "devhost/host_state.h"
#include "devhost/plugin_host.h"
#include "devhost/scenario.h"

namespace Vela::DevHost {

namespace {

constexpr char kEventStreamType[] = "text/event-stream";
constexpr char kStreamOpen[] = ": stream open\n\n";
constexpr char kKeepAlive[] = ": keep-alive\n\n";

// Names the server library adds to the request's headers for its own use.
bool IsPseudoHeader(const std::string& name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

HttpCall ToCall(const httplib::Request& request) {
  HttpCall call;
  call.method = request.method;
  call.path = request.path;
  call.target = request.target.empty() ? request.path : request.target;
  for (const auto& [name, value] : request.headers) {
    if (IsPseudoHeader(name)) continue;
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    call.headers.emplace_back(lower, value);
  }
  call.contentType = request.get_header_value("Content-Type");
  call.body = request.body;
  return call;
}

void Apply(const HttpReply& reply, httplib::Response& response) {
  response.status = reply.status;
  for (const auto& [name, value] : reply.headers) response.set_header(name, value);
  if (!reply.body.empty()) response.set_content(reply.body, reply.contentType.c_str());
}

// What the server library's own refusals say, in the host's error shape.
const char* ReasonOf(int status) {
  switch (status) {
    case 400: return "Malformed request";
    case 404: return "Not found";
    case 405: return "Method not allowed";
    case 413: return "Request body larger than 8 MiB";
    case 414: return "Request URI too long";
    case 416: return "Range not satisfiable";
    case 500: return "Internal error";
    case 503: return HostText::kShuttingDown;
    default: return "Request refused";
  }
}

// SIGINT and SIGTERM are taken by one thread with sigwait, so no handler runs at an arbitrary
// point of another thread; they are blocked in every other thread from the start.
class SignalWaiter {
 public:
  SignalWaiter() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    signal(SIGPIPE, SIG_IGN);
  }
  ~SignalWaiter() {
    if (thread_.joinable()) {
      if (!received_.load()) pthread_kill(thread_.native_handle(), SIGTERM);
      thread_.join();
    }
    // A signal that arrived after the waiter was done must not kill the process late.
    sigset_t pending;
    sigpending(&pending);
    timespec zero{0, 0};
    while (sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1) {
      if (sigtimedwait(&signals_, nullptr, &zero) < 0) break;
      sigpending(&pending);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  void Start(HostLoop& loop) {
    thread_ = std::thread([this, &loop] {
      int received = 0;
      sigwait(&signals_, &received);
      received_ = true;
      loop.Stop();
    });
  }

 private:
  sigset_t signals_{};
  sigset_t previous_{};
  std::thread thread_;
  std::atomic<bool> received_{false};
};

}  // namespace

int Serve(const ServeSettings& settings, std::ostream& out, std::ostream& err) {
  Scenario scenario;
  std::string error;
  if (!settings.scenario.empty() && !LoadScenario(settings.scenario, scenario, error)) {
    err << "orb-host serve: " << error << "\n";
    return kExitUsage;
  }
  HostLoop loop;
  PluginHost host(loop);
  if (!host.Load(settings.plugin)) {
    err << "orb-host serve: " << host.Error() << "\n";
    return kExitUsage;
  }
  PresetResources(scenario, host);
  if (!host.Start()) {
    err << "orb-host serve: " << host.Error() << "\n";
    return kExitFailed;
  }
  loop.RunUntilIdle();
  if (!scenario.steps.empty()) {
    std::string failure = RunScenario(scenario, host, &out);
    if (!failure.empty()) {
      err << "orb-host serve: " << settings.scenario << ": " << failure << "\n";
      return kExitFailed;
    }
    out << "scenario " << settings.scenario << ": all " << scenario.steps.size()
        << (scenario.steps.size() == 1 ? " step" : " steps") << " passed\n";
  }

  // Before any thread of the server exists, so that all of them inherit the blocked signals; after
  // the loop, which the waiting thread stops, so that it outlives that thread.
  SignalWaiter signals;
  EventStream stream;
  host.SetEventSink([&stream](const std::string& json) { stream.Publish(json); });
  auto keepAlive = std::chrono::milliseconds(static_cast<long long>(settings.keepAliveSeconds * 1000));

  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  server.set_payload_max_length(kMaxRequestBody);
  // The library's default also sets SO_REUSEPORT, with which a second host would quietly share
  // the port of a running one instead of being told that it is taken.
  server.set_socket_options([](socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) Apply(ErrorReply(response.status, ReasonOf(response.status)), response);
  });
  server.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
    Apply(ErrorReply(500, ReasonOf(500)), response);
  });

  server.Get(kEventsPath, [&stream, keepAlive](const httplib::Request&, httplib::Response& response) {
    if (stream.SubscriberCount() >= kMaxEventStreams) {
      Apply(ErrorReply(503, kTooManyStreamsText), response);
      return;
    }
    std::shared_ptr<EventStream::Subscription> subscription = stream.Subscribe();
    if (subscription == nullptr) {
      Apply(ErrorReply(503, HostText::kShuttingDown), response);
      return;
    }
    response.set_header("Cache-Control", "no-cache");
    response.set_chunked_content_provider(
        kEventStreamType,
        [subscription, keepAlive](std::size_t offset, httplib::DataSink& sink) {
          // The opening comment tells the reader that it is subscribed.
          if (offset == 0) return sink.write(kStreamOpen, sizeof kStreamOpen - 1);
          std::string text;
          switch (subscription->Next(keepAlive, text)) {
            case EventStream::Subscription::Status::kText: {
              std::string frame = "data: " + text + "\n\n";
              return sink.write(frame.data(), frame.size());
            }
            case EventStream::Subscription::Status::kIdle:
              return sink.write(kKeepAlive, sizeof kKeepAlive - 1);
            case EventStream::Subscription::Status::kClosed:
              sink.done();
              return true;
          }
          return false;
        },
        [&stream, subscription](bool) { stream.Unsubscribe(subscription); });
  });

  HostStateTracker state;
  auto handle = [&loop, &host, &state](const httplib::Request& request, httplib::Response& response) {
    HttpCall call = ToCall(request);
    std::optional<HttpReply> reply = loop.Invoke([&] { return state.Handle(host, call); });
    Apply(reply ? *reply : ErrorReply(503, HostText::kShuttingDown), response);
  };
  server.Get(kConsoleRoutes, [&handle](const httplib::Request& request, httplib::Response& response) {
    std::optional<ConsoleAsset> asset = FindConsoleAsset(request.path);
    if (!asset) return handle(request, response);
    for (const auto& [name, value] : ConsoleHeaders()) response.set_header(std::string(name), std::string(value));
    response.set_content(asset->body.data(), asset->body.size(), std::string(asset->contentType).c_str());
  });
  const std::string any = ".*";
  server.Get(any, handle);
  server.Post(any, handle);
  server.Put(any, handle);
  server.Patch(any, handle);
  server.Delete(any, handle);
  server.Options(any, handle);

  int port = settings.port;
  bool bound = port == 0 ? (port = server.bind_to_any_port(settings.host)) > 0
                         : server.bind_to_port(settings.host, port);
  if (!bound) {
    err << "orb-host serve: cannot listen on " << settings.host << ":" << settings.port << "\n";
    return kExitUsage;
  }
  std::string address = settings.host.find(':') == std::string::npos ? settings.host : "[" + settings.host + "]";
  out << "orb-host: " << host.ShortName() << " listening on http://" << address << ":" << port << std::endl;

  std::atomic<bool> stopping{false};
  std::thread listener([&] {
    server.listen_after_bind();
    if (!stopping.load()) loop.Stop();  // the server ended on its own: shut down as well
  });
  signals.Start(loop);
  loop.Run();

  stopping = true;
  stream.Close();
  loop.Close();
  server.stop();
  listener.join();
  host.Shutdown();
  out << "orb-host: stopped" << std::endl;
  return kExitOk;
}

}  // namespace Vela::DevHost
