// Text form and compatibility rule of the plug-in API version.
#include "sdk/host/plugin_api_version.h"

#include "sdk/diag/format.h"

namespace Vela::Sdk {

std::string PluginApiVersion::ToText() const {
  std::string text = Format("%1.%2.%3", major, minor, patch);
  if (!preRelease.empty()) text += "-" + preRelease;
  if (!build.empty()) text += "+" + build;
  return text;
}

PluginApiVersion PluginApiVersionOfSdk() { return PluginApiVersion{18, 0, 0, {}, {}}; }

bool IsCompatibleHost(const PluginApiVersion& plugin, const PluginApiVersion& host) noexcept {
  if (host.major != plugin.major) return false;
  return host.minor > plugin.minor || (host.minor == plugin.minor && host.patch >= plugin.patch);
}

}  // namespace Vela::Sdk
