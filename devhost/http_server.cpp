// The HTTP server of the developer host.
#include "devhost/http_server.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <ostream>
#include <thread>

#include "devhost/command_line.h"
#include "devhost/console_page.h"
#include "devhost/event_stream.h"
#include "devhost/host_loop.h"
#include "devhost/host_state.h"
#include "devhost/http_host.h"
#include "devhost/scenario.h"
#include "sdk/diag/ascii.h"
#include "sdk/platform/platform.h"

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
    for (char& c : lower) c = Vela::Sdk::LowerAscii(c);
    call.headers.emplace_back(lower, value);
  }
  call.contentType = request.get_header_value("Content-Type");
  call.body = request.body;
  return call;
}

// The body is moved, not copied: a listing of the host's records may run to megabytes, and a copy
// made on a worker thread would stay in that thread's allocator arena, one per worker.
void Apply(HttpReply reply, httplib::Response& response) {
  response.status = reply.status;
  for (const auto& [name, value] : reply.headers) response.set_header(name, value);
  if (!reply.body.empty()) {
    response.body = std::move(reply.body);
    response.headers.erase("Content-Type");
    response.set_header("Content-Type", reply.contentType);
  }
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

// Loads the plug-in, puts the scenario's resources in place, starts the plug-in and runs the
// scenario's steps. The exit code when that fails, nothing when the host is ready to serve.
std::optional<int> StartHost(const ServeSettings& settings, HostLoop& loop, HttpHost& host, std::ostream& out,
                             std::ostream& err) {
  Scenario scenario;
  std::string error;
  if (!settings.scenario.empty() && !LoadScenario(settings.scenario, scenario, error)) {
    err << "orb-host serve: " << error << "\n";
    return kExitUsage;
  }
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
  if (scenario.steps.empty()) return std::nullopt;
  std::string failure = RunScenario(scenario, host, &out);
  if (!failure.empty()) {
    err << "orb-host serve: " << settings.scenario << ": " << failure << "\n";
    return kExitFailed;
  }
  out << "scenario " << settings.scenario << ": all " << scenario.steps.size()
      << (scenario.steps.size() == 1 ? " step" : " steps") << " passed\n";
  return std::nullopt;
}

// Worker threads, body limit, socket options, and the host's error shape for what the server
// library refuses by itself.
void ConfigureServer(httplib::Server& server) {
  server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  server.set_payload_max_length(kMaxRequestBody);
  // The library writes a reply's head and body separately; with Nagle's algorithm the body
  // waits for the client's delayed acknowledgement of the head, some 40 ms for every reply.
  server.set_tcp_nodelay(true);
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
}

// GET /events: one subscription of the stream per reader, each on its own worker thread.
void AddEventStreamRoute(httplib::Server& server, EventStream& stream, std::chrono::milliseconds keepAlive) {
  server.Get(kEventsPath, [&stream, keepAlive](const httplib::Request&, httplib::Response& response) {
    if (stream.SubscriberCount() >= kMaxEventStreams) {
      Apply(ErrorReply(503, HostText::kTooManyStreams), response);
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
          SharedText text;
          switch (subscription->Next(keepAlive, text)) {
            case EventStream::Subscription::Status::kText: {
              // One write, one chunk: the library copies each write into a chunk of its own.
              std::string frame;
              frame.reserve(text->size() + 8);
              frame.append("data: ").append(*text).append("\n\n");
              return sink.write(frame.data(), frame.size());
            }
            case EventStream::Subscription::Status::kIdle: return sink.write(kKeepAlive, sizeof kKeepAlive - 1);
            case EventStream::Subscription::Status::kClosed: sink.done(); return true;
          }
          return false;
        },
        [&stream, subscription](bool) { stream.Unsubscribe(subscription); });
  });
}

// The console's page and assets; every other call goes to the host, on the host loop, through the
// tracker of what the console shows about held messages.
void AddHostRoutes(httplib::Server& server, HostLoop& loop, HttpHost& host, HostStateTracker& state) {
  auto handle = [&loop, &host, &state](const httplib::Request& request, httplib::Response& response) {
    HttpCall call = ToCall(request);
    std::optional<HttpReply> reply = loop.Invoke([&] { return state.Handle(host, call); });
    Apply(reply ? std::move(*reply) : ErrorReply(503, HostText::kShuttingDown), response);
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
}

// Binds the address (port 0: any free one) and says where the host listens; false when it is
// taken or refused.
bool Bind(httplib::Server& server, const ServeSettings& settings, const HttpHost& host, std::ostream& out,
          std::ostream& err) {
  int port = settings.port;
  bool bound =
      port == 0 ? (port = server.bind_to_any_port(settings.host)) > 0 : server.bind_to_port(settings.host, port);
  if (!bound) {
    err << "orb-host serve: cannot listen on " << settings.host << ":" << settings.port << "\n";
    return false;
  }
  std::string address = settings.host.find(':') == std::string::npos ? settings.host : "[" + settings.host + "]";
  out << "orb-host: " << host.ShortName() << " listening on http://" << address << ":" << port << std::endl;
  return true;
}

}  // namespace

int Serve(const ServeSettings& settings, std::ostream& out, std::ostream& err) {
  HostLoop loop;
  HttpHost host(loop, settings.history);
  if (std::optional<int> failed = StartHost(settings, loop, host, out, err)) return *failed;

  // Before any thread of the server exists, so that all of them leave the stop signals to it;
  // after the loop, which it stops, so that the loop outlives its thread.
  Vela::Sdk::Platform::StopRequests stopRequests;
  EventStream stream(settings.streamBacklog);
  host.SetEventSink([&stream](const SharedText& json) { stream.Publish(json); });
  httplib::Server server;
  ConfigureServer(server);
  AddEventStreamRoute(server, stream,
                      std::chrono::milliseconds(static_cast<long long>(settings.keepAliveSeconds * 1000)));
  HostStateTracker state;
  AddHostRoutes(server, loop, host, state);
  if (!Bind(server, settings, host, out, err)) return kExitUsage;

  std::atomic<bool> stopping{false};
  std::thread listener([&] {
    server.listen_after_bind();
    if (!stopping.load()) loop.Stop();  // the server ended on its own: shut down as well
  });
  stopRequests.Start([&loop] { loop.Stop(); });
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
