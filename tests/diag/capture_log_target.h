// A log target for tests that keeps what it is given.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/diag/log_target.h"

namespace Vela::Sdk::Testing {

struct CapturedRecord {
  int32_t level;
  uint64_t categoryMask;
  std::string message;
  std::string line;
};

class CaptureLogTarget : public LogTarget {
 public:
  explicit CaptureLogTarget(const char* name = "CaptureLogTarget") : name_(name) {}
  ~CaptureLogTarget() override { Detach(); }

  const char* Name() const override { return name_; }
  bool Write(const LogRecord& record) override {
    char line[kLogBufferSize];
    RenderLine(record, line, sizeof line);
    std::lock_guard<std::mutex> guard(mutex_);
    records_.push_back({record.level, record.categoryMask, record.message, line});
    return true;
  }

  std::vector<CapturedRecord> Records() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return records_;
  }
  std::size_t Count() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return records_.size();
  }

 private:
  const char* name_;
  mutable std::mutex mutex_;
  std::vector<CapturedRecord> records_;
};

}  // namespace Vela::Sdk::Testing
