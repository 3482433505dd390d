// The telemetry sink.
#include "sdk/host/telemetry_sink.h"

#include "sdk/host/app_module.h"

namespace Vela::Sdk {

TelemetrySink::~TelemetrySink() = default;

std::future<Maybe<void>> TelemetrySink::Send(const std::string& name, const NamedParameters& fields) {
  std::promise<Maybe<void>> promise;
  promise.set_value(module_->SendNamed(kMethodPost, kTelemetryEventsUrl + name, fields));
  return promise.get_future();
}

}  // namespace Vela::Sdk
