// Costs of the diagnostics: refused and accepted log calls, and the formatter against snprintf.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "sdk/diag/field_template.h"
#include "sdk/diag/logger.h"

namespace {

using namespace Vela::Sdk;

// A target that takes every record and drops it, so only the logger's own work is timed.
class DiscardingTarget : public LogTarget {
 public:
  ~DiscardingTarget() override { Detach(); }
  bool Write(const LogRecord& record) override {
    benchmark::DoNotOptimize(record.message);
    return true;
  }
};

void BM_LogRefusedByLevel(benchmark::State& state) {
  Logger::Instance();
  int value = 0;
  for (auto _ : state) {
    Log(kLogOkay, kCategoryGen, "refused %d %s", ++value, "text");
  }
}
BENCHMARK(BM_LogRefusedByLevel);

void BM_LogRefusedByMutedCategory(benchmark::State& state) {
  Logger::Instance();
  int value = 0;
  for (auto _ : state) {
    Log(kLogError, kCategoryXtr, "refused %d %s", ++value, "text");
  }
}
BENCHMARK(BM_LogRefusedByMutedCategory);

void BM_LogAcceptedIntoDiscardingTarget(benchmark::State& state) {
  Logger& logger = Logger::Instance();
  logger.UnregisterConsoleTargets();
  DiscardingTarget target;
  Configure(target, {kLogOkay, 0, 0, "#M"});
  int value = 0;
  for (auto _ : state) {
    Log(kLogWarn, kCategoryGen, "accepted %d %s", ++value, "text");
  }
  target.Unregister();
  logger.StdErrTarget().Register();
  logger.DebuggerTarget().Register();
}
BENCHMARK(BM_LogAcceptedIntoDiscardingTarget);

constexpr const char* kPositional = "Request %1 failed with status %2 after %3 ms";
constexpr const char* kPrintf = "Request %s failed with status %d after %lld ms";

void BM_FormatIntoPositional(benchmark::State& state) {
  char buffer[kFormatBufferSize];
  int64_t elapsed = 1234567;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatInto(buffer, sizeof buffer, kPositional, "GET /ark-collections/v1", 404, elapsed));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FormatIntoPositional);

void BM_SnprintfSameText(benchmark::State& state) {
  char buffer[kFormatBufferSize];
  long long elapsed = 1234567;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, kPrintf, "GET /ark-collections/v1", 404, elapsed));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SnprintfSameText);

void BM_FormatPositionalToString(benchmark::State& state) {
  int64_t elapsed = 1234567;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Format(kPositional, "GET /ark-collections/v1", 404, elapsed));
  }
}
BENCHMARK(BM_FormatPositionalToString);

void BM_SnprintfSameTextToString(benchmark::State& state) {
  long long elapsed = 1234567;
  for (auto _ : state) {
    char buffer[kFormatBufferSize];
    int length = std::snprintf(buffer, sizeof buffer, kPrintf, "GET /ark-collections/v1", 404, elapsed);
    benchmark::DoNotOptimize(std::string(buffer, static_cast<std::size_t>(length)));
  }
}
BENCHMARK(BM_SnprintfSameTextToString);

// Conversions with flags go through the C library once per argument.
void BM_FormatIntoWithFlags(benchmark::State& state) {
  char buffer[kFormatBufferSize];
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatInto(buffer, sizeof buffer, "%1$-8s|%2$5d|%3$.2f", "name", 42, 3.14159));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FormatIntoWithFlags);

void BM_SnprintfWithFlags(benchmark::State& state) {
  char buffer[kFormatBufferSize];
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, "%-8s|%5d|%.2f", "name", 42, 3.14159));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SnprintfWithFlags);

void BM_FormatFieldsTemplate(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatFields("Error response for {method} {url}: {error}", "GET", "/a", "x"));
  }
}
BENCHMARK(BM_FormatFieldsTemplate);

}  // namespace

BENCHMARK_MAIN();
