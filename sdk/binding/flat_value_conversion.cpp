// BindingValue to FlatValue and back. Both walks recurse, bounded by kMaxFlatDepth.
#include "sdk/binding/flat_value_conversion.h"

#include <cstring>
#include <exception>
#include <string>

#include "sdk/diag/format.h"
#include "sdk/host/abi/allocation.h"

namespace Vela::Sdk {
namespace {

// A hostile count must not make us reserve gigabytes before the first element is even read.
constexpr std::size_t kMaxUpFrontElements = 4096;

std::string_view UpToFirstZero(std::string_view text) noexcept {
  const void* zero = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
  return zero == nullptr ? text
                         : text.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()));
}

void SetReference(FlatValue& out, int32_t kind, void* data, std::size_t count) noexcept {
  out.kind = kind;
  out.payload.ref.data = data;
  out.payload.ref.count = static_cast<uint32_t>(count);
}

bool WriteText(FlatValue& out, std::string_view text) noexcept {
  char* copy = DuplicateText(text.data(), text.size());
  if (copy == nullptr) return false;
  SetReference(out, kFlatStringOwned, copy, text.size());
  return true;
}

// On failure `out` may hold part of the tree; the caller releases it.
bool ToFlat(const BindingValue& value, FlatValue& out, const EnumNameResolver* resolver, std::size_t depth) {
  std::memset(static_cast<void*>(&out), 0, sizeof out);
  switch (value.Kind()) {
    case ValueKind::Empty: return true;
    case ValueKind::Bool:
      out.kind = kFlatBool;
      out.payload.boolean = value.GetBool() ? 1 : 0;
      return true;
    case ValueKind::Signed:
      out.kind = kFlatSigned;
      out.payload.i64 = value.GetSigned();
      return true;
    case ValueKind::Unsigned:
      out.kind = kFlatUnsigned;
      out.payload.u64 = value.GetUnsigned();
      return true;
    case ValueKind::Float:
      out.kind = kFlatFloat;
      out.payload.f64 = value.GetFloat();
      return true;
    case ValueKind::String: {
      std::string_view text = UpToFirstZero(value.GetString());
      return text.size() <= kMaxFlatCount && WriteText(out, text);
    }
    case ValueKind::Blob: {
      std::span<const uint8_t> bytes = value.GetBlob();
      if (bytes.size() > kMaxFlatCount) return false;
      void* copy = Allocate(bytes.size());
      if (copy == nullptr) return false;
      if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
      SetReference(out, kFlatBlobOwned, copy, bytes.size());
      return true;
    }
    case ValueKind::Enum: {
      EnumPayload payload = value.GetEnum();
      const char* name = resolver == nullptr ? nullptr : resolver->EnumeratorName(payload.typeId, payload.value);
      if (name != nullptr) return WriteText(out, name);
      out.kind = kFlatSigned;
      out.payload.i64 = payload.value;
      return true;
    }
    case ValueKind::Collection: {
      std::span<const BindingValue> elements = value.Elements();
      if (depth >= kMaxFlatDepth || elements.size() > kMaxFlatCount) return false;
      if (elements.empty()) {
        SetReference(out, kFlatCollection, nullptr, 0);
        return true;
      }
      auto* flat = static_cast<FlatValue*>(Allocate(elements.size() * sizeof(FlatValue)));
      if (flat == nullptr) return false;
      // Zeroed first, so a release after a failure part-way frees exactly what was written.
      std::memset(static_cast<void*>(flat), 0, elements.size() * sizeof(FlatValue));
      SetReference(out, kFlatCollection, flat, elements.size());
      for (std::size_t index = 0; index < elements.size(); ++index) {
        if (!ToFlat(elements[index], flat[index], resolver, depth + 1)) return false;
      }
      return true;
    }
    case ValueKind::Structure: {
      std::size_t count = value.Size();
      if (depth >= kMaxFlatDepth || count > kMaxFlatCount) return false;
      if (count == 0) {
        SetReference(out, kFlatStructure, nullptr, 0);
        return true;
      }
      auto* members = static_cast<FlatMember*>(Allocate(count * sizeof(FlatMember)));
      if (members == nullptr) return false;
      std::memset(static_cast<void*>(members), 0, count * sizeof(FlatMember));
      SetReference(out, kFlatStructure, members, count);
      std::size_t index = 0;
      for (auto [name, member] : value.Members()) {
        char* copy = DuplicateText(name.data(), name.size());
        if (copy == nullptr) return false;
        members[index].name = copy;
        members[index].ownsName = 1;
        if (!ToFlat(member, members[index].value, resolver, depth + 1)) return false;
        ++index;
      }
      return true;
    }
  }
  return false;
}

bool Malformed(const void* data, uint32_t count) noexcept {
  return count > kMaxFlatCount || (data == nullptr && count != 0);
}

class FlatReader {
 public:
  explicit FlatReader(std::string_view targetName) : targetName_(targetName) {}

  bool Read(const FlatValue& flat, BindingValue& target, std::size_t depth) {
    const void* data = flat.payload.ref.data;
    uint32_t count = flat.payload.ref.count;
    switch (flat.kind) {
      case kFlatEmpty: target.Clear(); return true;
      case kFlatBool: target.SetBool(flat.payload.boolean != 0); return true;
      case kFlatSigned: target.SetSigned(flat.payload.i64); return true;
      case kFlatUnsigned: target.SetUnsigned(flat.payload.u64); return true;
      case kFlatFloat: target.SetFloat(flat.payload.f64); return true;
      case kFlatStringBorrowed:
      case kFlatStringOwned:
        if (Malformed(data, count)) return FailMalformed(flat.kind);
        // Never read past the count, even when the host forgot the terminating zero.
        target.SetString(count == 0 ? std::string_view() : UpToFirstZero({static_cast<const char*>(data), count}));
        return true;
      case kFlatBlobBorrowed:
      case kFlatBlobOwned:
        if (Malformed(data, count)) return FailMalformed(flat.kind);
        target.SetBlob(std::span<const uint8_t>(static_cast<const uint8_t*>(data), count));
        return true;
      case kFlatCollection: {
        if (Malformed(data, count)) return FailMalformed(flat.kind);
        if (depth >= kMaxFlatDepth) return FailTooDeep();
        const auto* elements = static_cast<const FlatValue*>(data);
        target.Clear();
        target.Reserve(count < kMaxUpFrontElements ? count : kMaxUpFrontElements);
        for (uint32_t index = 0; index < count; ++index) {
          if (!Read(elements[index], target.Append(), depth + 1)) return false;
        }
        return true;
      }
      case kFlatStructure: {
        if (Malformed(data, count)) return FailMalformed(flat.kind);
        if (depth >= kMaxFlatDepth) return FailTooDeep();
        const auto* members = static_cast<const FlatMember*>(data);
        target.Clear();
        target.MakeStructure();
        for (uint32_t index = 0; index < count; ++index) {
          const char* name = members[index].name;
          if (name == nullptr) return FailMalformed(flat.kind);
          if (!Read(members[index].value, target.MemberForWriting(name), depth + 1)) return false;
        }
        return true;
      }
      default:
        message_ = Format(ConversionText::kFlatIncompatibleType, targetName_, FlatKindName(flat.kind));
        return false;
    }
  }

  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }

 private:
  bool FailMalformed(int32_t kind) {
    message_ = Format(ConversionText::kFlatMalformed, targetName_, FlatKindName(kind));
    return false;
  }
  bool FailTooDeep() {
    message_ = Format(ConversionText::kFlatTooDeep, targetName_, static_cast<uint64_t>(kMaxFlatDepth));
    return false;
  }

  std::string_view targetName_;
  std::string message_;
};

// Runs the reader; memory exhaustion becomes a failure too, since nothing may be thrown at the
// host. An empty message then means there was no memory even for a message.
bool ReadFlat(const FlatValue& flat, std::string_view targetName, BindingValue& target, std::string& message) noexcept {
  try {
    FlatReader reader(targetName);
    bool ok = reader.Read(flat, target, 0);
    if (!ok) message = reader.Message();
    return ok;
  } catch (const std::exception& failure) {
    try {
      message = Format(ConversionText::kFlatFailed, targetName, failure.what());
    } catch (...) {
    }
    return false;
  }
}

}  // namespace

bool ValueToFlat(const BindingValue& value, FlatValue* out, const EnumNameResolver* resolver) noexcept {
  if (out == nullptr) return false;
  bool ok;
  try {
    ok = ToFlat(value, *out, resolver, 0);
  } catch (...) {
    ok = false;
  }
  if (!ok) ReleaseFlatValue(out);
  return ok;
}

void FlatToValue(const FlatValue& flat, std::string_view targetName, BindingResult& result) noexcept {
  if (!result.Ok()) return;
  std::string message;
  if (ReadFlat(flat, targetName, result.Value(), message)) return;
  result.Fail(message);
}

bool FlatToValue(const FlatValue& flat, std::string_view targetName, BindingValue& target, FlatResult* error) noexcept {
  std::string message;
  if (ReadFlat(flat, targetName, target, message)) return true;
  target.Clear();
  if (error != nullptr) SetFlatResultError(error, message.c_str());
  return false;
}

}  // namespace Vela::Sdk
