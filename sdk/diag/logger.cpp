// The process-wide logger and the Log call.
#include "sdk/diag/logger.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "sdk/diag/log_line.h"

namespace Vela::Sdk {

std::atomic<Logger*> Logger::current_{nullptr};

namespace {

std::mutex lifecycle;
int referenceCount = 0;         // guarded by lifecycle
bool libraryReference = false;  // guarded by lifecycle: the library holds one of the references

// Gives the library's reference back when the library is unloaded (or the process ends), so an
// unloaded library leaves no logger behind. Constant-initialised: it exists before any logging.
struct LibraryReferenceRelease {
  constexpr LibraryReferenceRelease() noexcept = default;
  ~LibraryReferenceRelease() { Logger::ReleaseLibraryReference(); }
};
constinit LibraryReferenceRelease libraryReferenceRelease;

constexpr const char* kLevelTexts[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};

void Setup(LogTarget& target, const char* lineFormat, int32_t level, uint64_t accepted, uint64_t muted) {
  target.SetLineFormat(lineFormat);
  target.SetMinimumLevel(level);
  target.SetCategoryMasks(accepted, muted);
}

}  // namespace

const char* LevelText(int32_t level) noexcept {
  return level >= kLogOkay && level <= kLogAlways ? kLevelTexts[level] : "   ???";
}

Logger::Logger()
    : stdOut_(std::make_unique<StdOutLogTarget>()),
      stdErr_(std::make_unique<StdErrLogTarget>()),
      debugger_(std::make_unique<DebuggerConsoleLogTarget>()) {
  executableName_ = Platform::ExecutableFileName();
  if (executableName_.empty()) executableName_ = kUnknownExecutableName;
  Setup(*stdErr_, kConsoleLineFormat, kLogWarn, kCategoryDbg, kCategoryGen);
  Setup(*stdOut_, "#M", kLogWarn, kCategoryGen, kCategoryDbg);
  Setup(*debugger_, kConsoleLineFormat, kLogWarn, kCategoryDbg, 0);
  // Not through Register(): the logger is not published yet.
  targets_.push_back(stdErr_->Interface());
  targets_.push_back(debugger_->Interface());
}

Logger::~Logger() = default;

Logger* Logger::Create() {
  std::lock_guard<std::mutex> guard(lifecycle);
  Logger* logger = current_.load(std::memory_order_acquire);
  if (logger == nullptr) {
    logger = new Logger();
    ++referenceCount;
    libraryReference = true;
    current_.store(logger, std::memory_order_release);
  }
  return logger;
}

Logger& Logger::Instance() {
  Logger* logger = current_.load(std::memory_order_acquire);
  return logger != nullptr ? *logger : *Create();
}

void Logger::AddReference() {
  {
    std::lock_guard<std::mutex> guard(lifecycle);
    ++referenceCount;
  }
  Instance();
}

void Logger::ReleaseLibraryReference() {
  {
    std::lock_guard<std::mutex> guard(lifecycle);
    if (!libraryReference) return;
    libraryReference = false;
  }
  Release();
}

void Logger::Release() {
  std::unique_lock<std::mutex> guard(lifecycle);
  if (referenceCount == 0 || --referenceCount != 0) return;
  libraryReference = false;
  Logger* logger = current_.load(std::memory_order_acquire);
  if (logger == nullptr) return;
  {
    std::lock_guard<Platform::RecursiveLock> loggerGuard(logger->lock_);
    // Each target leaves through its own slot; a copy, as every call shortens the list.
    std::vector<LogTargetInterface*> targets = logger->targets_;
    for (LogTargetInterface* target : targets) {
      if (target->unregister != nullptr) target->unregister(target);
    }
    logger->targets_.clear();
  }
  current_.store(nullptr, std::memory_order_release);
  guard.unlock();
  delete logger;
}

void Logger::AddTarget(LogTargetInterface* target) {
  if (target == nullptr) return;
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  if (std::find(targets_.begin(), targets_.end(), target) == targets_.end()) targets_.push_back(target);
}

void Logger::RemoveTarget(LogTargetInterface* target) {
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  targets_.erase(std::remove(targets_.begin(), targets_.end(), target), targets_.end());
}

bool Logger::HasTarget(const LogTargetInterface* target) const {
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  return std::find(targets_.begin(), targets_.end(), target) != targets_.end();
}

LogTargetInterface* Logger::FindTarget(const char* name) const {
  if (name == nullptr) return nullptr;
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  for (LogTargetInterface* target : targets_) {
    const char* targetName = target->name != nullptr ? target->name(target) : nullptr;
    if (targetName != nullptr && std::strcmp(targetName, name) == 0) return target;
  }
  return nullptr;
}

void Logger::UnregisterConsoleTargets() {
  stdErr_->Unregister();
  stdOut_->Unregister();
  debugger_->Unregister();
}

uint64_t Logger::WarningCount() const {
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  return warningCount_;
}

uint64_t Logger::ErrorCount() const {
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  return errorCount_;
}

void Logger::Dispatch(const LogRecord& record) {
  std::lock_guard<Platform::RecursiveLock> guard(lock_);
  if (record.level == kLogWarn) ++warningCount_;
  if (record.level == kLogError) ++errorCount_;
  // By index: a target's write may register or unregister targets on this thread.
  for (std::size_t i = 0; i < targets_.size(); ++i) {
    LogTargetInterface* target = targets_[i];
    if (LogTarget* known = LogTarget::FromInterface(target); known != nullptr) {
      if (known->Accepts(record.level, record.categoryMask)) known->Write(record);
      continue;
    }
    if (record.level < target->getMinimumLevel(target)) continue;
    if (record.categoryMask != 0) {
      uint64_t accepted = target->getAcceptedMask(target);
      if ((record.categoryMask & target->getMutedMask(target)) != 0) continue;
      if (accepted != 0 && (record.categoryMask & accepted) == 0) continue;
    }
    target->write(target, &record);
  }
}

void LogV(int32_t level, uint64_t categoryMask, const char* format, va_list arguments) noexcept {
  Logger& logger = Logger::Instance();
  if (!logger.Accepts(level, categoryMask)) return;
  char message[kLogBufferSize];
  if (format == nullptr || std::vsnprintf(message, sizeof message, format, arguments) < 0) message[0] = '\0';
  LogRecord record{Platform::GetLocalTime(), level, categoryMask, message};
  logger.Dispatch(record);
}

void Log(int32_t level, uint64_t categoryMask, const char* format, ...) noexcept {
  // The refused record is decided before va_start, so it costs a load and three compares.
  Logger* logger = Logger::Current();
  if (logger != nullptr && !logger->Accepts(level, categoryMask)) return;
  va_list arguments;
  va_start(arguments, format);
  LogV(level, categoryMask, format, arguments);
  va_end(arguments);
}

}  // namespace Vela::Sdk
