// FunctionRegistration: everything request dispatch needs about one API function — its route
// (URL template and method, compiled when the function is registered), the allowed location of
// each parameter and its handler.
//
// Ownership: the registration is the function descriptor's callable, so the registry owns it and
// destroys it with the descriptor; the descriptor's auxiliary table finds it again
// (FunctionRegistration::Of). Its handle is what the host hands back with every request for the
// function; FromHandle accepts only the handles of registrations that are still alive.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/api/api_handler.h"
#include "sdk/api/api_route.h"
#include "sdk/api/argument_location.h"
#include "sdk/binding/function_descriptor.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

/// Key of the registration in FunctionDescriptor::auxiliary.
inline constexpr char kFunctionRegistrationKey[] = "FunctionRegistration";

/// Created when the application registers an endpoint, under MakeFunctionName(method, template),
/// then given its template with SetUrl and its method with SetMethod, its locations and handler,
/// and last attached to its function, which compiles its route.
class FunctionRegistration final : public BindingCallable {
 public:
  explicit FunctionRegistration(const FunctionDescriptor* function = nullptr);
  ~FunctionRegistration() override;
  FunctionRegistration(const FunctionRegistration&) = delete;
  FunctionRegistration& operator=(const FunctionRegistration&) = delete;

  const FunctionDescriptor* Function() const { return function_; }

  /// A template longer than "/" loses one trailing "/", so "/a/" and "/a" register the same route.
  void SetUrl(std::string_view urlTemplate);
  const std::string& UrlTemplate() const { return urlTemplate_; }

  /// Stores the code and forgets any custom method name.
  void SetMethod(int32_t code);
  /// A custom method (code 8) known by its name.
  void SetCustomMethod(std::string_view name);
  /// kMethodNone answers every method.
  int32_t Method() const { return method_; }
  /// Empty unless the method is custom.
  const std::string& CustomMethod() const { return customMethod_; }

  /// One location per parameter; parameters beyond the list accept any location.
  void SetLocations(std::vector<ArgumentLocation> locations) { locations_ = std::move(locations); }
  std::span<const ArgumentLocation> Locations() const { return locations_; }

  void SetHandler(std::unique_ptr<ApiHandler> handler) { handler_ = std::move(handler); }
  ApiHandler* Handler() const { return handler_.get(); }

  /// Makes this registration the function's callable's peer: records it in the function's
  /// auxiliary table, points the registration at the function and compiles the route from the
  /// template (or the function's name when there is none), raising std::regex_error for a
  /// pattern the library refuses.
  void AttachTo(FunctionDescriptor& function);
  /// The route compiled by AttachTo; null before.
  const ApiRoute* Route() const { return route_.get(); }

  /// The opaque handle given to the host for this registration.
  void* Handle() noexcept { return this; }
  /// The live registration behind a handle, or null for null, unknown or destroyed ones.
  static FunctionRegistration* FromHandle(const void* handle) noexcept;
  /// The registration attached to a function, or null.
  static FunctionRegistration* Of(const FunctionDescriptor& function) noexcept;

 private:
  const FunctionDescriptor* function_;
  std::string urlTemplate_;
  int32_t method_ = kMethodNone;
  std::string customMethod_;
  std::vector<ArgumentLocation> locations_;
  std::unique_ptr<ApiHandler> handler_;
  std::unique_ptr<ApiRoute> route_;
};

}  // namespace Vela::Sdk
