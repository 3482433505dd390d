// Logging from many threads while targets are configured, registered and removed.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "sdk/diag/logger.h"
#include "sdk/diag/logger_api.h"

namespace Vela::Sdk {
namespace {

// Counts what it gets and renders each line, so line rendering runs under the race too.
class CountingTarget : public LogTarget {
 public:
  ~CountingTarget() override { Detach(); }
  bool Write(const LogRecord& record) override {
    char line[kLogBufferSize];
    if (RenderLine(record, line, sizeof line) > 0) count_.fetch_add(1, std::memory_order_relaxed);
    return true;
  }
  uint64_t Count() const { return count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<uint64_t> count_{0};
};

TEST(LoggerThreads, LoggingWhileTargetsChange) {
  Logger::AddReference();
  Logger& logger = Logger::Instance();
  logger.UnregisterConsoleTargets();
  logger.SetMinimumLevel(kLogOkay);
  CountingTarget steady;
  Configure(steady, {kLogOkay, 0, 0, "#D #E #G #L #T #M"});

  constexpr int kThreads = 8;
  constexpr int kRecordsPerThread = 2000;
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kRecordsPerThread; ++i) {
        Log(i % 4, i % 3 == 0 ? 0 : kCategoryDbg | kCategoryNet, "thread %d record %d", t, i);
      }
    });
  }
  std::thread changer([&] {
    CountingTarget moving;
    for (int round = 0; !stop.load(); ++round) {
      Configure(moving, {round % 3, round % 2 == 0 ? kCategoryDbg : 0, 0, round % 2 == 0 ? "#M" : "#G| #M"});
      auto scoped = std::make_unique<CountingTarget>();
      scoped->Register();
      steady.SetCategoryMasks(0, 0);
      GetLoggerApi().findTarget("LogTarget");
      scoped.reset();
      moving.Unregister();
      CategoryMaskFromName(round % 2 == 0 ? "THR" : "THS");
    }
  });
  for (std::thread& thread : threads) thread.join();
  stop = true;
  changer.join();

  // Every record passes the logger (level 0 and up, no muted category) and the steady target.
  EXPECT_EQ(steady.Count(), uint64_t{kThreads} * kRecordsPerThread);
  EXPECT_EQ(logger.WarningCount(), uint64_t{kThreads} * kRecordsPerThread / 4);
  steady.Unregister();
  Logger::Release();
}

}  // namespace
}  // namespace Vela::Sdk
