// The web console of `orb-host serve`: a page and its assets, embedded in the program at build
// time from devhost/console/, served at "/" and "/console/<file>".
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace Vela::DevHost {

/// One file embedded by cmake/EmbedFiles.cmake.
struct EmbeddedFile {
  const char* name;  // path below the embedded folder
  const unsigned char* data;
  std::size_t size;
};

/// Paths the console answers to, as a pattern of the HTTP server's routes.
inline constexpr char kConsoleRoutes[] = R"(/|/console/[A-Za-z0-9._-]+)";

struct ConsoleAsset {
  std::string_view contentType;
  std::string_view body;
};

/// The page for "/", a file for "/console/<name>"; nothing for any other path or an unknown file.
std::optional<ConsoleAsset> FindConsoleAsset(std::string_view path);

/// Headers sent with every console file: scripts and styles from this origin only, nothing
/// framed, no guessing of content types.
std::vector<std::pair<std::string_view, std::string_view>> ConsoleHeaders();

}  // namespace Vela::DevHost
