// Numbers read from text by the C library's strtoll / strtoull / strtod rules, over counted texts
// (zero bytes included), with the range checks and messages of value conversion.
#pragma once

#include <cstdint>
#include <string_view>

namespace Vela::Sdk {

class BindingResult;

enum class NumberTextStatus : uint8_t { kOk, kIncorrectFormat, kOutOfRange };

/// strtoll rules: leading blanks, a sign, then "0x"/"0X" hexadecimal, a leading "0" octal or
/// decimal. Anything left after the number (a zero byte included) is kIncorrectFormat; so is a text
/// without a digit, except the empty text, which reads as 0. Beyond 64 bits is kOutOfRange.
NumberTextStatus ParseSignedText(std::string_view text, int64_t& out) noexcept;

/// strtoull rules as above, except that a minus sign (after the leading blanks) is kOutOfRange:
/// strtoull would wrap "-1" to the largest value.
NumberTextStatus ParseUnsignedText(std::string_view text, uint64_t& out) noexcept;

/// strtod rules: leading blanks, decimal or hexadecimal notation, "inf" and "nan". A result that
/// overflows or underflows the double range is kOutOfRange; the empty text reads as 0.
NumberTextStatus ParseFloatText(std::string_view text, double& out);

/// Parses `text` into [minimum, maximum]; on refusal fails `result` with "Value %1 for '%2' of type
/// %3 is in an incorrect format" or "... is out of range" (%1 the text, %2 target, %3 typeName)
/// and returns false. `out` is untouched unless the text is accepted.
bool SignedFromText(BindingResult& result, std::string_view text, const char* target, const char* typeName,
                    int64_t minimum, int64_t maximum, int64_t& out);
bool UnsignedFromText(BindingResult& result, std::string_view text, const char* target, const char* typeName,
                      uint64_t maximum, uint64_t& out);
/// Accepts [-bound, bound] and NaN.
bool FloatFromText(BindingResult& result, std::string_view text, const char* target, const char* typeName, double bound,
                   double& out);

}  // namespace Vela::Sdk
