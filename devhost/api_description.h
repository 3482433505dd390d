// What the host reads from a plug-in's flat API description: a plain listing, and the API help
// in the SDK's two formats, built by the SDK's help generator from descriptors that mirror the
// flat records (the plug-in's own "Help" function needs the plug-in's registry, which the flat
// request entry does not pass, so it cannot answer through its function record).
#pragma once

#include <string>

#include "sdk/binding/binding_value.h"
#include "sdk/binding/builtin_types.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::DevHost {

/// Functions with their arguments and result, types with their fields or enumerators, events
/// with their payload: one line each, fields indented below their type.
std::string DescribeApi(const Vela::Sdk::FlatApiDescription& api);

/// {"functions", "types", "events"} as the SDK's help generator builds them.
Vela::Sdk::BindingValue ApiHelp(const Vela::Sdk::FlatApiDescription& api, Vela::Sdk::BindingHelpFormat format);

/// The epytext help as text: a heading per section, then each name on its own line followed by
/// its text (whose lines end in CR LF, as generated).
std::string EpytextListing(const Vela::Sdk::BindingValue& help);

}  // namespace Vela::DevHost
