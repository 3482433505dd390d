// The logger's table of plain functions.
#include "sdk/diag/logger_api.h"

#include "sdk/diag/log_line.h"
#include "sdk/diag/logger.h"

namespace Vela::Sdk {

namespace {

const LoggerApi kLoggerApi = {
    []() -> int32_t { return kLoggerApiVersion; },
    []() { Logger::AddReference(); },
    []() { Logger::Release(); },
    [](int32_t level) { Logger::Instance().SetMinimumLevel(level); },
    []() -> int32_t { return Logger::Instance().MinimumLevel(); },
    [](uint64_t mask) { Logger::Instance().SetMutedCategories(mask); },
    []() -> uint64_t { return Logger::Instance().MutedCategories(); },
    []() { Logger::Instance().SetDisabled(true); },
    []() { Logger::Instance().SetDisabled(false); },
    []() { Logger::Instance().SetReserved(true); },
    []() { Logger::Instance().SetReserved(false); },
    [](LogTargetInterface* target) { Logger::Instance().AddTarget(target); },
    [](LogTargetInterface* target) { Logger::Instance().RemoveTarget(target); },
    [](const char* name) { return Logger::Instance().FindTarget(name); },
    []() { return Logger::Instance().StdOutTarget().Interface(); },
    []() { return Logger::Instance().StdErrTarget().Interface(); },
    []() { return Logger::Instance().DebuggerTarget().Interface(); },
    [](const char* name) { return CategoryMaskFromName(name); },
    [](uint64_t mask, char* buffer, std::size_t size) { return FormatCategories(mask, buffer, size); },
    [](const char* lineFormat, const LogRecord* record, char* buffer, std::size_t size) -> std::size_t {
      if (record == nullptr) return 0;
      return RenderLogLine(lineFormat, *record, buffer, size);
    },
    [](int32_t level) { return LevelText(level); },
    []() { return Logger::Instance().ExecutableName(); },
    [](Platform::LocalTime* time) {
      if (time != nullptr) *time = Platform::GetLocalTime();
    },
    [](const Platform::LocalTime* time, char* buffer, std::size_t size) -> std::size_t {
      return time != nullptr ? FormatLogDate(*time, buffer, size) : 0;
    },
    [](const Platform::LocalTime* time, char* buffer, std::size_t size) -> std::size_t {
      return time != nullptr ? FormatFileNameDate(*time, buffer, size) : 0;
    },
    &Log,
};

}  // namespace

const LoggerApi& GetLoggerApi() noexcept { return kLoggerApi; }

}  // namespace Vela::Sdk
