// The SDK's own binding types and events, registered in every registry when it is initialised.
#pragma once

namespace Vela::Sdk {

class BindingRegistry;

/// Registers the built-in types and events; called by BindingRegistry::Initialise.
void RegisterBuiltinTypes(BindingRegistry& registry);

}  // namespace Vela::Sdk
