// Payloads as the developer host reads and shows them: JSON, YAML or MessagePack in, through the
// SDK's readers; compact JSON out, through the SDK's writer.
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

/// Writes a host value as compact JSON in one walk, the same text that reading it with the SDK
/// (members in name order, the last of equal names, texts up to a NUL) and writing the result
/// with the SDK's writer gives, without the generic value in between: the plug-in's pushed lists
/// can be long, and a fired event is written for every change of them.
class FlatJsonWriter {
 public:
  /// False, with the text unusable, for a value the SDK would refuse.
  bool Write(const Vela::Sdk::FlatValue& value);
  /// A structure written with one more member, a text, that replaces a member of that name.
  bool WriteStructureWith(const Vela::Sdk::FlatValue& structure, std::string_view name, std::string_view text);
  std::string_view Text() const { return {out_.data(), used_}; }

 private:
  struct Member {
    std::string_view name;
    const Vela::Sdk::FlatValue* value;  // null for the added text
  };
  bool Value(const Vela::Sdk::FlatValue& value, std::size_t depth);
  bool Structure(const Vela::Sdk::FlatValue& value, std::size_t depth, const Member* added);
  void String(std::string_view text);
  /// Room for `size` more bytes at the end of what is written.
  char* Room(std::size_t size) {
    if (out_.size() - used_ < size) Grow(size);
    return out_.data() + used_;
  }
  void Grow(std::size_t size);
  void Put(std::string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size());
    used_ += text.size();
  }

  // Written into a buffer that grows by doubling and is only cut to length when read: a long
  // list is some hundred thousand small writes.
  std::string out_;
  std::size_t used_ = 0;
  std::string_view addedText_;
  /// Members of the open structures, innermost last, reused from one structure to the next.
  std::vector<Member> members_;
  std::string scratch_;
};

/// A host value as a generic value; Empty when the SDK refuses it.
Vela::Sdk::BindingValue FlatToBinding(const Vela::Sdk::FlatValue& value);
/// A generic value as a host value of the host's allocator; kind 0 when it has no host form.
Vela::Sdk::FlatValue BindingToFlat(const Vela::Sdk::BindingValue& value);

/// A JSON string literal of `text`.
std::string JsonQuoted(std::string_view text);

}  // namespace Vela::DevHost
