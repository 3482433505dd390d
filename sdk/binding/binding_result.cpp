// Failure form of a BindingResult.
#include "sdk/binding/binding_result.h"

namespace Vela::Sdk {

void BindingResult::Fail(std::string_view message) {
  // Built aside first: the message may be a view into the value it replaces.
  BindingValue error;
  error.MemberForWriting("error").SetString(message);
  value_ = std::move(error);
  ok_ = false;
}

std::string_view BindingResult::ErrorText() const noexcept {
  if (ok_) return "";
  std::string_view text = value_.Member("error").GetString("");
  return text.data() == nullptr ? std::string_view("") : text;
}

}  // namespace Vela::Sdk
