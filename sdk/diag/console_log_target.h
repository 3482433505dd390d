// The built-in console targets: standard error, standard output and the debugger's output.
#pragma once

#include <atomic>

#include "sdk/diag/log_target.h"

namespace Vela::Sdk {

/// A target that renders each record into a line and hands it to a console.
class BaseConsoleLogTarget : public LogTarget {
 public:
  const char* Name() const override;
  virtual void Flush() = 0;
};

/// Writes lines to standard error.
class StdErrLogTarget : public BaseConsoleLogTarget {
 public:
  ~StdErrLogTarget() override;
  const char* Name() const override;
  bool Write(const LogRecord& record) override;
  void Flush() override;
};

/// Writes lines to standard output, flushing after each when auto-flush is on.
class StdOutLogTarget : public BaseConsoleLogTarget {
 public:
  ~StdOutLogTarget() override;
  const char* Name() const override;
  bool Write(const LogRecord& record) override;
  void Flush() override;
  void SetAutoFlush(bool autoFlush) { autoFlush_.store(autoFlush, std::memory_order_relaxed); }
  bool AutoFlush() const { return autoFlush_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> autoFlush_{false};
};

/// Passes lines to an attached debugger's output.
class DebuggerConsoleLogTarget : public BaseConsoleLogTarget {
 public:
  ~DebuggerConsoleLogTarget() override;
  const char* Name() const override;
  bool Write(const LogRecord& record) override;
  void Flush() override;
};

}  // namespace Vela::Sdk
