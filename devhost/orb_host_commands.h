// The subcommands of orb-host. `serve` lives with the HTTP server (http_server.h); the rest run
// here, writing to the streams they are given and returning the exit code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devhost/event_stream.h"
#include "devhost/record_history.h"

namespace Vela::DevHost {

inline constexpr char kDefaultListen[] = "127.0.0.1:8090";
inline constexpr double kDefaultKeepAliveSeconds = 15;

struct ServeSettings {
  std::string plugin;
  std::string host = "127.0.0.1";
  uint16_t port = 8090;  // 0: any free port, reported when listening
  std::string scenario;
  double keepAliveSeconds = kDefaultKeepAliveSeconds;
  /// Each record history (events, log records, LCDS invocations) on its own.
  RecordBounds history = kDefaultHistoryBounds;
  /// What each event-stream reader may have waiting.
  RecordBounds streamBacklog = kDefaultStreamBacklog;
};

/// A byte size: digits with an optional K, M or G (binary multiples), as in "512K" or "4M".
std::optional<std::size_t> ParseByteSize(std::string_view text);

/// "ADDRESS:PORT" on a loopback address (127.x.x.x, localhost, [::1]); the port 0 to 65535.
/// False with `error` otherwise: the host runs a plug-in for a developer, not for a network.
bool ParseListen(const std::string& text, std::string& host, uint16_t& port, std::string& error);

using ServeFunction = int (*)(const ServeSettings& settings, std::ostream& out, std::ostream& err);

/// The whole program: `arguments` without the program's name. `serve` is null in a build
/// without the HTTP library, and `serve` then reports that.
int OrbHostMain(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err,
                ServeFunction serve);

int DecodeCommand(const std::string& format, const std::string& file, std::istream& in, std::ostream& out,
                  std::ostream& err);
int DescribeCommand(const std::string& plugin, const std::string& format, std::ostream& out, std::ostream& err);
int RunCommand(const std::string& plugin, const std::string& scenario, std::ostream& out, std::ostream& err,
               RecordBounds history = kDefaultHistoryBounds);

}  // namespace Vela::DevHost
