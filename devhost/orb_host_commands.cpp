// orb-host's subcommands other than serve.
#include "devhost/orb_host_commands.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "devhost/api_description.h"
#include "devhost/command_line.h"
#include "devhost/host_loop.h"
#include "devhost/http_host.h"
#include "devhost/payload_codec.h"
#include "devhost/scenario.h"
#include "sdk/api/json_codec.h"

namespace Vela::DevHost {

namespace {

constexpr char kUsage[] =
    "usage: orb-host <command> [options]\n"
    "\n"
    "Runs a back-end plug-in as the client core would.\n"
    "\n"
    "commands:\n"
    "  serve     serve the plug-in's API, its events and the host's controls over HTTP\n"
    "  run       run a scenario against the plug-in, headless\n"
    "  decode    decode a JSON, YAML or MessagePack payload with the SDK's readers\n"
    "  describe  print the plug-in's API\n"
    "\n"
    "'orb-host <command> --help' describes each command.\n";

constexpr char kServeUsage[] =
    "usage: orb-host serve [--plugin PATH] [--listen 127.0.0.1:PORT] [--scenario FILE]\n"
    "                      [--keep-alive SECONDS] [--history-bytes SIZE] [--history-count N]\n"
    "                      [--stream-backlog-bytes SIZE] [--stream-backlog-count N]\n"
    "\n"
    "Loads the plug-in, performs the handshake and Initialise, runs the scenario if one is\n"
    "given, and serves HTTP/1.1 on loopback until SIGINT or SIGTERM, then calls Destroy.\n"
    "\n"
    "  --plugin PATH        the plug-in library (default: the one this build made)\n"
    "  --listen ADDR:PORT   loopback address and port (default 127.0.0.1:8090; port 0 picks one)\n"
    "  --scenario FILE      a scenario (YAML or JSON) to run before serving\n"
    "  --keep-alive SECS    interval of the event stream's keep-alive comment (default 15)\n"
    "  --history-bytes SIZE           JSON kept by each of /host/events, /host/log and\n"
    "                                 /host/lcds-invocations, oldest dropped first (default 4M)\n"
    "  --history-count N              records kept by each of them (default 10000)\n"
    "  --stream-backlog-bytes SIZE    events an event-stream reader may have waiting before it\n"
    "                                 is dropped (default 4M)\n"
    "  --stream-backlog-count N       the same in events (default 4096)\n"
    "\n"
    "SIZE is bytes, or a number with K, M or G (binary multiples).\n"
    "\n"
    "Routes: GET / (the web console, a page for a browser); the plug-in's functions at their\n"
    "methods and URLs; GET /events (server-sent events); GET, PUT, DELETE of any other URL (the\n"
    "host's resources); POST /lcds/messages; GET /host/log, /host/lcds-invocations, /host/events,\n"
    "/host/api, /host/state; GET and PUT /host/lcds-invoke-fails.\n";

constexpr char kRunUsage[] =
    "usage: orb-host run [--plugin PATH] --scenario FILE [--history-bytes SIZE] [--history-count N]\n"
    "\n"
    "Runs the scenario's steps against the plug-in without a server and stops at the first\n"
    "failed expectation, naming the step (exit 1). The history options bound the events, log\n"
    "records and invocations kept, as for serve; a step's expectations see only what is kept.\n";

constexpr char kDecodeUsage[] =
    "usage: orb-host decode --format json|yaml|msgpack FILE\n"
    "\n"
    "Decodes FILE ('-' for standard input) with the SDK's reader and prints the value as compact\n"
    "JSON. A payload the reader refuses prints the reader's message and exits 1.\n";

constexpr char kDescribeUsage[] =
    "usage: orb-host describe [--plugin PATH] [--format table|full|epytext]\n"
    "\n"
    "Prints the plug-in's API from its flat API description: a listing (table, the default), or\n"
    "the API help in the full (JSON) or epytext format, made by the SDK's help generator.\n";

bool ReadAll(const std::string& file, std::istream& in, std::string& text) {
  if (file == "-") {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
  }
  std::ifstream stream(file, std::ios::binary);
  if (!stream) return false;
  text.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  return !stream.bad();
}

bool LoadPlugin(HttpHost& host, const std::string& plugin, const char* command, std::ostream& err) {
  if (host.Load(plugin)) return true;
  err << "orb-host " << command << ": " << host.Error() << "\n";
  return false;
}

// --history-bytes and the like: a size or a count, each bounded so that a typing slip does not
// pass for "unbounded".
constexpr std::size_t kMaxBoundBytes = std::size_t{1} << 30;
constexpr std::size_t kMaxBoundCount = 10'000'000;

struct BoundOption {
  const char* name;
  bool bytes;
  std::size_t* target;
};

std::optional<std::size_t> ParseCount(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  return value;
}

}  // namespace

std::optional<std::size_t> ParseByteSize(std::string_view text) {
  std::size_t shift = 0;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K':
      case 'k': shift = 10; break;
      case 'M':
      case 'm': shift = 20; break;
      case 'G':
      case 'g': shift = 30; break;
      default: break;
    }
  }
  if (shift != 0) text.remove_suffix(1);
  std::optional<std::size_t> number = ParseCount(text);
  if (!number || *number > (kMaxBoundBytes >> shift)) return std::nullopt;
  return *number << shift;
}

bool ParseListen(const std::string& text, std::string& host, uint16_t& port, std::string& error) {
  std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
    error = "--listen takes ADDRESS:PORT, as in " + std::string(kDefaultListen);
    return false;
  }
  std::string address = text.substr(0, colon), digits = text.substr(colon + 1);
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  bool loopback = address == "localhost" || address == "::1" || address.rfind("127.", 0) == 0;
  if (!loopback) {
    error = "--listen: " + address + " is not a loopback address; orb-host serves on loopback only";
    return false;
  }
  unsigned long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9' || value > 65535) {
      value = 65536;
      break;
    }
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value > 65535) {
    error = "--listen: " + digits + " is not a port number";
    return false;
  }
  host = address;
  port = static_cast<uint16_t>(value);
  return true;
}

int DecodeCommand(const std::string& format, const std::string& file, std::istream& in, std::ostream& out,
                  std::ostream& err) {
  std::optional<PayloadFormat> chosen = PayloadFormatNamed(format);
  if (!chosen) {
    err << "orb-host decode: --format must be json, yaml or msgpack\n";
    return kExitUsage;
  }
  std::string bytes;
  if (!ReadAll(file, in, bytes)) {
    err << "orb-host decode: cannot read " << file << "\n";
    return kExitUsage;
  }
  Vela::Sdk::BindingResult value = DecodePayload(*chosen, bytes);
  if (!value.Ok()) {
    err << value.ErrorText() << "\n";
    return kExitFailed;
  }
  out << ToJson(value.Value()) << "\n";
  return kExitOk;
}

int DescribeCommand(const std::string& plugin, const std::string& format, std::ostream& out, std::ostream& err) {
  if (format != "table" && format != "full" && format != "epytext") {
    err << "orb-host describe: --format must be table, full or epytext\n";
    return kExitUsage;
  }
  HostLoop loop;
  HttpHost host(loop);
  if (!LoadPlugin(host, plugin, "describe", err)) return kExitUsage;
  const Vela::Sdk::FlatApiDescription* api = host.Stand().Api();
  if (api == nullptr) {
    err << "orb-host describe: the plug-in gave no API description\n";
    return kExitFailed;
  }
  if (format == "table") {
    out << "Plug-in " << host.ShortName() << "\n" << DescribeApi(*api);
  } else if (format == "full") {
    out << Vela::Sdk::ValueToJson(ApiHelp(*api, Vela::Sdk::BindingHelpFormat::Full), nullptr, "\n") << "\n";
  } else {
    out << EpytextListing(ApiHelp(*api, Vela::Sdk::BindingHelpFormat::Epytext));
  }
  return kExitOk;
}

int RunCommand(const std::string& plugin, const std::string& scenarioPath, std::ostream& out, std::ostream& err,
               RecordBounds history) {
  Scenario scenario;
  std::string error;
  if (!LoadScenario(scenarioPath, scenario, error)) {
    err << "orb-host run: " << error << "\n";
    return kExitUsage;
  }
  HostLoop loop;
  HttpHost host(loop, history);
  if (!LoadPlugin(host, plugin, "run", err)) return kExitUsage;
  PresetResources(scenario, host);
  if (!host.Start()) {
    err << "orb-host run: " << host.Error() << "\n";
    return kExitFailed;
  }
  loop.RunUntilIdle();
  std::string failure = RunScenario(scenario, host, &out);
  host.Shutdown();
  if (!failure.empty()) {
    err << "orb-host run: " << scenarioPath << ": " << failure << "\n";
    return kExitFailed;
  }
  out << "scenario " << scenarioPath << ": all " << scenario.steps.size()
      << (scenario.steps.size() == 1 ? " step" : " steps") << " passed\n";
  return kExitOk;
}

int OrbHostMain(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err,
                ServeFunction serve) {
  std::string command = arguments.empty() ? std::string() : arguments.front();
  struct Command {
    const char* name;
    const char* usage;
    std::vector<OptionSpec> options;
  } commands[] = {
      {"serve",
       kServeUsage,
       {{"plugin", true},
        {"listen", true},
        {"scenario", true},
        {"keep-alive", true},
        {"history-bytes", true},
        {"history-count", true},
        {"stream-backlog-bytes", true},
        {"stream-backlog-count", true}}},
      {"run", kRunUsage, {{"plugin", true}, {"scenario", true}, {"history-bytes", true}, {"history-count", true}}},
      {"decode", kDecodeUsage, {{"format", true}}},
      {"describe", kDescribeUsage, {{"plugin", true}, {"format", true}}},
  };
  const Command* chosen = nullptr;
  for (const Command& candidate : commands) {
    if (command == candidate.name) chosen = &candidate;
  }
  if (chosen == nullptr) {
    if (command == "--help" || command == "-h" || command == "help") {
      out << kUsage;
      return kExitOk;
    }
    err << (command.empty() ? std::string("orb-host: no command given") : "orb-host: unknown command " + command)
        << "\n\n"
        << kUsage;
    return kExitUsage;
  }

  CommandLine line;
  std::string error;
  if (!ParseCommandLine(arguments, chosen->options, line, error)) {
    err << "orb-host " << command << ": " << error << "\n\n" << chosen->usage;
    return kExitUsage;
  }
  if (line.help) {
    out << chosen->usage;
    return kExitOk;
  }
  auto usageError = [&](const std::string& text) {
    err << "orb-host " << command << ": " << text << "\n\n" << chosen->usage;
    return kExitUsage;
  };
  std::string plugin = line.Get("plugin", BuiltPluginPath());

  if (command == "decode") {
    if (!line.Has("format")) return usageError("--format is required");
    if (line.operands.size() != 1) return usageError("give one FILE, or - for standard input");
    return DecodeCommand(line.Get("format"), line.operands[0], in, out, err);
  }
  if (!line.operands.empty()) return usageError("unexpected operand " + line.operands[0]);
  if (command == "describe") return DescribeCommand(plugin, line.Get("format", "table"), out, err);

  ServeSettings settings;
  const BoundOption bounds[] = {
      {"history-bytes", true, &settings.history.bytes},
      {"history-count", false, &settings.history.count},
      {"stream-backlog-bytes", true, &settings.streamBacklog.bytes},
      {"stream-backlog-count", false, &settings.streamBacklog.count},
  };
  for (const BoundOption& bound : bounds) {
    if (!line.Has(bound.name)) continue;
    std::optional<std::size_t> value =
        bound.bytes ? ParseByteSize(line.Get(bound.name)) : ParseCount(line.Get(bound.name));
    if (!value || *value > (bound.bytes ? kMaxBoundBytes : kMaxBoundCount)) {
      return usageError("--" + std::string(bound.name) +
                        (bound.bytes ? " takes a size up to 1G, as in 4M" : " takes a count up to 10000000"));
    }
    *bound.target = *value;
  }
  if (command == "run") {
    if (!line.Has("scenario")) return usageError("--scenario is required");
    return RunCommand(plugin, line.Get("scenario"), out, err, settings.history);
  }

  settings.plugin = plugin;
  settings.scenario = line.Get("scenario");
  if (!ParseListen(line.Get("listen", kDefaultListen), settings.host, settings.port, error)) return usageError(error);
  if (line.Has("keep-alive")) {
    std::istringstream text(line.Get("keep-alive"));
    double seconds = 0;
    if (!(text >> seconds) || !text.eof() || !(seconds >= 0.05) || seconds > 3600) {
      return usageError("--keep-alive takes seconds from 0.05 to 3600");
    }
    settings.keepAliveSeconds = seconds;
  }
  if (serve == nullptr) {
    err << "orb-host serve: this build of orb-host has no HTTP server (cpp-httplib was not found)\n";
    return kExitUsage;
  }
  return serve(settings, out, err);
}

}  // namespace Vela::DevHost
