// A plug-in's names as the host knows it: full name, short name and kind.
#pragma once

#include <string>
#include <string_view>

#include "sdk/host/plugin_kind.h"

namespace Vela::Sdk {

struct PluginIdentity {
  std::string fullName;
  std::string shortName;
  std::string kindName;
  std::string kindQualifier;
};

/// "orb-be-" for backend, "orb-fe-" for frontend, "orb-xx-" for any other kind name.
std::string_view FullNamePrefix(std::string_view kindName) noexcept;

/// The identity of a plug-in; an unknown kind still gets a name, with the "orb-xx-" prefix, and
/// an error report.
PluginIdentity MakePluginIdentity(std::string_view shortName, const PluginKind& kind);

/// What an identity of an unknown kind reports.
std::string UnknownPluginKindText(std::string_view shortName, std::string_view kindName);

}  // namespace Vela::Sdk
