// The formatter: a fuzzed format text over fixed arguments of every kind the formatter knows,
// and a fuzzed field template over typed arguments. The first byte chooses.
//
// Properties of FormatArgs:
// - Into a buffer of exactly the size the text needs (heap-allocated, so a write past it is
//   caught), the same text comes out; into any smaller buffer, the text's start up to size - 1,
//   terminated; into a buffer of size 0, nothing at all.
// - Format (the 4096-byte wrapper over the C++ arguments) gives the same text, cut at 4095.
// Properties of FormatFields:
// - The text keeps within the wrapper's 4095 characters, and every recorded field holds the value
//   of one of the arguments.
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "sdk/diag/field_template.h"
#include "sdk/diag/format.h"

namespace Vela::Fuzz {
namespace {

// Wide enough for any width the formatter lets through for one conversion and a long text.
constexpr std::size_t kReferenceSize = 1 << 16;

struct Arguments {
  char character;
  int32_t int32;
  uint32_t uint32;
  int64_t int64;
  uint64_t uint64;
  double number;
  const char* text;
  const char* nullText;
  std::string_view view;
  std::string string;
};

const Arguments kArgumentSets[] = {
    {'q', -42, 4000000000u, -9000000000LL, 18000000000ULL, -1.5, "aurel", nullptr, "demo-1", "ark"},
    {'\0', std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max(),
     std::numeric_limits<int64_t>::min(), std::numeric_limits<uint64_t>::max(), -1.7976931348623157e308, "", nullptr,
     std::string_view("nul\0inside", 10), std::string(300, 'x')},
    {'%', 0, 0, 0, 0, std::numeric_limits<double>::quiet_NaN(), "%s%d%n", nullptr, "", ""},
    {'\xff', 7, 7, 7, 7, -std::numeric_limits<double>::infinity(), "\xff\xfe", nullptr, "{x}", "%1$*2$d"},
};

void CheckFormat(const Arguments& a, const char* format) {
  const Sdk::FormatRoutine* routines[] = {
      &Sdk::FormatRoutines::kChar,   &Sdk::FormatRoutines::kInt32,  &Sdk::FormatRoutines::kUInt32,
      &Sdk::FormatRoutines::kInt64,  &Sdk::FormatRoutines::kUInt64, &Sdk::FormatRoutines::kDouble,
      &Sdk::FormatRoutines::kText,   &Sdk::FormatRoutines::kText,   &Sdk::FormatRoutines::kStringView,
      &Sdk::FormatRoutines::kString,
  };
  const void* arguments[] = {&a.character, &a.int32, &a.uint32,   &a.int64, &a.uint64,
                             &a.number,    &a.text,  &a.nullText, &a.view,  &a.string};
  constexpr std::size_t kCount = sizeof arguments / sizeof arguments[0];

  auto reference = std::make_unique<char[]>(kReferenceSize);
  std::size_t length = Sdk::FormatArgs(reference.get(), kReferenceSize, format, routines, arguments, kCount);
  Require(length < kReferenceSize && reference[length] == '\0', "FormatArgs terminates its text within the buffer");
  const std::string_view text(reference.get(), length);

  // Exactly sized, then smaller: the start of the same text.
  const std::size_t sizes[] = {length + 1, length, length / 2 + 1, 2, 1};
  for (std::size_t size : sizes) {
    if (size == 0) continue;
    auto buffer = std::make_unique<char[]>(size);
    std::size_t written = Sdk::FormatArgs(buffer.get(), size, format, routines, arguments, kCount);
    std::size_t expected = std::min(length, size - 1);
    Require(written == expected && buffer[written] == '\0' &&
                text.substr(0, expected) == std::string_view(buffer.get(), written),
            "FormatArgs into a buffer of any size gives the start of the same text",
            "size " + std::to_string(size) + ": " + std::to_string(written) + " characters, expected " +
                std::to_string(expected));
  }
  auto none = std::make_unique<char[]>(0);
  Require(Sdk::FormatArgs(none.get(), 0, format, routines, arguments, kCount) == 0,
          "FormatArgs writes nothing into a buffer of size 0");

  std::string wrapped = Sdk::Format(format, a.character, a.int32, a.uint32, a.int64, a.uint64, a.number, a.text,
                                    a.nullText, a.view, a.string);
  Require(wrapped == text.substr(0, std::min(length, Sdk::kFormatBufferSize - 1)),
          "Format over the C++ arguments gives FormatArgs' text", "Format gave " + wrapped.substr(0, 200));
}

void CheckFields(const Arguments& a, const char* templateText) {
  Sdk::FormattedMessage message =
      Sdk::FormatFields(templateText, a.int32 < 0, a.int32, a.uint64, a.number, a.text, a.string, a.character);
  const Sdk::FieldValue values[] = {
      Sdk::FieldValue::Bool(a.int32 < 0),
      Sdk::FieldValue::Signed(a.int32),
      Sdk::FieldValue::Unsigned(a.uint64),
      Sdk::FieldValue::Float(a.number),
      Sdk::FieldValue::String(a.text),
      Sdk::FieldValue::String(a.string),
      Sdk::FieldValue::String(std::string(1, a.character)),
  };
  Require(message.text.size() < Sdk::kFormatBufferSize, "FormatFields keeps within the formatter's buffer");
  for (const auto& [name, field] : message.fields) {
    bool known = false;
    for (const Sdk::FieldValue& value : values) {
      // A NaN argument is recorded as NaN, which == does not match.
      known = known || value == field ||
              (value.kind == Sdk::FieldKind::kFloat && field.kind == Sdk::FieldKind::kFloat &&
               std::isnan(value.floatValue) && std::isnan(field.floatValue));
    }
    Require(known, "FormatFields records the value of an argument", "field " + name + " = " + field.ToText());
  }
}

}  // namespace

int CheckOne(const uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  uint8_t choice = input.Byte();
  const Arguments& arguments = kArgumentSets[(choice >> 1) % (sizeof kArgumentSets / sizeof kArgumentSets[0])];
  std::string text = input.Rest();  // read up to its first zero, as a C text
  if ((choice & 1) == 0) {
    CheckFormat(arguments, text.c_str());
  } else {
    CheckFields(arguments, text.c_str());
  }
  return 0;
}

}  // namespace Vela::Fuzz
