// Typing of YAML scalars: the null and bool word tables and the number rules of plain scalars.
#include "sdk/api/yaml_scalar.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "sdk/binding/value_tree_builder.h"
#include "sdk/diag/ascii.h"

namespace Vela::Sdk {

int YamlBoolWord(std::string_view word) noexcept {
  if (word.size() > 5) return -1;
  static constexpr std::string_view kTrue[] = {"true", "True", "TRUE", "y", "Y", "yes", "Yes", "YES", "on", "On", "ON"};
  static constexpr std::string_view kFalse[] = {"false", "False", "FALSE", "n",   "N",  "no",
                                                "No",    "NO",    "off",   "Off", "OFF"};
  for (std::string_view candidate : kTrue) {
    if (word == candidate) return 1;
  }
  for (std::string_view candidate : kFalse) {
    if (word == candidate) return 0;
  }
  return -1;
}

namespace {

bool IsNullWord(std::string_view word) noexcept {
  return word.empty() || word == "~" || word == "null" || word == "Null" || word == "NULL";
}

enum class IntegerText : uint8_t { kNotInteger, kInRange, kTooLarge };

// Decimal and "0x" hexadecimal integer texts, read exactly: going through a double would corrupt
// every identifier above 2^53.
IntegerText ReadIntegerText(std::string_view text, bool& negative, uint64_t& magnitude) {
  std::size_t i = 0;
  negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size()) return IntegerText::kNotInteger;
  unsigned base = 10;
  if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  // One division here rather than one per digit, which would cost more than all the rest.
  const uint64_t limit = std::numeric_limits<uint64_t>::max() / base;
  const unsigned limitDigit = static_cast<unsigned>(std::numeric_limits<uint64_t>::max() % base);
  uint64_t value = 0;
  bool tooLarge = false;
  for (; i < text.size(); ++i) {
    unsigned digit = HexDigitValue(text[i]);
    if (digit >= base) return IntegerText::kNotInteger;
    if (value > limit || (value == limit && digit > limitDigit)) {
      tooLarge = true;
    } else {
      value = value * base + digit;
    }
  }
  magnitude = value;
  return tooLarge ? IntegerText::kTooLarge : IntegerText::kInRange;
}

// Decimal texts of at most 15 significant digits and a power of ten up to 22: both are exact
// doubles, so one multiplication or division rounds exactly as strtod does, at a fraction of its
// cost. False for everything else, which strtod then reads. Only where doubles are evaluated in
// double precision: extended precision would round twice.
bool ReadShortDecimal(std::string_view text, double& out) {
  if constexpr (FLT_EVAL_METHOD != 0) return false;
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr int kMaxDigits = 15;
  std::size_t i = 0;
  bool negative = text[0] == '-';
  if (text[0] == '+' || text[0] == '-') ++i;
  uint64_t mantissa = 0;
  int digits = 0;
  int exponent = 0;
  bool anyDigit = false;
  auto take = [&](char c) {
    anyDigit = true;
    if (mantissa == 0 && c == '0') return true;
    mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
    return ++digits <= kMaxDigits;
  };
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (!take(text[i])) return false;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (!take(text[i])) return false;
      --exponent;
    }
  }
  if (!anyDigit) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i == text.size()) return false;
    int written = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (written > 1000) return false;
      written = written * 10 + (text[i] - '0');
    }
    exponent += negativeExponent ? -written : written;
  }
  if (i != text.size() || exponent < -22 || exponent > 22) return false;
  double value = static_cast<double>(mantissa);
  value = exponent >= 0 ? value * kPowersOfTen[exponent] : value / kPowersOfTen[-exponent];
  out = negative ? -value : value;
  return true;
}

// Whole numbers become integers by their sign; the rest, and whole numbers that no 64-bit integer
// holds (-inf among them), stay doubles.
template <class Target>
void SetFromDouble(Target& target, double value) {
  constexpr double kTwoTo64 = 18446744073709551616.0;
  constexpr double kMinusTwoTo63 = -9223372036854775808.0;
  if (std::isfinite(value) && std::trunc(value) == value) {
    if (value >= 0.0 && value < kTwoTo64) {
      target.SetUnsigned(static_cast<uint64_t>(value));
      return;
    }
    if (value < 0.0 && value >= kMinusTwoTo63) {
      target.SetSigned(static_cast<int64_t>(value));
      return;
    }
  }
  target.SetFloat(value);
}

// True when strtod reads the whole text to something other than +infinity; the target is then
// set. libyaml ends every scalar with a zero byte, which strtod needs.
template <class Target>
bool SetPlainNumber(Target& target, const char* text, std::size_t length) {
  char first = text[0];
  bool couldBeNumber = (first >= '0' && first <= '9') || first == '+' || first == '-' || first == '.' || first == 'i' ||
                       first == 'I' || first == 'n' || first == 'N';
  if (!couldBeNumber) return false;
  bool negative = false;
  uint64_t magnitude = 0;
  IntegerText integer = ReadIntegerText(std::string_view(text, length), negative, magnitude);
  constexpr uint64_t kMostNegativeMagnitude = uint64_t{1} << 63;
  if (integer == IntegerText::kInRange && (!negative || magnitude == 0)) {
    target.SetUnsigned(magnitude);
    return true;
  }
  if (integer == IntegerText::kInRange && magnitude <= kMostNegativeMagnitude) {
    target.SetSigned(static_cast<int64_t>(uint64_t{0} - magnitude));
    return true;
  }
  char* end = nullptr;
  if (integer != IntegerText::kNotInteger) {
    // Beyond 64 bits, even where the double rounds back into range.
    target.SetFloat(std::strtod(text, &end));
    return true;
  }
  double value = 0.0;
  if (!ReadShortDecimal(std::string_view(text, length), value)) {
    value = std::strtod(text, &end);
    if (end != text + length || value == HUGE_VAL) return false;
  }
  SetFromDouble(target, value);
  return true;
}

template <class Target>
void SetPlain(Target& target, const char* text, std::size_t length) {
  std::string_view word(text, length);
  if (IsNullWord(word)) {
    target.Clear();
    return;
  }
  if (SetPlainNumber(target, text, length)) return;
  int boolWord = YamlBoolWord(word);
  if (boolWord >= 0) {
    target.SetBool(boolWord == 1);
    return;
  }
  target.SetString(word);
}

}  // namespace

void SetPlainScalar(BindingValue& target, const char* text, std::size_t length) { SetPlain(target, text, length); }

void SetPlainScalar(ValueTreeBuilder& builder, const char* text, std::size_t length) {
  // The builder's events under the names of the value's setters.
  struct Target {
    ValueTreeBuilder& builder;
    void Clear() { builder.Null(); }
    void SetBool(bool value) { builder.Bool(value); }
    void SetSigned(int64_t value) { builder.Signed(value); }
    void SetUnsigned(uint64_t value) { builder.Unsigned(value); }
    void SetFloat(double value) { builder.Float(value); }
    void SetString(std::string_view text) { builder.String(text); }
  } target{builder};
  SetPlain(target, text, length);
}

}  // namespace Vela::Sdk
