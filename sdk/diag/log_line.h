// Rendering of a log record into a line by a target's line format, and the date texts.
#pragma once

#include <cstddef>

#include "sdk/diag/log.h"

namespace Vela::Sdk {

/// The line format of a target unless configured otherwise.
inline constexpr const char* kDefaultLineFormat = "#D| #L| #G| #M";
/// The line format of the standard-error and debugger targets.
inline constexpr const char* kConsoleLineFormat = "#E(#T): #L| #M";

/// Renders `record` by `lineFormat` into buffer and returns the line's length. Codes: "#D" date,
/// "#E" executable name, "#G" categories, "#H" seconds since the counter's first use, "#L" level
/// text, "#M" message, "#T" calling thread; "#" before any other character prints that character.
/// The line always ends with exactly one line feed added (or kept) and is NUL-terminated, cut to
/// fit; an empty format gives a lone line feed.
std::size_t RenderLogLine(const char* lineFormat, const LogRecord& record, char* buffer, std::size_t size) noexcept;

/// "2024-03-05T14:07:09.042": the "#D" text.
std::size_t FormatLogDate(const Platform::LocalTime& time, char* buffer, std::size_t size) noexcept;
/// "2024-03-05T14-07-09": a date for file names.
std::size_t FormatFileNameDate(const Platform::LocalTime& time, char* buffer, std::size_t size) noexcept;

/// Seconds since the first use of the high-resolution counter, as "%06d.%03d" ("#H").
std::size_t FormatUptime(char* buffer, std::size_t size) noexcept;

}  // namespace Vela::Sdk
