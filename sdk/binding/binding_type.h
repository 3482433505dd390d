// Binding type codes, the names printed for them, and TypeSpec, the one way a place in the
// binding system refers to a type.
#pragma once

#include <cstdint>

namespace Vela::Sdk {

struct TypeDescriptor;

/// Kind of a bindable type. The codes are exchanged with the host unchanged.
enum BindingType : int32_t {
  kBindingNone = 0,
  kBindingBool = 1,
  kBindingInt8 = 2,
  kBindingUint8 = 3,
  kBindingInt16 = 4,
  kBindingUint16 = 5,
  kBindingInt32 = 6,
  kBindingUint32 = 7,
  kBindingInt64 = 8,
  kBindingUint64 = 9,
  kBindingFloat = 10,
  kBindingDouble = 11,
  kBindingString = 12,
  kBindingObject = 13,  // a BindingValue
  kBindingBlob = 14,
  kBindingVector = 15,
  kBindingEnum = 16,
  kBindingStruct = 17,
  kBindingCallback = 18,
  kBindingMap = 19,  // string keys
};

/// True for the codes 1..19.
constexpr bool IsBindingType(int32_t code) noexcept { return code >= kBindingBool && code <= kBindingMap; }

/// The code as written for the host: unchanged inside 1..19, else 0.
constexpr int32_t HostBindingTypeCode(int32_t code) noexcept { return IsBindingType(code) ? code : 0; }

/// "bool" .. "map" as used in messages and full type identifiers; "" for any other code.
/// Enum and struct print "enum" / "struct" here; a TypeSpec with a type attached prints its name.
const char* BindingTypeName(int32_t code) noexcept;

/// The epytext name: the plain name for scalars, "bytearray" for blob, and the patterns
/// "list[%1]", "L{%1}", "L{%1}", "dict[%1]" for vector, enum, struct and map; "" otherwise.
const char* BindingTypeEpytextName(int32_t code) noexcept;

/// One level of a type: a vector or map names its element by `element` and `referenced`, so a
/// vector of vectors cannot be described.
struct TypeSpec {
  BindingType type = kBindingNone;
  BindingType element = kBindingNone;    // element of a vector, value of a map
  TypeDescriptor* referenced = nullptr;  // struct or enum, directly or as the element
};

}  // namespace Vela::Sdk
