// The request entry on every function record of the API description.
#include "sdk/api/request_entry.h"

#include <exception>
#include <string>

#include "sdk/api/function_registration.h"
#include "sdk/api/http_status.h"
#include "sdk/api/request_dispatch.h"
#include "sdk/diag/format.h"
#include "sdk/host/abi/allocation.h"
#include "sdk/host/abi/host_records.h"

namespace Vela::Sdk {

namespace {

/// Whatever was written before the exception is released; the response then reports it.
void WriteException(HostResponse& response, const char* what) noexcept {
  ReleaseHostResponse(&response);
  ResetResponse(response);
  response.status = kInternalErrorStatus;
  try {
    std::string text = Format(DispatchText::kUnhandledException, what);
    response.error = DuplicateText(text.c_str());
    response.errorOwned = response.error != nullptr ? 1 : 0;
  } catch (...) {
    response.error = const_cast<char*>(HttpStatusText(kInternalErrorStatus));
    response.errorOwned = 0;
  }
}

}  // namespace

void HandleRegisteredRequest(HostResponse* response, HostRequest* request) noexcept {
  if (response == nullptr) return;
  // Reset before anything can throw, so that the exception path never releases host garbage.
  ResetResponse(*response);
  try {
    const FunctionRegistration* registration =
        request == nullptr ? nullptr : FunctionRegistration::FromHandle(request->registration);
    const ApiRoute* route = registration == nullptr ? nullptr : registration->Route();
    if (route == nullptr || registration->Function() == nullptr) {
      WriteInvalidFunction(*response);
      return;
    }
    HandleRequest(nullptr, *response, *request, std::span<const ApiRoute>(route, 1));
  } catch (const std::exception& exception) {
    WriteException(*response, exception.what());
  } catch (...) {
    WriteException(*response, "unknown exception");
  }
}

void AttachRequestEntries(FlatApiDescription& api, std::span<FunctionDescriptor* const> functions) noexcept {
  FlatFunctionRecord* records = api.functions;
  for (uint32_t i = 0; records != nullptr && i < api.functionCount && i < functions.size(); ++i) {
    FunctionRegistration* registration = functions[i] == nullptr ? nullptr : FunctionRegistration::Of(*functions[i]);
    records[i].requestCallback = &HandleRegisteredRequest;
    records[i].requestContext = registration == nullptr ? nullptr : registration->Handle();
  }
}

}  // namespace Vela::Sdk
