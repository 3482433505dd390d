// Reading and writing the host's payloads.
#include "devhost/payload_codec.h"

#include "sdk/api/content_decoding.h"
#include "sdk/api/json_codec.h"
#include "sdk/binding/flat_value_conversion.h"
#include "sdk/diag/format.h"

namespace Vela::DevHost {

using Vela::Sdk::BindingResult;
using Vela::Sdk::BindingValue;

std::optional<PayloadFormat> PayloadFormatNamed(std::string_view name) {
  if (name == "json") return PayloadFormat::kJson;
  if (name == "yaml") return PayloadFormat::kYaml;
  if (name == "msgpack") return PayloadFormat::kMessagePack;
  return std::nullopt;
}

PayloadFormat PayloadFormatOfContentType(std::string_view contentType) {
  // What a body or a parameter text may carry, so that both YAML types count.
  for (Vela::Sdk::ContentPlace place : {Vela::Sdk::ContentPlace::kBody, Vela::Sdk::ContentPlace::kParameter}) {
    switch (Vela::Sdk::ContentReaderOf(contentType, place)) {
      case Vela::Sdk::ContentReader::kMessagePack: return PayloadFormat::kMessagePack;
      case Vela::Sdk::ContentReader::kYaml: return PayloadFormat::kYaml;
      default: break;
    }
  }
  return PayloadFormat::kJson;
}

BindingResult DecodePayload(PayloadFormat format, std::string_view bytes) {
  Vela::Sdk::ContentReader reader = Vela::Sdk::ContentReader::kJson;
  if (format == PayloadFormat::kJson) {
    // The reader stops at a NUL, which would silently drop the rest of the input.
    std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) {
      BindingResult result;
      result.Fail(Vela::Sdk::Format(PayloadText::kJsonNul, nul));
      return result;
    }
  } else {
    reader = format == PayloadFormat::kYaml ? Vela::Sdk::ContentReader::kYaml : Vela::Sdk::ContentReader::kMessagePack;
  }
  std::size_t consumed = 0;
  BindingResult result = Vela::Sdk::DecodeContent(reader, bytes, &consumed);
  if (result.Ok() && consumed < bytes.size()) result.Fail(Vela::Sdk::Format(PayloadText::kExtraMessagePack, consumed));
  return result;
}

std::string ToJson(const BindingValue& value) {
  if (value.IsEmpty()) return "null";
  return Vela::Sdk::ValueToJson(value);
}

BindingValue FlatToBinding(const Vela::Sdk::FlatValue& value) {
  BindingResult result;
  Vela::Sdk::FlatToValue(value, "<value>", result);
  if (!result.Ok()) return BindingValue();
  return std::move(result.Value());
}

std::string FlatToJson(const Vela::Sdk::FlatValue& value) { return ToJson(FlatToBinding(value)); }

Vela::Sdk::FlatValue BindingToFlat(const BindingValue& value) {
  Vela::Sdk::FlatValue flat{};
  if (!Vela::Sdk::ValueToFlat(value, &flat, nullptr)) return Vela::Sdk::FlatValue{};
  return flat;
}

std::string JsonQuoted(std::string_view text) { return Vela::Sdk::ValueToJson(BindingValue(text)); }

}  // namespace Vela::DevHost
