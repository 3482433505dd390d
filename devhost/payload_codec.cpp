// Reading and writing the host's payloads.
#include "devhost/payload_codec.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "sdk/api/json_codec.h"
#include "sdk/api/yaml_reader.h"
#include "sdk/binding/flat_value_conversion.h"
#include "sdk/binding/msgpack_reader.h"
#include "sdk/diag/format.h"

namespace Vela::DevHost {

using Vela::Sdk::BindingResult;
using Vela::Sdk::BindingValue;

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<PayloadFormat> PayloadFormatNamed(std::string_view name) {
  if (name == "json") return PayloadFormat::kJson;
  if (name == "yaml") return PayloadFormat::kYaml;
  if (name == "msgpack") return PayloadFormat::kMessagePack;
  return std::nullopt;
}

PayloadFormat PayloadFormatOfContentType(std::string_view contentType) {
  if (StartsWithNoCase(contentType, "application/x-msgpack")) return PayloadFormat::kMessagePack;
  if (StartsWithNoCase(contentType, "application/x-yaml") || StartsWithNoCase(contentType, "text/x-yaml")) {
    return PayloadFormat::kYaml;
  }
  return PayloadFormat::kJson;
}

BindingResult DecodePayload(PayloadFormat format, std::string_view bytes) {
  switch (format) {
    case PayloadFormat::kJson: {
      // The reader stops at a NUL, which would silently drop the rest of the input.
      std::size_t nul = bytes.find('\0');
      if (nul != std::string_view::npos) {
        BindingResult result;
        result.Fail(Vela::Sdk::Format(kJsonNulMessage, nul));
        return result;
      }
      return Vela::Sdk::JsonToValue(std::string(bytes));
    }
    case PayloadFormat::kYaml:
      return Vela::Sdk::YamlToValue(bytes);
    case PayloadFormat::kMessagePack: {
      std::size_t consumed = 0;
      BindingResult result = Vela::Sdk::DecodeMessagePack(bytes.data(), bytes.size(), &consumed);
      if (result.Ok() && consumed < bytes.size()) result.Fail(Vela::Sdk::Format(kExtraMessagePackMessage, consumed));
      return result;
    }
  }
  return BindingResult();
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
