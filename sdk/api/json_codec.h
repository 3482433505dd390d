// JSON text to BindingValue and back, over RapidJSON.
#pragma once

#include <string>

#include "sdk/binding/binding_result.h"
#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

class EnumNameResolver;

/// The texts reading fails with, printf-style: %s RapidJSON's English text for the error, %u the
/// byte offset.
namespace JsonText {
inline constexpr char kParseError[] = "Error: %s at offset %u.";
inline constexpr char kTooDeep[] = "Error: Nesting too deep at offset %u.";
}  // namespace JsonText

/// Reads one JSON document. Blank or empty text (and null) reads as an Empty value. A syntax
/// error fails with "Error: <RapidJSON's English text> at offset <byte offset>."; containers
/// nested deeper than JsonValueBuilder::kMaxDepth fail with "Error: Nesting too deep at offset
/// <offset of the refused bracket>.". Text is taken as UTF-8 without checking its encoding.
[[nodiscard]] BindingResult JsonToValue(const char* text);
/// Reads the characters up to the first NUL.
[[nodiscard]] BindingResult JsonToValue(const std::string& text);

/// Writes `value` as JSON; an Empty value gives "". Null or empty `newline` gives compact text;
/// otherwise the text is indented by four spaces and its line breaks are `newline`.
/// `enumResolver` (may be null) supplies enumerator names.
std::string ValueToJson(const BindingValue& value, const EnumNameResolver* enumResolver = nullptr,
                        const char* newline = nullptr);

}  // namespace Vela::Sdk
