// Named-placeholder templates ("Error response for {method} {url}: {error}"): the text they
// format to, through the positional formatter, and the typed values recorded under their names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "sdk/diag/format.h"

namespace Vela::Sdk {

/// Kind of a typed field value; the numbers are fixed.
enum class FieldKind : int32_t { kBool = 1, kSigned = 2, kUnsigned = 3, kFloat = 4, kString = 5 };

/// A value recorded under a placeholder's name.
struct FieldValue {
  FieldKind kind = FieldKind::kString;
  bool boolValue = false;
  int64_t signedValue = 0;
  uint64_t unsignedValue = 0;
  double floatValue = 0.0;
  std::string stringValue;

  static FieldValue Bool(bool value);
  static FieldValue Signed(int64_t value);
  static FieldValue Unsigned(uint64_t value);
  static FieldValue Float(double value);
  static FieldValue String(std::string value);

  /// False, zero, 0.0 or the empty string: the values a "?" alternative stands in for.
  bool IsEmptyOrZero() const;
  /// The value as text: "true"/"false", decimal numbers, "%g" for floats, the string itself.
  std::string ToText() const;
  bool operator==(const FieldValue& other) const = default;
};

/// Named values in order of appearance.
using FieldList = std::vector<std::pair<std::string, FieldValue>>;

/// A formatted text with the named values that went into it.
struct FormattedMessage {
  std::string text;
  FieldList fields;
};

/// Turns a named-placeholder template into a positional format text for FormatArgs over the same
/// arguments, appending every named, emitted placeholder's value to `fields`.
///
/// "{name}" becomes "%k" for placeholder k, "{name:5d}" becomes "%k$5d"; "{#name}" records the
/// name with a type suffix ("_int", "_str", ...); "{name!}" records it but prints nothing and
/// drops the blanks before it; "{name?text}" prints text instead of a false, zero or empty value.
/// "{{" and "}}" print braces; a printf-style "%s" counts as the next placeholder.
void ExpandFieldTemplate(const char* templateText, const FieldValue* typedValues, std::size_t count,
                         std::string& formatOut, FieldList& fields);

namespace FormatDetail {

template <class T>
FieldValue ToFieldValue(const T& value) {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<U, bool>) {
    return FieldValue::Bool(value);
  } else if constexpr (std::is_same_v<U, char>) {
    return FieldValue::String(std::string(1, value));
  } else if constexpr (std::is_enum_v<U>) {
    return ToFieldValue(static_cast<std::underlying_type_t<U>>(value));
  } else if constexpr (std::is_integral_v<U> && std::is_signed_v<U>) {
    return FieldValue::Signed(static_cast<int64_t>(value));
  } else if constexpr (std::is_integral_v<U>) {
    return FieldValue::Unsigned(static_cast<uint64_t>(value));
  } else if constexpr (std::is_floating_point_v<U>) {
    return FieldValue::Float(static_cast<double>(value));
  } else {
    auto prepared = Prepare(value);
    if constexpr (std::is_same_v<decltype(prepared), const char*>) {
      return FieldValue::String(prepared != nullptr ? std::string(prepared) : std::string("(null)"));
    } else {
      return FieldValue::String(std::string(prepared));
    }
  }
}

}  // namespace FormatDetail

/// Formats a named-placeholder template with its arguments:
/// FormatFields("Error response for {method} {url}: {error}", "GET", "/a", "x") gives the text
/// "Error response for GET /a: x" and the fields method "GET", url "/a", error "x".
template <class... Args>
FormattedMessage FormatFields(const char* templateText, const Args&... args) {
  FormattedMessage result;
  std::string formatText;
  if constexpr (sizeof...(Args) == 0) {
    ExpandFieldTemplate(templateText, nullptr, 0, formatText, result.fields);
  } else {
    const FieldValue values[] = {FormatDetail::ToFieldValue(args)...};
    ExpandFieldTemplate(templateText, values, sizeof...(Args), formatText, result.fields);
  }
  result.text = Format(formatText.c_str(), args...);
  return result;
}

}  // namespace Vela::Sdk
