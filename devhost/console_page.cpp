// The embedded console files, by URL.
#include "devhost/console_page.h"

namespace Vela::DevHost {

extern const EmbeddedFile kConsoleFiles[];
extern const std::size_t kConsoleFilesCount;

namespace {

constexpr std::string_view kIndexFile = "index.html";
constexpr std::string_view kAssetPrefix = "/console/";

std::string_view ContentTypeOf(std::string_view name) {
  constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
      {".html", "text/html; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".svg", "image/svg+xml"},
  };
  for (const auto& [extension, type] : kTypes) {
    if (name.size() >= extension.size() && name.substr(name.size() - extension.size()) == extension) return type;
  }
  return "application/octet-stream";
}

}  // namespace

std::optional<ConsoleAsset> FindConsoleAsset(std::string_view path) {
  std::string_view name;
  if (path == "/") {
    name = kIndexFile;
  } else if (path.substr(0, kAssetPrefix.size()) == kAssetPrefix) {
    name = path.substr(kAssetPrefix.size());
  } else {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kConsoleFilesCount; ++i) {
    const EmbeddedFile& file = kConsoleFiles[i];
    if (name == file.name) {
      return ConsoleAsset{ContentTypeOf(name), {reinterpret_cast<const char*>(file.data), file.size}};
    }
  }
  return std::nullopt;
}

std::vector<std::pair<std::string_view, std::string_view>> ConsoleHeaders() {
  return {
      {"Content-Security-Policy",
       "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
       "base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"Cache-Control", "no-cache"},
  };
}

}  // namespace Vela::DevHost
