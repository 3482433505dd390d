// Texts of the HTTP-style method codes shared with the host's request record.
#pragma once

#include <cstdint>
#include <string_view>

#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

/// "DELETE" … "PUT" for codes 1 to 7; "" for 0, for custom methods (their name travels beside the
/// code) and for anything unknown.
const char* MethodText(int32_t code);

/// The code of a method text, compared exactly ("GET" is 2); kMethodCustom for any other text.
int32_t MethodCodeOf(std::string_view text);

/// The method code a request is handled under: codes outside 1 to 8 become kMethodNone.
int32_t RequestMethodCode(int32_t delivered);

}  // namespace Vela::Sdk
