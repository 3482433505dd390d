// TelemetrySink: posts the plug-in's telemetry events to the host's telemetry endpoint.
#pragma once

#include <future>
#include <string>

#include "sdk/binding/maybe_type.h"
#include "sdk/host/outgoing_request.h"

namespace Vela::Sdk {

class AppModule;

/// The endpoint; the event name follows it.
inline constexpr char kTelemetryEventsUrl[] = "/telemetry/v1/events/";

class TelemetrySink {
 public:
  explicit TelemetrySink(AppModule& module) noexcept : module_(&module) {}
  virtual ~TelemetrySink();
  TelemetrySink(const TelemetrySink&) = delete;
  TelemetrySink& operator=(const TelemetrySink&) = delete;

  /// POSTs the fields as named parameters to kTelemetryEventsUrl + name; the future is
  /// satisfied on return.
  virtual std::future<Maybe<void>> Send(const std::string& name, const NamedParameters& fields);

 private:
  AppModule* module_;
};

}  // namespace Vela::Sdk
