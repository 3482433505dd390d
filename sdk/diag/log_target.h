// A destination of log records: the LogTarget base class, the plain-function table through which
// the logger and other modules reach a target, and one-step configuration.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "sdk/diag/log.h"
#include "sdk/platform/platform.h"

namespace Vela::Sdk {

/// A target as plain functions, each taking the table first. The logger keeps these.
struct LogTargetInterface {
  int32_t (*interfaceVersion)(LogTargetInterface* self);  ///< 1
  void (*setMinimumLevel)(LogTargetInterface* self, int32_t level);
  int32_t (*getMinimumLevel)(LogTargetInterface* self);
  void (*setCategoryMasks)(LogTargetInterface* self, uint64_t accepted, uint64_t muted);
  uint64_t (*getAcceptedMask)(LogTargetInterface* self);
  uint64_t (*getMutedMask)(LogTargetInterface* self);
  const char* (*name)(LogTargetInterface* self);
  /// Valid until the target's format changes.
  const char* (*lineFormat)(LogTargetInterface* self);
  void (*registerWithLogger)(LogTargetInterface* self);  ///< when not registered yet
  void (*unregister)(LogTargetInterface* self);
  bool (*isRegistered)(LogTargetInterface* self);
  bool (*write)(LogTargetInterface* self, const LogRecord* record);
  /// The object behind the functions (a LogTarget for the tables LogTarget builds).
  void* context;
};

inline constexpr int32_t kLogTargetInterfaceVersion = 1;

/// Everything Configure sets on a target in one step.
struct LogTargetSettings {
  int32_t minimumLevel = kLogWarn;
  uint64_t acceptedMask = 0;  ///< 0 accepts every category
  uint64_t mutedMask = 0;
  std::string lineFormat = "#D| #L| #G| #M";
};

/// Base of every log target. Level and masks are read by the logger without the target's lock;
/// the lock guards the line format and the output call.
///
/// A subclass whose Write uses its own members must call Detach() first thing in its destructor,
/// so that no record reaches a half-destroyed object.
class LogTarget {
 public:
  LogTarget();
  LogTarget(const LogTarget&) = delete;
  LogTarget& operator=(const LogTarget&) = delete;
  virtual ~LogTarget();

  /// Leaves the logger if registered.
  virtual void Detach();
  virtual const char* Name() const;
  /// A copy, taken under the target's lock.
  virtual std::string LineFormat() const;
  /// Takes one record that passed the filters; true when it was written.
  virtual bool Write(const LogRecord& record) = 0;

  void SetMinimumLevel(int32_t level) { minimumLevel_.store(level, std::memory_order_relaxed); }
  int32_t MinimumLevel() const { return minimumLevel_.load(std::memory_order_relaxed); }
  void SetCategoryMasks(uint64_t accepted, uint64_t muted);
  uint64_t AcceptedMask() const { return acceptedMask_.load(std::memory_order_relaxed); }
  uint64_t MutedMask() const { return mutedMask_.load(std::memory_order_relaxed); }
  void SetLineFormat(const std::string& lineFormat);

  /// Joins the logger's list (creating the logger if needed) unless already on it.
  void Register();
  void Unregister();
  bool IsRegistered() const;

  /// Whether the target's level and masks let the record through.
  bool Accepts(int32_t level, uint64_t categoryMask) const;
  /// Renders the record by this target's line format under the target's lock.
  std::size_t RenderLine(const LogRecord& record, char* buffer, std::size_t size) const;

  LogTargetInterface* Interface() { return &interface_; }
  /// The LogTarget behind a table LogTarget built; null for any other table.
  static LogTarget* FromInterface(LogTargetInterface* interface);

  Platform::RecursiveLock& Lock() const { return lock_; }

 private:
  friend void Configure(LogTarget& target, const LogTargetSettings& settings);
  friend class LogTargetAccess;

  mutable Platform::RecursiveLock lock_;
  std::atomic<int32_t> minimumLevel_{kLogWarn};
  std::atomic<uint64_t> acceptedMask_{0};
  std::atomic<uint64_t> mutedMask_{0};
  std::string lineFormat_;
  LogTargetInterface interface_;
};

/// With the logger's lock and then the target's: detaches the target, copies level, masks and
/// format, and registers it again.
void Configure(LogTarget& target, const LogTargetSettings& settings);

}  // namespace Vela::Sdk
