// The type-safe message formatter: positional ("%1", "%2$5d") and sequential printf-style format
// texts over typed arguments, and named-placeholder templates ("{method} {url}") that also record
// their values as typed fields.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace Vela::Sdk {

/// Size of the buffer every formatting wrapper writes into; results keep at most 4095 characters.
inline constexpr std::size_t kFormatBufferSize = 4096;
/// Longest conversion specification, from "%" to the conversion character, that is accepted.
inline constexpr std::size_t kMaxSpecificationLength = 59;

/// What a format operation is handed for one conversion.
struct FormatContext {
  char* output;      ///< where the conversion writes
  std::size_t room;  ///< bytes left at output, the terminating NUL included (at least 1)
  /// The specification collected so far, NUL-terminated and beginning with "%". Positional parts
  /// ("1$", "*2$") are already removed, so "%" alone asks for the argument's default rendering.
  char specification[kMaxSpecificationLength + 5];
  std::size_t specificationLength;
  const char* allowedConversions;  ///< the argument type's conversions; the first is the default
  const char* lengthModifier;      ///< inserted for a bare specification ("ll" for 64-bit integers)
  bool hasStarWidth;
  bool hasStarPrecision;
  int32_t starWidth;
  int32_t starPrecision;
};

/// Returned by a format operation that could not render its argument: the output ends before it.
inline constexpr std::size_t kFormatFailed = static_cast<std::size_t>(-1);

/// The routine entry of one argument type.
struct FormatRoutine {
  /// Writes the argument at context.output and returns the characters written (the whole room
  /// when the output was cut, kFormatFailed when nothing could be rendered).
  std::size_t (*format)(FormatContext& context, const void* argument);
  /// Reads the argument as a "*" width or precision; null for types that cannot supply one.
  int64_t (*toInteger)(const void* argument);
  bool hasToInteger;
};

/// The routines of the argument types the formatter knows. Each takes a pointer to a value of
/// the named type (kText: a pointer to a `const char*`, which may be null).
namespace FormatRoutines {
extern const FormatRoutine kChar;
extern const FormatRoutine kInt32;
extern const FormatRoutine kUInt32;
extern const FormatRoutine kInt64;
extern const FormatRoutine kUInt64;
extern const FormatRoutine kDouble;
extern const FormatRoutine kText;
extern const FormatRoutine kStringView;
extern const FormatRoutine kString;  ///< takes a `std::string`
}  // namespace FormatRoutines

/// Formats `format` with `count` arguments into buffer (size bytes) and returns the characters
/// written, the NUL excluded. Malformed specifications, indexes past the count and "*" from an
/// argument that is not an integer end the output there; the text is cut at size - 1.
std::size_t FormatArgs(char* buffer, std::size_t size, const char* format, const FormatRoutine* const* routines,
                       const void* const* arguments, std::size_t count) noexcept;

namespace FormatDetail {

template <class T>
concept HasToString = requires(const T& value) {
  { value.ToString() } -> std::convertible_to<std::string>;
};

template <class T>
concept Streamable = requires(std::ostream& stream, const T& value) {
  stream << value;
};

// Every argument is first brought to one of the formatter's own types; the prepared values live
// for the duration of the formatting call.
template <class T>
auto Prepare(const T& value) {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<U, char>) {
    return value;
  } else if constexpr (std::is_same_v<U, bool>) {
    return static_cast<int32_t>(value);
  } else if constexpr (std::is_enum_v<U>) {
    return Prepare(static_cast<std::underlying_type_t<U>>(value));
  } else if constexpr (std::is_integral_v<U>) {
    if constexpr (sizeof(U) <= 4 && std::is_signed_v<U>)
      return static_cast<int32_t>(value);
    else if constexpr (sizeof(U) <= 4)
      return static_cast<uint32_t>(value);
    else if constexpr (std::is_signed_v<U>)
      return static_cast<int64_t>(value);
    else
      return static_cast<uint64_t>(value);
  } else if constexpr (std::is_floating_point_v<U>) {
    return static_cast<double>(value);
  } else if constexpr (std::is_convertible_v<const U&, const char*>) {
    return static_cast<const char*>(value);
  } else if constexpr (std::is_same_v<U, std::string>) {
    return value.c_str();
  } else if constexpr (std::is_convertible_v<const U&, std::string_view>) {
    return std::string_view(value);
  } else if constexpr (HasToString<U>) {
    return std::string(value.ToString());
  } else if constexpr (Streamable<U>) {
    std::ostringstream stream;
    stream << value;
    return std::move(stream).str();
  } else {
    static_assert(Streamable<U>, "Format arguments need a number, a text, ToString() or operator<<");
  }
}

inline const FormatRoutine& RoutineOf(const char*) { return FormatRoutines::kChar; }
inline const FormatRoutine& RoutineOf(const int32_t*) { return FormatRoutines::kInt32; }
inline const FormatRoutine& RoutineOf(const uint32_t*) { return FormatRoutines::kUInt32; }
inline const FormatRoutine& RoutineOf(const int64_t*) { return FormatRoutines::kInt64; }
inline const FormatRoutine& RoutineOf(const uint64_t*) { return FormatRoutines::kUInt64; }
inline const FormatRoutine& RoutineOf(const double*) { return FormatRoutines::kDouble; }
inline const FormatRoutine& RoutineOf(const char* const*) { return FormatRoutines::kText; }
inline const FormatRoutine& RoutineOf(const std::string_view*) { return FormatRoutines::kStringView; }
inline const FormatRoutine& RoutineOf(const std::string*) { return FormatRoutines::kString; }

template <class... Prepared>
std::size_t FormatPrepared(char* buffer, std::size_t size, const char* format, const Prepared&... prepared) {
  const void* arguments[] = {static_cast<const void*>(&prepared)...};
  const FormatRoutine* routines[] = {&RoutineOf(static_cast<const Prepared*>(nullptr))...};
  return FormatArgs(buffer, size, format, routines, arguments, sizeof...(Prepared));
}

}  // namespace FormatDetail

/// Formats into a caller's buffer and returns the characters written (NUL excluded).
///
/// Argument types: `char`; integers by width and sign (bool and enumerations as integers);
/// `float` and `double`; `const char*` (null prints "(null)"), `std::string`, `std::string_view`;
/// any other type with a `ToString()` member or an `operator<<`, rendered to a string first.
template <class... Args>
std::size_t FormatInto(char* buffer, std::size_t size, const char* format, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return FormatArgs(buffer, size, format, nullptr, nullptr, 0);
  } else {
    auto prepared = std::make_tuple(FormatDetail::Prepare(args)...);
    return std::apply([&](auto&... values) { return FormatDetail::FormatPrepared(buffer, size, format, values...); },
                      prepared);
  }
}

/// Formats into a 4096-byte buffer and returns the text, at most 4095 characters.
template <class... Args>
std::string Format(const char* format, const Args&... args) {
  char buffer[kFormatBufferSize];
  std::size_t length = FormatInto(buffer, sizeof buffer, format, args...);
  return std::string(buffer, length);
}

}  // namespace Vela::Sdk
