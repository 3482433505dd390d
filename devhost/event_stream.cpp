// Fan-out of fired events to the readers of the event stream.
#include "devhost/event_stream.h"

#include <algorithm>

namespace Vela::DevHost {

EventStream::Subscription::Status EventStream::Subscription::Next(std::chrono::milliseconds timeout,
                                                                  std::string& text) {
  std::unique_lock lock(mutex_);
  ready_.wait_for(lock, timeout, [this] { return closed_ || !backlog_.empty(); });
  if (!backlog_.empty() && !closed_) {
    text = std::move(backlog_.front());
    backlog_.pop_front();
    return Status::kText;
  }
  return closed_ ? Status::kClosed : Status::kIdle;
}

std::shared_ptr<EventStream::Subscription> EventStream::Subscribe() {
  std::lock_guard lock(mutex_);
  if (closed_) return nullptr;
  subscriptions_.push_back(std::make_shared<Subscription>());
  return subscriptions_.back();
}

void EventStream::Unsubscribe(const std::shared_ptr<Subscription>& subscription) {
  std::lock_guard lock(mutex_);
  std::erase(subscriptions_, subscription);
}

void EventStream::Publish(const std::string& text) {
  std::lock_guard lock(mutex_);
  for (const std::shared_ptr<Subscription>& subscription : subscriptions_) {
    std::lock_guard inner(subscription->mutex_);
    if (subscription->closed_) continue;
    if (subscription->backlog_.size() >= kMaxBacklog) {
      subscription->closed_ = true;
      subscription->backlog_.clear();
    } else {
      subscription->backlog_.push_back(text);
    }
    subscription->ready_.notify_all();
  }
}

void EventStream::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  for (const std::shared_ptr<Subscription>& subscription : subscriptions_) {
    std::lock_guard inner(subscription->mutex_);
    subscription->closed_ = true;
    subscription->ready_.notify_all();
  }
  subscriptions_.clear();
}

std::size_t EventStream::SubscriberCount() const {
  std::lock_guard lock(mutex_);
  return subscriptions_.size();
}

}  // namespace Vela::DevHost
