// Typing of YAML scalars: which plain scalars are null, bools or numbers, as the YAML reader
// reads them.
#pragma once

#include <cstddef>
#include <string_view>

#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

class ValueTreeBuilder;

/// 1 for a word of the true table ("true", "yes", "on", "y" in their usual cases), 0 for the
/// false table, -1 for anything else.
int YamlBoolWord(std::string_view word) noexcept;

/// Sets `target` from an untagged plain scalar: a null word leaves it Empty; a number that strtod
/// reads whole (other than +infinity) becomes unsigned, signed or float; a bool word a Bool;
/// anything else a String. `text` is NUL-terminated at `length`, as libyaml hands it over.
void SetPlainScalar(BindingValue& target, const char* text, std::size_t length);
/// The same typing as the next value of `builder`.
void SetPlainScalar(ValueTreeBuilder& builder, const char* text, std::size_t length);

}  // namespace Vela::Sdk
