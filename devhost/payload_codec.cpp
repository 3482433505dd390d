// Reading and writing the host's payloads.
#include "devhost/payload_codec.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "sdk/api/content_decoding.h"
#include "sdk/api/json_codec.h"
#include "sdk/binding/base64.h"
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

std::string FlatToJson(const Vela::Sdk::FlatValue& value) {
  FlatJsonWriter writer;
  return writer.Write(value) ? std::string(writer.Text()) : std::string("null");
}

namespace {

bool Malformed(const Vela::Sdk::FlatValue& value) {
  return value.payload.ref.count > Vela::Sdk::kMaxFlatCount ||
         (value.payload.ref.data == nullptr && value.payload.ref.count != 0);
}

// Whether the SDK's reader takes the value; for members that a later one of the same name
// replaces, which it reads all the same.
bool Readable(const Vela::Sdk::FlatValue& value, std::size_t depth) {
  switch (value.kind) {
    case Vela::Sdk::kFlatEmpty:
    case Vela::Sdk::kFlatBool:
    case Vela::Sdk::kFlatSigned:
    case Vela::Sdk::kFlatUnsigned:
    case Vela::Sdk::kFlatFloat: return true;
    case Vela::Sdk::kFlatStringBorrowed:
    case Vela::Sdk::kFlatStringOwned:
    case Vela::Sdk::kFlatBlobBorrowed:
    case Vela::Sdk::kFlatBlobOwned: return !Malformed(value);
    case Vela::Sdk::kFlatCollection:
    case Vela::Sdk::kFlatStructure: {
      if (Malformed(value) || depth >= Vela::Sdk::kMaxFlatDepth) return false;
      for (uint32_t i = 0; i < value.payload.ref.count; ++i) {
        if (value.kind == Vela::Sdk::kFlatCollection) {
          if (!Readable(static_cast<const Vela::Sdk::FlatValue*>(value.payload.ref.data)[i], depth + 1)) return false;
        } else {
          const auto& member = static_cast<const Vela::Sdk::FlatMember*>(value.payload.ref.data)[i];
          if (member.name == nullptr || !Readable(member.value, depth + 1)) return false;
        }
      }
      return true;
    }
    default: return false;
  }
}

}  // namespace

bool FlatJsonWriter::Write(const Vela::Sdk::FlatValue& value) { return Value(value, 0); }

bool FlatJsonWriter::WriteStructureWith(const Vela::Sdk::FlatValue& structure, std::string_view name,
                                        std::string_view text) {
  if (structure.kind != Vela::Sdk::kFlatStructure) return false;
  addedText_ = text;
  Member added{name, nullptr};
  return Structure(structure, 0, &added);
}

void FlatJsonWriter::Grow(std::size_t size) {
  constexpr std::size_t kFirstSize = 4096;
  out_.resize(std::max({out_.size() * 2, used_ + size, kFirstSize}));
}

// The SDK's writer escapes the quote, the backslash and the control characters, these with
// their short forms where JSON has one, and copies every other byte as it is.
void FlatJsonWriter::String(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr auto kEscaped = [] {
    std::array<bool, 256> escaped{};
    for (int c = 0; c < 0x20; ++c) escaped[static_cast<std::size_t>(c)] = true;
    escaped['"'] = escaped['\\'] = true;
    return escaped;
  }();
  char* const start = Room(text.size() * 6 + 2);
  char* out = start;
  *out++ = '"';
  for (char byte : text) {
    auto c = static_cast<unsigned char>(byte);
    if (!kEscaped[c]) {
      *out++ = byte;
      continue;
    }
    *out++ = '\\';
    switch (c) {
      case '"': *out++ = '"'; break;
      case '\\': *out++ = '\\'; break;
      case '\b': *out++ = 'b'; break;
      case '\t': *out++ = 't'; break;
      case '\n': *out++ = 'n'; break;
      case '\f': *out++ = 'f'; break;
      case '\r': *out++ = 'r'; break;
      default:
        *out++ = 'u';
        *out++ = '0';
        *out++ = '0';
        *out++ = kHex[c >> 4];
        *out++ = kHex[c & 0xF];
    }
  }
  *out++ = '"';
  used_ += static_cast<std::size_t>(out - start);
}

bool FlatJsonWriter::Value(const Vela::Sdk::FlatValue& value, std::size_t depth) {
  const void* data = value.payload.ref.data;
  uint32_t count = value.payload.ref.count;
  constexpr std::size_t kDigits = 24;
  switch (value.kind) {
    case Vela::Sdk::kFlatEmpty: Put("null"); return true;
    case Vela::Sdk::kFlatBool: Put(value.payload.boolean != 0 ? "true" : "false"); return true;
    case Vela::Sdk::kFlatSigned: {
      char* digits = Room(kDigits);
      used_ += static_cast<std::size_t>(std::to_chars(digits, digits + kDigits, value.payload.i64).ptr - digits);
      return true;
    }
    case Vela::Sdk::kFlatUnsigned: {
      char* digits = Room(kDigits);
      used_ += static_cast<std::size_t>(std::to_chars(digits, digits + kDigits, value.payload.u64).ptr - digits);
      return true;
    }
    case Vela::Sdk::kFlatFloat: {
      // Rare in payloads; the SDK's writer knows its own shortest form.
      Vela::Sdk::BindingValue number;
      number.SetFloat(value.payload.f64);
      Put(Vela::Sdk::ValueToJson(number));
      return true;
    }
    case Vela::Sdk::kFlatStringBorrowed:
    case Vela::Sdk::kFlatStringOwned: {
      if (Malformed(value)) return false;
      std::string_view text(static_cast<const char*>(data), count);
      const void* zero = count == 0 ? nullptr : std::memchr(data, '\0', count);
      if (zero != nullptr)
        text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()));
      String(text);
      return true;
    }
    case Vela::Sdk::kFlatBlobBorrowed:
    case Vela::Sdk::kFlatBlobOwned:
      if (Malformed(value)) return false;
      scratch_.clear();
      Vela::Sdk::AppendBase64(std::span<const uint8_t>(static_cast<const uint8_t*>(data), count), scratch_);
      String(scratch_);
      return true;
    case Vela::Sdk::kFlatCollection: {
      if (Malformed(value) || depth >= Vela::Sdk::kMaxFlatDepth) return false;
      const auto* elements = static_cast<const Vela::Sdk::FlatValue*>(data);
      Put("[");
      for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) Put(",");
        if (!Value(elements[i], depth + 1)) return false;
      }
      Put("]");
      return true;
    }
    case Vela::Sdk::kFlatStructure: return Structure(value, depth, nullptr);
    default: return false;
  }
}

bool FlatJsonWriter::Structure(const Vela::Sdk::FlatValue& value, std::size_t depth, const Member* added) {
  if (Malformed(value) || depth >= Vela::Sdk::kMaxFlatDepth) return false;
  const auto* members = static_cast<const Vela::Sdk::FlatMember*>(value.payload.ref.data);
  const std::size_t first = members_.size();
  for (uint32_t i = 0; i < value.payload.ref.count; ++i) {
    if (members[i].name == nullptr) return false;
    members_.push_back({members[i].name, &members[i].value});
  }
  if (added != nullptr) members_.push_back(*added);
  // Name order, and of equal names the last, as the generic value keeps them; the added member
  // comes last and so wins. Records have a handful of members, which an insertion sort orders
  // without the buffer that a stable sort allocates.
  auto byName = [](const Member& a, const Member& b) { return a.name < b.name; };
  if (members_.size() - first > 16) {
    std::stable_sort(members_.begin() + static_cast<std::ptrdiff_t>(first), members_.end(), byName);
  } else {
    for (std::size_t i = first + 1; i < members_.size(); ++i) {
      Member moving = members_[i];
      std::size_t j = i;
      for (; j > first && byName(moving, members_[j - 1]); --j) members_[j] = members_[j - 1];
      members_[j] = moving;
    }
  }
  std::size_t kept = first;
  for (std::size_t i = first; i < members_.size(); ++i) {
    if (kept > first && members_[kept - 1].name == members_[i].name) {
      const Vela::Sdk::FlatValue* replaced = members_[--kept].value;
      if (replaced != nullptr && !Readable(*replaced, depth + 1)) return false;
    }
    members_[kept++] = members_[i];
  }
  members_.resize(kept);
  Put("{");
  // By index: the members of nested structures are pushed behind these and may move them.
  for (std::size_t i = first; i < kept; ++i) {
    Member member = members_[i];
    if (i > first) Put(",");
    String(member.name);
    Put(":");
    if (member.value == nullptr) {
      String(addedText_);
    } else if (!Value(*member.value, depth + 1)) {
      return false;
    }
  }
  Put("}");
  members_.resize(first);
  return true;
}

Vela::Sdk::FlatValue BindingToFlat(const BindingValue& value) {
  Vela::Sdk::FlatValue flat{};
  if (!Vela::Sdk::ValueToFlat(value, &flat, nullptr)) return Vela::Sdk::FlatValue{};
  return flat;
}

std::string JsonQuoted(std::string_view text) { return Vela::Sdk::ValueToJson(BindingValue(text)); }

}  // namespace Vela::DevHost
