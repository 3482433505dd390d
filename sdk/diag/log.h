// The logging call: levels, the log record, and Log itself.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "sdk/diag/log_category.h"
#include "sdk/platform/platform.h"

namespace Vela::Sdk {

/// Log levels; "#L" prints them as "  OKAY", "  WARN", " ERROR", "ALWAYS".
inline constexpr int32_t kLogOkay = 0;
inline constexpr int32_t kLogWarn = 1;
inline constexpr int32_t kLogError = 2;
inline constexpr int32_t kLogAlways = 3;

/// Size of the buffers a message and a rendered line are formatted into.
inline constexpr std::size_t kLogBufferSize = 4096;

/// One log call as the targets see it.
struct LogRecord {
  Platform::LocalTime time;  ///< local time of the call
  int32_t level;
  uint64_t categoryMask;  ///< bit i stands for category i; 0 for none
  const char* message;    ///< NUL-terminated, at most 4095 characters
};

/// The six-character text of a level ("   ???" for a level outside 0..3).
const char* LevelText(int32_t level) noexcept;

/// Formats printf-style (the C library's conversions) and hands the record to every target that
/// accepts it. A record the logger's level, disabled or muted test refuses costs no formatting.
void Log(int32_t level, uint64_t categoryMask, const char* format, ...) noexcept ORB_PRINTF_FORMAT(3, 4);
void LogV(int32_t level, uint64_t categoryMask, const char* format, va_list arguments) noexcept ORB_PRINTF_FORMAT(3, 0);

}  // namespace Vela::Sdk
