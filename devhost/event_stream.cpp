// Fan-out of fired events to the readers of the event stream.
#include "devhost/event_stream.h"

#include <algorithm>

namespace Vela::DevHost {

EventStream::Subscription::Status EventStream::Subscription::Next(std::chrono::milliseconds timeout, SharedText& text) {
  std::unique_lock lock(mutex_);
  ready_.wait_for(lock, timeout, [this] { return closed_ || !backlog_.empty(); });
  if (!backlog_.empty() && !closed_) {
    text = std::move(backlog_.front());
    backlog_.pop_front();
    backlogBytes_ -= ChargeOf(*text);
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

void EventStream::Publish(const SharedText& text) {
  const std::size_t charge = ChargeOf(*text);
  std::lock_guard lock(mutex_);
  for (const std::shared_ptr<Subscription>& subscription : subscriptions_) {
    std::lock_guard inner(subscription->mutex_);
    if (subscription->closed_) continue;
    // A reader with nothing waiting is not behind, so it takes a text larger than the bound.
    bool full =
        subscription->backlog_.size() >= backlog_.count || subscription->backlogBytes_ + charge > backlog_.bytes;
    if (full && !subscription->backlog_.empty()) {
      subscription->closed_ = true;
      subscription->backlog_.clear();
      subscription->backlogBytes_ = 0;
    } else {
      subscription->backlog_.push_back(text);
      subscription->backlogBytes_ += charge;
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
