// RecordHistory: what the developer host remembers of one kind (fired events, log records, LCDS
// invocations), kept as compact JSON texts and bounded both in bytes and in count. A fired event
// carries the plug-in's whole pushed list, so a bound by count alone lets a long list make the host
// grow by the size of the list with every change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace Vela::DevHost {

/// One serialised record, shared by the history and every event-stream reader that still has it
/// to send: an event is written to JSON once, however many hold it.
using SharedText = std::shared_ptr<const std::string>;

/// How much a history or a backlog may hold; the oldest entries go first when either is exceeded.
struct RecordBounds {
  std::size_t bytes = 0;
  std::size_t count = 0;
};

/// What one entry is charged: its text and the bookkeeping around it (the text's string, its
/// shared owner, the queue's slot), so that a bound in bytes holds for many small entries too.
inline constexpr std::size_t kEntryOverhead = 96;
inline std::size_t ChargeOf(const std::string& text) { return text.size() + kEntryOverhead; }

inline constexpr RecordBounds kDefaultHistoryBounds{4u << 20, 10000};

class RecordHistory {
 public:
  explicit RecordHistory(RecordBounds bounds = kDefaultHistoryBounds) : bounds_(bounds) {}

  /// Keeps `json` as the newest record and drops the oldest ones until both bounds hold, except
  /// that the newest stays even when it alone is over the byte bound (a count of 0 keeps none).
  void Add(SharedText json);
  void Add(std::string json);

  /// Records ever added; the kept ones are numbered Dropped() to Total() - 1.
  uint64_t Total() const { return dropped_ + records_.size(); }
  uint64_t Dropped() const { return dropped_; }
  std::size_t Kept() const { return records_.size(); }
  std::size_t Bytes() const { return bytes_; }

  /// The kept records numbered `from` onwards.
  std::vector<SharedText> Since(uint64_t from) const;
  /// The same as one JSON array, joined from the kept texts without reading them again.
  std::string JsonSince(uint64_t from) const;

 private:
  void Trim();

  RecordBounds bounds_;
  std::deque<SharedText> records_;
  std::size_t bytes_ = 0;
  uint64_t dropped_ = 0;
};

}  // namespace Vela::DevHost
