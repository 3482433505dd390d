// The built-in console targets.
#include "sdk/diag/console_log_target.h"

#include <cstdio>
#include <mutex>

namespace Vela::Sdk {

const char* BaseConsoleLogTarget::Name() const { return "BaseConsoleLogTarget"; }

StdErrLogTarget::~StdErrLogTarget() { Detach(); }

const char* StdErrLogTarget::Name() const { return "StdErrLogTarget"; }

bool StdErrLogTarget::Write(const LogRecord& record) {
  char line[kLogBufferSize];
  std::lock_guard<Platform::RecursiveLock> guard(Lock());
  std::size_t length = RenderLine(record, line, sizeof line);
  std::fwrite(line, 1, length, stderr);
  return true;
}

void StdErrLogTarget::Flush() { std::fflush(stderr); }

StdOutLogTarget::~StdOutLogTarget() { Detach(); }

const char* StdOutLogTarget::Name() const { return "StdOutLogTarget"; }

bool StdOutLogTarget::Write(const LogRecord& record) {
  char line[kLogBufferSize];
  std::lock_guard<Platform::RecursiveLock> guard(Lock());
  std::size_t length = RenderLine(record, line, sizeof line);
  std::fwrite(line, 1, length, stdout);
  if (AutoFlush()) std::fflush(stdout);
  return true;
}

void StdOutLogTarget::Flush() { std::fflush(stdout); }

DebuggerConsoleLogTarget::~DebuggerConsoleLogTarget() { Detach(); }

const char* DebuggerConsoleLogTarget::Name() const { return "DebuggerConsoleLogTarget"; }

bool DebuggerConsoleLogTarget::Write(const LogRecord& record) {
  char line[kLogBufferSize];
  std::lock_guard<Platform::RecursiveLock> guard(Lock());
  RenderLine(record, line, sizeof line);
  Platform::DebuggerOutput(line);
  return true;
}

void DebuggerConsoleLogTarget::Flush() {}

}  // namespace Vela::Sdk
