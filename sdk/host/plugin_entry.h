// The export of a plug-in library. A module invokes ORB_PLUGIN_ENTRY once, in one source file of
// its library, naming the function that builds its AppModule; the export's own name comes from
// the build (the compile definition ORB_PLUGIN_ENTRY_SYMBOL, set where the library is declared),
// so the SDK names no particular plug-in and the host finds the same name.
#pragma once

#include "sdk/host/abi/host_abi.h"
#include "sdk/host/app_module.h"
#include "sdk/platform/platform.h"

#if !defined(ORB_PLUGIN_ENTRY_SYMBOL)
#error "The plug-in's build defines ORB_PLUGIN_ENTRY_SYMBOL, the name of its export."
#endif

/// Defines the library's only export: it builds the module with `create` (an AppModule* (*)())
/// and answers the host's handshake. Nothing is thrown out of it.
#define ORB_PLUGIN_ENTRY(create)                                                               \
  extern "C" ORB_EXPORT int ORB_PLUGIN_ENTRY_SYMBOL(::Vela::Sdk::PluginHandshake* handshake) { \
    return ::Vela::Sdk::LoadPlugin(handshake, (create));                                       \
  }
