// Conversion between native records and BindingValue trees, both ways, with the refusal messages
// of conversion_messages.h.
//
// Every step first looks at result.Ok() and does nothing once it is false, so the first failure
// wins. Value-to-native writes the native target in place and leaves only the outcome in the
// result; a refused target receives its type's zero value (0, false, 0.0, "", an empty Blob, a
// zero enum, std::nullopt), and containers are left as emptied or as far as filled.
// Native-to-value puts the produced tree into result.Value(); it fails only for a struct whose
// descriptor is not registered.
//
// Native representations: bool, int8_t .. uint64_t (any integer type by width and sign), float,
// double, std::string, BindingValue (object), Blob (native_types.h), enumerations stored in 1, 2,
// 4 or 8 bytes, registered records, std::vector<T>, BindingMap<T> (= std::unordered_map<std::
// string, T>) and std::optional<T> (Empty both ways).
//
// Two layers:
//  - untyped, walking a TypeDescriptor: AssignValueToNative / ConvertNativeToValue for a record,
//    AssignValueToField / ConvertNativeFieldToValue for one field by its BindingType code;
//  - typed: ValueToNative<T> / NativeToValue<T> for any supported T, built on NativeRule<T>.
//
// Where the C library's reading would give a wrong number, the input is refused instead: a NaN,
// and a Float of 2^63 (2^64), assigned to an int64 (uint64) target is out of range rather than
// an undefined cast; a minus sign after leading blanks is out of range for unsigned targets as
// one in front is (strtoull would wrap " -1" to the largest value). A blob decoded from base64
// replaces the target's bytes like a Blob input does. Records nested more than 200 deep (only a
// recursive record type can be) are refused with kNestedTooDeeply, so input cannot exhaust the
// stack.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/binding_result.h"
#include "sdk/binding/binding_value.h"
#include "sdk/binding/native_type_traits.h"
#include "sdk/binding/native_types.h"
#include "sdk/binding/type_descriptor.h"

namespace Vela::Sdk {

// ---- Records and fields walked by descriptor ----

/// Assigns `value` to the native record at `record` described by `descriptor` (a struct, or an
/// enum of descriptor->size bytes). No descriptor: "... an unregistered structure or not a
/// structure at all."; a value that is not a Structure: "... because the input not a structure."
/// Fields go in declaration order; a missing or Empty member leaves its field unchanged unless
/// the field is required; members without a field are ignored.
void AssignValueToNative(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* descriptor,
                         const BindingValue& value, const char* target, void* record);

/// Assigns `value` to one field by its BindingType code, with the field name as target. Optional
/// fields and codes without a built-in rule (blob, callback, vectors and maps of structs, enums
/// or nested containers) go through the field's converter; without one they are left unchanged.
void AssignValueToField(BindingResult& result, const BindingRegistry& registry, const FieldDescriptor& field,
                        const BindingValue& value, void* fieldAddress);

/// Converts the native record at `record` into result.Value(): a Structure of the descriptor's
/// fields (an enum descriptor gives an Enum). Fields with kFieldOmitEmpty are left out when their
/// value is empty or zero. No descriptor: "Couldn't convert native value because it's an
/// unregistered structure."
void ConvertNativeToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* descriptor,
                          const void* record);

/// Converts one field into result.Value().
void ConvertNativeFieldToValue(BindingResult& result, const BindingRegistry& registry, const FieldDescriptor& field,
                               const void* fieldAddress);

/// As ConvertNativeToValue, but builds into `out` (which must not lie inside result.Value()).
void NativeRecordToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* descriptor,
                         const void* record, BindingValue& out);
/// As ConvertNativeFieldToValue, but builds into `out` (which must not lie inside result.Value()).
void NativeFieldToValue(BindingResult& result, const BindingRegistry& registry, const FieldDescriptor& field,
                        const void* fieldAddress, BindingValue& out);

/// Empty, a false Bool, a Signed or Unsigned 0, a Float equal to 0.0 (NaN is not), an Enum of
/// value 0, or a String, Blob, Collection or Structure of size 0: what kFieldOmitEmpty leaves out.
bool IsEmptyOrZeroValue(const BindingValue& value) noexcept;

// ---- The rule of each built-in type, value to native ----

void AssignBool(BindingResult& result, const BindingValue& value, const char* target, bool& out);
/// Integers and floating types of the ten numeric codes: int8_t, uint8_t, int16_t, uint16_t,
/// int32_t, uint32_t, int64_t, uint64_t, float, double (explicitly instantiated for those).
template <class N>
void AssignNumber(BindingResult& result, const BindingValue& value, const char* target, N& out);
/// An Enum input becomes its enumerator's name, found through the registry.
void AssignString(BindingResult& result, const BindingRegistry& registry, const BindingValue& value, const char* target,
                  std::string& out);
/// A String input is checked against the base64 alphabet and decoded; the blob is replaced.
void AssignBlob(BindingResult& result, const BindingValue& value, const char* target, Blob& out);
/// A deep copy of any input, Empty included.
void AssignObject(BindingResult& result, const BindingValue& value, BindingValue& out);
/// The enum `enumType` (null: unregistered, no value is valid) stored in `size` bytes at `out`;
/// sizes other than 1, 2, 4 and 8 are never written.
void AssignEnum(BindingResult& result, const TypeDescriptor* enumType, const BindingValue& value, const char* target,
                void* out, uint32_t size);

/// The enum of `size` bytes at `in` as an Enum value of `enumType`, or of `fallbackTypeId` when
/// the enum is not registered.
void EnumToValue(const TypeDescriptor* enumType, uint32_t fallbackTypeId, const void* in, uint32_t size,
                 BindingValue& out);

/// A field converter that can build its value straight into a member of the tree being made,
/// which saves NativeFieldToValue the copy out of the converter's own result.
class TreeFieldConverter : public FieldConverter {
 public:
  /// Converts the native field at `field` into `out` (never inside result.Value()).
  virtual void ToValueInto(BindingResult& result, const void* field, BindingValue& out) const = 0;
};

namespace ConversionDetail {

/// Fails with "A value for '%1' is required."
void FailRequired(BindingResult& result, const char* target);
void FailNotCollection(BindingResult& result, const char* target);
void FailMapNotStructure(BindingResult& result, const char* target);

/// The given descriptor, or the registered one of T's referent when none was given.
template <class T>
const TypeDescriptor* Resolve(const BindingRegistry& registry, const TypeDescriptor* given) {
  if (given != nullptr) return given;
  return ReferencedDescriptorOf<T>(registry);
}

}  // namespace ConversionDetail

// ---- Typed rules ----

/// The conversion rule of native type T, both ways. `referenced` is the descriptor of the struct
/// or enum that T is or holds when the caller knows it already; null makes the rule look it up.
///   static void ToNative(BindingResult&, const BindingRegistry&, const TypeDescriptor* referenced,
///                        const BindingValue& value, const char* target, T& out);
///   static void ToValue(BindingResult&, const BindingRegistry&, const TypeDescriptor* referenced,
///                       const T& in, BindingValue& out);
template <class T, class Enable = void>
struct NativeRule;

template <>
struct NativeRule<bool> {
  static void ToNative(BindingResult& result, const BindingRegistry&, const TypeDescriptor*, const BindingValue& value,
                       const char* target, bool& out) {
    AssignBool(result, value, target, out);
  }
  static void ToValue(BindingResult&, const BindingRegistry&, const TypeDescriptor*, bool in, BindingValue& out) {
    out.SetBool(in);
  }
};

template <class T>
struct NativeRule<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>> {
  using Canonical = CanonicalInteger<T>;
  static void ToNative(BindingResult& result, const BindingRegistry&, const TypeDescriptor*, const BindingValue& value,
                       const char* target, T& out) {
    if (!result.Ok()) return;
    Canonical number = 0;
    AssignNumber<Canonical>(result, value, target, number);
    out = static_cast<T>(number);
  }
  static void ToValue(BindingResult&, const BindingRegistry&, const TypeDescriptor*, T in, BindingValue& out) {
    if constexpr (std::is_signed_v<T>) {
      out.SetSigned(static_cast<int64_t>(in));
    } else {
      out.SetUnsigned(static_cast<uint64_t>(in));
    }
  }
};

template <class T>
struct NativeRule<T, std::enable_if_t<std::is_same_v<T, float> || std::is_same_v<T, double>>> {
  static void ToNative(BindingResult& result, const BindingRegistry&, const TypeDescriptor*, const BindingValue& value,
                       const char* target, T& out) {
    AssignNumber<T>(result, value, target, out);
  }
  static void ToValue(BindingResult&, const BindingRegistry&, const TypeDescriptor*, T in, BindingValue& out) {
    out.SetFloat(static_cast<double>(in));
  }
};

template <>
struct NativeRule<std::string> {
  static void ToNative(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor*,
                       const BindingValue& value, const char* target, std::string& out) {
    AssignString(result, registry, value, target, out);
  }
  static void ToValue(BindingResult&, const BindingRegistry&, const TypeDescriptor*, const std::string& in,
                      BindingValue& out) {
    out.SetString(in);
  }
};

template <>
struct NativeRule<Blob> {
  static void ToNative(BindingResult& result, const BindingRegistry&, const TypeDescriptor*, const BindingValue& value,
                       const char* target, Blob& out) {
    AssignBlob(result, value, target, out);
  }
  static void ToValue(BindingResult&, const BindingRegistry&, const TypeDescriptor*, const Blob& in,
                      BindingValue& out) {
    out.SetBlob(std::span<const uint8_t>(in.bytes));
  }
};

template <>
struct NativeRule<BindingValue> {
  static void ToNative(BindingResult& result, const BindingRegistry&, const TypeDescriptor*, const BindingValue& value,
                       const char*, BindingValue& out) {
    AssignObject(result, value, out);
  }
  static void ToValue(BindingResult&, const BindingRegistry&, const TypeDescriptor*, const BindingValue& in,
                      BindingValue& out) {
    if (&in != &out) out = in;
  }
};

template <class T>
struct NativeRule<T, std::enable_if_t<std::is_enum_v<T>>> {
  static void ToNative(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                       const BindingValue& value, const char* target, T& out) {
    if (!result.Ok()) return;
    AssignEnum(result, ConversionDetail::Resolve<T>(registry, referenced), value, target, &out, sizeof(T));
  }
  static void ToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                      const T& in, BindingValue& out) {
    if (!result.Ok()) return;
    EnumToValue(ConversionDetail::Resolve<T>(registry, referenced), StaticType::Id<T>(), &in, sizeof(T), out);
  }
};

/// A registered record; reached as an element or through a field converter, so an Empty input
/// is "required" before it is "not a structure".
template <class T>
struct NativeRule<T, std::enable_if_t<kIsNativeRecord<T>>> {
  static void ToNative(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                       const BindingValue& value, const char* target, T& out) {
    if (!result.Ok()) return;
    if (value.IsEmpty()) return ConversionDetail::FailRequired(result, target);
    AssignValueToNative(result, registry, ConversionDetail::Resolve<T>(registry, referenced), value, target, &out);
  }
  static void ToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                      const T& in, BindingValue& out) {
    NativeRecordToValue(result, registry, ConversionDetail::Resolve<T>(registry, referenced), &in, out);
  }
};

template <class E>
struct NativeRule<std::vector<E>, std::enable_if_t<!std::is_same_v<E, bool>>> {
  static void ToNative(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                       const BindingValue& value, const char* target, std::vector<E>& out) {
    if (!result.Ok()) return;
    out.clear();
    if (value.Kind() != ValueKind::Collection) return ConversionDetail::FailNotCollection(result, target);
    const TypeDescriptor* element = ConversionDetail::Resolve<E>(registry, referenced);
    std::span<const BindingValue> elements = value.Elements();
    out.resize(elements.size());
    for (std::size_t i = 0; i < elements.size() && result.Ok(); ++i) {
      if (!elements[i].IsEmpty()) NativeRule<E>::ToNative(result, registry, element, elements[i], target, out[i]);
    }
  }
  static void ToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                      const std::vector<E>& in, BindingValue& out) {
    if (!result.Ok()) return;
    const TypeDescriptor* element = ConversionDetail::Resolve<E>(registry, referenced);
    out.Clear();
    out.Reserve(in.size());
    for (const E& item : in) {
      NativeRule<E>::ToValue(result, registry, element, item, out.Append());
      if (!result.Ok()) return;
    }
  }
};

/// One bit per element; every element, Empty ones included, goes through the bool rule.
template <>
struct NativeRule<std::vector<bool>> {
  static void ToNative(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                       const BindingValue& value, const char* target, std::vector<bool>& out);
  static void ToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                      const std::vector<bool>& in, BindingValue& out);
};

template <class E>
struct NativeRule<BindingMap<E>> {
  static void ToNative(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                       const BindingValue& value, const char* target, BindingMap<E>& out) {
    if (!result.Ok()) return;
    out.clear();
    if (value.Kind() != ValueKind::Structure) return ConversionDetail::FailMapNotStructure(result, target);
    const TypeDescriptor* element = ConversionDetail::Resolve<E>(registry, referenced);
    out.reserve(value.Size());
    for (const BindingValue::MemberEntry& member : value.Members()) {
      if (member.value.IsEmpty()) continue;
      E& slot = out[std::string(member.name)];
      NativeRule<E>::ToNative(result, registry, element, member.value, target, slot);
      if (!result.Ok()) return;
    }
  }
  static void ToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                      const BindingMap<E>& in, BindingValue& out) {
    if (!result.Ok()) return;
    const TypeDescriptor* element = ConversionDetail::Resolve<E>(registry, referenced);
    out.Clear();
    out.MakeStructure();
    for (const auto& [name, item] : in) {
      NativeRule<E>::ToValue(result, registry, element, item, out.MemberForWriting(name));
      if (!result.Ok()) return;
    }
  }
};

/// Empty both ways; a refused value leaves std::nullopt.
template <class E>
struct NativeRule<std::optional<E>> {
  static void ToNative(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                       const BindingValue& value, const char* target, std::optional<E>& out) {
    if (!result.Ok()) return;
    if (value.IsEmpty()) {
      out.reset();
      return;
    }
    NativeRule<E>::ToNative(result, registry, referenced, value, target, out.emplace());
    if (!result.Ok()) out.reset();
  }
  static void ToValue(BindingResult& result, const BindingRegistry& registry, const TypeDescriptor* referenced,
                      const std::optional<E>& in, BindingValue& out) {
    if (!result.Ok()) return;
    if (!in.has_value()) {
      out.Clear();
      return;
    }
    NativeRule<E>::ToValue(result, registry, referenced, *in, out);
  }
};

// ---- Typed entry points ----

/// Assigns `value` to `out` by T's rule; `target` names it in messages. A registered record is
/// assigned as a whole record (an Empty input is "not a structure").
template <class T>
void ValueToNative(BindingResult& result, const BindingRegistry& registry, const BindingValue& value,
                   const char* target, T& out) {
  if (!result.Ok()) return;
  if constexpr (kIsNativeRecord<T>) {
    AssignValueToNative(result, registry, ReferencedDescriptorOf<T>(registry), value, target, &out);
  } else {
    NativeRule<T>::ToNative(result, registry, nullptr, value, target, out);
  }
}

/// Converts `in` into `out` by T's rule (`out` must not lie inside result.Value()).
template <class T>
void NativeToValueInto(BindingResult& result, const BindingRegistry& registry, const T& in, BindingValue& out) {
  if (!result.Ok()) return;
  NativeRule<T>::ToValue(result, registry, nullptr, in, out);
}

/// Converts `in` into result.Value().
template <class T>
void NativeToValue(BindingResult& result, const BindingRegistry& registry, const T& in) {
  if (!result.Ok()) return;
  BindingValue tree;
  NativeRule<T>::ToValue(result, registry, nullptr, in, tree);
  if (result.Ok()) result.Value() = std::move(tree);
}

/// Converts `in` into a fresh result.
template <class T>
[[nodiscard]] BindingResult NativeToValue(const BindingRegistry& registry, const T& in) {
  BindingResult result;
  NativeToValue(result, registry, in);
  return result;
}

}  // namespace Vela::Sdk
