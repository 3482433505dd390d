// JSON numbers: integers exactly, everything else correctly rounded.
#include "sdk/api/json_number.h"

#include <charconv>
#include <cstdint>
#include <system_error>

namespace Vela::Sdk {
namespace {

constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Powers of ten that a double holds exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr uint64_t kExactSignificand = uint64_t{1} << 53;

// A number text taken apart: its significant digits (the first 19 of them) as an integer, and
// the power of ten that scales them.
struct Decimal {
  uint64_t significand = 0;
  long long significantDigits = 0;  // all of them, beyond the 19 kept too
  long long exponent = 0;           // of the last kept digit
  bool integer = true;              // no fraction and no exponent in the text
};

Decimal Parse(std::string_view digits) noexcept {
  Decimal decimal;
  std::size_t i = 0;
  // Returns whether the digit was kept in the significand.
  auto take = [&decimal](char c) {
    if (decimal.significantDigits == 0 && c == '0') return false;
    ++decimal.significantDigits;
    if (decimal.significantDigits > 19) return false;
    decimal.significand = decimal.significand * 10 + static_cast<uint64_t>(c - '0');
    return true;
  };
  for (; i < digits.size() && IsDigit(digits[i]); ++i) {
    // An integer digit dropped from the end still scales the kept ones up.
    if (!take(digits[i]) && decimal.significantDigits > 19) ++decimal.exponent;
  }
  if (i < digits.size() && digits[i] == '.') {
    decimal.integer = false;
    for (++i; i < digits.size() && IsDigit(digits[i]); ++i) {
      // A fraction digit scales the kept ones down when it is kept or is a leading zero.
      if (take(digits[i]) || decimal.significantDigits == 0) --decimal.exponent;
    }
  }
  if (i < digits.size() && (digits[i] == 'e' || digits[i] == 'E')) {
    decimal.integer = false;
    const bool negative = ++i < digits.size() && digits[i] == '-';
    if (i < digits.size() && (digits[i] == '-' || digits[i] == '+')) ++i;
    long long exponent = 0;
    for (; i < digits.size() && IsDigit(digits[i]); ++i) {
      if (exponent < 100000000) exponent = exponent * 10 + (digits[i] - '0');
    }
    decimal.exponent += negative ? -exponent : exponent;
  }
  return decimal;
}

}  // namespace

bool ReadJsonNumber(std::string_view text, JsonNumber& number) {
  const bool negative = !text.empty() && text[0] == '-';
  const Decimal decimal = Parse(negative ? text.substr(1) : text);
  if (decimal.integer && decimal.significantDigits <= 19 && decimal.exponent == 0) {
    if (!negative) {
      number.kind = ValueKind::Unsigned;
      number.unsignedValue = decimal.significand;
      return true;
    }
    if (decimal.significand <= uint64_t{1} << 63) {
      number.kind = ValueKind::Signed;
      number.signedValue = static_cast<int64_t>(uint64_t{0} - decimal.significand);
      return true;
    }
  }
  if (decimal.integer && decimal.significantDigits == 20 && !negative) {
    // 20 digits may still fit 64 bits (up to 18446744073709551615).
    uint64_t value = 0;
    const std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ec == std::errc() && read.ptr == text.data() + text.size()) {
      number.kind = ValueKind::Unsigned;
      number.unsignedValue = value;
      return true;
    }
  }
  double value = 0.0;
  if (decimal.significantDigits == 0) {
    value = 0.0;
  } else if (decimal.significantDigits <= 19 && decimal.significand <= kExactSignificand && decimal.exponent >= -22 &&
             decimal.exponent <= 22) {
    // Both operands exact, so the one rounding of the product or quotient gives the nearest double.
    const auto significand = static_cast<double>(decimal.significand);
    value = decimal.exponent >= 0 ? significand * kExactPowers[decimal.exponent]
                                  : significand / kExactPowers[-decimal.exponent];
  } else {
    const std::from_chars_result read =
        std::from_chars(text.data() + (negative ? 1 : 0), text.data() + text.size(), value);
    if (read.ec == std::errc::result_out_of_range) {
      // The first significant digit's place tells overflow from underflow.
      const long long kept = decimal.significantDigits < 19 ? decimal.significantDigits : 19;
      if (decimal.exponent + kept - 1 > 0) return false;
      value = 0.0;
    } else if (read.ec != std::errc()) {
      return false;
    }
  }
  number.kind = ValueKind::Float;
  number.floatValue = negative ? -value : value;
  return true;
}

}  // namespace Vela::Sdk
