// JSON text to BindingValue and back: RapidJSON's reader driving JsonTreeHandler (or, for a text
// that repeats a key in one object, JsonValueBuilder), and RapidJSON's writers driven by a walk
// over the tree that keeps its own stack (JsonValueWriter, the visitor, writes alike, one
// virtual call a node slower).
#include "sdk/api/json_codec.h"

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

#include "sdk/api/json_value_builder.h"
#include "sdk/api/json_write_rules.h"
#include "sdk/binding/enum_name_resolver.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

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

// Writes one scalar, or opens a container and pushes it; what has no JSON form of its own is
// written as JsonWriteRules says.
template <class Writer>
void WriteNode(const BindingValue& value, Writer& writer, const EnumNameResolver* enumResolver,
               std::vector<OpenContainer>& open, std::string& scratch) {
  switch (value.Kind()) {
    case ValueKind::Bool: writer.Bool(value.GetBool()); return;
    case ValueKind::Signed: writer.Int64(value.GetSigned()); return;
    case ValueKind::Unsigned: writer.Uint64(value.GetUnsigned()); return;
    case ValueKind::Float: JsonWriteRules::Float(writer, value.GetFloat()); return;
    case ValueKind::String: JsonWriteRules::Text(writer, value.GetString()); return;
    case ValueKind::Blob: JsonWriteRules::Blob(writer, value.GetBlob(), scratch); return;
    case ValueKind::Enum: {
      EnumPayload payload = value.GetEnum();
      JsonWriteRules::Enum(writer, payload.value, payload.typeId, enumResolver);
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
  writer.SetMaxDecimalPlaces(JsonWriteRules::kMaxDecimalPlaces);
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
