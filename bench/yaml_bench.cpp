// YamlToValue throughput on three kinds of about 1 MB block-style documents, next to libyaml's bare
// event loop (the floor any reader over it pays) and, where installed, yaml-cpp's YAML::Load.
// After the runs the ratios between them are printed.
#include <benchmark/benchmark.h>
#include <yaml.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "sdk/api/yaml_reader.h"

#ifdef ORB_HAVE_YAML_CPP
#include <yaml-cpp/yaml.h>
#endif

namespace {

using namespace Vela::Sdk;

constexpr std::size_t kTargetSize = 1'000'000;

// A fixed sequence of pseudo-random numbers, so that every run reads the same documents.
class Numbers {
 public:
  uint64_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return state_ >> 17;
  }
  uint64_t Below(uint64_t limit) { return Next() % limit; }

 private:
  uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

std::string Hex(Numbers& numbers, int digits) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (int i = 0; i < digits; ++i) text += kDigits[numbers.Below(16)];
  return text;
}

// 5,000 message records: a 64-bit account id, a 36-character id, a type, 3 to 6 short parameters,
// and a nested block with floats.
std::string RecordsDocument() {
  static const char* const kTypes[] = {"championMastery", "tallyLevel", "tallyComplete", "reward"};
  static const char* const kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel"};
  Numbers numbers;
  std::string text;
  for (int record = 0; record < 5000; ++record) {
    text += "- accountId: " + std::to_string(2305843009213693951ull + numbers.Below(1000000007ull)) + "\n";
    text += "  msgId: " + Hex(numbers, 8) + "-" + Hex(numbers, 4) + "-" + Hex(numbers, 4) + "-" + Hex(numbers, 4) +
            "-" + Hex(numbers, 12) + "\n";
    text += std::string("  type: ") + kTypes[numbers.Below(4)] + "\n";
    text += "  params:\n";
    for (uint64_t param = 0, count = 3 + numbers.Below(4); param < count; ++param) {
      text += std::string("    - ") + kWords[numbers.Below(8)] + std::to_string(numbers.Below(100)) + "\n";
    }
    text += "  stats:\n";
    text += "    level: " + std::to_string(numbers.Below(8)) + "\n";
    text += "    score: " + std::to_string(numbers.Below(100000)) + "." + std::to_string(numbers.Below(100)) + "\n";
  }
  return text;
}

// Mappings of many distinct keys: sections of 500 keys each.
std::string KeysDocument() {
  Numbers numbers;
  std::string text;
  for (int section = 0; text.size() < kTargetSize; ++section) {
    text += "section" + std::to_string(section) + ":\n";
    for (int key = 0; key < 500; ++key) {
      text += "  key_" + Hex(numbers, 6) + "_" + std::to_string(key) + ": value" + std::to_string(numbers.Below(1000)) +
              "\n";
    }
  }
  return text;
}

// Sequences of integers and of doubles.
std::string NumbersDocument() {
  Numbers numbers;
  std::string text;
  for (int block = 0; text.size() < kTargetSize; ++block) {
    text += "integers" + std::to_string(block) + ":\n";
    for (int i = 0; i < 1000; ++i) text += "  - " + std::to_string(numbers.Below(10000000)) + "\n";
    text += "doubles" + std::to_string(block) + ":\n";
    for (int i = 0; i < 1000; ++i) {
      text += "  - " + std::to_string(numbers.Below(100000)) + "." + std::to_string(numbers.Below(1000)) + "e-3\n";
    }
  }
  return text;
}

const std::string& Document(int kind) {
  static const std::string kDocuments[] = {RecordsDocument(), KeysDocument(), NumbersDocument()};
  return kDocuments[kind];
}

void ReadYamlToValue(benchmark::State& state, int kind) {
  const std::string& text = Document(kind);
  for (auto _ : state) {
    BindingResult result = YamlToValue(text);
    if (!result.Ok()) state.SkipWithError(std::string(result.ErrorText()).c_str());
    benchmark::DoNotOptimize(result.Value().Size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Parse and delete every event, and nothing else.
void ReadLibyamlEvents(benchmark::State& state, int kind) {
  const std::string& text = Document(kind);
  for (auto _ : state) {
    yaml_parser_t parser;
    yaml_parser_initialize(&parser);
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    yaml_event_t event;
    std::size_t events = 0;
    while (yaml_parser_parse(&parser, &event) != 0) {
      bool end = event.type == YAML_STREAM_END_EVENT;
      yaml_event_delete(&event);
      ++events;
      if (end) break;
    }
    yaml_parser_delete(&parser);
    benchmark::DoNotOptimize(events);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

#ifdef ORB_HAVE_YAML_CPP
void ReadYamlCpp(benchmark::State& state, int kind) {
  const std::string& text = Document(kind);
  for (auto _ : state) {
    YAML::Node node = YAML::Load(text);
    benchmark::DoNotOptimize(node.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
#endif

const char* const kKindNames[] = {"records", "keys", "numbers"};

// The console report, and the processor time per iteration of every run kept for the ratios
// (processor time: the machine is shared, and wall time measures the neighbours).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // The best of the repetitions (--benchmark_repetitions), as the machine is shared.
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      auto [known, inserted] = times_.emplace(run.benchmark_name(), run.GetAdjustedCPUTime());
      if (!inserted && run.GetAdjustedCPUTime() < known->second) known->second = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-8s %12s %22s %22s\n", "document", "size", "YamlToValue/libyaml", "yaml-cpp/YamlToValue");
    std::printf("%-8s %12s %22s %22s\n", "(aim)", "", "<= 1.25", "");
    for (int kind = 0; kind < 3; ++kind) {
      std::string name = kKindNames[kind];
      double ours = Time("YamlToValue/" + name);
      double events = Time("LibyamlEvents/" + name);
      double yamlCpp = Time("YamlCppLoad/" + name);
      std::printf("%-8s %12zu %21.2fx %21.2fx\n", name.c_str(), Document(kind).size(),
                  ours > 0 && events > 0 ? ours / events : 0.0, ours > 0 && yamlCpp > 0 ? yamlCpp / ours : 0.0);
    }
  }

 private:
  double Time(const std::string& name) const {
    auto found = times_.find(name);
    return found == times_.end() ? 0.0 : found->second;
  }
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  for (int kind = 0; kind < 3; ++kind) {
    std::string name = kKindNames[kind];
    benchmark::RegisterBenchmark(("YamlToValue/" + name).c_str(), ReadYamlToValue, kind)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("LibyamlEvents/" + name).c_str(), ReadLibyamlEvents, kind)
        ->Unit(benchmark::kMillisecond);
#ifdef ORB_HAVE_YAML_CPP
    benchmark::RegisterBenchmark(("YamlCppLoad/" + name).c_str(), ReadYamlCpp, kind)->Unit(benchmark::kMillisecond);
#endif
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Document(0);  // generated before any run, so that a profile of a run holds its loop alone
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
