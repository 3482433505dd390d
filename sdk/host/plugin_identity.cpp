// Full names of plug-ins by kind.
#include "sdk/host/plugin_identity.h"

#include <cstdio>

namespace Vela::Sdk {

std::string_view FullNamePrefix(std::string_view kindName) noexcept {
  if (kindName == kBackendKind.name) return "orb-be-";
  if (kindName == kFrontendKind.name) return "orb-fe-";
  return "orb-xx-";
}

std::string UnknownPluginKindText(std::string_view shortName, std::string_view kindName) {
  return "            Plugin Manager| GetFullNameFromShortNameAndType(\"" + std::string(shortName) +
         "\", \"" + std::string(kindName) + "\") called with an unknown type";
}

PluginIdentity MakePluginIdentity(std::string_view shortName, const PluginKind& kind) {
  std::string_view prefix = FullNamePrefix(kind.name);
  if (kind.name != kBackendKind.name && kind.name != kFrontendKind.name) {
    // Goes to the logger at level ERROR once logging is part of the SDK.
    std::fprintf(stderr, "%s\n", UnknownPluginKindText(shortName, kind.name).c_str());
  }
  return PluginIdentity{std::string(prefix) + std::string(shortName), std::string(shortName),
                        std::string(kind.name), std::string(kind.qualifier)};
}

}  // namespace Vela::Sdk
