// The route half of an API function's registration: its URL template and method.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

struct FunctionDescriptor;

/// Created when the application registers an endpoint, under MakeFunctionName(method, template),
/// then given its template with SetUrl and its method with SetMethod. Request dispatch adds the
/// argument locations and the handler beside it.
class FunctionRegistration {
 public:
  explicit FunctionRegistration(const FunctionDescriptor* function = nullptr) : function_(function) {}
  virtual ~FunctionRegistration() = default;

  const FunctionDescriptor* Function() const { return function_; }
  void SetFunction(const FunctionDescriptor* function) { function_ = function; }

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

 private:
  const FunctionDescriptor* function_;
  std::string urlTemplate_;
  int32_t method_ = kMethodNone;
  std::string customMethod_;
};

}  // namespace Vela::Sdk
