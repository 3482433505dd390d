// The value of a JSON number, from its text as the reader found it.
#pragma once

#include <cstdint>
#include <string_view>

#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

/// A JSON number's value, of the kind its text calls for.
struct JsonNumber {
  ValueKind kind = ValueKind::Unsigned;  // Unsigned, Signed or Float
  uint64_t unsignedValue = 0;
  int64_t signedValue = 0;
  double floatValue = 0.0;
};

/// Reads a number text the JSON reader has already checked: a non-negative integer that fits 64
/// bits is Unsigned, a negative one that fits is Signed (so "-0" is Signed 0), anything else the
/// double nearest to the text. False for a number beyond the double range; one too small for it
/// becomes a zero of its sign.
bool ReadJsonNumber(std::string_view text, JsonNumber& number);

}  // namespace Vela::Sdk
