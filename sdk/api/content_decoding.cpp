// Choosing and calling the reader of a body or parameter text.
#include "sdk/api/content_decoding.h"

#include <span>
#include <string>

#include "sdk/api/json_codec.h"
#include "sdk/api/yaml_reader.h"
#include "sdk/binding/msgpack_reader.h"
#include "sdk/diag/ascii.h"

namespace Vela::Sdk {
namespace {

constexpr std::string_view kMessagePackType = "application/x-msgpack";  // also "application/x-msgpack-ext"
constexpr std::string_view kJsonType = "application/json";
constexpr std::string_view kJsonApiType = "application/vnd.api+json";
constexpr std::string_view kYamlBodyType = "application/x-yaml";
constexpr std::string_view kYamlParameterType = "text/x-yaml";
constexpr std::string_view kOctetStreamType = "application/octet-stream";

constexpr bool IsJsonBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view SkipBlanks(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && IsJsonBlank(text[i])) ++i;
  return text.substr(i);
}

}  // namespace

ContentReader ContentReaderOf(std::string_view contentType, ContentPlace place) noexcept {
  if (StartsWithNoCase(contentType, kMessagePackType)) return ContentReader::kMessagePack;
  if (StartsWithNoCase(contentType, kJsonType)) return ContentReader::kJson;
  if (place == ContentPlace::kBody) {
    if (StartsWithNoCase(contentType, kJsonApiType)) return ContentReader::kJson;
    if (StartsWithNoCase(contentType, kYamlBodyType)) return ContentReader::kYaml;
  } else {
    if (StartsWithNoCase(contentType, kYamlParameterType)) return ContentReader::kYaml;
    if (StartsWithNoCase(contentType, kOctetStreamType)) return ContentReader::kBlob;
  }
  return ContentReader::kNone;
}

ContentReader ContentReaderOfText(std::string_view text) noexcept {
  if (LooksLikeMessagePack(text.data(), text.size())) return ContentReader::kMessagePack;
  const std::string_view rest = SkipBlanks(text);
  if (!rest.empty() && (rest[0] == '{' || rest[0] == '[')) return ContentReader::kJson;
  if (rest.starts_with("---")) return ContentReader::kYaml;
  return ContentReader::kNone;
}

BindingResult DecodeContent(ContentReader reader, std::string_view bytes, std::size_t* consumed) {
  if (consumed != nullptr) *consumed = bytes.size();
  switch (reader) {
    case ContentReader::kMessagePack: return DecodeMessagePack(bytes.data(), bytes.size(), consumed);
    case ContentReader::kJson: return JsonToValue(std::string(bytes));
    case ContentReader::kYaml: return YamlToValue(bytes);
    case ContentReader::kBlob: {
      BindingResult result;
      result.Value().SetBlob(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
      return result;
    }
    case ContentReader::kNone: break;
  }
  BindingResult result;
  result.Value().SetString(bytes);
  return result;
}

}  // namespace Vela::Sdk
