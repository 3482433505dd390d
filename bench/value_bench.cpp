// Generic value trees: build and destroy, deep copy and member lookup over 5,000 message records,
// beside the same work with RapidJSON (pool allocator) and, when present, nlohmann::json. The
// program ends with our time as a ratio of theirs and the heap allocations per record.
// The replaced operator new below pairs with free(), which GCC cannot see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <benchmark/benchmark.h>

#include <rapidjson/document.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "sdk/binding/binding_value.h"
#include "sdk/host/abi/allocation.h"

#if defined(ORB_HAVE_NLOHMANN_JSON)
#include <nlohmann/json.hpp>
#endif

// Every general-heap allocation of this program is counted, to show what a record costs.
namespace {
std::atomic<uint64_t> heapAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
  heapAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace Vela::Sdk {
namespace {

constexpr int kRecords = 5000;
constexpr int kLookups = 100000;
const char* const kMemberNames[] = {"accountId", "msgId", "type", "params"};

struct RecordTexts {
  uint64_t accountId;
  std::string msgId;
  std::string params[4];
};

const std::vector<RecordTexts>& Records() {
  static const std::vector<RecordTexts> records = [] {
    std::vector<RecordTexts> made;
    for (int index = 0; index < kRecords; ++index) {
      char id[40];
      std::snprintf(id, sizeof id, "8f3c%04x-1b2d-4e5f-9a6b-%012d", index, index * 7919);
      made.push_back({uint64_t{2000000} + static_cast<uint64_t>(index),
                      id,
                      {"keystone-" + std::to_string(index % 160), "level-" + std::to_string(index % 7),
                       "points-" + std::to_string(index * 37), "1700000000"}});
    }
    return made;
  }();
  return records;
}

constexpr const char* kType = "championMastery";

void BuildValue(BindingValue& tree) {
  tree.Reserve(kRecords);
  for (const RecordTexts& texts : Records()) {
    BindingValue& record = tree.Append();
    record.MemberForWriting("accountId") = texts.accountId;
    record.MemberForWriting("msgId") = std::string_view(texts.msgId);
    record.MemberForWriting("type") = kType;
    BindingValue& params = record.MemberForWriting("params");
    params.Reserve(4);
    for (const std::string& param : texts.params) params.Append() = std::string_view(param);
  }
}

void ValueBuildDestroy(benchmark::State& state) {
  for (auto _ : state) {
    BindingValue tree;
    BuildValue(tree);
    benchmark::DoNotOptimize(tree);
  }
}

// The trees that copies and lookups read, built before any run so that a profile of a run holds
// its loop alone.
const BindingValue& SharedValue() {
  static const BindingValue tree = [] {
    BindingValue built;
    BuildValue(built);
    return built;
  }();
  return tree;
}

void ValueDeepCopy(benchmark::State& state) {
  const BindingValue& tree = SharedValue();
  for (auto _ : state) {
    BindingValue copy = tree;
    benchmark::DoNotOptimize(copy);
  }
}

void ValueMemberLookup(benchmark::State& state) {
  const BindingValue& tree = SharedValue();
  for (auto _ : state) {
    std::size_t total = 0;
    for (int index = 0; index < kLookups; ++index) {
      total += tree.Element(static_cast<std::size_t>(index % kRecords)).Member(kMemberNames[index % 4]).Size();
    }
    benchmark::DoNotOptimize(total);
  }
}

using RapidDocument = rapidjson::Document;  // MemoryPoolAllocator over CrtAllocator

void BuildRapid(RapidDocument& document) {
  auto& allocator = document.GetAllocator();
  document.SetArray();
  document.Reserve(kRecords, allocator);
  for (const RecordTexts& texts : Records()) {
    rapidjson::Value record(rapidjson::kObjectType);
    record.AddMember("accountId", rapidjson::Value(texts.accountId), allocator);
    record.AddMember(
        "msgId", rapidjson::Value(texts.msgId.c_str(), static_cast<rapidjson::SizeType>(texts.msgId.size()), allocator),
        allocator);
    record.AddMember("type", rapidjson::Value(kType, allocator), allocator);
    rapidjson::Value params(rapidjson::kArrayType);
    params.Reserve(4, allocator);
    for (const std::string& param : texts.params) {
      params.PushBack(rapidjson::Value(param.c_str(), static_cast<rapidjson::SizeType>(param.size()), allocator),
                      allocator);
    }
    record.AddMember("params", params, allocator);
    document.PushBack(record, allocator);
  }
}

void RapidBuildDestroy(benchmark::State& state) {
  for (auto _ : state) {
    RapidDocument document;
    BuildRapid(document);
    benchmark::DoNotOptimize(document);
  }
}

const RapidDocument& SharedRapid() {
  static const RapidDocument* document = [] {
    auto* built = new RapidDocument();
    BuildRapid(*built);
    return built;
  }();
  return *document;
}

void RapidDeepCopy(benchmark::State& state) {
  const RapidDocument& document = SharedRapid();
  for (auto _ : state) {
    RapidDocument copy;
    copy.CopyFrom(document, copy.GetAllocator());
    benchmark::DoNotOptimize(copy);
  }
}

void RapidMemberLookup(benchmark::State& state) {
  const RapidDocument& document = SharedRapid();
  for (auto _ : state) {
    std::size_t total = 0;
    for (int index = 0; index < kLookups; ++index) {
      const rapidjson::Value& record = document[static_cast<rapidjson::SizeType>(index % kRecords)];
      auto found = record.FindMember(kMemberNames[index % 4]);
      total += found == record.MemberEnd() ? 0 : static_cast<std::size_t>(found->value.GetType());
    }
    benchmark::DoNotOptimize(total);
  }
}

#if defined(ORB_HAVE_NLOHMANN_JSON)
void BuildNlohmann(nlohmann::json& tree) {
  tree = nlohmann::json::array();
  tree.get_ref<nlohmann::json::array_t&>().reserve(kRecords);
  for (const RecordTexts& texts : Records()) {
    nlohmann::json record;
    record["accountId"] = texts.accountId;
    record["msgId"] = texts.msgId;
    record["type"] = kType;
    nlohmann::json& params = record["params"];
    for (const std::string& param : texts.params) params.push_back(param);
    tree.push_back(std::move(record));
  }
}

void NlohmannBuildDestroy(benchmark::State& state) {
  for (auto _ : state) {
    nlohmann::json tree;
    BuildNlohmann(tree);
    benchmark::DoNotOptimize(tree);
  }
}

const nlohmann::json& SharedNlohmann() {
  static const nlohmann::json tree = [] {
    nlohmann::json built;
    BuildNlohmann(built);
    return built;
  }();
  return tree;
}

void NlohmannDeepCopy(benchmark::State& state) {
  const nlohmann::json& tree = SharedNlohmann();
  for (auto _ : state) {
    nlohmann::json copy = tree;
    benchmark::DoNotOptimize(copy);
  }
}

void NlohmannMemberLookup(benchmark::State& state) {
  const nlohmann::json& tree = SharedNlohmann();
  for (auto _ : state) {
    std::size_t total = 0;
    for (int index = 0; index < kLookups; ++index) {
      const nlohmann::json& record = tree[static_cast<std::size_t>(index % kRecords)];
      auto found = record.find(kMemberNames[index % 4]);
      total += found == record.end() ? 0 : found->size();
    }
    benchmark::DoNotOptimize(total);
  }
}
#endif

BENCHMARK(ValueBuildDestroy)->Unit(benchmark::kMicrosecond);
BENCHMARK(RapidBuildDestroy)->Unit(benchmark::kMicrosecond);
BENCHMARK(ValueDeepCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(RapidDeepCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(ValueMemberLookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(RapidMemberLookup)->Unit(benchmark::kMicrosecond);
#if defined(ORB_HAVE_NLOHMANN_JSON)
BENCHMARK(NlohmannBuildDestroy)->Unit(benchmark::kMicrosecond);
BENCHMARK(NlohmannDeepCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(NlohmannMemberLookup)->Unit(benchmark::kMicrosecond);
#endif

// Keeps each benchmark's time per iteration for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // The best of the repetitions: the machine is shared, and only the best run is ours alone.
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      double time = run.cpu_accumulated_time / static_cast<double>(run.iterations);
      auto [known, inserted] = times.emplace(run.run_name.function_name, time);
      if (!inserted && time < known->second) known->second = time;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

// Heap allocations (operator new and the SDK's counting allocator) while building the tree.
void PrintAllocationsPerRecord() {
  uint64_t before = heapAllocations.load() + ReadMemoryStatistics().allocationCount;
  {
    BindingValue tree;
    BuildValue(tree);
  }
  uint64_t value = heapAllocations.load() + ReadMemoryStatistics().allocationCount - before;
  before = heapAllocations.load();
  {
    RapidDocument document;
    BuildRapid(document);
  }
  uint64_t rapid = heapAllocations.load() - before;
  std::printf("heap allocations per record while building: value %.3f, rapidjson %.3f", double(value) / kRecords,
              double(rapid) / kRecords);
#if defined(ORB_HAVE_NLOHMANN_JSON)
  before = heapAllocations.load();
  {
    nlohmann::json tree;
    BuildNlohmann(tree);
  }
  std::printf(", nlohmann %.3f", double(heapAllocations.load() - before) / kRecords);
#endif
  std::printf("\n");
}

}  // namespace
}  // namespace Vela::Sdk

int main(int argc, char** argv) {
  using namespace Vela::Sdk;
  benchmark::Initialize(&argc, argv);
  SharedValue();
  SharedRapid();
#if defined(ORB_HAVE_NLOHMANN_JSON)
  SharedNlohmann();
#endif
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nour CPU time as a ratio of theirs (below 1: we are faster)\n");
  for (const char* work : {"BuildDestroy", "DeepCopy", "MemberLookup"}) {
    auto ours = reporter.times.find(std::string("Value") + work);
    if (ours == reporter.times.end()) continue;
    for (const char* peer : {"Rapid", "Nlohmann"}) {
      auto theirs = reporter.times.find(std::string(peer) + work);
      if (theirs != reporter.times.end())
        std::printf("  %-13s vs %-9s %.2f  (aim: %s)\n", work, peer, ours->second / theirs->second,
                    std::string(peer) == "Rapid" ? "<= 1.5" : "<= 0.5");
    }
  }
  PrintAllocationsPerRecord();
  benchmark::Shutdown();
  return 0;
}
