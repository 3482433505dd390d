// LogTarget: settings, filtering, registration and its plain-function table.
#include "sdk/diag/log_target.h"

#include <mutex>

#include "sdk/diag/log_line.h"
#include "sdk/diag/logger.h"

namespace Vela::Sdk {

namespace {

LogTarget& Self(LogTargetInterface* self) { return *static_cast<LogTarget*>(self->context); }

int32_t InterfaceVersion(LogTargetInterface*) { return kLogTargetInterfaceVersion; }
void SetMinimumLevelSlot(LogTargetInterface* self, int32_t level) { Self(self).SetMinimumLevel(level); }
int32_t GetMinimumLevelSlot(LogTargetInterface* self) { return Self(self).MinimumLevel(); }
void SetCategoryMasksSlot(LogTargetInterface* self, uint64_t accepted, uint64_t muted) {
  Self(self).SetCategoryMasks(accepted, muted);
}
uint64_t GetAcceptedMaskSlot(LogTargetInterface* self) { return Self(self).AcceptedMask(); }
uint64_t GetMutedMaskSlot(LogTargetInterface* self) { return Self(self).MutedMask(); }
const char* NameSlot(LogTargetInterface* self) { return Self(self).Name(); }
void RegisterSlot(LogTargetInterface* self) { Self(self).Register(); }
void UnregisterSlot(LogTargetInterface* self) { Self(self).Unregister(); }
bool IsRegisteredSlot(LogTargetInterface* self) { return Self(self).IsRegistered(); }
bool WriteSlot(LogTargetInterface* self, const LogRecord* record) {
  return record != nullptr && Self(self).Write(*record);
}

}  // namespace

// The table's format slot hands out the target's own text, so it cannot be a copy.
class LogTargetAccess {
 public:
  static const char* LineFormatSlot(LogTargetInterface* self) {
    LogTarget& target = Self(self);
    std::lock_guard<Platform::RecursiveLock> guard(target.Lock());
    return target.lineFormat_.c_str();
  }
};

LogTarget::LogTarget()
    : lineFormat_(kDefaultLineFormat),
      interface_{&InterfaceVersion,
                 &SetMinimumLevelSlot,
                 &GetMinimumLevelSlot,
                 &SetCategoryMasksSlot,
                 &GetAcceptedMaskSlot,
                 &GetMutedMaskSlot,
                 &NameSlot,
                 &LogTargetAccess::LineFormatSlot,
                 &RegisterSlot,
                 &UnregisterSlot,
                 &IsRegisteredSlot,
                 &WriteSlot,
                 this} {}

LogTarget::~LogTarget() { LogTarget::Detach(); }

void LogTarget::Detach() { Unregister(); }

const char* LogTarget::Name() const { return "LogTarget"; }

std::string LogTarget::LineFormat() const {
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  return lineFormat_;
}

void LogTarget::SetCategoryMasks(uint64_t accepted, uint64_t muted) {
  acceptedMask_.store(accepted, std::memory_order_relaxed);
  mutedMask_.store(muted, std::memory_order_relaxed);
}

void LogTarget::SetLineFormat(const std::string& lineFormat) {
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  lineFormat_ = lineFormat;
}

void LogTarget::Register() { Logger::Instance().AddTarget(&interface_); }

void LogTarget::Unregister() {
  if (Logger* logger = Logger::Current(); logger != nullptr) logger->RemoveTarget(&interface_);
}

bool LogTarget::IsRegistered() const {
  const Logger* logger = Logger::Current();
  return logger != nullptr && logger->HasTarget(&interface_);
}

bool LogTarget::Accepts(int32_t level, uint64_t categoryMask) const {
  if (level < MinimumLevel()) return false;
  if (categoryMask == 0) return true;
  uint64_t accepted = AcceptedMask();
  return (categoryMask & MutedMask()) == 0 && (accepted == 0 || (categoryMask & accepted) != 0);
}

std::size_t LogTarget::RenderLine(const LogRecord& record, char* buffer, std::size_t size) const {
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  return RenderLogLine(lineFormat_.c_str(), record, buffer, size);
}

LogTarget* LogTarget::FromInterface(LogTargetInterface* interface) {
  if (interface == nullptr || interface->interfaceVersion != &InterfaceVersion) return nullptr;
  return static_cast<LogTarget*>(interface->context);
}

void Configure(LogTarget& target, const LogTargetSettings& settings) {
  // The logger's lock first: a log call holds it while it takes the target's.
  Logger& logger = Logger::Instance();
  std::lock_guard<Platform::RecursiveLock> loggerGuard(logger.Lock());
  std::lock_guard<Platform::RecursiveLock> targetGuard(target.lock_);
  target.Detach();
  target.SetMinimumLevel(settings.minimumLevel);
  target.SetCategoryMasks(settings.acceptedMask, settings.mutedMask);
  target.lineFormat_ = settings.lineFormat;
  if (!target.IsRegistered()) target.Register();
  target.interface_.setMinimumLevel(&target.interface_, settings.minimumLevel);
  target.interface_.setCategoryMasks(&target.interface_, settings.acceptedMask, settings.mutedMask);
}

}  // namespace Vela::Sdk
