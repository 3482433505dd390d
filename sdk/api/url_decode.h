// Percent-decoding of URL path parameters and query texts.
#pragma once

#include <string>
#include <string_view>

namespace Vela::Sdk {

/// "+" becomes a space and "%" with two characters after it becomes one byte. Malformed escapes
/// are not errors: a character that is no hexadecimal digit counts as 16 (so "%zz" and "%1z" are
/// both byte 0x10), and a "%" with fewer than two characters after it is dropped.
std::string UrlDecode(std::string_view text);

}  // namespace Vela::Sdk
