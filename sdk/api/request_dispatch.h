// Request dispatch: from a host request to a call of the selected function's handler and back to
// the host's response. Every failure becomes the response's error text; nothing is thrown
// to the host by the steps below except std::bad_alloc and the like, which the request entry
// (request_entry.h) catches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk/api/api_result.h"
#include "sdk/api/api_route.h"
#include "sdk/api/argument_location.h"
#include "sdk/api/request_context.h"
#include "sdk/binding/binding_result.h"
#include "sdk/binding/binding_value.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

class BindingRegistry;
struct FunctionDescriptor;

/// The texts dispatch answers with. Positional ("%1") texts are filled by Format.
namespace DispatchText {
inline constexpr char kInvalidFunction[] = "Invalid function";
inline constexpr char kUnsupportedBuiltin[] = "Unsupported builtin function";
inline constexpr char kHelpFunctionName[] = "Help";
/// %1 the argument's name (or a typed argument's index), %2 the function's name.
inline constexpr char kUnknownArgument[] = "Unknown argument '%1' for '%2'.";
/// %1 the argument's name, %2 the function's name.
inline constexpr char kInvalidLocation[] = "Argument '%1' for '%2' was specified in an invalid location.";
/// %1 the parameter's name.
inline constexpr char kExpectedValue[] = "Expected value for argument '%1'.";
/// %1 the path segment.
inline constexpr char kIndexFormat[] = "Index %1 is in an incorrect format";
inline constexpr char kIndexRange[] = "Index %1 is out of range";
/// %1 the argument's name, %2 the function's name, %3 the most segments a path may have.
inline constexpr char kPathTooDeep[] = "Argument '%1' for '%2' has a path of more than %3 segments.";
/// %1 the parameter's name, %2 the function's name, %3 the reader's message.
inline constexpr char kMessagePackParameter[] = "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3";
inline constexpr char kJsonParameter[] = "Couldn't deserialize JSON value for parameter '%1' of '%2': %3";
inline constexpr char kYamlParameter[] = "Couldn't deserialize YAML value for parameter '%1' of '%2': %3";
inline constexpr char kUnsupportedBody[] = "Unsupported body content type";
inline constexpr char kExtraMessagePack[] = "Extra MessgePack data found in body";  // spelled as the host knows it
/// A result value that has no host form (nested too deeply, or memory refused).
inline constexpr char kResultNotConvertible[] = "Couldn't convert the result to a host value.";
/// %1 what the exception said.
inline constexpr char kUnhandledException[] = "Request failed with an exception: %1";
}  // namespace DispatchText

inline constexpr int32_t kInvalidFunctionStatus = 404;
inline constexpr int32_t kBadRequestStatus = 400;
inline constexpr int32_t kInternalErrorStatus = 500;

/// Largest index a dotted argument path may name ("?list.65535=x"), and most elements the paths
/// of one request may add in all: a request cannot make the plug-in allocate more than its own
/// size allows.
inline constexpr uint64_t kMaxArgumentIndex = 65535;
inline constexpr std::size_t kMaxArgumentElements = 65536;
/// Most segments after the argument's name in a dotted path ("a.b.c" has two).
inline constexpr std::size_t kMaxArgumentPathSegments = 32;

/// Name → text pairs in order of first appearance; a repeated name keeps its last text.
using ArgumentTexts = std::vector<std::pair<std::string, std::string>>;

/// What the dotted paths of one request may still add.
struct ArgumentPathBudget {
  std::size_t elementsLeft = kMaxArgumentElements;
};

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
/// A selection that is not an ApiRegistration with a handler answers "Invalid function".
void DispatchRequest(HostResponse& response, const HostRequest& request, const RequestContext& context);

/// The query of `url` (after its first "?"), split on "&", each piece at its first "=", names and
/// texts URL-decoded.
ArgumentTexts ParseQuery(std::string_view url);

/// For each parameter allowed in headers (location 0 or 4) whose lower-case name is a header
/// name of the request: declared name → header text. Null pairs are skipped.
ArgumentTexts CollectHeaderArguments(const FunctionDescriptor& function, std::span<const ArgumentLocation> locations,
                                     const HostRequest& request);

/// Sizes `values` to the parameters, makes required bools false, then applies the headers
/// (location 4), the path (2) and the query (1), stopping at the first failure.
void BindArguments(BindingResult& result, std::vector<BindingValue>& values, const FunctionDescriptor& function,
                   std::span<const ArgumentLocation> locations, const ArgumentTexts& query, const PathParameters& path,
                   const ArgumentTexts& headers, ArgumentPathBudget* budget = nullptr);

/// Applies one named text ("name" or "name.member.0") arriving at `location`. Without a budget
/// the call gets a fresh one.
void ApplyArgument(BindingResult& result, std::vector<BindingValue>& values, const FunctionDescriptor& function,
                   std::span<const ArgumentLocation> locations, std::string_view name, std::string_view valueText,
                   std::string_view contentType, ArgumentLocation location, ArgumentPathBudget* budget = nullptr);

/// Decodes `text` into `target` by content type (prefix, any case), or for a `structured`
/// parameter without content type by its first bytes: MessagePack, JSON, YAML, octet-stream
/// blob, else a String.
void DecodeParameterText(BindingResult& result, BindingValue& target, const FunctionDescriptor& function,
                         std::string_view parameterName, std::string_view text, std::string_view contentType,
                         bool structured);

/// Binds the request's typed arguments: by name, or positionally after `pathParameterCount`.
void BindTypedArguments(BindingResult& result, std::vector<BindingValue>& values, const FunctionDescriptor& function,
                        const HostRequest& request, std::size_t pathParameterCount);

/// Decodes the body into the first parameter at location 5 (ignored when there is none).
void BindBody(BindingResult& result, std::vector<BindingValue>& values, const FunctionDescriptor& function,
              std::span<const ArgumentLocation> locations, const HostRequest& request);

/// Fills the response from `result` (its streamed body is moved into the response). Expects a
/// reset response. `registry` (may be null) names enumerators.
void WriteResponse(HostResponse& response, ApiResult& result, const BindingRegistry* registry);

}  // namespace Vela::Sdk
