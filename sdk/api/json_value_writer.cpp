// JsonValueWriter: visitor operations mapped onto RapidJSON's writers.
#include "sdk/api/json_value_writer.h"

#include "sdk/api/json_write_rules.h"

namespace Vela::Sdk {

JsonValueWriter::JsonValueWriter(const EnumNameResolver* enumResolver, bool indented)
    : compact_(buffer_), pretty_(buffer_), enumResolver_(enumResolver), indented_(indented) {
  compact_.SetMaxDecimalPlaces(JsonWriteRules::kMaxDecimalPlaces);
  pretty_.SetMaxDecimalPlaces(JsonWriteRules::kMaxDecimalPlaces);
  pretty_.SetIndent(' ', 4);
}

JsonValueWriter::~JsonValueWriter() = default;

void JsonValueWriter::Null() {
  Write([](auto& writer) { writer.Null(); });
}

void JsonValueWriter::Bool(bool value) {
  Write([value](auto& writer) { writer.Bool(value); });
}

void JsonValueWriter::Signed(int64_t value) {
  Write([value](auto& writer) { writer.Int64(value); });
}

void JsonValueWriter::Unsigned(uint64_t value) {
  Write([value](auto& writer) { writer.Uint64(value); });
}

void JsonValueWriter::Float(double value) {
  Write([value](auto& writer) { JsonWriteRules::Float(writer, value); });
}

void JsonValueWriter::String(std::string_view text) {
  Write([text](auto& writer) { JsonWriteRules::Text(writer, text); });
}

void JsonValueWriter::Blob(const uint8_t* bytes, std::size_t size) {
  Write([&](auto& writer) { JsonWriteRules::Blob(writer, std::span<const uint8_t>(bytes, size), scratch_); });
}

void JsonValueWriter::Enum(int32_t value, uint32_t enumType) {
  Write([&](auto& writer) { JsonWriteRules::Enum(writer, value, enumType, enumResolver_); });
}

void JsonValueWriter::BeginCollection(std::size_t) {
  Write([](auto& writer) { writer.StartArray(); });
}

void JsonValueWriter::EndCollection() {
  Write([](auto& writer) { writer.EndArray(); });
}

void JsonValueWriter::BeginStructure(std::size_t) {
  Write([](auto& writer) { writer.StartObject(); });
}

void JsonValueWriter::BeginMember(std::string_view name) {
  Write([name](auto& writer) { writer.Key(name.data(), static_cast<rapidjson::SizeType>(name.size())); });
}

void JsonValueWriter::EndStructure() {
  Write([](auto& writer) { writer.EndObject(); });
}

}  // namespace Vela::Sdk
