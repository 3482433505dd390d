// Base64 in both directions.
#include "sdk/binding/base64.h"

#include <array>

namespace Vela::Sdk {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int8_t kNotBase64 = -1;
constexpr int8_t kPad = -2;

constexpr auto kDigits = [] {
  std::array<int8_t, 256> digits{};
  for (auto& digit : digits) digit = kNotBase64;
  for (int i = 0; i < 64; ++i) digits[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  digits[static_cast<uint8_t>('=')] = kPad;
  return digits;
}();

}  // namespace

bool IsBase64Text(std::string_view text) noexcept {
  for (char c : text) {
    if (kDigits[static_cast<uint8_t>(c)] == kNotBase64) return false;
  }
  return true;
}

void DecodeBase64(std::string_view text, std::vector<uint8_t>& bytes) {
  bytes.reserve(bytes.size() + text.size() / 4 * 3 + 2);
  uint32_t group = 0;
  int count = 0;
  for (char c : text) {
    const int8_t digit = kDigits[static_cast<uint8_t>(c)];
    if (digit < 0) break;
    group = (group << 6) | static_cast<uint32_t>(digit);
    if (++count == 4) {
      bytes.push_back(static_cast<uint8_t>(group >> 16));
      bytes.push_back(static_cast<uint8_t>(group >> 8));
      bytes.push_back(static_cast<uint8_t>(group));
      group = 0;
      count = 0;
    }
  }
  if (count == 2) {
    bytes.push_back(static_cast<uint8_t>(group >> 4));
  } else if (count == 3) {
    bytes.push_back(static_cast<uint8_t>(group >> 10));
    bytes.push_back(static_cast<uint8_t>(group >> 2));
  }
}

void AppendBase64(std::span<const uint8_t> bytes, std::string& out) {
  const std::size_t size = bytes.size();
  const std::size_t start = out.size();
  out.resize(start + (size + 2) / 3 * 4);
  char* cursor = out.data() + start;
  std::size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const uint32_t group = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    *cursor++ = kAlphabet[(group >> 18) & 0x3F];
    *cursor++ = kAlphabet[(group >> 12) & 0x3F];
    *cursor++ = kAlphabet[(group >> 6) & 0x3F];
    *cursor++ = kAlphabet[group & 0x3F];
  }
  if (i < size) {
    const bool two = i + 1 < size;
    const uint32_t group = (uint32_t{bytes[i]} << 16) | (two ? uint32_t{bytes[i + 1]} << 8 : 0);
    *cursor++ = kAlphabet[(group >> 18) & 0x3F];
    *cursor++ = kAlphabet[(group >> 12) & 0x3F];
    *cursor++ = two ? kAlphabet[(group >> 6) & 0x3F] : '=';
    *cursor++ = '=';
  }
}

}  // namespace Vela::Sdk
