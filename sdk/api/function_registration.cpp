// The route half of an API function's registration.
#include "sdk/api/function_registration.h"

namespace Vela::Sdk {

void FunctionRegistration::SetUrl(std::string_view urlTemplate) {
  if (urlTemplate.size() > 1 && urlTemplate.back() == '/') urlTemplate.remove_suffix(1);
  urlTemplate_.assign(urlTemplate);
}

void FunctionRegistration::SetMethod(int32_t code) {
  method_ = code;
  customMethod_.clear();
}

void FunctionRegistration::SetCustomMethod(std::string_view name) {
  method_ = kMethodCustom;
  customMethod_.assign(name);
}

}  // namespace Vela::Sdk
