// EventStream: hands each text published on the host loop to every open subscription (one per
// client of the server-sent event stream), each read on its own HTTP worker thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devhost/record_history.h"

namespace Vela::DevHost {

/// What a reader may have waiting before it is dropped: a client that stops reading must not
/// make the host grow without bound, and one event may hold a list of thousands of messages.
inline constexpr RecordBounds kDefaultStreamBacklog{4u << 20, 4096};

class EventStream {
 public:
  class Subscription {
   public:
    enum class Status { kText, kIdle, kClosed };
    /// Waits up to `timeout` for the next text. kIdle when none came, kClosed once the stream
    /// closed or this reader fell too far behind.
    Status Next(std::chrono::milliseconds timeout, SharedText& text);

   private:
    friend class EventStream;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<SharedText> backlog_;
    std::size_t backlogBytes_ = 0;
    bool closed_ = false;
  };

  explicit EventStream(RecordBounds backlog = kDefaultStreamBacklog) : backlog_(backlog) {}
  EventStream(const EventStream&) = delete;
  EventStream& operator=(const EventStream&) = delete;

  /// Null once the stream is closed.
  std::shared_ptr<Subscription> Subscribe();
  void Unsubscribe(const std::shared_ptr<Subscription>& subscription);
  /// Queues the text for every reader; one whose backlog would exceed either bound is closed
  /// instead and its backlog released (an empty backlog takes any one text).
  void Publish(const SharedText& text);
  /// Ends every subscription; later ones are refused.
  void Close();
  std::size_t SubscriberCount() const;

 private:
  const RecordBounds backlog_;
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Subscription>> subscriptions_;
  bool closed_ = false;
};

}  // namespace Vela::DevHost
