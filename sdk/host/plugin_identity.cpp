// Full names of plug-ins by kind.
#include "sdk/host/plugin_identity.h"

#include "sdk/diag/format.h"
#include "sdk/diag/log.h"

namespace Vela::Sdk {

std::string_view FullNamePrefix(std::string_view kindName) noexcept {
  if (kindName == kBackendKind.name) return "orb-be-";
  if (kindName == kFrontendKind.name) return "orb-fe-";
  return "orb-xx-";
}

std::string UnknownPluginKindText(std::string_view shortName, std::string_view kindName) {
  return Format("GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type", shortName, kindName);
}

PluginIdentity MakePluginIdentity(std::string_view shortName, const PluginKind& kind) {
  std::string_view prefix = FullNamePrefix(kind.name);
  if (kind.name != kBackendKind.name && kind.name != kFrontendKind.name) {
    Log(kLogError, 0, "            Plugin Manager| %s", UnknownPluginKindText(shortName, kind.name).c_str());
  }
  return PluginIdentity{std::string(prefix) + std::string(shortName), std::string(shortName), std::string(kind.name),
                        std::string(kind.qualifier)};
}

}  // namespace Vela::Sdk
