// ASCII character helpers shared by the SDK's text readers; none depends on the C locale.
#pragma once

#include <cstddef>
#include <string_view>

namespace Vela::Sdk {

/// The value of a hexadecimal digit (either case); 16 for any other character, so a test
/// against a base of 16 or less refuses it.
constexpr unsigned HexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  return 16;
}

constexpr char LowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// Whether `text` begins with `prefix`, ASCII letters compared without case.
constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) noexcept {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

}  // namespace Vela::Sdk
