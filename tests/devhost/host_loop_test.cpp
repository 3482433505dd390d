// The host loop: the one thread that calls into the plug-in.
#include "devhost/host_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "devhost/event_stream.h"

namespace Vela::DevHost {
namespace {

using namespace std::chrono_literals;

TEST(HostLoop, RunsByDueTimeThenByPosting) {
  HostLoop loop;
  std::string order;
  loop.Post([&] { order += "late "; }, 0.05);
  loop.Post([&] { order += "a "; });
  loop.Post([&] { order += "b "; }, -1);  // a past due time is now
  loop.Post(
      [&] {
        order += "stop ";
        loop.Stop();
      },
      0.06);
  loop.Run();
  EXPECT_EQ(order, "a b late stop ");
}

TEST(HostLoop, RunDueLeavesWhatTheTasksQueueForTheNextPass) {
  // What a plug-in's Yield gets: a task that schedules again must not keep Yield from returning.
  HostLoop loop;
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    loop.Post(again);
  };
  loop.Post(again);
  loop.Post([] {}, 3600);
  EXPECT_EQ(loop.RunDue(), 1u);
  EXPECT_EQ(loop.RunDue(), 1u);
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(loop.RunUntilIdle(10), 10u);
  EXPECT_EQ(loop.Pending(), 2u);
}

TEST(HostLoop, InvokeRunsOnTheLoopThreadAndReturnsTheResult) {
  HostLoop loop;
  std::thread::id loopThread = std::this_thread::get_id();
  std::optional<std::thread::id> ranOn;
  std::thread worker([&] {
    ranOn = loop.Invoke([&] { return std::this_thread::get_id(); }).value_or(std::thread::id());
    loop.Stop();
  });
  loop.Run();
  worker.join();
  EXPECT_EQ(ranOn, loopThread);
  EXPECT_EQ(loop.Invoke([] { return 5; }), 5) << "from the loop's own thread it runs at once";
}

TEST(HostLoop, CloseCancelsWaitersAndRefusesNewWork) {
  HostLoop loop;
  std::atomic<bool> waiting{false};
  std::optional<int> result = 1;
  std::thread worker([&] {
    waiting = true;
    result = loop.Invoke([] { return 2; });
  });
  while (!waiting || loop.Pending() == 0) std::this_thread::yield();
  loop.Close();
  worker.join();
  EXPECT_EQ(result, std::nullopt);
  bool ran = false;
  EXPECT_FALSE(loop.Post([&] { ran = true; }));
  EXPECT_EQ(loop.RunDue(), 0u);
  EXPECT_FALSE(ran);
}

SharedText Text(std::string text) { return std::make_shared<const std::string>(std::move(text)); }

TEST(EventStream, EverySubscriberGetsEveryTextUntilClosed) {
  EventStream stream;
  auto first = stream.Subscribe();
  auto second = stream.Subscribe();
  stream.Publish(Text("one"));
  stream.Unsubscribe(second);
  stream.Publish(Text("two"));
  SharedText text;
  EXPECT_EQ(first->Next(0ms, text), EventStream::Subscription::Status::kText);
  EXPECT_EQ(*text, "one");
  EXPECT_EQ(first->Next(0ms, text), EventStream::Subscription::Status::kText);
  EXPECT_EQ(*text, "two");
  EXPECT_EQ(first->Next(10ms, text), EventStream::Subscription::Status::kIdle);
  EXPECT_EQ(second->Next(0ms, text), EventStream::Subscription::Status::kText);
  EXPECT_EQ(second->Next(0ms, text), EventStream::Subscription::Status::kIdle) << "unsubscribed before two";

  stream.Close();
  EXPECT_EQ(first->Next(1s, text), EventStream::Subscription::Status::kClosed);
  EXPECT_EQ(stream.Subscribe(), nullptr);
}

// A reader is dropped once its backlog would pass either bound; one that keeps up is not, and a
// single text larger than the byte bound reaches a reader with nothing waiting.
TEST(EventStream, AReaderThatFallsBehindEitherBoundIsDropped) {
  const std::size_t charge = ChargeOf("0123456789");
  struct Row {
    RecordBounds bounds;
    std::size_t published;
    bool dropped;
  } rows[] = {
      {{3 * charge, 100}, 3, false},
      {{3 * charge, 100}, 4, true},
      {{1u << 20, 3}, 3, false},
      {{1u << 20, 3}, 4, true},
  };
  for (const Row& row : rows) {
    EventStream stream(row.bounds);
    auto slow = stream.Subscribe();
    auto fast = stream.Subscribe();
    SharedText text;
    for (std::size_t i = 0; i < row.published; ++i) {
      stream.Publish(Text("0123456789"));
      EXPECT_EQ(fast->Next(0ms, text), EventStream::Subscription::Status::kText);
    }
    EXPECT_EQ(slow->Next(0ms, text),
              row.dropped ? EventStream::Subscription::Status::kClosed : EventStream::Subscription::Status::kText)
        << row.published;
  }
  EventStream tight({10, 1});
  auto reader = tight.Subscribe();
  tight.Publish(Text(std::string(1000, 'x')));
  SharedText text;
  EXPECT_EQ(reader->Next(0ms, text), EventStream::Subscription::Status::kText);
  EXPECT_EQ(text->size(), 1000u);
}

}  // namespace
}  // namespace Vela::DevHost
