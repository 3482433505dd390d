// The per-type rules of value conversion and the walks over record descriptors.
#include "sdk/binding/value_conversion.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "sdk/binding/base64.h"
#include "sdk/binding/conversion_text.h"
#include "sdk/binding/number_text.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {

namespace {

/// The type name conversion messages give a numeric target.
template <class N>
constexpr const char* NumberName() {
  if constexpr (std::is_same_v<N, int8_t>) return "int8";
  if constexpr (std::is_same_v<N, uint8_t>) return "uint8";
  if constexpr (std::is_same_v<N, int16_t>) return "int16";
  if constexpr (std::is_same_v<N, uint16_t>) return "uint16";
  if constexpr (std::is_same_v<N, int32_t>) return "int32";
  if constexpr (std::is_same_v<N, uint32_t>) return "uint32";
  if constexpr (std::is_same_v<N, int64_t>) return "int64";
  if constexpr (std::is_same_v<N, uint64_t>) return "uint64";
  if constexpr (std::is_same_v<N, float>) return "float";
  if constexpr (std::is_same_v<N, double>) return "double";
}

template <class N>
struct NumberTraits {
  static constexpr const char* kName = NumberName<N>();
  static constexpr N kMin = std::numeric_limits<N>::lowest();
  static constexpr N kMax = std::numeric_limits<N>::max();
};

/// Nested records are walked recursively; a recursive record type fed a deeply nested value
/// would otherwise exhaust the stack.
constexpr int kMaxRecordDepth = 200;
thread_local int recordDepth = 0;

struct DepthGuard {
  DepthGuard() noexcept { ++recordDepth; }
  ~DepthGuard() { --recordDepth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

const char* KindName(const BindingValue& value) noexcept { return ValueKindName(value.Kind()); }

template <class... Args>
void Fail(BindingResult& result, const char* message, const Args&... args) {
  result.Fail(Format(message, args...));
}

template <class N>
void FailRange(BindingResult& result, const char* target, const auto& number) {
  Fail(result, ConversionText::kNumberRange, number, target, NumberTraits<N>::kName);
}

/// True when `number` fits an integer target N; values are compared exactly, never after a
/// rounding conversion.
template <class N>
bool SignedFits(int64_t number) noexcept {
  if constexpr (std::is_signed_v<N>) {
    return number >= static_cast<int64_t>(NumberTraits<N>::kMin) &&
           number <= static_cast<int64_t>(NumberTraits<N>::kMax);
  } else {
    return number >= 0 && static_cast<uint64_t>(number) <= static_cast<uint64_t>(NumberTraits<N>::kMax);
  }
}

template <class N>
bool UnsignedFits(uint64_t number) noexcept {
  return number <= static_cast<uint64_t>(NumberTraits<N>::kMax);
}

/// A double fits when it is not below the minimum nor above the maximum. The 64-bit maxima are
/// not doubles: their nearest double, 2^63 or 2^64, is itself out of range, and so is NaN.
template <class N>
bool FloatFitsInteger(double number) noexcept {
  if (std::isnan(number)) return false;
  constexpr double kMin = static_cast<double>(NumberTraits<N>::kMin);
  constexpr double kMax = static_cast<double>(NumberTraits<N>::kMax);
  if (number < kMin || number > kMax) return false;
  if constexpr (sizeof(N) == 8) {
    if (number >= kMax) return false;
  }
  return true;
}

template <class N, class V>
void AcceptOrRange(BindingResult& result, const char* target, bool fits, V number, N& out) {
  if (fits) {
    out = static_cast<N>(number);
  } else {
    FailRange<N>(result, target, number);
  }
}

template <class N>
void AssignIntegerNumber(BindingResult& result, const BindingValue& value, const char* target, N& out) {
  switch (value.Kind()) {
    case ValueKind::Signed: {
      int64_t number = value.GetSigned();
      return AcceptOrRange(result, target, SignedFits<N>(number), number, out);
    }
    case ValueKind::Unsigned: {
      uint64_t number = value.GetUnsigned();
      return AcceptOrRange(result, target, UnsignedFits<N>(number), number, out);
    }
    case ValueKind::Float: {
      double number = value.GetFloat();
      return AcceptOrRange(result, target, FloatFitsInteger<N>(number), number, out);
    }
    case ValueKind::Enum: {
      int32_t number = value.GetEnum().value;
      return AcceptOrRange(result, target, SignedFits<N>(number), number, out);
    }
    case ValueKind::String: {
      std::string_view text = value.GetString();
      if constexpr (std::is_signed_v<N>) {
        int64_t number = 0;
        if (SignedFromText(result, text, target, NumberTraits<N>::kName, NumberTraits<N>::kMin, NumberTraits<N>::kMax,
                           number)) {
          out = static_cast<N>(number);
        }
      } else {
        uint64_t number = 0;
        if (UnsignedFromText(result, text, target, NumberTraits<N>::kName, NumberTraits<N>::kMax, number)) {
          out = static_cast<N>(number);
        }
      }
      return;
    }
    case ValueKind::Empty: return ConversionDetail::FailRequired(result, target);
    default: return Fail(result, ConversionText::kNumberInvalidType, target, NumberTraits<N>::kName, KindName(value));
  }
}

template <class N>
void AssignFloatNumber(BindingResult& result, const BindingValue& value, const char* target, N& out) {
  constexpr double kBound = static_cast<double>(NumberTraits<N>::kMax);
  switch (value.Kind()) {
    case ValueKind::Signed: out = static_cast<N>(value.GetSigned()); return;
    case ValueKind::Unsigned: out = static_cast<N>(value.GetUnsigned()); return;
    case ValueKind::Enum: out = static_cast<N>(value.GetEnum().value); return;
    case ValueKind::Float: {
      double number = value.GetFloat();
      return AcceptOrRange(result, target, !(number < -kBound || number > kBound), number, out);
    }
    case ValueKind::String: {
      double number = 0.0;
      if (FloatFromText(result, value.GetString(), target, NumberTraits<N>::kName, kBound, number)) {
        out = static_cast<N>(number);
      }
      return;
    }
    case ValueKind::Empty: return ConversionDetail::FailRequired(result, target);
    default: return Fail(result, ConversionText::kNumberInvalidType, target, NumberTraits<N>::kName, KindName(value));
  }
}

// ---- enums ----

void StoreEnum(void* out, uint32_t size, int32_t value) noexcept {
  switch (size) {
    case 1: {
      int8_t narrow = static_cast<int8_t>(value);
      std::memcpy(out, &narrow, 1);
      break;
    }
    case 2: {
      int16_t narrow = static_cast<int16_t>(value);
      std::memcpy(out, &narrow, 2);
      break;
    }
    case 4: std::memcpy(out, &value, 4); break;
    case 8: {
      int64_t wide = value;
      std::memcpy(out, &wide, 8);
      break;
    }
    default: break;
  }
}

int32_t LoadEnum(const void* in, uint32_t size) noexcept {
  switch (size) {
    case 1: {
      int8_t narrow;
      std::memcpy(&narrow, in, 1);
      return narrow;
    }
    case 2: {
      int16_t narrow;
      std::memcpy(&narrow, in, 2);
      return narrow;
    }
    case 4: {
      int32_t value;
      std::memcpy(&value, in, 4);
      return value;
    }
    case 8: {
      int64_t wide;
      std::memcpy(&wide, in, 8);
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
    }
    default: return 0;
  }
}

int32_t Low32(uint64_t number) noexcept { return static_cast<int32_t>(static_cast<uint32_t>(number)); }

bool EnumHas(const TypeDescriptor* enumType, int32_t value) noexcept {
  return enumType != nullptr && enumType->HasEnumerator(value);
}

/// The enum's name in messages; an unregistered enum is "enum", as its type code prints.
const char* EnumName(const TypeDescriptor* enumType) noexcept {
  return enumType != nullptr ? enumType->name.c_str() : BindingTypeName(kBindingEnum);
}

/// Accepts or refuses one enum input; false with the message set on refusal.
bool ReadEnumInput(BindingResult& result, const TypeDescriptor* enumType, const BindingValue& value, const char* target,
                   int32_t& accepted) {
  switch (value.Kind()) {
    case ValueKind::Signed: {
      int64_t number = value.GetSigned();
      accepted = Low32(static_cast<uint64_t>(number));
      if (EnumHas(enumType, accepted)) return true;
      Fail(result, ConversionText::kEnumInvalidValue, number, EnumName(enumType), target);
      return false;
    }
    case ValueKind::Unsigned: {
      uint64_t number = value.GetUnsigned();
      accepted = Low32(number);
      if (EnumHas(enumType, accepted)) return true;
      Fail(result, ConversionText::kEnumInvalidValue, number, EnumName(enumType), target);
      return false;
    }
    case ValueKind::Enum:
      accepted = value.GetEnum().value;
      if (EnumHas(enumType, accepted)) return true;
      Fail(result, ConversionText::kEnumInvalidValue, accepted, EnumName(enumType), target);
      return false;
    case ValueKind::String: {
      std::string_view text = value.GetString();
      if (enumType != nullptr) {
        auto found = enumType->enumerators.find(std::string(text));
        if (found != enumType->enumerators.end()) {
          accepted = found->second.value;
          return true;
        }
      }
      int64_t number = 0;
      if (ParseSignedText(text, number) == NumberTextStatus::kOk) {
        accepted = Low32(static_cast<uint64_t>(number));
        if (EnumHas(enumType, accepted)) return true;
      }
      Fail(result, ConversionText::kEnumInvalidValue, text, EnumName(enumType), target);
      return false;
    }
    case ValueKind::Empty: ConversionDetail::FailRequired(result, target); return false;
    default: Fail(result, ConversionText::kEnumInvalidType, target, KindName(value)); return false;
  }
}

// ---- fields ----

/// Whether a field of this spec is converted by its code rather than its converter.
bool HasBuiltInRule(const TypeSpec& spec) noexcept {
  switch (spec.type) {
    case kBindingVector:
    case kBindingMap: return spec.element >= kBindingBool && spec.element <= kBindingBlob;
    case kBindingBlob:
    case kBindingCallback: return false;
    default: return spec.type >= kBindingBool && spec.type <= kBindingStruct;
  }
}

/// The struct or enum of a field: the one its spec refers to, else the one registered for its
/// native type (registered after the field was described).
const TypeDescriptor* FieldReferent(const BindingRegistry& registry, const FieldDescriptor& field) {
  if (field.type.referenced != nullptr) return field.type.referenced;
  if (field.staticType == nullptr) return nullptr;
  return registry.FindType(*field.staticType);
}

template <class N>
void AssignNumberField(BindingResult& result, const BindingValue& value, const char* target, void* address) {
  // Copied through memcpy: the field may be any integer type of N's width and sign.
  N number{};
  AssignNumber<N>(result, value, target, number);
  std::memcpy(address, &number, sizeof number);
}

template <class N>
void NumberFieldToValue(const void* address, BindingValue& out) {
  N number;
  std::memcpy(&number, address, sizeof number);
  if constexpr (std::is_floating_point_v<N>) {
    out.SetFloat(static_cast<double>(number));
  } else if constexpr (std::is_signed_v<N>) {
    out.SetSigned(static_cast<int64_t>(number));
  } else {
    out.SetUnsigned(static_cast<uint64_t>(number));
  }
}

/// Calls `action` with std::type_identity of the native element type of a built-in container.
template <class Action>
void WithElementType(BindingType element, Action&& action) {
  switch (element) {
    case kBindingBool: return action(std::type_identity<bool>{});
    case kBindingInt8: return action(std::type_identity<int8_t>{});
    case kBindingUint8: return action(std::type_identity<uint8_t>{});
    case kBindingInt16: return action(std::type_identity<int16_t>{});
    case kBindingUint16: return action(std::type_identity<uint16_t>{});
    case kBindingInt32: return action(std::type_identity<int32_t>{});
    case kBindingUint32: return action(std::type_identity<uint32_t>{});
    case kBindingInt64: return action(std::type_identity<int64_t>{});
    case kBindingUint64: return action(std::type_identity<uint64_t>{});
    case kBindingFloat: return action(std::type_identity<float>{});
    case kBindingDouble: return action(std::type_identity<double>{});
    case kBindingString: return action(std::type_identity<std::string>{});
    case kBindingObject: return action(std::type_identity<BindingValue>{});
    case kBindingBlob: return action(std::type_identity<Blob>{});
    default: return;
  }
}

}  // namespace

// ---- scalar rules ----

void AssignBool(BindingResult& result, const BindingValue& value, const char* target, bool& out) {
  if (!result.Ok()) return;
  out = false;
  switch (value.Kind()) {
    case ValueKind::Bool: out = value.GetBool(); return;
    case ValueKind::String: {
      std::string_view text = value.GetString();
      if (text == "1" || text == "true") {
        out = true;
      } else if (text != "0" && text != "false") {
        Fail(result, ConversionText::kBoolFormat, text, target);
      }
      return;
    }
    case ValueKind::Empty: return ConversionDetail::FailRequired(result, target);
    default: return Fail(result, ConversionText::kBoolInvalidType, target, KindName(value));
  }
}

template <class N>
void AssignNumber(BindingResult& result, const BindingValue& value, const char* target, N& out) {
  if (!result.Ok()) return;
  out = 0;
  N accepted = 0;
  if constexpr (std::is_floating_point_v<N>) {
    AssignFloatNumber<N>(result, value, target, accepted);
  } else {
    AssignIntegerNumber<N>(result, value, target, accepted);
  }
  if (result.Ok()) out = accepted;
}

template void AssignNumber<int8_t>(BindingResult&, const BindingValue&, const char*, int8_t&);
template void AssignNumber<uint8_t>(BindingResult&, const BindingValue&, const char*, uint8_t&);
template void AssignNumber<int16_t>(BindingResult&, const BindingValue&, const char*, int16_t&);
template void AssignNumber<uint16_t>(BindingResult&, const BindingValue&, const char*, uint16_t&);
template void AssignNumber<int32_t>(BindingResult&, const BindingValue&, const char*, int32_t&);
template void AssignNumber<uint32_t>(BindingResult&, const BindingValue&, const char*, uint32_t&);
template void AssignNumber<int64_t>(BindingResult&, const BindingValue&, const char*, int64_t&);
template void AssignNumber<uint64_t>(BindingResult&, const BindingValue&, const char*, uint64_t&);
template void AssignNumber<float>(BindingResult&, const BindingValue&, const char*, float&);
template void AssignNumber<double>(BindingResult&, const BindingValue&, const char*, double&);

void AssignString(BindingResult& result, const BindingRegistry& registry, const BindingValue& value, const char* target,
                  std::string& out) {
  if (!result.Ok()) return;
  switch (value.Kind()) {
    case ValueKind::String: {
      std::string_view text = value.GetString();
      out.assign(text.data(), text.size());
      return;
    }
    case ValueKind::Enum: {
      EnumPayload payload = value.GetEnum();
      if (const char* name = registry.EnumeratorName(payload.typeId, payload.value)) {
        out = name;
        return;
      }
      out.clear();
      return Fail(result, ConversionText::kEnumUnknownName, payload.value, target);
    }
    case ValueKind::Empty: out.clear(); return ConversionDetail::FailRequired(result, target);
    default: out.clear(); return Fail(result, ConversionText::kNotString, target);
  }
}

void AssignBlob(BindingResult& result, const BindingValue& value, const char* target, Blob& out) {
  if (!result.Ok()) return;
  out.bytes.clear();
  switch (value.Kind()) {
    case ValueKind::Blob: {
      std::span<const uint8_t> bytes = value.GetBlob();
      out.bytes.assign(bytes.begin(), bytes.end());
      return;
    }
    case ValueKind::String: {
      std::string_view text = value.GetString();
      if (!IsBase64Text(text)) return Fail(result, ConversionText::kBlobBase64, target);
      DecodeBase64(text, out.bytes);
      return;
    }
    case ValueKind::Empty: return ConversionDetail::FailRequired(result, target);
    default: return Fail(result, ConversionText::kNotBlob, target);
  }
}

void AssignObject(BindingResult& result, const BindingValue& value, BindingValue& out) {
  if (!result.Ok() || &value == &out) return;
  // Copied aside first: `value` may lie inside `out`, which assignment clears.
  BindingValue copy(value);
  out = std::move(copy);
}

void AssignEnum(BindingResult& result, const TypeDescriptor* enumType, const BindingValue& value, const char* target,
                void* out, uint32_t size) {
  if (!result.Ok()) return;
  int32_t accepted = 0;
  if (!ReadEnumInput(result, enumType, value, target, accepted)) accepted = 0;
  StoreEnum(out, size, accepted);
}

void EnumToValue(const TypeDescriptor* enumType, uint32_t fallbackTypeId, const void* in, uint32_t size,
                 BindingValue& out) {
  EnumPayload payload;
  payload.value = LoadEnum(in, size);
  payload.typeId = enumType != nullptr ? enumType->staticId : fallbackTypeId;
  out.SetEnum(payload);
}

namespace ConversionDetail {

void FailRequired(BindingResult& result, const char* target) { Fail(result, ConversionText::kRequired, target); }
void FailNotCollection(BindingResult& result, const char* target) {
  Fail(result, ConversionText::kNotCollection, target);
}
void FailMapNotStructure(BindingResult& result, const char* target) {
  Fail(result, ConversionText::kMapNotStructure, target);
}

}  // namespace ConversionDetail

void NativeRule<std::vector<bool>>::ToNative(BindingResult& result, const BindingRegistry&, const TypeDescriptor*,
                                             const BindingValue& value, const char* target, std::vector<bool>& out) {
  if (!result.Ok()) return;
  out.clear();
  if (value.IsEmpty()) return ConversionDetail::FailRequired(result, target);
  if (value.Kind() != ValueKind::Collection) return ConversionDetail::FailNotCollection(result, target);
  std::span<const BindingValue> elements = value.Elements();
  out.resize(elements.size());
  for (std::size_t i = 0; i < elements.size() && result.Ok(); ++i) {
    bool bit = false;
    AssignBool(result, elements[i], target, bit);
    out[i] = bit;
  }
}

void NativeRule<std::vector<bool>>::ToValue(BindingResult& result, const BindingRegistry&, const TypeDescriptor*,
                                            const std::vector<bool>& in, BindingValue& out) {
  if (!result.Ok()) return;
  out.Clear();
  out.Reserve(in.size());
  for (bool bit : in) out.Append().SetBool(bit);
}

// ---- records and fields ----

void AssignValueToNative(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* descriptor,
                         const BindingValue& value, const char* target, void* record) {
  if (!result.Ok()) return;
  if (descriptor == nullptr) return Fail(result, ConversionText::kUnregisteredStruct, target);
  if (descriptor->isEnum) return AssignEnum(result, descriptor, value, target, record, descriptor->size);
  if (value.Kind() != ValueKind::Structure)
    return Fail(result, ConversionText::kNotStructure, target, descriptor->name);
  if (recordDepth >= kMaxRecordDepth) return Fail(result, ConversionText::kNestedTooDeeply, target);
  DepthGuard depth;
  auto* bytes = static_cast<unsigned char*>(record);
  for (const FieldDescriptor& field : descriptor->fields) {
    const BindingValue* member = value.FindMember(field.name);
    if (member != nullptr && !member->IsEmpty()) {
      AssignValueToField(result, registry, field, *member, bytes + field.offset);
    } else if ((field.flags & kFieldRequired) != 0) {
      Fail(result, ConversionText::kMissingRequiredField, target, descriptor->name, field.name);
    }
    if (!result.Ok()) return;
  }
}

void AssignValueToField(BindingResult& result, const BindingRegistry& registry, const FieldDescriptor& field,
                        const BindingValue& value, void* address) {
  if (!result.Ok()) return;
  const char* target = field.name.c_str();
  if (field.optional != 0 || !HasBuiltInRule(field.type)) {
    if (field.converter) field.converter->ToNative(result, value, target, address);
    return;
  }
  switch (field.type.type) {
    case kBindingBool: return AssignBool(result, value, target, *static_cast<bool*>(address));
    case kBindingInt8: return AssignNumberField<int8_t>(result, value, target, address);
    case kBindingUint8: return AssignNumberField<uint8_t>(result, value, target, address);
    case kBindingInt16: return AssignNumberField<int16_t>(result, value, target, address);
    case kBindingUint16: return AssignNumberField<uint16_t>(result, value, target, address);
    case kBindingInt32: return AssignNumberField<int32_t>(result, value, target, address);
    case kBindingUint32: return AssignNumberField<uint32_t>(result, value, target, address);
    case kBindingInt64: return AssignNumberField<int64_t>(result, value, target, address);
    case kBindingUint64: return AssignNumberField<uint64_t>(result, value, target, address);
    case kBindingFloat: return AssignNumberField<float>(result, value, target, address);
    case kBindingDouble: return AssignNumberField<double>(result, value, target, address);
    case kBindingString: return AssignString(result, registry, value, target, *static_cast<std::string*>(address));
    case kBindingObject: return AssignObject(result, value, *static_cast<BindingValue*>(address));
    case kBindingEnum: {
      const TypeDescriptor* enumType = FieldReferent(registry, field);
      return AssignEnum(result, enumType, value, target, address, enumType != nullptr ? enumType->size : 0);
    }
    case kBindingStruct:
      return AssignValueToNative(result, registry, FieldReferent(registry, field), value, target, address);
    case kBindingVector:
      return WithElementType(field.type.element, [&]<class E>(std::type_identity<E>) {
        NativeRule<std::vector<E>>::ToNative(result, registry, nullptr, value, target,
                                             *static_cast<std::vector<E>*>(address));
      });
    case kBindingMap:
      return WithElementType(field.type.element, [&]<class E>(std::type_identity<E>) {
        NativeRule<BindingMap<E>>::ToNative(result, registry, nullptr, value, target,
                                            *static_cast<BindingMap<E>*>(address));
      });
    default: return;
  }
}

void NativeRecordToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* descriptor,
                         const void* record, BindingValue& out) {
  if (!result.Ok()) return;
  if (descriptor == nullptr) return Fail(result, ConversionText::kUnregisteredNative);
  if (descriptor->isEnum) return EnumToValue(descriptor, descriptor->staticId, record, descriptor->size, out);
  out.Clear();
  out.MakeStructure();
  const auto* bytes = static_cast<const unsigned char*>(record);
  for (const FieldDescriptor& field : descriptor->fields) {
    if ((field.flags & kFieldOmitEmpty) != 0) {
      BindingValue fresh;
      NativeFieldToValue(result, registry, field, bytes + field.offset, fresh);
      if (!result.Ok()) return;
      if (!IsEmptyOrZeroValue(fresh)) out.MemberForWriting(field.name) = std::move(fresh);
    } else {
      NativeFieldToValue(result, registry, field, bytes + field.offset, out.MemberForWriting(field.name));
      if (!result.Ok()) return;
    }
  }
}

void NativeFieldToValue(BindingResult& result, const BindingRegistry& registry, const FieldDescriptor& field,
                        const void* address, BindingValue& out) {
  if (!result.Ok()) return;
  if (field.optional != 0 || !HasBuiltInRule(field.type)) {
    out.Clear();
    if (!field.converter) return;
    if (const auto* direct = dynamic_cast<const TreeFieldConverter*>(field.converter.get())) {
      return direct->ToValueInto(result, address, out);
    }
    BindingResult converted;
    field.converter->ToValue(converted, address);
    if (!converted.Ok()) return result.Fail(converted.ErrorText());
    out = std::move(converted.Value());
    return;
  }
  switch (field.type.type) {
    case kBindingBool: return out.SetBool(*static_cast<const bool*>(address));
    case kBindingInt8: return NumberFieldToValue<int8_t>(address, out);
    case kBindingUint8: return NumberFieldToValue<uint8_t>(address, out);
    case kBindingInt16: return NumberFieldToValue<int16_t>(address, out);
    case kBindingUint16: return NumberFieldToValue<uint16_t>(address, out);
    case kBindingInt32: return NumberFieldToValue<int32_t>(address, out);
    case kBindingUint32: return NumberFieldToValue<uint32_t>(address, out);
    case kBindingInt64: return NumberFieldToValue<int64_t>(address, out);
    case kBindingUint64: return NumberFieldToValue<uint64_t>(address, out);
    case kBindingFloat: return NumberFieldToValue<float>(address, out);
    case kBindingDouble: return NumberFieldToValue<double>(address, out);
    case kBindingString: return out.SetString(*static_cast<const std::string*>(address));
    case kBindingObject: {
      const auto& object = *static_cast<const BindingValue*>(address);
      if (&object != &out) out = object;
      return;
    }
    case kBindingEnum: {
      const TypeDescriptor* enumType = FieldReferent(registry, field);
      uint32_t fallbackId = field.staticType != nullptr ? field.staticType->id : 0;
      return EnumToValue(enumType, fallbackId, address, enumType != nullptr ? enumType->size : 0, out);
    }
    case kBindingStruct: return NativeRecordToValue(result, registry, FieldReferent(registry, field), address, out);
    case kBindingVector:
      return WithElementType(field.type.element, [&]<class E>(std::type_identity<E>) {
        NativeRule<std::vector<E>>::ToValue(result, registry, nullptr, *static_cast<const std::vector<E>*>(address),
                                            out);
      });
    case kBindingMap:
      return WithElementType(field.type.element, [&]<class E>(std::type_identity<E>) {
        NativeRule<BindingMap<E>>::ToValue(result, registry, nullptr, *static_cast<const BindingMap<E>*>(address), out);
      });
    default: return;
  }
}

void ConvertNativeToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* descriptor,
                          const void* record) {
  if (!result.Ok()) return;
  BindingValue tree;
  NativeRecordToValue(result, registry, descriptor, record, tree);
  if (result.Ok()) result.Value() = std::move(tree);
}

void ConvertNativeFieldToValue(BindingResult& result, const BindingRegistry& registry, const FieldDescriptor& field,
                               const void* fieldAddress) {
  if (!result.Ok()) return;
  BindingValue tree;
  NativeFieldToValue(result, registry, field, fieldAddress, tree);
  if (result.Ok()) result.Value() = std::move(tree);
}

bool IsEmptyOrZeroValue(const BindingValue& value) noexcept {
  switch (value.Kind()) {
    case ValueKind::Empty: return true;
    case ValueKind::Bool: return !value.GetBool();
    case ValueKind::Signed: return value.GetSigned() == 0;
    case ValueKind::Unsigned: return value.GetUnsigned() == 0;
    case ValueKind::Float: return value.GetFloat() == 0.0;
    case ValueKind::Enum: return value.GetEnum().value == 0;
    case ValueKind::String:
    case ValueKind::Blob:
    case ValueKind::Collection:
    case ValueKind::Structure: return value.Size() == 0;
    default: return false;
  }
}

}  // namespace Vela::Sdk
