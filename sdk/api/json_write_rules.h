// How JSON is written where a value has no JSON form of its own, shared by ValueToJson's walk and
// JsonValueWriter, so that both write every value alike.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <rapidjson/rapidjson.h>

#include "sdk/binding/base64.h"
#include "sdk/binding/enum_name_resolver.h"

namespace Vela::Sdk::JsonWriteRules {

/// Doubles are written with every digit their shortest form needs.
inline constexpr int kMaxDecimalPlaces = 324;

template <class Writer>
void Text(Writer& writer, std::string_view text) {
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

/// A NaN or an infinity is written as null: JSON has no literal for it, and leaving it out would
/// break the text.
template <class Writer>
void Float(Writer& writer, double value) {
  if (std::isfinite(value)) {
    writer.Double(value);
  } else {
    writer.Null();
  }
}

/// Bytes are written as their Base64 text; `scratch` holds it.
template <class Writer>
void Blob(Writer& writer, std::span<const uint8_t> bytes, std::string& scratch) {
  scratch.clear();
  AppendBase64(bytes, scratch);
  Text(writer, scratch);
}

/// An enumeration value is written as its enumerator's name when `resolver` (may be null) knows
/// it, and as its number otherwise.
template <class Writer>
void Enum(Writer& writer, int32_t value, uint32_t enumType, const EnumNameResolver* resolver) {
  const char* name = resolver != nullptr ? resolver->EnumeratorName(enumType, value) : nullptr;
  if (name != nullptr) {
    writer.String(name);
  } else {
    writer.Int(value);
  }
}

}  // namespace Vela::Sdk::JsonWriteRules
