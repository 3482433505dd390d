// Request dispatch: from a host request to a call of the selected function's handler and back to
// the host's response. Every failure becomes the response's error text; nothing is thrown
// to the host by the steps below except std::bad_alloc and the like, which the request entry
// (request_entry.h) catches.
#pragma once

#include <cstdint>
#include <span>

#include "sdk/api/api_result.h"
#include "sdk/api/api_route.h"
#include "sdk/api/request_context.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

class BindingRegistry;

/// The texts dispatch answers with. Positional ("%1") texts are filled by Format.
namespace DispatchText {
inline constexpr char kInvalidFunction[] = "Invalid function";
inline constexpr char kUnsupportedBuiltin[] = "Unsupported builtin function";
inline constexpr char kHelpFunctionName[] = "Help";
/// A result value that has no host form (nested too deeply, or memory refused).
inline constexpr char kResultNotConvertible[] = "Couldn't convert the result to a host value.";
/// %1 what the exception said.
inline constexpr char kUnhandledException[] = "Request failed with an exception: %1";
}  // namespace DispatchText

inline constexpr int32_t kInvalidFunctionStatus = 404;
inline constexpr int32_t kBadRequestStatus = 400;
inline constexpr int32_t kInternalErrorStatus = 500;

/// Zeroes `response` and sets the plug-in's release function in it.
void ResetResponse(HostResponse& response) noexcept;
/// Writes "Invalid function" with status 404.
void WriteInvalidFunction(HostResponse& response) noexcept;

/// Selects the route among `routes` and dispatches to the builtin or the regular path. The
/// response is reset first. `registry` (may be null) enables builtin functions.
void HandleRequest(const BindingRegistry* registry, HostResponse& response, const HostRequest& request,
                   std::span<const ApiRoute> routes);

/// "Help" answers the registry's API help (format Full); other builtins are unsupported.
void DispatchBuiltin(const BindingRegistry& registry, HostResponse& response, const RequestContext& context);

/// Binds the arguments, calls the handler of the selected registration and writes the response.
/// A selection whose registration has no handler answers "Invalid function".
void DispatchRequest(HostResponse& response, const HostRequest& request, const RequestContext& context);

/// Fills the response from `result` (its streamed body is moved into the response). Expects a
/// reset response. `registry` (may be null) names enumerators.
void WriteResponse(HostResponse& response, ApiResult& result, const BindingRegistry* registry);

}  // namespace Vela::Sdk
