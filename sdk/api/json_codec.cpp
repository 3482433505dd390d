// JSON text to BindingValue and back: RapidJSON's reader driving JsonValueBuilder, and
// JsonValueWriter driven by the value walk.
#include "sdk/api/json_codec.h"

#include <cstdint>
#include <cstring>
#include <string>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include "sdk/api/json_value_builder.h"
#include "sdk/api/json_value_writer.h"
#include "sdk/api/value_visitor.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

BindingResult JsonToValue(const char* text) {
  BindingResult result;
  if (text == nullptr) return result;
  const char* cursor = text;
  while (IsBlank(*cursor)) ++cursor;
  if (*cursor == '\0') return result;

  // Parsed in place in a copy of its own: strings are decoded where they stand and numbers handed
  // over as their texts, which the builder reads into the double nearest to each, and neither is
  // copied through the reader's stack first.
  std::string buffer(text);
  JsonValueBuilder builder(result.Value());
  rapidjson::Reader reader;
  rapidjson::InsituStringStream stream(buffer.data());
  reader.Parse<rapidjson::kParseInsituFlag | rapidjson::kParseNumbersAsStringsFlag>(stream, builder);
  if (!reader.HasParseError()) return result;

  // Offsets beyond 4 GiB do not occur in texts handed to the plug-in.
  auto offset = static_cast<uint32_t>(reader.GetErrorOffset());
  const bool stopped = reader.GetParseErrorCode() == rapidjson::kParseErrorTermination;
  if (builder.TooDeep() && stopped) {
    // RapidJSON reports the offset just after the bracket that was refused.
    result.Fail(Format(JsonText::kTooDeep, offset - 1));
  } else if (builder.NumberTooBig() && stopped) {
    // Refused as RapidJSON refuses a number whose exponent alone is too large, at the number's
    // offset: reading it as an infinity would change the value silently.
    result.Fail(Format(JsonText::kParseError, rapidjson::GetParseError_En(rapidjson::kParseErrorNumberTooBig), offset));
  } else {
    result.Fail(Format(JsonText::kParseError, rapidjson::GetParseError_En(reader.GetParseErrorCode()), offset));
  }
  return result;
}

BindingResult JsonToValue(const std::string& text) { return JsonToValue(text.c_str()); }

std::string ValueToJson(const BindingValue& value, const EnumNameResolver* enumResolver, const char* newline) {
  if (value.IsEmpty()) return {};
  bool indented = newline != nullptr && newline[0] != '\0';
  JsonValueWriter writer(enumResolver, indented);
  VisitValue(value, writer);
  std::string_view written = writer.Text();
  if (!indented || std::strcmp(newline, "\n") == 0) return std::string(written);

  // String contents never hold a raw line feed (the writer escapes it), so every one is a break.
  std::string text;
  std::size_t newlineLength = std::strlen(newline);
  text.reserve(written.size() + written.size() / 8 * newlineLength);
  for (char c : written) {
    if (c == '\n') {
      text.append(newline, newlineLength);
    } else {
      text.push_back(c);
    }
  }
  return text;
}

}  // namespace Vela::Sdk
