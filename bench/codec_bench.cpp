// Throughput of the JSON codec and the MessagePack reader against RapidJSON and, when they are
// installed, nlohmann::json and msgpack-cxx, on three generated documents of about 1 MB each.
// After the runs a table prints the ratios the codecs are held to.
#include <benchmark/benchmark.h>

#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "sdk/api/json_codec.h"
#include "sdk/binding/msgpack_reader.h"
#include "sdk/host/abi/allocation.h"

#ifdef ORB_HAVE_NLOHMANN_JSON
#include <nlohmann/json.hpp>
#endif
#ifdef ORB_HAVE_MSGPACK_CXX
#include <msgpack.hpp>
#endif

namespace {

using Vela::Sdk::BindingResult;
using Vela::Sdk::BindingValue;

// ---- The documents ----

class Generator {
 public:
  explicit Generator(uint64_t seed) : random_(seed) {}
  uint64_t Next() { return random_(); }
  uint64_t Below(uint64_t bound) { return Next() % bound; }
  // A double with a full-length mantissa, in [0, scale).
  double Fraction(double scale) { return static_cast<double>(Next() >> 11) * 0x1.0p-53 * scale; }

 private:
  std::mt19937_64 random_;
};

const char* const kWords[] = {"tovi",   "grade Q", "7",     "21600",  "velvant", "plume", "token",
                              "orlen",  "pim",     "split", "fennel", "normal",  "oska",  "level up",
                              "reward", "banner",  "icon",  "quill",  "dune",    "mote"};
constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];

using Allocator = rapidjson::Document::AllocatorType;

rapidjson::Value Text(const std::string& text, Allocator& allocator) {
  return rapidjson::Value(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), allocator);
}

std::string MessageId(Generator& generator) {
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 36; ++i) id += (i == 8 || i == 13 || i == 18 || i == 23) ? '-' : kHex[generator.Below(16)];
  return id;
}

// (a) 5,000 message records with nested objects, arrays of short strings and floats.
void BuildRecords(rapidjson::Document& document) {
  Generator generator(1);
  Allocator& allocator = document.GetAllocator();
  const char* const types[] = {"championMastery", "levelUp", "reward", "notice"};
  document.SetArray();
  for (int record = 0; record < 5000; ++record) {
    rapidjson::Value object(rapidjson::kObjectType);
    object.AddMember("accountId", rapidjson::Value(uint64_t{1000000000000} + generator.Below(uint64_t{1} << 52)),
                     allocator);
    object.AddMember("msgId", Text(MessageId(generator), allocator), allocator);
    object.AddMember("type", rapidjson::StringRef(types[generator.Below(4)]), allocator);
    rapidjson::Value params(rapidjson::kArrayType);
    for (uint64_t count = 3 + generator.Below(4); count > 0; --count) {
      params.PushBack(rapidjson::StringRef(kWords[generator.Below(kWordCount)]), allocator);
    }
    object.AddMember("params", params, allocator);
    rapidjson::Value body(rapidjson::kObjectType);
    body.AddMember("score", generator.Fraction(10000.0), allocator);
    body.AddMember("level", static_cast<int>(generator.Below(500)) - 20, allocator);
    rapidjson::Value flags(rapidjson::kObjectType);
    flags.AddMember("seen", generator.Below(2) == 0, allocator);
    flags.AddMember("ratio", generator.Fraction(1.0), allocator);
    body.AddMember("flags", flags, allocator);
    object.AddMember("body", body, allocator);
    document.PushBack(object, allocator);
  }
}

// (b) Objects whose member names are all different.
void BuildManyKeys(rapidjson::Document& document) {
  Generator generator(2);
  Allocator& allocator = document.GetAllocator();
  document.SetArray();
  int key = 0;
  for (int objectIndex = 0; objectIndex < 850; ++objectIndex) {
    rapidjson::Value object(rapidjson::kObjectType);
    for (int member = 0; member < 48; ++member, ++key) {
      std::string name = std::string(kWords[generator.Below(kWordCount)]) + "_" + std::to_string(key);
      rapidjson::Value value;
      switch (member % 3) {
        case 0: value.SetUint(static_cast<unsigned>(generator.Below(100000))); break;
        case 1: value.SetString(rapidjson::StringRef(kWords[generator.Below(kWordCount)])); break;
        default: value.SetBool(generator.Below(2) == 0); break;
      }
      object.AddMember(Text(name, allocator), value, allocator);
    }
    document.PushBack(object, allocator);
  }
}

// (c) Rows of integers and doubles.
void BuildNumbers(rapidjson::Document& document) {
  Generator generator(3);
  Allocator& allocator = document.GetAllocator();
  document.SetArray();
  for (int row = 0; row < 1700; ++row) {
    rapidjson::Value numbers(rapidjson::kArrayType);
    for (int column = 0; column < 40; ++column) {
      if (column % 2 == 0) {
        numbers.PushBack(static_cast<int64_t>(generator.Below(2000000000)) - 1000000000, allocator);
      } else {
        numbers.PushBack(generator.Fraction(1e6) - 5e5, allocator);
      }
    }
    document.PushBack(numbers, allocator);
  }
}

// A test-only MessagePack encoder: every value in its smallest form.
class MessagePackEncoder {
 public:
  explicit MessagePackEncoder(std::vector<uint8_t>& out) : out_(out) {}

  void Encode(const rapidjson::Value& value) {
    if (value.IsNull()) {
      Byte(0xC0);
    } else if (value.IsBool()) {
      Byte(value.GetBool() ? 0xC3 : 0xC2);
    } else if (value.IsUint64()) {
      EncodeUnsigned(value.GetUint64());
    } else if (value.IsInt64()) {
      EncodeSigned(value.GetInt64());
    } else if (value.IsDouble()) {
      double number = value.GetDouble();
      uint64_t bits;
      std::memcpy(&bits, &number, sizeof bits);
      Byte(0xCB);
      BigEndian(bits, 8);
    } else if (value.IsString()) {
      Header(value.GetStringLength(), 0xA0, 32, 0xD9, 0xDA, 0xDB);
      out_.insert(out_.end(), value.GetString(), value.GetString() + value.GetStringLength());
    } else if (value.IsArray()) {
      Header(value.Size(), 0x90, 16, 0, 0xDC, 0xDD);
      for (const rapidjson::Value& element : value.GetArray()) Encode(element);
    } else {
      Header(value.MemberCount(), 0x80, 16, 0, 0xDE, 0xDF);
      for (const auto& member : value.GetObject()) {
        Encode(member.name);
        Encode(member.value);
      }
    }
  }

 private:
  void Byte(uint8_t byte) { out_.push_back(byte); }
  void BigEndian(uint64_t value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) Byte(static_cast<uint8_t>(value >> shift));
  }
  void EncodeUnsigned(uint64_t value) {
    if (value < 128) {
      Byte(static_cast<uint8_t>(value));
    } else if (value <= 0xFF) {
      Byte(0xCC);
      BigEndian(value, 1);
    } else if (value <= 0xFFFF) {
      Byte(0xCD);
      BigEndian(value, 2);
    } else if (value <= 0xFFFFFFFF) {
      Byte(0xCE);
      BigEndian(value, 4);
    } else {
      Byte(0xCF);
      BigEndian(value, 8);
    }
  }
  void EncodeSigned(int64_t value) {
    auto bits = static_cast<uint64_t>(value);
    if (value >= -32) {
      Byte(static_cast<uint8_t>(value));
    } else if (value >= INT8_MIN) {
      Byte(0xD0);
      BigEndian(bits, 1);
    } else if (value >= INT16_MIN) {
      Byte(0xD1);
      BigEndian(bits, 2);
    } else if (value >= INT32_MIN) {
      Byte(0xD2);
      BigEndian(bits, 4);
    } else {
      Byte(0xD3);
      BigEndian(bits, 8);
    }
  }
  // fix form below `fixLimit`, then the 8-bit (when there is one), 16-bit and 32-bit forms.
  void Header(uint32_t count, uint8_t fix, uint32_t fixLimit, uint8_t form8, uint8_t form16, uint8_t form32) {
    if (count < fixLimit) {
      Byte(static_cast<uint8_t>(fix | count));
    } else if (form8 != 0 && count <= 0xFF) {
      Byte(form8);
      BigEndian(count, 1);
    } else if (count <= 0xFFFF) {
      Byte(form16);
      BigEndian(count, 2);
    } else {
      Byte(form32);
      BigEndian(count, 4);
    }
  }

  std::vector<uint8_t>& out_;
};

struct Corpus {
  const char* name;
  std::string json;
  std::vector<uint8_t> msgpack;
  rapidjson::Document document;
  BindingValue value;
};

// The texts of one document, without its value.
void WriteCorpus(Corpus& corpus, int which) {
  static const char* const names[] = {"records", "many_keys", "numbers"};
  static void (*const builders[])(rapidjson::Document&) = {BuildRecords, BuildManyKeys, BuildNumbers};
  corpus.name = names[which];
  builders[which](corpus.document);
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  corpus.document.Accept(writer);
  corpus.json.assign(buffer.GetString(), buffer.GetSize());
  MessagePackEncoder(corpus.msgpack).Encode(corpus.document);
}

std::vector<Corpus>& Corpora() {
  static std::vector<Corpus> corpora = [] {
    std::vector<Corpus> built(3);
    for (int which = 0; which < 3; ++which) {
      Corpus& corpus = built[static_cast<std::size_t>(which)];
      WriteCorpus(corpus, which);
      BindingResult read = Vela::Sdk::JsonToValue(corpus.json);
      if (!read.Ok()) std::fprintf(stderr, "%s: %s\n", corpus.name, std::string(read.ErrorText()).c_str());
      corpus.value = std::move(read.Value());
    }
    return built;
  }();
  return corpora;
}

// The most general-heap bytes (as MemoryStatistics counts them) live at once while one document
// is read, and those still held by its value after. The counters only ever keep the process's
// highest peak, so every read is measured in a process of its own that has read nothing before:
// this program started again as "codec_bench --memory-peak <document> <reader>".
constexpr const char* kMemoryPeakFlag = "--memory-peak";

int PrintMemoryPeakOfOneRead(int which, int reader) {
  Corpus corpus;
  WriteCorpus(corpus, which);
  Vela::Sdk::MemoryStatisticsRecord before = Vela::Sdk::ReadMemoryStatistics();
  uint64_t liveBefore = before.totalBytesAllocated - before.totalBytesFreed;
  BindingResult read = reader == 0 ? Vela::Sdk::JsonToValue(corpus.json)
                                   : Vela::Sdk::DecodeMessagePack(corpus.msgpack.data(), corpus.msgpack.size());
  Vela::Sdk::MemoryStatisticsRecord after = Vela::Sdk::ReadMemoryStatistics();
  uint64_t peak = after.peakLiveBytes > liveBefore ? after.peakLiveBytes - liveBefore : 0;
  uint64_t held = after.totalBytesAllocated - after.totalBytesFreed - liveBefore;
  std::printf("%llu %llu\n", static_cast<unsigned long long>(peak), static_cast<unsigned long long>(held));
  return read.Ok() ? 0 : 1;
}

void PrintMemoryPeaks(const char* self) {
  std::printf("general-heap bytes (MemoryStatistics) while reading, and held by the value after:\n");
  const char* const documents[] = {"records", "many_keys", "numbers"};
  const std::filesystem::path output = std::filesystem::temp_directory_path() / "codec_bench_memory_peak.txt";
  for (int which = 0; which < 3; ++which) {
    for (int reader = 0; reader < 2; ++reader) {
      std::string command = "\"" + std::string(self) + "\" " + kMemoryPeakFlag + " " + std::to_string(which) + " " +
                            std::to_string(reader) + " > \"" + output.string() + "\"";
      if (std::system(command.c_str()) != 0) continue;
      unsigned long long peak = 0;
      unsigned long long held = 0;
      std::ifstream result(output);
      if (result >> peak >> held) {
        std::printf("  %-10s %-12s peak %9llu  held %9llu\n", documents[which], reader == 0 ? "JSON" : "MessagePack",
                    peak, held);
      }
    }
  }
  std::error_code ignored;
  std::filesystem::remove(output, ignored);
}

// ---- The measurements ----

void JsonToValue(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  for (auto _ : state) {
    BindingResult result = Vela::Sdk::JsonToValue(corpus.json.c_str());
    benchmark::DoNotOptimize(result.Value().Size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.json.size()));
}

// RapidJSON's default flags, whose numbers may land one ulp off (JsonToValue reads each number to
// the nearest double itself): the peer the bar is held to.
void RapidJsonDocumentParse(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse(corpus.json.c_str());
    benchmark::DoNotOptimize(document.Size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.json.size()));
}

// With the full-precision flag, for reference.
void RapidJsonDocumentParseFullPrecision(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse<rapidjson::kParseFullPrecisionFlag>(corpus.json.c_str());
    benchmark::DoNotOptimize(document.Size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.json.size()));
}

void RapidJsonReaderNoOp(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  for (auto _ : state) {
    rapidjson::Reader reader;
    rapidjson::StringStream stream(corpus.json.c_str());
    rapidjson::BaseReaderHandler<> handler;
    benchmark::DoNotOptimize(reader.Parse(stream, handler).IsError());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.json.size()));
}

void ValueToJson(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  std::size_t written = 0;
  for (auto _ : state) {
    std::string text = Vela::Sdk::ValueToJson(corpus.value);
    written = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
}

void RapidJsonWriter(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  std::size_t written = 0;
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    corpus.document.Accept(writer);
    written = buffer.GetSize();
    benchmark::DoNotOptimize(buffer.GetString());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
}

void MessagePackReader(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  for (auto _ : state) {
    std::size_t consumed = 0;
    BindingResult result = Vela::Sdk::DecodeMessagePack(corpus.msgpack.data(), corpus.msgpack.size(), &consumed);
    benchmark::DoNotOptimize(result.Value().Size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.msgpack.size()));
}

#ifdef ORB_HAVE_NLOHMANN_JSON
void NlohmannParse(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  for (auto _ : state) {
    nlohmann::json parsed = nlohmann::json::parse(corpus.json);
    benchmark::DoNotOptimize(parsed.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.json.size()));
}

void NlohmannFromMsgpack(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  for (auto _ : state) {
    nlohmann::json parsed = nlohmann::json::from_msgpack(corpus.msgpack);
    benchmark::DoNotOptimize(parsed.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.msgpack.size()));
}
#endif

#ifdef ORB_HAVE_MSGPACK_CXX
void MsgpackCxxUnpack(benchmark::State& state, int which) {
  const Corpus& corpus = Corpora()[which];
  for (auto _ : state) {
    msgpack::object_handle handle =
        msgpack::unpack(reinterpret_cast<const char*>(corpus.msgpack.data()), corpus.msgpack.size());
    benchmark::DoNotOptimize(handle.get().via.array.size);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.msgpack.size()));
}
#endif

// ---- Ratios ----

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // The best of the repetitions (--benchmark_repetitions): the machine is shared, and only the
    // best run is the benchmark's alone. Its rate and its time are kept together.
    for (const Run& run : runs) {
      auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end() || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      Best measured{run.cpu_accumulated_time / static_cast<double>(run.iterations), rate->second};
      auto [known, inserted] = best_.emplace(run.benchmark_name(), measured);
      if (!inserted && measured.seconds < known->second.seconds) known->second = measured;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // How many times slower `ours` is than `theirs` (below 1: faster).
  void PrintRatio(const std::string& ours, const std::string& theirs, const char* aim) const {
    auto own = best_.find(ours);
    auto other = best_.find(theirs);
    if (own == best_.end() || other == best_.end()) return;
    std::printf("  %-32s %8.1f MB/s  vs %-34s %8.1f MB/s  time ratio %5.2f  (aim: %s)\n", ours.c_str(),
                own->second.bytesPerSecond / 1e6, theirs.c_str(), other->second.bytesPerSecond / 1e6,
                other->second.bytesPerSecond / own->second.bytesPerSecond, aim);
  }

  // The same comparison by processor time per document, for readers of different encodings of it.
  void PrintTimeRatio(const std::string& ours, const std::string& theirs, const char* aim) const {
    auto own = best_.find(ours);
    auto other = best_.find(theirs);
    if (own == best_.end() || other == best_.end()) return;
    std::printf("  %-32s %8.3f ms    vs %-34s %8.3f ms    time ratio %5.2f  (aim: %s)\n", ours.c_str(),
                own->second.seconds * 1e3, theirs.c_str(), other->second.seconds * 1e3,
                own->second.seconds / other->second.seconds, aim);
  }

 private:
  struct Best {
    double seconds;  // processor time per iteration
    double bytesPerSecond;
  };
  std::map<std::string, Best> best_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], kMemoryPeakFlag) == 0) {
    return PrintMemoryPeakOfOneRead(std::atoi(argv[2]) % 3, std::atoi(argv[3]) % 2);
  }
  using Measure = void (*)(benchmark::State&, int);
  struct Entry {
    const char* name;
    Measure measure;
  };
  const Entry entries[] = {
      {"JsonToValue", JsonToValue},
      {"RapidJson_DocumentParse", RapidJsonDocumentParse},
      {"RapidJson_DocumentParseFullPrecision", RapidJsonDocumentParseFullPrecision},
      {"RapidJson_ReaderNoOp", RapidJsonReaderNoOp},
#ifdef ORB_HAVE_NLOHMANN_JSON
      {"Nlohmann_Parse", NlohmannParse},
#endif
      {"ValueToJson", ValueToJson},
      {"RapidJson_Writer", RapidJsonWriter},
      {"MessagePackReader", MessagePackReader},
#ifdef ORB_HAVE_MSGPACK_CXX
      {"MsgpackCxx_Unpack", MsgpackCxxUnpack},
#endif
#ifdef ORB_HAVE_NLOHMANN_JSON
      {"Nlohmann_FromMsgpack", NlohmannFromMsgpack},
#endif
  };
  const char* const corpusNames[] = {"records", "many_keys", "numbers"};
  for (int which = 0; which < 3; ++which) {
    for (const Entry& entry : entries) {
      benchmark::RegisterBenchmark((std::string(entry.name) + "/" + corpusNames[which]).c_str(), entry.measure, which)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Profiles of single runs leave it out with ORB_BENCH_NO_MEMORY set.
  if (std::getenv("ORB_BENCH_NO_MEMORY") == nullptr) PrintMemoryPeaks(argv[0]);
  for (const Corpus& corpus : Corpora()) {
    std::printf("document %-10s JSON %zu bytes, MessagePack %zu bytes\n", corpus.name, corpus.json.size(),
                corpus.msgpack.size());
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf(
      "\nRatios (time ratio = our time / their time). RapidJSON parses with its default flags; the\n"
      "DocumentParseFullPrecision row, with the flag that makes every number exact, is for reference.\n");
  for (const char* corpus : corpusNames) {
    std::string suffix = std::string("/") + corpus;
    reporter.PrintRatio("JsonToValue" + suffix, "RapidJson_DocumentParse" + suffix, "<= 1.5");
    reporter.PrintRatio("JsonToValue" + suffix, "RapidJson_DocumentParseFullPrecision" + suffix, "reference");
    reporter.PrintRatio("JsonToValue" + suffix, "RapidJson_ReaderNoOp" + suffix, "floor");
    reporter.PrintRatio("JsonToValue" + suffix, "Nlohmann_Parse" + suffix, "<= 0.5");
    reporter.PrintRatio("ValueToJson" + suffix, "RapidJson_Writer" + suffix, "<= 1.2");
    reporter.PrintRatio("MessagePackReader" + suffix, "MsgpackCxx_Unpack" + suffix, "<= 2");
    reporter.PrintRatio("MessagePackReader" + suffix, "Nlohmann_FromMsgpack" + suffix, "<= 0.5");
    reporter.PrintTimeRatio("MessagePackReader" + suffix, "JsonToValue" + suffix, "< 1");
  }
  benchmark::Shutdown();
  return 0;
}
