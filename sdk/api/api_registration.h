// ApiRegistration: everything request dispatch needs about one API function — its route (URL
// template and method), the allowed location of each parameter and its handler.
//
// Ownership: the registration is the function descriptor's callable, so the registry owns it and
// destroys it with the descriptor; the descriptor's auxiliary table finds it again
// (ApiRegistration::Of). Its handle is what the host hands back with every request for the
// function; FromHandle accepts only the handles of registrations that are still alive.
#pragma once

#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "sdk/api/api_handler.h"
#include "sdk/api/api_route.h"
#include "sdk/api/argument_location.h"
#include "sdk/api/function_registration.h"
#include "sdk/binding/function_descriptor.h"

namespace Vela::Sdk {

/// Key of the registration in FunctionDescriptor::auxiliary.
inline constexpr char kApiRegistrationKey[] = "ApiRegistration";

class ApiRegistration final : public FunctionRegistration, public BindingCallable {
 public:
  ApiRegistration();
  ~ApiRegistration() override;
  ApiRegistration(const ApiRegistration&) = delete;
  ApiRegistration& operator=(const ApiRegistration&) = delete;

  /// One location per parameter; parameters beyond the list accept any location.
  void SetLocations(std::vector<ArgumentLocation> locations) { locations_ = std::move(locations); }
  std::span<const ArgumentLocation> Locations() const { return locations_; }

  void SetHandler(std::unique_ptr<ApiHandler> handler) { handler_ = std::move(handler); }
  ApiHandler* Handler() const { return handler_.get(); }

  /// The route that serves the function: its URL template, or its name when it has none. Built
  /// on first use (raising std::regex_error for a pattern the library refuses), so the template
  /// and the function must be set before.
  const ApiRoute& Route() const;

  /// The opaque handle given to the host for this registration.
  void* Handle() noexcept { return this; }
  /// The live registration behind a handle, or null for null, unknown or destroyed ones.
  static ApiRegistration* FromHandle(const void* handle) noexcept;
  /// The registration attached to a function, or null.
  static ApiRegistration* Of(const FunctionDescriptor& function) noexcept;
  /// Makes this registration the function's callable's peer: records it in the function's
  /// auxiliary table and points the registration at the function.
  void AttachTo(FunctionDescriptor& function);

 private:
  std::vector<ArgumentLocation> locations_;
  std::unique_ptr<ApiHandler> handler_;
  mutable std::once_flag routeBuilt_;
  mutable std::unique_ptr<ApiRoute> route_;
};

}  // namespace Vela::Sdk
