// Payloads as the developer host reads and shows them: JSON, YAML or MessagePack in, through the
// SDK's readers; compact JSON out, through the SDK's writer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sdk/binding/binding_result.h"
#include "sdk/binding/binding_value.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::DevHost {

enum class PayloadFormat { kJson, kYaml, kMessagePack };

/// "json", "yaml" or "msgpack"; empty for any other name.
std::optional<PayloadFormat> PayloadFormatNamed(std::string_view name);
/// By content type, case-insensitively by prefix: MessagePack types, the YAML types, and JSON for
/// everything else (an absent content type included).
PayloadFormat PayloadFormatOfContentType(std::string_view contentType);

/// What the host refuses in a payload that the SDK's readers would take.
namespace PayloadText {
/// %1 the offset of the NUL byte.
inline constexpr char kJsonNul[] = "Error: Unexpected NUL character at offset %1.";
/// %1 how many bytes the value took.
inline constexpr char kExtraMessagePack[] = "Extra MessagePack data at position %1.";
}  // namespace PayloadText

/// Decodes `bytes` as one value. JSON text must not hold a NUL byte, and MessagePack must end with
/// its value; everything else fails with the reader's own message.
[[nodiscard]] Vela::Sdk::BindingResult DecodePayload(PayloadFormat format, std::string_view bytes);

/// Compact JSON; an Empty value gives "null" so that every output is a JSON document.
std::string ToJson(const Vela::Sdk::BindingValue& value);
/// A host value as compact JSON; a value the SDK refuses to read gives "null".
std::string FlatToJson(const Vela::Sdk::FlatValue& value);
/// A host value as a generic value; Empty when the SDK refuses it.
Vela::Sdk::BindingValue FlatToBinding(const Vela::Sdk::FlatValue& value);
/// A generic value as a host value of the host's allocator; kind 0 when it has no host form.
Vela::Sdk::FlatValue BindingToFlat(const Vela::Sdk::BindingValue& value);

/// A JSON string literal of `text`.
std::string JsonQuoted(std::string_view text);

}  // namespace Vela::DevHost
