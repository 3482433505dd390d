// The ten kinds of a BindingValue and the names printed for them in messages.
#pragma once

#include <cstdint>

namespace Vela::Sdk {

enum class ValueKind : uint8_t {
  Empty = 0,
  Bool = 1,
  Signed = 2,
  Unsigned = 3,
  Float = 4,
  String = 5,
  Blob = 6,
  Enum = 7,
  Collection = 8,
  Structure = 9,
};

/// "empty", "bool", "signed", "unsigned", "float", "string", "blob", "enum", "collection",
/// "structure"; any other code gives "".
const char* ValueKindName(ValueKind kind) noexcept;

}  // namespace Vela::Sdk
