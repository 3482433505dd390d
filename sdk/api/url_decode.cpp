// Percent-decoding of URL path parameters and query texts.
#include "sdk/api/url_decode.h"

#include <cstdint>

namespace Vela::Sdk {
namespace {

uint32_t DigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
  return 16;
}

}  // namespace

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
      const uint32_t byte = ((DigitValue(text[i + 1]) << 4) & 0xFFu) | DigitValue(text[i + 2]);
      decoded += static_cast<char>(byte);
      i += 2;
    } else {
      decoded += c;
    }
  }
  return decoded;
}

}  // namespace Vela::Sdk
