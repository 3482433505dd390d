// YAML text to BindingValue, built from the events of libyaml's parser. There is no YAML writer.
#pragma once

#include <cstddef>
#include <string_view>

#include "sdk/binding/binding_result.h"

namespace Vela::Sdk {

/// The texts the reader fails with; "At line: %1 col: %2" counts from 1, except in kParserError,
/// which gives libyaml's own mark.
namespace YamlText {
inline constexpr char kMultiDocument[] = "Multi-document YAML is not supported.";
inline constexpr char kInvalidKey[] = "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2";
inline constexpr char kDuplicateAnchor[] = "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3";
inline constexpr char kUnexpectedSequence[] = "Unexpected start of sequence. At line: %1 col: %2";
inline constexpr char kUnexpectedMapping[] = "Unexpected start of mapping. At line: %1 col: %2";
inline constexpr char kCyclicAlias[] = "Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3";
inline constexpr char kUndefinedAlias[] = "Undefined alias encountered: \"%1\". At line: %2 col: %3";
inline constexpr char kParserError[] = "YAML parser error: %1. At line: %2 col: %3";
inline constexpr char kUnsupportedTag[] = "Unsupported YAML tag '%1'.";
inline constexpr char kTooDeep[] = "YAML nesting is too deep. At line: %1 col: %2";
inline constexpr char kTooManyAliasNodes[] = "YAML aliases expand to too many nodes. At line: %1 col: %2";
inline constexpr char kTooLarge[] = "YAML document is too large.";
}  // namespace YamlText

/// Deepest nesting of sequences and mappings that reads, alias copies included; deeper input fails
/// with "YAML nesting is too deep. At line: %1 col: %2". The same bound as the other decoders, so
/// that every recursive walk over a decoded tree stays shallow.
inline constexpr std::size_t kMaxYamlDepth = 512;

/// Most nodes that the aliases of one document may copy (each alias costs the nodes it copies
/// plus the steps of the path to its anchor). More fails with "YAML aliases expand to too many
/// nodes. At line: %1 col: %2", which stops "billion laughs" texts that double at every level.
inline constexpr std::size_t kMaxYamlAliasNodes = 1'000'000;

/// Reads one YAML document (UTF-8) into a value. Plain scalars are typed: null words give Empty,
/// numbers give Unsigned, Signed or Float, bool words give Bool, anything else a String; quoted
/// scalars are Strings; the tags !!str, !!int, !!float and !!bool are honoured. Aliases are deep
/// copies of their anchored node. A failure carries one message (line and column from 1).
///
/// Whole numbers outside the 64-bit ranges and -.inf-like texts ("-inf") stay Float; integer
/// texts (decimal or "0x" hexadecimal) are read exactly, not through a double.
[[nodiscard]] BindingResult YamlToValue(std::string_view text);
[[nodiscard]] BindingResult YamlToValue(const char* text, std::size_t length);

}  // namespace Vela::Sdk
