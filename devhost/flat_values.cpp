// Host-side FlatValues.
#include "devhost/flat_values.h"

#include <cstdio>
#include <cstring>

#include "sdk/host/abi/allocation.h"

namespace Vela::DevHost {

using Vela::Sdk::FlatMember;

OwnedFlatValue::OwnedFlatValue(OwnedFlatValue&& other) noexcept : value_(other.value_) { other.value_ = FlatValue{}; }

OwnedFlatValue& OwnedFlatValue::operator=(OwnedFlatValue&& other) noexcept {
  if (this != &other) {
    Vela::Sdk::ReleaseFlatValue(&value_);
    value_ = other.value_;
    other.value_ = FlatValue{};
  }
  return *this;
}

OwnedFlatValue::~OwnedFlatValue() { Vela::Sdk::ReleaseFlatValue(&value_); }

OwnedFlatValue OwnedFlatValue::Copy() const { return OwnedFlatValue(CopyFlatValue(value_)); }

namespace {

FlatValue Reference(int32_t kind, void* data, uint32_t count) {
  FlatValue value{};
  value.kind = kind;
  value.payload.ref.data = data;
  value.payload.ref.count = count;
  return value;
}

void* CopyBytes(const void* data, uint32_t count) {
  void* copy = Vela::Sdk::Allocate(count);
  if (copy != nullptr && count != 0) std::memcpy(copy, data, count);
  return copy;
}

}  // namespace

FlatValue CopyFlatValue(const FlatValue& value) {
  const void* data = value.payload.ref.data;
  uint32_t count = value.payload.ref.count;
  switch (value.kind) {
    case Vela::Sdk::kFlatStringBorrowed:
    case Vela::Sdk::kFlatStringOwned:
      return Reference(Vela::Sdk::kFlatStringOwned,
                       Vela::Sdk::DuplicateText(data == nullptr ? "" : static_cast<const char*>(data), count), count);
    case Vela::Sdk::kFlatBlobBorrowed:
    case Vela::Sdk::kFlatBlobOwned: return Reference(Vela::Sdk::kFlatBlobOwned, CopyBytes(data, count), count);
    case Vela::Sdk::kFlatCollection: {
      auto* elements = static_cast<FlatValue*>(Vela::Sdk::Allocate(sizeof(FlatValue) * count));
      for (uint32_t i = 0; i < count; ++i) elements[i] = CopyFlatValue(static_cast<const FlatValue*>(data)[i]);
      return Reference(Vela::Sdk::kFlatCollection, elements, count);
    }
    case Vela::Sdk::kFlatStructure: {
      auto* members = static_cast<FlatMember*>(Vela::Sdk::Allocate(sizeof(FlatMember) * count));
      for (uint32_t i = 0; i < count; ++i) {
        const FlatMember& from = static_cast<const FlatMember*>(data)[i];
        members[i].name = Vela::Sdk::DuplicateText(from.name == nullptr ? "" : from.name);
        members[i].value = CopyFlatValue(from.value);
        members[i].ownsName = 1;
      }
      return Reference(Vela::Sdk::kFlatStructure, members, count);
    }
    default: return value;
  }
}

FlatValue FlatBool(bool value) {
  FlatValue flat{};
  flat.kind = Vela::Sdk::kFlatBool;
  flat.payload.boolean = value ? 1 : 0;
  return flat;
}

FlatValue FlatSigned(int64_t value) {
  FlatValue flat{};
  flat.kind = Vela::Sdk::kFlatSigned;
  flat.payload.i64 = value;
  return flat;
}

FlatValue FlatUnsigned(uint64_t value) {
  FlatValue flat{};
  flat.kind = Vela::Sdk::kFlatUnsigned;
  flat.payload.u64 = value;
  return flat;
}

FlatValue FlatFloat(double value) {
  FlatValue flat{};
  flat.kind = Vela::Sdk::kFlatFloat;
  flat.payload.f64 = value;
  return flat;
}

FlatValue FlatText(std::string_view text) {
  return Reference(Vela::Sdk::kFlatStringOwned, Vela::Sdk::DuplicateText(text.data(), text.size()),
                   static_cast<uint32_t>(text.size()));
}

FlatValue FlatCollection(std::vector<FlatValue> elements) {
  auto count = static_cast<uint32_t>(elements.size());
  auto* array = static_cast<FlatValue*>(Vela::Sdk::Allocate(sizeof(FlatValue) * count));
  for (uint32_t i = 0; i < count; ++i) array[i] = elements[i];
  return Reference(Vela::Sdk::kFlatCollection, array, count);
}

FlatValue FlatStructure(std::vector<std::pair<std::string, FlatValue>> members) {
  auto count = static_cast<uint32_t>(members.size());
  auto* array = static_cast<FlatMember*>(Vela::Sdk::Allocate(sizeof(FlatMember) * count));
  for (uint32_t i = 0; i < count; ++i) {
    array[i].name = Vela::Sdk::DuplicateText(members[i].first.c_str());
    array[i].value = members[i].second;
    array[i].ownsName = 1;
  }
  return Reference(Vela::Sdk::kFlatStructure, array, count);
}

namespace {

void AppendQuoted(std::string& out, const char* text, std::size_t length) {
  out += '"';
  for (std::size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  out += '"';
}

void AppendText(std::string& out, const FlatValue& value) {
  const void* data = value.payload.ref.data;
  uint32_t count = value.payload.ref.count;
  switch (value.kind) {
    case Vela::Sdk::kFlatBool: out += value.payload.boolean != 0 ? "true" : "false"; break;
    case Vela::Sdk::kFlatSigned: out += std::to_string(value.payload.i64); break;
    case Vela::Sdk::kFlatUnsigned: out += std::to_string(value.payload.u64); break;
    case Vela::Sdk::kFlatFloat: {
      char number[32];
      std::snprintf(number, sizeof number, "%.17g", value.payload.f64);
      out += number;
      break;
    }
    case Vela::Sdk::kFlatStringBorrowed:
    case Vela::Sdk::kFlatStringOwned:
      AppendQuoted(out, data == nullptr ? "" : static_cast<const char*>(data), data == nullptr ? 0 : count);
      break;
    case Vela::Sdk::kFlatBlobBorrowed:
    case Vela::Sdk::kFlatBlobOwned: out += "<blob " + std::to_string(count) + ">"; break;
    case Vela::Sdk::kFlatCollection:
      out += '[';
      for (uint32_t i = 0; data != nullptr && i < count; ++i) {
        if (i != 0) out += ',';
        AppendText(out, static_cast<const FlatValue*>(data)[i]);
      }
      out += ']';
      break;
    case Vela::Sdk::kFlatStructure:
      out += '{';
      for (uint32_t i = 0; data != nullptr && i < count; ++i) {
        const FlatMember& member = static_cast<const FlatMember*>(data)[i];
        if (i != 0) out += ',';
        const char* name = member.name == nullptr ? "" : member.name;
        AppendQuoted(out, name, std::strlen(name));
        out += ':';
        AppendText(out, member.value);
      }
      out += '}';
      break;
    default: out += "null"; break;
  }
}

}  // namespace

std::string FlatValueText(const FlatValue& value) {
  std::string out;
  AppendText(out, value);
  return out;
}

}  // namespace Vela::DevHost
