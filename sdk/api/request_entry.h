// The request entry the host calls for every API function of the plug-in: the callback and
// context on each function record of the flat API description.
//
// The context of a record is the handle of the function's FunctionRegistration (null for a function
// registered without one); the host copies it into HostRequest::registration, and the callback
// finds the registration again from it, refusing handles that are not live registrations.
#pragma once

#include <span>

#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

struct FunctionDescriptor;

/// The request callback of every function record. Builds the registration's route (its URL
/// template, or the function's name without one) and dispatches with no registry. A null
/// request, or a handle that is not a live registration, answers "Invalid function" (404); an
/// exception escaping a handler answers status 500. Nothing is thrown to the host.
void HandleRegisteredRequest(HostResponse* response, HostRequest* request) noexcept;

/// Puts HandleRegisteredRequest and each function's registration handle on the function records
/// of `api`; `functions` are the descriptors in record order (FlatApiStorage::Functions()).
void AttachRequestEntries(FlatApiDescription& api, std::span<FunctionDescriptor* const> functions) noexcept;

}  // namespace Vela::Sdk
