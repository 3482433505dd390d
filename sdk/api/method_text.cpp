// Texts of the HTTP-style method codes.
#include "sdk/api/method_text.h"

namespace Vela::Sdk {

const char* MethodText(int32_t code) {
  switch (code) {
    case kMethodDelete: return "DELETE";
    case kMethodGet: return "GET";
    case kMethodHead: return "HEAD";
    case kMethodOptions: return "OPTIONS";
    case kMethodPatch: return "PATCH";
    case kMethodPost: return "POST";
    case kMethodPut: return "PUT";
    default: return "";
  }
}

int32_t MethodCodeOf(std::string_view text) {
  for (int32_t code = kMethodDelete; code <= kMethodPut; ++code) {
    if (text == MethodText(code)) return code;
  }
  return kMethodCustom;
}

int32_t RequestMethodCode(int32_t delivered) {
  return delivered >= kMethodDelete && delivered <= kMethodCustom ? delivered : kMethodNone;
}

}  // namespace Vela::Sdk
