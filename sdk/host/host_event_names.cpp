// Host event names and resource URL patterns.
#include "sdk/host/host_event_names.h"

#include <cstddef>

#include "sdk/host/host_event_types.h"

namespace Vela::Sdk {

namespace {

constexpr std::size_t kResourceNameItems = 4;
constexpr std::size_t kPlatformConfigNameItems = 6;
constexpr std::string_view kPlatformConfigSegment = "ark-platform-config";
constexpr char kLcdsEventPrefix[] = "OnLcdsEvent_";

}  // namespace

std::string ResourceEventName(std::string_view url) {
  std::string name = kOnJsonApiEventName;
  std::size_t items = 1;
  std::size_t limit = kResourceNameItems;
  std::size_t position = 0;
  while (position < url.size() && items < limit) {
    std::size_t end = url.find('/', position);
    if (end == std::string_view::npos) end = url.size();
    if (end > position) {
      std::string_view segment = url.substr(position, end - position);
      if (items == 1 && segment == kPlatformConfigSegment) limit = kPlatformConfigNameItems;
      name += '_';
      name += segment;
      ++items;
    }
    position = end + 1;
  }
  return name;
}

std::string LcdsEventName(std::string_view typeName) {
  std::string name = kLcdsEventPrefix;
  for (char c : typeName) name += c == '.' ? '_' : c;
  return name;
}

std::string RootedUrl(std::string_view url) {
  if (!url.empty() && url.front() == '/') return std::string(url);
  std::string rooted = "/";
  rooted += url;
  return rooted;
}

// The star never backtracks, so "/a/*c" does not match "/a/bc": a star belongs before a "/" or
// at the end of a pattern.
bool MatchesResourcePattern(std::string_view pattern, std::string_view url) noexcept {
  std::size_t p = 0;
  std::size_t u = 0;
  while (p < pattern.size() && u < url.size()) {
    if (pattern[p] != '*') {
      if (pattern[p] != url[u]) return false;
      ++p;
      ++u;
    } else if (url[u] == '/') {
      ++p;
    } else {
      ++u;
      if (u == url.size()) ++p;
    }
  }
  return p == pattern.size() && u == url.size();
}

}  // namespace Vela::Sdk
