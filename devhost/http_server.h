// `orb-host serve`: the developer host behind an HTTP/1.1 server on loopback (cpp-httplib). The
// server's worker threads hand every call to the host loop, which alone calls into the plug-in.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "devhost/orb_host_commands.h"

namespace Vela::DevHost {

/// Largest request body taken; a larger one is answered 413 before it is read.
inline constexpr std::size_t kMaxRequestBody = 8u << 20;
/// Worker threads of the server; each open event stream holds one, so streams are limited to
/// half of them and the API stays reachable however many are open.
inline constexpr std::size_t kServerThreads = 16;
inline constexpr std::size_t kMaxEventStreams = kServerThreads / 2;

/// Runs until SIGINT or SIGTERM; 0 after a clean shutdown (Destroy called), 1 when Initialise or
/// the scenario failed, 2 when the plug-in, the scenario file or the address could not be used.
int Serve(const ServeSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace Vela::DevHost
