// Request dispatch: route selection, argument binding, the handler call and the response.
#include "sdk/api/request_dispatch.h"

#include <chrono>
#include <cstring>

#include "sdk/api/api_handler.h"
#include "sdk/api/argument_binding.h"
#include "sdk/api/function_registration.h"
#include "sdk/api/method_text.h"
#include "sdk/api/route_selection.h"
#include "sdk/binding/api_help.h"
#include "sdk/binding/binding_registry.h"
#include "sdk/binding/builtin_types.h"
#include "sdk/binding/flat_value_conversion.h"
#include "sdk/binding/function_descriptor.h"
#include "sdk/diag/format.h"
#include "sdk/host/abi/allocation.h"
#include "sdk/host/abi/host_records.h"

namespace Vela::Sdk {

namespace {

std::string_view TextOrEmpty(const char* text) noexcept { return text == nullptr ? std::string_view() : text; }

void SetError(HostResponse& response, const char* staticText) noexcept {
  response.error = const_cast<char*>(staticText);
  response.errorOwned = 0;
}

void SetOwnedError(HostResponse& response, std::string_view text) noexcept {
  response.error = DuplicateText(text.data(), text.size());
  response.errorOwned = response.error != nullptr ? 1 : 0;
}

uint64_t NowTicks() noexcept {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100);
}

ApiRequestInfo MakeRequestInfo(const HostRequest& request, const RequestContext& context,
                               const FunctionDescriptor& function) {
  ApiRequestInfo info;
  info.hostContext = request.hostContext;
  info.ticks = NowTicks();
  info.registry = function.registry;
  info.url = context.url;
  info.method = context.method;
  if (context.method == kMethodCustom) info.customMethod = context.customMethod;
  if (request.headers != nullptr) {
    info.headers.reserve(request.headerCount);
    for (uint32_t i = 0; i < request.headerCount; ++i) {
      const HostHeader& header = request.headers[i];
      if (header.name != nullptr && header.value != nullptr) info.headers.emplace_back(header.name, header.value);
    }
  }
  return info;
}

/// Releases the handler's token when dispatch leaves, after the response is written or when a
/// step throws.
class TokenRelease {
 public:
  TokenRelease(ApiHandler& handler, const ApiToken& token) noexcept : handler_(handler), token_(token) {}
  ~TokenRelease() {
    if (token_ != 0) handler_.Release(token_);
  }
  TokenRelease(const TokenRelease&) = delete;
  TokenRelease& operator=(const TokenRelease&) = delete;

 private:
  ApiHandler& handler_;
  const ApiToken& token_;
};

}  // namespace

void ResetResponse(HostResponse& response) noexcept {
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  response.release = &ReleaseHostResponse;
}

void WriteInvalidFunction(HostResponse& response) noexcept {
  SetError(response, DispatchText::kInvalidFunction);
  response.status = kInvalidFunctionStatus;
  response.release = &ReleaseHostResponse;
}

void HandleRequest(const BindingRegistry* registry, HostResponse& response, const HostRequest& request,
                   std::span<const ApiRoute> routes) {
  ResetResponse(response);
  RequestContext context;
  context.url = TextOrEmpty(request.url);
  context.method = RequestMethodCode(request.method);
  if (context.method == kMethodCustom) context.customMethod = TextOrEmpty(request.customMethod);
  if (!FindRoute(context, routes, false)) {
    WriteInvalidFunction(response);
    return;
  }
  if (registry != nullptr && context.function != nullptr && context.function->HasTag(kBuiltinTag)) {
    DispatchBuiltin(*registry, response, context);
  } else {
    DispatchRequest(response, request, context);
  }
}

void DispatchBuiltin(const BindingRegistry& registry, HostResponse& response, const RequestContext& context) {
  if (context.function == nullptr || context.function->name != DispatchText::kHelpFunctionName) {
    SetError(response, DispatchText::kUnsupportedBuiltin);
    response.status = kBadRequestStatus;
    return;
  }
  BindingValue help;
  BuildApiHelp(help, registry, registry.SnapshotFunctions(), registry.SnapshotTypes(), registry.SnapshotEvents(),
               BindingHelpFormat::Full);
  if (!ValueToFlat(help, &response.body, &registry)) {
    SetError(response, DispatchText::kResultNotConvertible);
    response.status = kBadRequestStatus;
  }
}

void DispatchRequest(HostResponse& response, const HostRequest& request, const RequestContext& context) {
  const FunctionDescriptor* function = context.function;
  const FunctionRegistration* registration = context.registration;
  if (function == nullptr || registration == nullptr || registration->Handler() == nullptr) {
    WriteInvalidFunction(response);
    return;
  }
  ApiHandler& handler = *registration->Handler();
  const std::span<const ArgumentLocation> locations = registration->Locations();

  ApiResult result;
  std::vector<BindingValue> values;
  const ArgumentTexts headers = CollectHeaderArguments(*function, locations, request);
  const ArgumentTexts query = ParseQuery(context.url);
  BindArguments(result.value, values, *function, locations, query, context.pathParameters, headers);
  BindTypedArguments(result.value, values, *function, request, context.pathParameters.size());
  BindBody(result.value, values, *function, locations, request);

  ApiToken token = 0;
  TokenRelease release(handler, token);
  if (result.Ok()) token = handler.Invoke(result, values, request.hostContext);
  if (result.Ok()) {
    if (TakesRequestInfo(handler.RequestInfoType())) {
      const ApiRequestInfo info = MakeRequestInfo(request, context, *function);
      handler.Complete(result, &info, token, request.hostContext);
    } else {
      handler.Complete(result, nullptr, token, request.hostContext);
    }
  }
  WriteResponse(response, result, function->registry);
}

void WriteResponse(HostResponse& response, ApiResult& result, const BindingRegistry* registry) {
  int32_t status = result.status;
  if (!result.value.Ok()) {
    SetOwnedError(response, result.value.ErrorText());
  } else if (!ValueToFlat(result.value.Value(), &response.body, registry)) {
    // The result's own status would make the missing value look like an answer.
    SetError(response, DispatchText::kResultNotConvertible);
    status = kBadRequestStatus;
  }
  response.resultKind = result.resultKind;
  response.format = result.format >= 1 && result.format <= 3 ? result.format : 0;
  response.status = status;
  response.text = result.text.empty() ? const_cast<char*>("") : DuplicateText(result.text.data(), result.text.size());
  if (!result.headers.empty()) {
    auto* headers = static_cast<HostHeader*>(Allocate(result.headers.size() * sizeof(HostHeader)));
    if (headers != nullptr) {
      uint32_t count = 0;
      for (const auto& [name, value] : result.headers) {
        headers[count].name = DuplicateText(name.data(), name.size());
        headers[count].value = DuplicateText(value.data(), value.size());
        ++count;
      }
      response.headers = headers;
      response.headerCount = count;
    }
  }
  result.stream.MoveInto(response);
  response.release = &ReleaseHostResponse;
}

}  // namespace Vela::Sdk
