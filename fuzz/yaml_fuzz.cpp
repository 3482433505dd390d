// YAML: YamlToValue over any bytes. Time and memory are bounded by the fuzzer's -timeout and
// -rss_limit_mb (make fuzz sets them); the replay runs under ctest's timeout.
//
// Properties:
// - A failure says where: "At line: L col: C" with L and C from 1 (from 0 in the parser's own
//   errors, which pass libyaml's mark on as documented), except the failures that concern the
//   whole document and are documented without a position (several documents, a document too
//   large), and the failures of a tagged scalar (an unsupported tag, a "!!int" or "!!float" text
//   that does not convert), whose texts are fixed without a position: the latter are the
//   conversion layer's own ("Value V for 'yaml' of type T ...").
// - A value that reads is written as JSON and read back equal, except that floats which are not
//   finite (".inf", ".nan") come back Empty: the JSON writer writes them as null by choice; and
//   integers are compared by value, since JSON text carries no signedness.
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "sdk/api/json_codec.h"
#include "sdk/api/yaml_reader.h"

namespace Vela::Fuzz {
namespace {

bool HasPosition(std::string_view error, long first) {
  std::size_t at = error.rfind("At line: ");
  if (at == std::string_view::npos) return false;
  const char* cursor = error.data() + at + 9;
  char* end = nullptr;
  long line = std::strtol(cursor, &end, 10);
  if (end == cursor || std::string_view(end).substr(0, 6) != " col: ") return false;
  cursor = end + 6;
  long column = std::strtol(cursor, &end, 10);
  return end != cursor && line >= first && column >= first;
}

}  // namespace

int CheckOne(const uint8_t* data, std::size_t size) {
  Sdk::BindingResult read = Sdk::YamlToValue(reinterpret_cast<const char*>(data), size);
  if (!read.Ok()) {
    std::string error(read.ErrorText());
    bool tagged = error.starts_with("Unsupported YAML tag '") ||
                  (error.starts_with("Value ") && error.find(" for 'yaml' of type ") != std::string::npos);
    bool whole = error == Sdk::YamlText::kMultiDocument || error == Sdk::YamlText::kTooLarge || tagged;
    long first = error.starts_with("YAML parser error: ") ? 0 : 1;
    Require(whole || HasPosition(error, first), "a YAML failure names its line and column", error);
    return 0;
  }
  std::string written = Sdk::ValueToJson(read.Value());
  Sdk::BindingResult again = Sdk::JsonToValue(written);
  Require(again.Ok(), "a YAML value written as JSON reads back", std::string(again.ErrorText()));
  Require(SameValue(read.Value(), again.Value(), {.nonFiniteAsNull = true, .integersByValue = true}),
          "a YAML value written as JSON reads back equal",
          "read " + Describe(read.Value()) + "\n  read back " + Describe(again.Value()));
  return 0;
}

}  // namespace Vela::Fuzz
