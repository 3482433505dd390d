// Percent-decoding of URL path parameters and query texts.
#include "sdk/api/url_decode.h"

#include <cstdint>

#include "sdk/diag/ascii.h"

namespace Vela::Sdk {
std::string UrlDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      decoded += ' ';
    } else if (c == '%') {
      if (text.size() - i < 3) continue;  // too short to be an escape: drop the "%" alone
      // The high digit is shifted within a byte, so a non-digit (16) there contributes nothing.
      const uint32_t byte = ((HexDigitValue(text[i + 1]) << 4) & 0xFFu) | HexDigitValue(text[i + 2]);
      decoded += static_cast<char>(byte);
      i += 2;
    } else {
      decoded += c;
    }
  }
  return decoded;
}

}  // namespace Vela::Sdk
