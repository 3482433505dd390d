// FormatArgs: specification parsing and the argument routines of the message formatter.
#include "sdk/diag/format.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sdk/diag/format_directive.h"

namespace Vela::Sdk {

namespace FormatDetail {

namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads decimal digits, saturating so that an absurd index or width cannot overflow.
std::size_t ReadNumber(const char*& p) {
  std::size_t value = 0;
  while (IsDigit(*p)) {
    std::size_t digit = static_cast<std::size_t>(*p - '0');
    value = value > (SIZE_MAX - digit) / 10 ? SIZE_MAX : value * 10 + digit;
    ++p;
  }
  return value;
}

class SpecificationWriter {
 public:
  explicit SpecificationWriter(ParsedSpecification& spec) : spec_(spec) {
    spec_.text[0] = '%';
    spec_.length = 1;
  }
  bool Append(char c) {
    if (spec_.length >= kMaxSpecificationLength) return false;
    spec_.text[spec_.length++] = c;
    spec_.text[spec_.length] = '\0';
    return true;
  }

 private:
  ParsedSpecification& spec_;
};

// A "*" width or precision: "*n$" names its argument, a bare "*" takes the next sequential one.
bool ParseStar(const char*& p, std::size_t& sequential, std::size_t& argument) {
  const char* digits = p;
  if (*digits >= '1' && *digits <= '9') {
    std::size_t n = ReadNumber(digits);
    if (*digits == '$') {
      argument = n;
      p = digits + 1;
      return true;
    }
  } else if (*digits == '0') {
    const char* after = digits;
    ReadNumber(after);
    if (*after == '$') return false;  // argument 0 does not exist
  }
  argument = ++sequential;
  return true;
}

// A width or precision after its "*" or digits; a "-" just before digits is dropped.
bool ParseAmount(const char*& p, SpecificationWriter& writer, std::size_t& sequential, bool& hasStar,
                 std::size_t& starArgument) {
  if (*p == '*') {
    ++p;
    hasStar = true;
    return writer.Append('*') && ParseStar(p, sequential, starArgument);
  }
  if (*p == '-' && IsDigit(p[1])) ++p;
  while (IsDigit(*p)) {
    if (!writer.Append(*p++)) return false;
  }
  return true;
}

}  // namespace

bool ParseSpecification(const char* percent, std::size_t count, std::size_t& sequential, ParsedSpecification& spec) {
  spec = ParsedSpecification{};
  SpecificationWriter writer(spec);
  const char* p = percent + 1;

  bool positional = false;
  if (*p >= '1' && *p <= '9') {
    const char* digits = p;
    std::size_t n = ReadNumber(digits);
    if (n <= count) {
      positional = true;
      spec.argument = n;
      if (*digits != '$') {
        // "%2": the argument's default rendering.
        spec.end = digits;
        return true;
      }
      p = digits + 1;
    }
    // An index past the count is no index: the digits are read again as a width.
  }

  while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') {
    if (!writer.Append(*p++)) return false;
  }
  if (!ParseAmount(p, writer, sequential, spec.hasStarWidth, spec.starWidthArgument)) return false;
  if (*p == '.') {
    ++p;
    if (!writer.Append('.')) return false;
    if (!ParseAmount(p, writer, sequential, spec.hasStarPrecision, spec.starPrecisionArgument)) return false;
  }
  if (*p == 'L' || *p == 'j' || *p == 't' || *p == 'z') {
    if (!writer.Append(*p++)) return false;
  } else if (*p == 'h' || *p == 'l') {
    char modifier = *p;
    if (!writer.Append(*p++)) return false;
    if (*p == modifier && !writer.Append(*p++)) return false;
  }
  if (*p == '\0' || !writer.Append(*p++)) return false;
  if (static_cast<std::size_t>(p - percent) > kMaxSpecificationLength) return false;
  if (!positional) spec.argument = ++sequential;
  spec.end = p;
  return true;
}

}  // namespace FormatDetail

namespace {

using FormatDetail::IsDigit;
using FormatDetail::ParsedSpecification;
using FormatDetail::ReadNumber;

int32_t ClampToInt32(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

// Copies a rendering of known length the way snprintf would: cut to room - 1, NUL-terminated,
// the whole room reported when cut.
std::size_t CopyOut(FormatContext& context, const char* text, std::size_t length) {
  std::size_t copied = std::min(length, context.room - 1);
  std::memcpy(context.output, text, copied);
  context.output[copied] = '\0';
  return length < context.room ? length : context.room;
}

// A specification with flags, width or precision needs the C library; "%" and "%" plus the
// conversion alone do not.
bool IsPlain(const FormatContext& context) {
  return context.specificationLength <= 2 && !context.hasStarWidth && !context.hasStarPrecision;
}

// The specification handed to the C library: the argument's conversion, a length modifier that
// matches the value actually passed, whatever the format text asked for, and the width and
// precision written out as digits ("*" amounts included) and bounded by what the output can show.
struct FinalSpecification {
  // Flags, two amounts of at most 20 digits each, "." and "-", the modifier and the conversion.
  char text[kMaxSpecificationLength + 48];
  char conversion;  // '\0' for "%n": nothing to write
  bool narrowed;    // "h" or "hh" kept: the value is passed as an int, whatever its width
  bool refused;     // an amount the C library refuses to render: the output stops here
};

enum class ValueWidth { kNone, kInt, kLongLong };

// Digits of a floating conversion that can be exact: a double's longest exact decimal expansion
// has 1074 fraction digits (767 significant ones), so more precision only appends zeros.
constexpr std::size_t kExactFloatDigits = 1100;
// Beyond its precision, an integer rendering has at most a sign, a "0x" and a 64-bit number;
// a floating one at most 309 integer digits, a sign, a point and an exponent.
constexpr std::size_t kIntegerExtra = 32;
constexpr std::size_t kFloatingExtra = 340;

// Writes "[flags][width][.precision]" of the specification's first `bodyLength` characters to
// `out` with the amounts as digits; 0 when an amount is one the C library refuses (its result
// would not fit an int), which stops the output on every system. A huge width or precision
// otherwise only pads or extends what the output cuts anyway, yet the C library would render all
// of it (and some overflow their stack doing so), so each is bounded by what can still be seen:
// the room left plus the longest the rest of the rendering can be. `textLength` is the length of
// a text argument. A precision that cannot change the rendering (`precisionIgnored`: a NaN or an
// infinity; always for a character) is not passed on, so it cannot shorten the padding either.
std::size_t WriteBoundedBody(const FormatContext& context, std::size_t bodyLength, char conversion,
                             std::size_t textLength, bool precisionIgnored, char* out) {
  const char* p = context.specification + 1;
  const char* end = context.specification + bodyLength;
  std::size_t length = 0;
  out[length++] = '%';
  bool leftAligned = false;
  bool alternate = false;
  while (p < end && std::strchr("-+ #0", *p) != nullptr) {
    leftAligned = leftAligned || *p == '-';
    alternate = alternate || *p == '#';
    out[length++] = *p++;
  }
  bool hasWidth = false;
  uint64_t width = 0;
  if (p < end && *p == '*') {
    ++p;
    hasWidth = true;
    int64_t star = context.starWidth;
    if (star < 0) {
      if (!leftAligned) out[length++] = '-';
      star = -star;
    }
    width = static_cast<uint64_t>(star);
  } else if (p < end && IsDigit(*p)) {
    hasWidth = true;
    width = ReadNumber(p);
  }
  bool hasPrecision = false;
  uint64_t precision = 0;
  if (p < end && *p == '.') {
    ++p;
    hasPrecision = true;
    if (p < end && *p == '*') {
      ++p;
      // A negative "*" precision counts as none.
      hasPrecision = context.starPrecision >= 0;
      precision = hasPrecision ? static_cast<uint64_t>(context.starPrecision) : 0;
    } else {
      precision = ReadNumber(p);
    }
  }

  constexpr uint64_t kMostRendered = INT_MAX;
  const bool fixedDigits = std::strchr("eEfF", conversion) != nullptr;  // a digit and a point before them
  if (width > kMostRendered || precision > kMostRendered || (fixedDigits && precision > kMostRendered - 2)) return 0;

  // C leaves a character's precision undefined; glibc ignores it.
  if (precisionIgnored || conversion == 'c') hasPrecision = false;

  const uint64_t room = context.room;
  const bool floating = std::strchr("aAeEfFgG", conversion) != nullptr;
  const bool strippedZeros = (conversion == 'g' || conversion == 'G') && !alternate;
  const uint64_t asked = precision;
  uint64_t rest;  // the longest the rendering can be without its padding
  if (conversion == 's') {
    if (hasPrecision) precision = std::min<uint64_t>(precision, room);
    rest = hasPrecision ? std::min<uint64_t>(precision, textLength) : textLength;
  } else if (floating) {
    if (hasPrecision) precision = std::min<uint64_t>(precision, std::max<uint64_t>(room, kExactFloatDigits));
    rest = (hasPrecision ? precision : 6) + kFloatingExtra;
  } else {
    if (hasPrecision) precision = std::min<uint64_t>(precision, room + kIntegerExtra);
    rest = conversion == 'c' ? 1 : precision + kIntegerExtra;
  }
  // A shorter precision shortens the rendering by as many characters (a text by what it cut, a
  // "%g" by none: past the exact digits it only strips zeros); the padding keeps its length.
  uint64_t shortened = asked - precision;
  if (conversion == 's') shortened = std::min<uint64_t>(asked, textLength) - std::min<uint64_t>(precision, textLength);
  if (strippedZeros) shortened = 0;
  width = width > shortened ? width - shortened : 0;
  width = std::min(width, room + rest);

  char* cursor = out + length;
  if (hasWidth && width > 0) cursor = std::to_chars(cursor, out + kMaxSpecificationLength + 40, width).ptr;
  if (hasPrecision) {
    *cursor++ = '.';
    cursor = std::to_chars(cursor, out + kMaxSpecificationLength + 40, precision).ptr;
  }
  return static_cast<std::size_t>(cursor - out);
}

FinalSpecification Finish(const FormatContext& context, const char* allowed, ValueWidth width,
                          std::size_t textLength = 0, bool precisionIgnored = false) {
  FinalSpecification result{};
  std::size_t bodyLength = 1;  // the "%"
  char conversion = allowed[0];
  char given[3] = {};
  if (context.specificationLength > 1) {
    conversion = context.specification[context.specificationLength - 1];
    bodyLength = context.specificationLength - 1;
    // Flags, width and precision hold no letters, so trailing letters are the length modifier.
    std::size_t modifierStart = bodyLength;
    while (modifierStart > 1 && std::strchr("hlLjtzq", context.specification[modifierStart - 1]) != nullptr &&
           bodyLength - modifierStart < 2) {
      --modifierStart;
    }
    std::memcpy(given, context.specification + modifierStart, bodyLength - modifierStart);
    bodyLength = modifierStart;
    if (conversion == 'n') return result;
    if (std::strchr(allowed, conversion) == nullptr) conversion = allowed[0];
  }
  std::size_t length = WriteBoundedBody(context, bodyLength, conversion, textLength, precisionIgnored, result.text);
  if (length == 0) {
    result.refused = true;
    return result;
  }
  const char* modifier = "";
  if (width != ValueWidth::kNone && std::strchr("diouxX", conversion) != nullptr &&
      (std::strcmp(given, "h") == 0 || std::strcmp(given, "hh") == 0)) {
    // Narrowing to short or char happens alike for 32- and 64-bit values: the value goes in as
    // an int, whose narrowing by the C library is well defined.
    modifier = given;
    result.narrowed = true;
  } else if (width == ValueWidth::kLongLong && conversion != 'c') {
    modifier = "ll";
  }
  for (const char* m = modifier; *m != '\0'; ++m) result.text[length++] = *m;
  result.text[length++] = conversion;
  result.text[length] = '\0';
  result.conversion = conversion;
  return result;
}

template <class Value>
std::size_t CallLibrary(FormatContext& context, const char* specification, Value value) {
  const int written = std::snprintf(context.output, context.room, specification, value);
  if (written < 0) {
    context.output[0] = '\0';
    return kFormatFailed;
  }
  return static_cast<std::size_t>(written) < context.room ? static_cast<std::size_t>(written) : context.room;
}

constexpr bool IsUnsignedConversion(char conversion) {
  return conversion == 'o' || conversion == 'u' || conversion == 'x' || conversion == 'X';
}

template <class Integer>
std::size_t FormatInteger(FormatContext& context, Integer value, const char* allowed) {
  context.allowedConversions = allowed;
  context.lengthModifier = sizeof(Integer) == 8 ? "ll" : "";
  if (IsPlain(context)) {
    char conversion = context.specificationLength == 1 ? allowed[0] : context.specification[1];
    if (conversion == 'd' || conversion == 'i' || conversion == 'u' || conversion == 'n' ||
        std::strchr(allowed, conversion) == nullptr) {
      if (conversion == 'n') return 0;
      bool asUnsigned =
          conversion == 'u' || (std::strchr(allowed, conversion) == nullptr && std::is_unsigned_v<Integer>);
      char digits[24];
      std::to_chars_result end;
      if (asUnsigned) {
        end = std::to_chars(digits, digits + sizeof digits, static_cast<std::make_unsigned_t<Integer>>(value));
      } else {
        end = std::to_chars(digits, digits + sizeof digits, static_cast<std::make_signed_t<Integer>>(value));
      }
      return CopyOut(context, digits, static_cast<std::size_t>(end.ptr - digits));
    }
  }
  FinalSpecification final = Finish(context, allowed, sizeof(Integer) == 8 ? ValueWidth::kLongLong : ValueWidth::kInt);
  if (final.refused) return kFormatFailed;
  if (final.conversion == '\0') return 0;
  if (final.conversion == 'c') return CallLibrary(context, final.text, static_cast<int>(value));
  if (final.narrowed) {
    if (IsUnsignedConversion(final.conversion)) return CallLibrary(context, final.text, static_cast<unsigned>(value));
    return CallLibrary(context, final.text, static_cast<int>(value));
  }
  if constexpr (sizeof(Integer) == 8) {
    if (IsUnsignedConversion(final.conversion)) {
      return CallLibrary(context, final.text, static_cast<unsigned long long>(value));
    }
    return CallLibrary(context, final.text, static_cast<long long>(value));
  } else {
    if (IsUnsignedConversion(final.conversion)) return CallLibrary(context, final.text, static_cast<unsigned>(value));
    return CallLibrary(context, final.text, static_cast<int>(value));
  }
}

std::size_t FormatText(FormatContext& context, const char* text) {
  context.allowedConversions = "s";
  context.lengthModifier = "";
  if (text == nullptr) text = "(null)";
  if (IsPlain(context) && (context.specificationLength == 1 || context.specification[1] != 'n')) {
    // The scan stops at what can be written.
    const void* terminator = std::memchr(text, '\0', context.room);
    std::size_t length =
        terminator != nullptr ? static_cast<std::size_t>(static_cast<const char*>(terminator) - text) : context.room;
    return CopyOut(context, text, length);
  }
  FinalSpecification final = Finish(context, "s", ValueWidth::kNone, std::strlen(text));
  if (final.refused) return kFormatFailed;
  if (final.conversion == '\0') return 0;
  return CallLibrary(context, final.text, text);
}

std::size_t FormatCharArgument(FormatContext& context, const void* argument) {
  char value = *static_cast<const char*>(argument);
  constexpr const char* kAllowed = "cdiouxX";
  context.allowedConversions = kAllowed;
  context.lengthModifier = "";
  if (IsPlain(context)) {
    char conversion = context.specificationLength == 1 ? 'c' : context.specification[1];
    if (conversion == 'n') return 0;
    if (conversion == 'c' || std::strchr(kAllowed, conversion) == nullptr) return CopyOut(context, &value, 1);
  }
  FinalSpecification final = Finish(context, kAllowed, ValueWidth::kInt);
  if (final.refused) return kFormatFailed;
  if (final.conversion == '\0') return 0;
  if (IsUnsignedConversion(final.conversion)) {
    return CallLibrary(context, final.text, static_cast<unsigned>(static_cast<unsigned char>(value)));
  }
  return CallLibrary(context, final.text, static_cast<int>(value));
}

std::size_t FormatInt32Argument(FormatContext& context, const void* argument) {
  return FormatInteger(context, *static_cast<const int32_t*>(argument), "dciouxX");
}
std::size_t FormatUInt32Argument(FormatContext& context, const void* argument) {
  return FormatInteger(context, *static_cast<const uint32_t*>(argument), "ucdioxX");
}
std::size_t FormatInt64Argument(FormatContext& context, const void* argument) {
  return FormatInteger(context, *static_cast<const int64_t*>(argument), "dciouxX");
}
std::size_t FormatUInt64Argument(FormatContext& context, const void* argument) {
  return FormatInteger(context, *static_cast<const uint64_t*>(argument), "ucdioxX");
}

std::size_t FormatDoubleArgument(FormatContext& context, const void* argument) {
  context.allowedConversions = "gaefGAEF";
  context.lengthModifier = "";
  const double value = *static_cast<const double*>(argument);
  FinalSpecification final = Finish(context, "gaefGAEF", ValueWidth::kNone, 0, !std::isfinite(value));
  if (final.refused) return kFormatFailed;
  if (final.conversion == '\0') return 0;
  return CallLibrary(context, final.text, value);
}

std::size_t FormatTextArgument(FormatContext& context, const void* argument) {
  return FormatText(context, *static_cast<const char* const*>(argument));
}

std::size_t FormatStringArgument(FormatContext& context, const void* argument) {
  return FormatText(context, static_cast<const std::string*>(argument)->c_str());
}

std::size_t FormatStringViewArgument(FormatContext& context, const void* argument) {
  std::string_view view = *static_cast<const std::string_view*>(argument);
  // The C library needs a terminated text; nothing longer than the result buffer can show.
  char copy[kFormatBufferSize];
  std::size_t length = std::min(view.size(), sizeof copy - 1);
  std::memcpy(copy, view.data(), length);
  copy[length] = '\0';
  return FormatText(context, copy);
}

int64_t CharToInteger(const void* argument) { return *static_cast<const char*>(argument); }
int64_t Int32ToInteger(const void* argument) { return *static_cast<const int32_t*>(argument); }
int64_t UInt32ToInteger(const void* argument) { return *static_cast<const uint32_t*>(argument); }
int64_t Int64ToInteger(const void* argument) { return *static_cast<const int64_t*>(argument); }
int64_t UInt64ToInteger(const void* argument) {
  uint64_t value = *static_cast<const uint64_t*>(argument);
  return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(value);
}

}  // namespace

namespace FormatRoutines {
const FormatRoutine kChar{&FormatCharArgument, &CharToInteger, true};
const FormatRoutine kInt32{&FormatInt32Argument, &Int32ToInteger, true};
const FormatRoutine kUInt32{&FormatUInt32Argument, &UInt32ToInteger, true};
const FormatRoutine kInt64{&FormatInt64Argument, &Int64ToInteger, true};
const FormatRoutine kUInt64{&FormatUInt64Argument, &UInt64ToInteger, true};
const FormatRoutine kDouble{&FormatDoubleArgument, nullptr, false};
const FormatRoutine kText{&FormatTextArgument, nullptr, false};
const FormatRoutine kStringView{&FormatStringViewArgument, nullptr, false};
const FormatRoutine kString{&FormatStringArgument, nullptr, false};
}  // namespace FormatRoutines

namespace {

// The routine and argument of a 1-based index, or false when the index is out of range or the
// caller left a hole in the tables.
bool Lookup(std::size_t index, std::size_t count, const FormatRoutine* const* routines, const void* const* arguments,
            const FormatRoutine*& routine, const void*& argument) {
  if (index == 0 || index > count) return false;
  routine = routines[index - 1];
  argument = arguments[index - 1];
  return routine != nullptr && routine->format != nullptr && argument != nullptr;
}

// A "*" value, or false when its argument cannot supply an integer.
bool StarValue(std::size_t index, std::size_t count, const FormatRoutine* const* routines, const void* const* arguments,
               int32_t& value) {
  const FormatRoutine* routine;
  const void* argument;
  if (!Lookup(index, count, routines, arguments, routine, argument)) return false;
  if (!routine->hasToInteger || routine->toInteger == nullptr) return false;
  value = ClampToInt32(routine->toInteger(argument));
  return true;
}

}  // namespace

std::size_t FormatArgs(char* buffer, std::size_t size, const char* format, const FormatRoutine* const* routines,
                       const void* const* arguments, std::size_t count) noexcept {
  if (buffer == nullptr || size == 0) return 0;
  if (routines == nullptr || arguments == nullptr) count = 0;
  const std::size_t limit = size - 1;
  std::size_t position = 0;
  std::size_t sequential = 0;
  const char* p = format != nullptr ? format : "";
  while (*p != '\0' && position < limit) {
    if (*p != '%') {
      buffer[position++] = *p++;
      continue;
    }
    if (p[1] == '%') {
      buffer[position++] = '%';
      p += 2;
      continue;
    }
    ParsedSpecification spec;
    if (!FormatDetail::ParseSpecification(p, count, sequential, spec)) break;
    const FormatRoutine* routine;
    const void* argument;
    if (!Lookup(spec.argument, count, routines, arguments, routine, argument)) break;
    FormatContext context;
    context.hasStarWidth = spec.hasStarWidth;
    context.hasStarPrecision = spec.hasStarPrecision;
    context.starWidth = 0;
    context.starPrecision = 0;
    if (spec.hasStarWidth && !StarValue(spec.starWidthArgument, count, routines, arguments, context.starWidth)) break;
    if (spec.hasStarPrecision &&
        !StarValue(spec.starPrecisionArgument, count, routines, arguments, context.starPrecision)) {
      break;
    }
    std::memcpy(context.specification, spec.text, spec.length + 1);
    context.specificationLength = spec.length;
    context.allowedConversions = "";
    context.lengthModifier = "";
    context.output = buffer + position;
    context.room = size - position;
    std::size_t written = routine->format(context, argument);
    if (written == kFormatFailed) break;
    position += std::min(written, size - position);
    p = spec.end;
  }
  position = std::min(position, limit);
  buffer[position] = '\0';
  return position;
}

}  // namespace Vela::Sdk
