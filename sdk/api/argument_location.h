// Where a request may carry each argument of an API function.
#pragma once

#include <cstdint>

namespace Vela::Sdk {

/// The allowed source of one parameter; the codes are fixed.
enum class ArgumentLocation : uint8_t {
  kAny = 0,     // any source
  kQuery = 1,   // query string
  kPath = 2,    // path parameter (URL template capture)
  kHeader = 4,  // header
  kBody = 5,    // request body
};

}  // namespace Vela::Sdk
