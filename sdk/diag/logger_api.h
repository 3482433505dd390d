// The logger as a table of plain functions, for code that has no class definitions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/diag/log.h"
#include "sdk/diag/log_target.h"

namespace Vela::Sdk {

/// Slots in their fixed order.
struct LoggerApi {
  int32_t (*interfaceVersion)();  ///< 1
  void (*addReference)();
  void (*release)();
  void (*setMinimumLevel)(int32_t level);
  int32_t (*getMinimumLevel)();
  void (*setMutedCategories)(uint64_t mask);
  uint64_t (*getMutedCategories)();
  void (*setDisabled)();
  void (*clearDisabled)();
  void (*setReserved)();
  void (*clearReserved)();
  void (*addTarget)(LogTargetInterface* target);
  void (*removeTarget)(LogTargetInterface* target);
  LogTargetInterface* (*findTarget)(const char* name);
  LogTargetInterface* (*stdOutTarget)();
  LogTargetInterface* (*stdErrTarget)();
  LogTargetInterface* (*debuggerTarget)();
  uint64_t (*categoryMaskFromName)(const char* name);
  std::size_t (*formatCategories)(uint64_t mask, char* buffer, std::size_t size);
  std::size_t (*formatLine)(const char* lineFormat, const LogRecord* record, char* buffer, std::size_t size);
  const char* (*levelText)(int32_t level);
  const char* (*executableName)();
  void (*localTimeNow)(Platform::LocalTime* time);
  std::size_t (*formatDate)(const Platform::LocalTime* time, char* buffer, std::size_t size);
  std::size_t (*formatFileNameDate)(const Platform::LocalTime* time, char* buffer, std::size_t size);
  void (*log)(int32_t level, uint64_t categoryMask, const char* format, ...) ORB_PRINTF_FORMAT(3, 4);
};

inline constexpr int32_t kLoggerApiVersion = 1;

/// The process's logger table.
const LoggerApi& GetLoggerApi() noexcept;

}  // namespace Vela::Sdk
