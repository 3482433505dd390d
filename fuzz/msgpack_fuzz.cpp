// MessagePack: DecodeMessagePack over any bytes.
//
// Properties:
// - The consumed count never goes beyond the input.
// - The value depends only on the bytes consumed: decoding just those gives the same value and
//   count.
// - A decoded value written as JSON reads back equal, except where the JSON writer's documented
//   choices change it: a blob is written as its Base64 text (it reads back as that String), a
//   float that is not finite as null (it reads back Empty), and integers carry no signedness in
//   JSON text (a positive fixint decodes Signed and reads back Unsigned: compared by value).
#include <span>
#include <string>

#include "fuzz/fuzz_check.h"
#include "sdk/api/json_codec.h"
#include "sdk/binding/base64.h"
#include "sdk/binding/binding_value.h"
#include "sdk/binding/msgpack_reader.h"

namespace Vela::Fuzz {
namespace {

// The value as the JSON writer's choices leave it: blobs become their Base64 text.
void BlobsAsText(Sdk::BindingValue& value) {
  switch (value.Kind()) {
    case Sdk::ValueKind::Blob: {
      std::span<const uint8_t> bytes = value.GetBlob();
      std::string text;
      Sdk::AppendBase64(bytes, text);
      value.SetString(text);
      return;
    }
    case Sdk::ValueKind::Collection:
      for (Sdk::BindingValue& element : value.Elements()) BlobsAsText(element);
      return;
    case Sdk::ValueKind::Structure: {
      std::vector<std::string> names;
      for (auto [name, member] : value.Members()) names.emplace_back(name);
      for (const std::string& name : names) BlobsAsText(value.MemberForWriting(name));
      return;
    }
    default: return;
  }
}

}  // namespace

int CheckOne(const uint8_t* data, std::size_t size) {
  std::size_t consumed = 0;
  Sdk::BindingResult read = Sdk::DecodeMessagePack(data, size, &consumed);
  Require(consumed <= size, "MessagePack consumes no more than the input",
          std::to_string(consumed) + " of " + std::to_string(size));
  if (!read.Ok()) return 0;

  std::size_t consumedAgain = 0;
  Sdk::BindingResult prefix = Sdk::DecodeMessagePack(data, consumed, &consumedAgain);
  Require(prefix.Ok() && consumedAgain == consumed && SameValue(read.Value(), prefix.Value()),
          "MessagePack decodes the same from the consumed bytes alone",
          "whole " + Describe(read.Value()) + "\n  consumed bytes " + Describe(prefix.Value()));

  Sdk::BindingValue expected = read.Value();
  BlobsAsText(expected);
  std::string written = Sdk::ValueToJson(read.Value());
  Sdk::BindingResult again = Sdk::JsonToValue(written);
  Require(again.Ok(), "a MessagePack value written as JSON reads back", std::string(again.ErrorText()));
  Require(SameValue(expected, again.Value(), {.nonFiniteAsNull = true, .integersByValue = true}),
          "a MessagePack value written as JSON reads back equal",
          "decoded " + Describe(read.Value()) + "\n  read back " + Describe(again.Value()));
  return 0;
}

}  // namespace Vela::Fuzz
