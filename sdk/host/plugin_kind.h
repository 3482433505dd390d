// The kinds of plug-in a host loads; the kind picks the prefix of a plug-in's full name.
#pragma once

#include <string_view>

namespace Vela::Sdk {

struct PluginKind {
  std::string_view name;
  std::string_view qualifier;
};

inline constexpr PluginKind kBackendKind{"backend", ""};
inline constexpr PluginKind kFrontendKind{"frontend", ""};

}  // namespace Vela::Sdk
