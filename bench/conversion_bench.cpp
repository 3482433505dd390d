// Converting 5,000 registered native records to one generic value and back.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/type_registration.h"
#include "sdk/binding/value_conversion.h"

namespace {

using namespace Vela::Sdk;

constexpr std::size_t kRecordCount = 5000;

enum class Phase : int32_t { None = 0, Lobby = 1, InProgress = 8 };

struct Author {
  uint64_t accountId = 0;
  std::string name;
};

struct Record {
  int64_t id = 0;
  std::string type;
  BindingValue body;
  bool seen = false;
  double score = 0;
  Phase phase = Phase::None;
  Author author;
  std::vector<std::string> params;
  std::vector<Author> watchers;
  std::optional<int32_t> priority;
};

void Register(BindingRegistry& registry) {
  RegisterEnum<Phase>(registry, "BenchPhase")
      .Value("None", Phase::None)
      .Value("Lobby", Phase::Lobby)
      .Value("InProgress", Phase::InProgress);
  RegisterStruct<Author>(registry, "BenchAuthor").Field("accountId", &Author::accountId).Field("name", &Author::name);
  RegisterStruct<Record>(registry, "BenchRecord")
      .Field("id", &Record::id)
      .Field("type", &Record::type)
      .Field("body", &Record::body)
      .Field("seen", &Record::seen)
      .Field("score", &Record::score)
      .Field("phase", &Record::phase)
      .Field("author", &Record::author)
      .Field("params", &Record::params)
      .Field("watchers", &Record::watchers)
      .Field("priority", &Record::priority, kFieldOmitEmpty);
}

std::vector<Record> MakeRecords() {
  std::vector<Record> records(kRecordCount);
  for (std::size_t i = 0; i < records.size(); ++i) {
    Record& record = records[i];
    record.id = static_cast<int64_t>(i);
    record.type = i % 3 == 0 ? "championMastery" : "other";
    record.body.MemberForWriting("level") = static_cast<int64_t>(i % 7);
    record.body.MemberForWriting("title") = "Mastery reached";
    record.seen = i % 2 == 0;
    record.score = 0.25 * static_cast<double>(i);
    record.phase = i % 2 == 0 ? Phase::Lobby : Phase::InProgress;
    record.author = {1000 + i, "author"};
    record.params = {"a", "bb", "ccc"};
    record.watchers = {{1, "w1"}, {2, "w2"}};
    if (i % 4 == 0) record.priority = static_cast<int32_t>(i);
  }
  return records;
}

struct Fixture {
  Fixture() : records(MakeRecords()) { Register(registry); }
  BindingRegistry registry;
  std::vector<Record> records;
};

void NativeRecordsToValue(benchmark::State& state) {
  Fixture fixture;
  for (auto _ : state) {
    BindingResult result = NativeToValue(fixture.registry, fixture.records);
    if (!result.Ok()) state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kRecordCount));
}
BENCHMARK(NativeRecordsToValue)->Unit(benchmark::kMillisecond);

void ValueToNativeRecords(benchmark::State& state) {
  Fixture fixture;
  BindingResult value = NativeToValue(fixture.registry, fixture.records);
  for (auto _ : state) {
    BindingResult result;
    std::vector<Record> records;
    ValueToNative(result, fixture.registry, value.Value(), "<value>", records);
    if (!result.Ok()) state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(records);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kRecordCount));
}
BENCHMARK(ValueToNativeRecords)->Unit(benchmark::kMillisecond);

void RoundTrip(benchmark::State& state) {
  Fixture fixture;
  for (auto _ : state) {
    BindingResult result = NativeToValue(fixture.registry, fixture.records);
    std::vector<Record> records;
    ValueToNative(result, fixture.registry, result.Value(), "<value>", records);
    if (!result.Ok()) state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(records);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kRecordCount));
}
BENCHMARK(RoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
