// Rendering of log lines and the date texts.
#include "sdk/diag/log_line.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "sdk/diag/logger.h"

namespace Vela::Sdk {

namespace {

// Appends into a fixed region, cutting what does not fit.
class LineWriter {
 public:
  LineWriter(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}
  void Append(char c) {
    if (length_ < capacity_) buffer_[length_++] = c;
  }
  void Append(const char* text) {
    for (; text != nullptr && *text != '\0' && length_ < capacity_; ++text) buffer_[length_++] = *text;
  }
  std::size_t Length() const { return length_; }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t length_ = 0;
};

// snprintf's result as a length: 0 for an error, the cut length when it did not fit.
std::size_t Clamp(int written, std::size_t size) {
  if (written < 0 || size == 0) return 0;
  return static_cast<std::size_t>(written) < size ? static_cast<std::size_t>(written) : size - 1;
}

std::atomic<uint64_t> counterStart{0};

}  // namespace

std::size_t FormatLogDate(const Platform::LocalTime& time, char* buffer, std::size_t size) noexcept {
  if (buffer == nullptr || size == 0) return 0;
  return Clamp(std::snprintf(buffer, size, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month, time.day,
                             time.hour, time.minute, time.second, time.millisecond),
               size);
}

std::size_t FormatFileNameDate(const Platform::LocalTime& time, char* buffer, std::size_t size) noexcept {
  if (buffer == nullptr || size == 0) return 0;
  return Clamp(std::snprintf(buffer, size, "%04d-%02d-%02dT%02d-%02d-%02d", time.year, time.month, time.day, time.hour,
                             time.minute, time.second),
               size);
}

std::size_t FormatUptime(char* buffer, std::size_t size) noexcept {
  if (buffer == nullptr || size == 0) return 0;
  uint64_t now = Platform::HighResolutionCounter();
  uint64_t start = 0;
  if (!counterStart.compare_exchange_strong(start, now, std::memory_order_relaxed))
    now = std::max(now, start);
  else
    start = now;
  uint64_t frequency = Platform::HighResolutionFrequency();
  if (frequency == 0) frequency = 1;
  uint64_t elapsed = now - start;
  uint64_t seconds = elapsed / frequency;
  uint64_t milliseconds = (elapsed % frequency) * 1000 / frequency;
  return Clamp(std::snprintf(buffer, size, "%06d.%03d", static_cast<int>(seconds), static_cast<int>(milliseconds)),
               size);
}

std::size_t RenderLogLine(const char* lineFormat, const LogRecord& record, char* buffer, std::size_t size) noexcept {
  if (buffer == nullptr || size == 0) return 0;
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  // Two bytes stay for the line feed and the NUL.
  LineWriter writer(buffer, size - 2);
  char piece[64];
  for (const char* p = lineFormat != nullptr ? lineFormat : ""; *p != '\0'; ++p) {
    if (*p != '#') {
      writer.Append(*p);
      continue;
    }
    char code = *++p;
    switch (code) {
      case '\0':
        writer.Append('#');
        --p;
        break;
      case 'D':
        FormatLogDate(record.time, piece, sizeof piece);
        writer.Append(piece);
        break;
      case 'E': {
        const Logger* logger = Logger::Current();
        writer.Append(logger != nullptr ? logger->ExecutableName() : kUnknownExecutableName);
        break;
      }
      case 'G': {
        char categories[kMaxCategories * 4];
        FormatCategories(record.categoryMask, categories, sizeof categories);
        writer.Append(categories);
        break;
      }
      case 'H':
        FormatUptime(piece, sizeof piece);
        writer.Append(piece);
        break;
      case 'L': writer.Append(LevelText(record.level)); break;
      case 'M': writer.Append(record.message); break;
      case 'T':
        std::snprintf(piece, sizeof piece, "%p", reinterpret_cast<void*>(Platform::CurrentThreadId()));
        writer.Append(piece);
        break;
      default: writer.Append(code); break;
    }
  }
  std::size_t length = writer.Length();
  if (length == 0 || buffer[length - 1] != '\n') buffer[length++] = '\n';
  buffer[length] = '\0';
  return length;
}

}  // namespace Vela::Sdk
