// Number parsing by the C library's rules over counted texts.
#include "sdk/binding/number_text.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "sdk/binding/binding_result.h"
#include "sdk/binding/conversion_text.h"
#include "sdk/diag/ascii.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {

namespace {

/// isspace in the "C" locale, without its dependence on the current locale.
constexpr bool IsBlank(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/// The magnitude and sign of an integer text as strtoull reads it, before any range test.
struct IntegerText {
  NumberTextStatus status = NumberTextStatus::kOk;
  bool negative = false;
  uint64_t magnitude = 0;
  bool overflow = false;  // more than 64 bits of magnitude
};

IntegerText ReadIntegerText(std::string_view text) noexcept {
  IntegerText read;
  std::size_t at = 0;
  const std::size_t size = text.size();
  while (at < size && IsBlank(text[at])) ++at;
  if (at < size && (text[at] == '+' || text[at] == '-')) {
    read.negative = text[at] == '-';
    ++at;
  }
  unsigned base = 10;
  if (at < size && text[at] == '0') {
    // "0x" counts as a prefix only when a hexadecimal digit follows; otherwise the "0" is the
    // number and the "x" is left over, as strtoll does it.
    if (at + 2 < size && (text[at + 1] == 'x' || text[at + 1] == 'X') && HexDigitValue(text[at + 2]) < 16) {
      base = 16;
      at += 2;
    } else {
      base = 8;
    }
  }
  std::size_t digits = 0;
  for (; at < size; ++at) {
    int digit = static_cast<int>(HexDigitValue(text[at]));
    if (digit >= static_cast<int>(base)) break;
    ++digits;
    if (read.overflow) continue;
    if (read.magnitude > (UINT64_MAX - static_cast<uint64_t>(digit)) / base) {
      read.overflow = true;
    } else {
      read.magnitude = read.magnitude * base + static_cast<uint64_t>(digit);
    }
  }
  // Without a digit nothing is consumed: the whole text is left over unless it is empty.
  if (digits == 0) {
    read.negative = false;
    read.magnitude = 0;
    read.overflow = false;
    if (!text.empty()) read.status = NumberTextStatus::kIncorrectFormat;
    return read;
  }
  if (at != size) read.status = NumberTextStatus::kIncorrectFormat;
  return read;
}

bool FailText(BindingResult& result, NumberTextStatus status, std::string_view text, const char* target,
              const char* typeName) {
  const char* message =
      status == NumberTextStatus::kOutOfRange ? ConversionText::kNumberRange : ConversionText::kNumberFormat;
  result.Fail(Format(message, text, target, typeName));
  return false;
}

}  // namespace

NumberTextStatus ParseSignedText(std::string_view text, int64_t& out) noexcept {
  IntegerText read = ReadIntegerText(text);
  if (read.status != NumberTextStatus::kOk) return read.status;
  const uint64_t limit = read.negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (read.overflow || read.magnitude > limit) return NumberTextStatus::kOutOfRange;
  out = read.negative ? static_cast<int64_t>(0 - read.magnitude) : static_cast<int64_t>(read.magnitude);
  return NumberTextStatus::kOk;
}

NumberTextStatus ParseUnsignedText(std::string_view text, uint64_t& out) noexcept {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  if (at < text.size() && text[at] == '-') return NumberTextStatus::kOutOfRange;
  IntegerText read = ReadIntegerText(text);
  if (read.status != NumberTextStatus::kOk) return read.status;
  if (read.overflow) return NumberTextStatus::kOutOfRange;
  out = read.magnitude;
  return NumberTextStatus::kOk;
}

NumberTextStatus ParseFloatText(std::string_view text, double& out) {
  if (text.empty()) {
    out = 0.0;
    return NumberTextStatus::kOk;
  }
  // strtod needs a terminated text; a zero byte inside stops it early and is then left over.
  std::string terminated(text);
  const char* begin = terminated.c_str();
  char* end = nullptr;
  errno = 0;
  double parsed = std::strtod(begin, &end);
  int error = errno;
  if (end != begin + terminated.size()) return NumberTextStatus::kIncorrectFormat;
  if (error == ERANGE) return NumberTextStatus::kOutOfRange;
  out = parsed;
  return NumberTextStatus::kOk;
}

bool SignedFromText(BindingResult& result, std::string_view text, const char* target, const char* typeName,
                    int64_t minimum, int64_t maximum, int64_t& out) {
  int64_t parsed = 0;
  NumberTextStatus status = ParseSignedText(text, parsed);
  if (status == NumberTextStatus::kOk && (parsed < minimum || parsed > maximum)) {
    status = NumberTextStatus::kOutOfRange;
  }
  if (status != NumberTextStatus::kOk) return FailText(result, status, text, target, typeName);
  out = parsed;
  return true;
}

bool UnsignedFromText(BindingResult& result, std::string_view text, const char* target, const char* typeName,
                      uint64_t maximum, uint64_t& out) {
  uint64_t parsed = 0;
  NumberTextStatus status = ParseUnsignedText(text, parsed);
  if (status == NumberTextStatus::kOk && parsed > maximum) status = NumberTextStatus::kOutOfRange;
  if (status != NumberTextStatus::kOk) return FailText(result, status, text, target, typeName);
  out = parsed;
  return true;
}

bool FloatFromText(BindingResult& result, std::string_view text, const char* target, const char* typeName, double bound,
                   double& out) {
  double parsed = 0.0;
  NumberTextStatus status = ParseFloatText(text, parsed);
  if (status == NumberTextStatus::kOk && (parsed < -bound || parsed > bound)) status = NumberTextStatus::kOutOfRange;
  if (status != NumberTextStatus::kOk) return FailText(result, status, text, target, typeName);
  out = parsed;
  return true;
}

}  // namespace Vela::Sdk
