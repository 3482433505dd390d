// The process-wide logger: its filters, its list of targets and the three built-in targets.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/diag/console_log_target.h"
#include "sdk/diag/log.h"
#include "sdk/diag/log_target.h"
#include "sdk/platform/platform.h"

namespace Vela::Sdk {

/// What "#E" prints while the executable's name is not known.
inline constexpr const char* kUnknownExecutableName = "<unknown>";

/// One per process, created on first use (a Log call or AddReference) with the standard-error
/// and debugger targets registered and the standard-output target ready but not registered.
///
/// The library holds a reference of its own from the logger's creation until it is unloaded, so
/// the logger outlives every plug-in object: a later object finds it as the earlier one left it.
/// Unloading drops that reference, and the logger goes with the last one.
///
/// Lock order: the logger's lock, then a target's. Releasing the last reference destroys the
/// logger; that must not race with other threads' logging.
class Logger {
 public:
  /// The logger, created if there is none.
  static Logger& Instance();
  /// The logger if it exists, else null.
  static Logger* Current() noexcept { return current_.load(std::memory_order_acquire); }
  /// Counts a reference, creating the logger on the first.
  static void AddReference();
  /// Drops a reference; the last one unregisters every target and destroys the logger.
  static void Release();
  /// Drops the library's own reference, as unloading the library does; a later use creates a
  /// new logger (with a new reference of the library's).
  static void ReleaseLibraryReference();

  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  void SetMinimumLevel(int32_t level) { minimumLevel_.store(level, std::memory_order_relaxed); }
  int32_t MinimumLevel() const { return minimumLevel_.load(std::memory_order_relaxed); }
  void SetMutedCategories(uint64_t mask) { mutedMask_.store(mask, std::memory_order_relaxed); }
  uint64_t MutedCategories() const { return mutedMask_.load(std::memory_order_relaxed); }
  void SetDisabled(bool disabled) { disabled_.store(disabled, std::memory_order_relaxed); }
  bool Disabled() const { return disabled_.load(std::memory_order_relaxed); }
  /// Kept for the function table; nothing consults it.
  void SetReserved(bool reserved) { reserved_.store(reserved, std::memory_order_relaxed); }
  bool Reserved() const { return reserved_.load(std::memory_order_relaxed); }

  /// The logger-wide test a record must pass before it is even formatted.
  bool Accepts(int32_t level, uint64_t categoryMask) const {
    return !Disabled() && level >= MinimumLevel() && (categoryMask & MutedCategories()) == 0;
  }

  /// Appends a target to the list unless it is on it already.
  void AddTarget(LogTargetInterface* target);
  void RemoveTarget(LogTargetInterface* target);
  bool HasTarget(const LogTargetInterface* target) const;
  /// The first registered target with this name, or null.
  LogTargetInterface* FindTarget(const char* name) const;
  /// Unregisters the standard-error, standard-output and debugger targets.
  void UnregisterConsoleTargets();

  StdOutLogTarget& StdOutTarget() { return *stdOut_; }
  StdErrLogTarget& StdErrTarget() { return *stdErr_; }
  DebuggerConsoleLogTarget& DebuggerTarget() { return *debugger_; }

  /// The executable's file name without its directory ("<unknown>" when the system won't say).
  const char* ExecutableName() const { return executableName_.c_str(); }
  /// Records counted at level 1 and level 2.
  uint64_t WarningCount() const;
  uint64_t ErrorCount() const;

  /// Counts the record and hands it to every registered target whose level and masks accept it.
  void Dispatch(const LogRecord& record);

  Platform::RecursiveLock& Lock() const { return lock_; }

 private:
  Logger();
  ~Logger();
  static Logger* Create();

  static std::atomic<Logger*> current_;

  mutable Platform::RecursiveLock lock_;
  std::vector<LogTargetInterface*> targets_;
  std::atomic<bool> reserved_{false};
  std::atomic<bool> disabled_{false};
  std::atomic<int32_t> minimumLevel_{kLogWarn};
  std::atomic<uint64_t> mutedMask_{kCategoryXtr};
  std::string executableName_;
  uint64_t warningCount_ = 0;
  uint64_t errorCount_ = 0;
  std::unique_ptr<StdOutLogTarget> stdOut_;
  std::unique_ptr<StdErrLogTarget> stdErr_;
  std::unique_ptr<DebuggerConsoleLogTarget> debugger_;
};

}  // namespace Vela::Sdk
