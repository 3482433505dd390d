// JSON: JsonToValue, then ValueToJson compact and indented (line feeds and CR LF), read back.
//
// Properties:
// - A text that reads gives a value that every written form reads back as, equal.
// - A failure names an offset inside the text.
// - A text that is one number alone and reads as a float reads as the double strtod gives.
// Exempt by the writer's documented choice: a float that is not finite is written as null, so it
// reads back Empty (the reader refuses NaN, infinity and numbers beyond the double range, so only a
// future reader could hand one over). Floats must come back as the same double.
// Exempt until the reader is changed: "-0" reads as a Signed 0, which is written "0" and reads
// back Unsigned; integers are therefore compared by value. Every other integer text reads back as
// the kind it read as first (negative texts Signed, the others Unsigned), so nothing else hides
// behind this.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "sdk/api/json_codec.h"

namespace Vela::Fuzz {

int CheckOne(const uint8_t* data, std::size_t size) {
  // The reader takes a NUL-terminated text: it sees the bytes up to the first zero.
  std::string text(reinterpret_cast<const char*>(data), size);
  Sdk::BindingResult read = Sdk::JsonToValue(text.c_str());
  if (!read.Ok()) {
    std::string error(read.ErrorText());
    std::size_t at = error.rfind(" at offset ");
    Require(at != std::string::npos, "a JSON failure names its offset", error);
    unsigned long offset = std::strtoul(error.c_str() + at + 11, nullptr, 10);
    Require(offset <= std::strlen(text.c_str()), "a JSON failure's offset lies within the text", error);
    return 0;
  }
  const Sdk::BindingValue& value = read.Value();
  if (value.Kind() == Sdk::ValueKind::Float) {
    const char* number = text.c_str();
    while (*number == ' ' || *number == '\t' || *number == '\r' || *number == '\n') ++number;
    char* end = nullptr;
    const double expected = std::strtod(number, &end);
    if (end != number && std::strspn(end, " \t\r\n") == std::strlen(end)) {
      Require(value.GetFloat() == expected, "a JSON number reads as the nearest double", text.substr(0, 400));
    }
  }
  const char* const newlines[] = {nullptr, "\n", "\r\n"};
  for (const char* newline : newlines) {
    std::string written = Sdk::ValueToJson(value, nullptr, newline);
    Sdk::BindingResult again = Sdk::JsonToValue(written);
    Require(again.Ok(), "written JSON reads back", std::string(again.ErrorText()) + " in " + written.substr(0, 400));
    Require(SameValue(value, again.Value(), {.nonFiniteAsNull = true, .integersByValue = true}),
            "written JSON reads back as the same value",
            "read " + Describe(value) + "\n  written " + written.substr(0, 400) + "\n  read back " +
                Describe(again.Value()));
  }
  return 0;
}

}  // namespace Vela::Fuzz
