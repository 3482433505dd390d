// AppModule: requests to the host, LCDS calls, resource events and waiting for the host.
#include "sdk/host/app_module.h"

#include <system_error>

#include "sdk/binding/flat_value_conversion.h"
#include "sdk/diag/assertion.h"
#include "sdk/host/host_event_names.h"

namespace Vela::Sdk {

Maybe<void> AppModule::SendNamed(int32_t method, const std::string& url, const NamedParameters& parameters) {
  RequestArguments arguments;
  arguments.AddNamed(parameters, &registry_);
  return SendArguments(method, url, arguments);
}

// Every response is released, with or without a reply wanted: the host may have filled a body
// or an error text even for a call that wants none.
Maybe<void> AppModule::SendArguments(int32_t method, const std::string& url, RequestArguments& arguments) {
  if (!arguments.Ok()) {
    return Failure::FromTemplate(kRequestNotSentCode, OutgoingText::kRequestNotSent, MethodText(method), url,
                                 arguments.Error());
  }
  HostRequest request{};
  request.method = method;
  request.url = url.c_str();
  request.arguments = arguments.Data();
  request.argumentCount = arguments.Count();
  request.hostContext = hostContext_;
  HostResponse response{};
  SendRequest(&response, &request);
  Maybe<void> result = CheckResponse(response, method, url);
  ReleaseResponse(response);
  return result;
}

Maybe<BindingValue> AppModule::RequestValue(int32_t method, const std::string& url) {
  HostRequest request{};
  request.method = method;
  request.url = url.c_str();
  request.hostContext = hostContext_;
  HostResponse response{};
  SendRequest(&response, &request);
  Maybe<void> checked = CheckResponse(response, method, url);
  if (!checked) {
    ReleaseResponse(response);
    return std::move(checked).Error();
  }
  // Waiting for more of a stream is a wait like any other: the host sees it bracketed.
  Maybe<BindingValue> body = ReadResponseBody(response, method, url, [this] { YieldToHost(); });
  ReleaseResponse(response);
  return body;
}

Maybe<void> AppModule::InvokeLcdsValue(const std::string& destination, const std::string& method, BindingValue argument,
                                       const TypeSpec& spec) {
  AnnotateLcdsClasses(argument, spec, lcdsClassNames_);
  BindingValue list;
  list.Append() = std::move(argument);
  RequestArguments arguments;
  arguments.AddValue(BindingValue(std::string_view(destination)), &registry_);
  arguments.AddValue(BindingValue(std::string_view(method)), &registry_);
  arguments.AddValue(list, &registry_);
  return SendArguments(kMethodPost, kLcdsInvokeUrl, arguments);
}

Maybe<void> AppModule::SendResourceEvent(const std::string& name, const PluginResourceEvent& event, int32_t value) {
  BindingResult converted = NativeToValue(registry_, event);
  if (!converted.Ok()) return Failure(0, std::string(converted.ErrorText()));
  std::string derived = ResourceEventName(event.uri);
  Trace("%s: Sending event: %s", shortName_.c_str(), derived.c_str());
  HostEvent record{};
  if (!ValueToFlat(converted.Value(), &record.data, &registry_)) return Failure(0, OutgoingText::kFlatArgumentError);
  record.name = derived.c_str();
  record.value = value;
  record.userData = 0;
  FireEvent(&record);
  if (name != derived) {
    record.name = name.c_str();
    FireEvent(&record);
  }
  ReleaseFlatValue(&record.data);
  return {};
}

void AppModule::YieldToHost() {
  BeginWait(kYieldWaitLabel, 0);
  Yield();
  EndWait();
}

void AppModule::FailAwait(const std::error_code& error) noexcept {
  std::string description;
  try {
    description = Format(OutgoingText::kAwaitFailure, error.value(), error.message());
  } catch (...) {
    // The report goes out without its description.
  }
  FatalError(kAwaitFutureError, description.c_str());
}

}  // namespace Vela::Sdk
