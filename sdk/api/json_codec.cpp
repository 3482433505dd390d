// JSON text to BindingValue and back: RapidJSON's reader driving a ValueTreeBuilder (or, for
// a text that repeats a key in one object, JsonValueBuilder), and JsonValueWriter driven by the
// value walk.
#include "sdk/api/json_codec.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include "sdk/api/json_value_builder.h"
#include "sdk/api/json_value_writer.h"
#include "sdk/api/value_visitor.h"
#include "sdk/binding/value_tree_builder.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// RapidJSON's reading events into a ValueTreeBuilder, which makes each container once at its
// end. A key repeated in one object stops the parse (ValueTreeBuilder cannot replay it) and the
// text is read again through JsonValueBuilder.
class JsonTreeHandler {
 public:
  explicit JsonTreeHandler(BindingValue& root) noexcept : builder_(root) {}

  bool TooDeep() const noexcept { return tooDeep_; }
  bool NumberTooBig() const noexcept { return numberTooBig_; }
  bool KeyRepeated() const noexcept { return keyRepeated_; }
  bool Finish() { return builder_.Finish(); }

  bool Null() {
    builder_.Null();
    return true;
  }
  bool Bool(bool value) {
    builder_.Bool(value);
    return true;
  }
  bool Int(int value) {
    builder_.Signed(value);
    return true;
  }
  bool Uint(unsigned value) {
    builder_.Unsigned(value);
    return true;
  }
  bool Int64(int64_t value) {
    builder_.Signed(value);
    return true;
  }
  bool Uint64(uint64_t value) {
    builder_.Unsigned(value);
    return true;
  }
  bool Double(double value) {
    if (!std::isfinite(value)) {
      numberTooBig_ = true;
      return false;
    }
    builder_.Float(value);
    return true;
  }
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
    builder_.String(std::string_view(text, length));
    return true;
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    builder_.String(std::string_view(text, length));
    return true;
  }
  bool StartObject() {
    if (builder_.Depth() >= JsonValueBuilder::kMaxDepth) return Refuse();
    builder_.BeginStructure();
    return true;
  }
  bool Key(const char* name, rapidjson::SizeType length, bool) {
    builder_.Key(std::string_view(name, length));
    return true;
  }
  bool EndObject(rapidjson::SizeType) {
    if (builder_.EndStructure()) return true;
    keyRepeated_ = true;
    return false;
  }
  bool StartArray() {
    if (builder_.Depth() >= JsonValueBuilder::kMaxDepth) return Refuse();
    builder_.BeginCollection();
    return true;
  }
  bool EndArray(rapidjson::SizeType) {
    builder_.EndCollection();
    return true;
  }

 private:
  bool Refuse() noexcept {
    tooDeep_ = true;
    return false;
  }

  ValueTreeBuilder builder_;
  bool tooDeep_ = false;
  bool numberTooBig_ = false;
  bool keyRepeated_ = false;
};

// Full precision: every number reads as the double nearest to its text. The default path
// rounds twice and can land one ulp off, which changes a value as it is read.
constexpr unsigned kParseFlags = rapidjson::kParseFullPrecisionFlag;

// How a parse ended, kept after the handler that saw it is gone.
struct ParseEnd {
  bool failed;
  rapidjson::ParseErrorCode code;
  std::size_t offset;
  bool tooDeep;
  bool numberTooBig;
  bool keyRepeated;
};

template <class Handler>
ParseEnd Parse(const char* text, Handler& handler) {
  rapidjson::Reader reader;
  rapidjson::StringStream stream(text);
  reader.Parse<kParseFlags>(stream, handler);
  return ParseEnd{reader.HasParseError(), reader.GetParseErrorCode(), reader.GetErrorOffset(),
                  handler.TooDeep(),      handler.NumberTooBig(),     false};
}

}  // namespace

BindingResult JsonToValue(const char* text) {
  BindingResult result;
  if (text == nullptr) return result;
  const char* cursor = text;
  while (IsBlank(*cursor)) ++cursor;
  if (*cursor == '\0') return result;

  ParseEnd end;
  {
    JsonTreeHandler handler(result.Value());
    end = Parse(text, handler);
    end.keyRepeated = handler.KeyRepeated();
    if (!end.failed && !handler.Finish()) end.keyRepeated = true;
  }
  if (end.keyRepeated) {
    // Read again event by event, so that the repeated key writes into its member.
    result.Value() = BindingValue();
    JsonValueBuilder builder(result.Value());
    end = Parse(text, builder);
  }
  if (!end.failed) return result;

  // Offsets beyond 4 GiB do not occur in texts handed to the plug-in.
  auto offset = static_cast<uint32_t>(end.offset);
  const bool stopped = end.code == rapidjson::kParseErrorTermination;
  if (end.tooDeep && stopped) {
    // RapidJSON reports the offset just after the bracket that was refused.
    result.Fail(Format(JsonText::kTooDeep, offset - 1));
  } else if (end.numberTooBig && stopped) {
    // Refused as RapidJSON refuses a number whose exponent alone is too large, at the number's
    // offset: reading it as an infinity would change the value silently.
    result.Fail(Format(JsonText::kParseError, rapidjson::GetParseError_En(rapidjson::kParseErrorNumberTooBig), offset));
  } else {
    result.Fail(Format(JsonText::kParseError, rapidjson::GetParseError_En(end.code), offset));
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
