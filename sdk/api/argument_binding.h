// Argument binding: a request's headers, path parameters, query, typed arguments and body turned
// into the values of the selected function's parameters. Every refusal fails the result with one
// of the texts below; the first failure wins, except that a body failure replaces an earlier one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk/api/argument_location.h"
#include "sdk/api/request_context.h"
#include "sdk/binding/binding_result.h"
#include "sdk/binding/binding_value.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

struct FunctionDescriptor;

/// The texts binding fails with. Positional ("%1") texts are filled by Format.
namespace ArgumentText {
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
}  // namespace ArgumentText

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

}  // namespace Vela::Sdk
