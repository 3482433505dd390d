// EventStream: hands each text published on the host loop to every open subscription (one per
// client of the server-sent event stream), each read on its own HTTP worker thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Vela::DevHost {

class EventStream {
 public:
  /// Texts a slow reader may have waiting before it is dropped: a client that stops reading
  /// must not make the host grow without bound.
  static constexpr std::size_t kMaxBacklog = 4096;

  class Subscription {
   public:
    enum class Status { kText, kIdle, kClosed };
    /// Waits up to `timeout` for the next text. kIdle when none came, kClosed once the stream
    /// closed or this reader fell too far behind.
    Status Next(std::chrono::milliseconds timeout, std::string& text);

   private:
    friend class EventStream;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::string> backlog_;
    bool closed_ = false;
  };

  EventStream() = default;
  EventStream(const EventStream&) = delete;
  EventStream& operator=(const EventStream&) = delete;

  /// Null once the stream is closed.
  std::shared_ptr<Subscription> Subscribe();
  void Unsubscribe(const std::shared_ptr<Subscription>& subscription);
  void Publish(const std::string& text);
  /// Ends every subscription; later ones are refused.
  void Close();
  std::size_t SubscriberCount() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Subscription>> subscriptions_;
  bool closed_ = false;
};

}  // namespace Vela::DevHost
