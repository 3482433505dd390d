// The pieces of an outgoing request that need no plug-in object: its typed arguments in flat
// form, the failure texts, and reading the host's response into a generic value.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/binding_value.h"
#include "sdk/binding/failure.h"
#include "sdk/binding/maybe_type.h"
#include "sdk/binding/value_conversion.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

/// Failure texts of outgoing calls: named templates over {method}, {url} and {error}, and the
/// positional text of a failed await.
namespace OutgoingText {
inline constexpr char kRequestNotSent[] = "Request not sent: Error converting parameters for {method} {url}: {error}";
inline constexpr char kErrorResponse[] = "Error response for {method} {url}: {error}";
inline constexpr char kStreamedResponse[] = "Error reading streamed response for {method} {url}: {error}";
inline constexpr char kConvertResponse[] = "Error converting response for {method} {url}: {error}";
inline constexpr char kStreamReadError[] = "Stream read error";
/// The {error} of a value that has no flat form (too large, too deep, or out of memory).
inline constexpr char kFlatArgumentError[] = "Couldn't convert a value to its flat form.";
/// {error} the conversion's message; code 0.
inline constexpr char kLcdsParameters[] = "Couldn't convert LCDS call parameters: {error}";
/// %1 the error code's value, %2 its description; formatted before the fatal report.
inline constexpr char kAwaitFailure[] = "Caught std::future_error in AppModule::Await: (%1) %2";
}  // namespace OutgoingText

/// Code of a request refused before it was sent; other failures of outgoing calls carry the
/// response's status or 0.
inline constexpr int32_t kRequestNotSentCode = 400;
/// Bytes asked for by each read of a streamed body.
inline constexpr uint32_t kStreamChunkSize = 4096;
/// The most a streamed body's size hint reserves up front; longer bodies still grow as read.
inline constexpr uint64_t kStreamReserveLimit = 16u << 20;

/// Parameters sent by name: one positional argument, a structure with one member each.
using NamedParameters = std::vector<std::pair<std::string, BindingValue>>;

/// The typed arguments of one request, owning their flat values until it is destroyed. The
/// first refused argument wins: later additions do nothing and Error() tells why.
class RequestArguments {
 public:
  RequestArguments() = default;
  RequestArguments(const RequestArguments&) = delete;
  RequestArguments& operator=(const RequestArguments&) = delete;
  ~RequestArguments();

  /// One positional argument converted from a native value by its registered type.
  template <class T>
  void Add(const BindingRegistry& registry, const T& value) {
    if (!Ok()) return;
    BindingResult converted = NativeToValue(registry, value);
    if (!converted.Ok()) return Fail(converted.ErrorText());
    AddValue(converted.Value(), &registry);
  }
  /// One positional argument from a generic value; `resolver` names enumerators (may be null).
  void AddValue(const BindingValue& value, const EnumNameResolver* resolver);
  /// The named form: a single structure argument holding every parameter.
  void AddNamed(const NamedParameters& parameters, const EnumNameResolver* resolver);

  bool Ok() const noexcept { return error_.empty(); }
  const std::string& Error() const noexcept { return error_; }
  HostArgument* Data() noexcept { return arguments_.empty() ? nullptr : arguments_.data(); }
  uint32_t Count() const noexcept { return static_cast<uint32_t>(arguments_.size()); }

 private:
  void Fail(std::string_view message);

  std::vector<HostArgument> arguments_;
  std::string error_;
};

/// Step 4 of a request: a response with an error text is a failure with the response's status
/// as code, whatever else it holds.
Maybe<void> CheckResponse(const HostResponse& response, int32_t method, const std::string& url);

/// Reads the body of a successful response: a streamed one chunk by chunk (calling `yield` after
/// a short chunk while more is to come, and the stream's release function in every case), else
/// the flat body, named "<result>".
Maybe<BindingValue> ReadResponseBody(HostResponse& response, int32_t method, const std::string& url,
                                     const std::function<void()>& yield);

/// Calls the response's release function when it has one.
void ReleaseResponse(HostResponse& response) noexcept;

}  // namespace Vela::Sdk
