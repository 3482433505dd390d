// JSON text to BindingValue and back: RapidJSON's reader driving a
// ValueTreeBuilder (or, for a text that repeats a key in one object,
// JsonValueBuilder), and RapidJSON's writers driven by a walk over the tree.
#include "sdk/api/json_codec.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "sdk/api/json_number.h"
#include "sdk/api/json_value_builder.h"
#include "sdk/binding/base64.h"
#include "sdk/binding/enum_name_resolver.h"
#include "sdk/binding/value_tree_builder.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// RapidJSON's reading events into a ValueTreeBuilder, which makes each
// container once at its end. A key repeated in one object stops the parse
// (ValueTreeBuilder cannot replay it) and the text is read again through
// JsonValueBuilder.
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
  // Numbers arrive as their texts (see Parse) and are read as JsonValueBuilder reads them.
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
    JsonNumber number;
    if (!ReadJsonNumber(std::string_view(text, length), number)) {
      numberTooBig_ = true;
      return false;
    }
    if (number.kind == ValueKind::Unsigned) {
      builder_.Unsigned(number.unsignedValue);
    } else if (number.kind == ValueKind::Signed) {
      builder_.Signed(number.signedValue);
    } else {
      builder_.Float(number.floatValue);
    }
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

// How a parse ended, kept after the handler that saw it is gone.
struct ParseEnd {
  bool failed;
  rapidjson::ParseErrorCode code;
  std::size_t offset;
  bool tooDeep;
  bool numberTooBig;
  bool keyRepeated;
};

// Parsed in place in a copy of its own (a second reading needs the text as it was): strings are
// decoded where they stand and numbers handed over as their texts, which the handler reads into
// the double nearest to each, and neither is copied through the reader's stack first.
template <class Handler>
ParseEnd Parse(const char* text, Handler& handler) {
  std::string buffer(text);
  rapidjson::Reader reader;
  rapidjson::InsituStringStream stream(buffer.data());
  reader.Parse<rapidjson::kParseInsituFlag | rapidjson::kParseNumbersAsStringsFlag>(stream, handler);
  return ParseEnd{reader.HasParseError(), reader.GetParseErrorCode(), reader.GetErrorOffset(),
                  handler.TooDeep(),      handler.NumberTooBig(),     false};
}

// ---- Writing ----

// An open container of the walk: the elements or members still to write.
struct OpenContainer {
  const BindingValue* nextElement;
  const BindingValue* endElement;
  BindingValue::MemberIterator nextMember;
  BindingValue::MemberIterator endMember;
  bool structure;
};

// Writes one scalar, or opens a container and pushes it. Blobs become Base64
// strings, enums their enumerator's name when the resolver knows it and their
// number otherwise, and a NaN or infinite float null, since JSON has no literal
// for it and leaving it out would break the text.
template <class Writer>
void WriteNode(const BindingValue& value, Writer& writer, const EnumNameResolver* enumResolver,
               std::vector<OpenContainer>& open, std::string& scratch) {
  switch (value.Kind()) {
    case ValueKind::Bool: writer.Bool(value.GetBool()); return;
    case ValueKind::Signed: writer.Int64(value.GetSigned()); return;
    case ValueKind::Unsigned: writer.Uint64(value.GetUnsigned()); return;
    case ValueKind::Float: {
      double number = value.GetFloat();
      if (std::isfinite(number)) {
        writer.Double(number);
      } else {
        writer.Null();
      }
      return;
    }
    case ValueKind::String: {
      std::string_view text = value.GetString();
      writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
      return;
    }
    case ValueKind::Blob: {
      scratch.clear();
      AppendBase64(value.GetBlob(), scratch);
      writer.String(scratch.data(), static_cast<rapidjson::SizeType>(scratch.size()));
      return;
    }
    case ValueKind::Enum: {
      EnumPayload payload = value.GetEnum();
      const char* name =
          enumResolver != nullptr ? enumResolver->EnumeratorName(payload.typeId, payload.value) : nullptr;
      if (name != nullptr) {
        writer.String(name);
      } else {
        writer.Int(payload.value);
      }
      return;
    }
    case ValueKind::Collection: {
      writer.StartArray();
      std::span<const BindingValue> elements = value.Elements();
      open.push_back({elements.data(), elements.data() + elements.size(), {}, {}, false});
      return;
    }
    case ValueKind::Structure: {
      writer.StartObject();
      BindingValue::MemberRange members = value.Members();
      open.push_back({nullptr, nullptr, members.begin(), members.end(), true});
      return;
    }
    case ValueKind::Empty:
    default: writer.Null(); return;
  }
}

// The walk keeps its own stack, so that any tree a reader accepted can be
// written.
template <class Writer>
void WriteTree(const BindingValue& root, Writer& writer, const EnumNameResolver* enumResolver) {
  // Doubles are written with every digit their shortest form needs.
  writer.SetMaxDecimalPlaces(324);
  std::vector<OpenContainer> open;
  std::string scratch;  // Base64 text of the blob being written
  WriteNode(root, writer, enumResolver, open, scratch);
  while (!open.empty()) {
    OpenContainer& top = open.back();
    const BindingValue* next = nullptr;
    if (!top.structure) {
      if (top.nextElement != top.endElement) next = top.nextElement++;
    } else if (!(top.nextMember == top.endMember)) {
      BindingValue::MemberEntry member = *top.nextMember;
      ++top.nextMember;
      writer.Key(member.name.data(), static_cast<rapidjson::SizeType>(member.name.size()));
      next = &member.value;
    }
    if (next != nullptr) {
      WriteNode(*next, writer, enumResolver, open, scratch);  // may move `top`
      continue;
    }
    if (top.structure) {
      writer.EndObject();
    } else {
      writer.EndArray();
    }
    open.pop_back();
  }
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
    // Read again event by event, so that the repeated key writes into its
    // member.
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
    // Refused as RapidJSON refuses a number whose exponent alone is too large,
    // at the number's offset: reading it as an infinity would change the value
    // silently.
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
  rapidjson::StringBuffer buffer;
  if (indented) {
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    writer.SetIndent(' ', 4);
    WriteTree(value, writer, enumResolver);
  } else {
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    WriteTree(value, writer, enumResolver);
  }
  std::string_view written(buffer.GetString(), buffer.GetSize());
  if (!indented || std::strcmp(newline, "\n") == 0) return std::string(written);

  // String contents never hold a raw line feed (the writer escapes it), so
  // every one is a break.
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
