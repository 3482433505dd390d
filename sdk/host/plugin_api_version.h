// The plug-in API version that host and plug-in compare during the handshake.
#pragma once

#include <cstdint>
#include <string>

namespace Vela::Sdk {

struct PluginApiVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t patch = 0;
  std::string preRelease;
  std::string build;

  /// "major.minor.patch", then "-pre-release" and "+build" when those are not empty.
  std::string ToText() const;
};

/// The version of the plug-in API this SDK implements.
PluginApiVersion PluginApiVersionOfSdk();

/// A host serves a plug-in when their majors agree and the host's (minor, patch) is not below
/// the plug-in's; all comparisons are unsigned.
bool IsCompatibleHost(const PluginApiVersion& plugin, const PluginApiVersion& host) noexcept;

}  // namespace Vela::Sdk
