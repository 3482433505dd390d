// The SDK's own binding types and events.
#include "sdk/binding/builtin_types.h"

#include "sdk/binding/binding_registry.h"

namespace Vela::Sdk {

void RegisterBuiltinTypes(BindingRegistry& /*registry*/) {}

}  // namespace Vela::Sdk
