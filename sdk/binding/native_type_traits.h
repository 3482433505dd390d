// What a C++ type is to the binding system: its BindingType code, the code of its element, the
// struct or enum it refers to, and the TypeSpec built from them.
//
//   bool, integers by width and sign, float, double   codes 1..11
//   std::string 12, BindingValue 13 (object), Blob 14
//   std::vector<E> 15 and BindingMap<E> 19, element code of E
//   enumerations 16, every other class 17 (a record registered with the registry)
//   std::optional<E> is E's spec; only the optional byte of a field tells them apart
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/binding_type.h"
#include "sdk/binding/binding_value.h"
#include "sdk/binding/native_types.h"
#include "sdk/binding/static_type.h"

namespace Vela::Sdk {

namespace NativeTypeDetail {

template <class T>
struct VectorOf : std::false_type {};
template <class E>
struct VectorOf<std::vector<E>> : std::true_type {
  using Element = E;
};

template <class T>
struct MapOf : std::false_type {};
template <class E>
struct MapOf<std::unordered_map<std::string, E>> : std::true_type {
  using Element = E;
};

template <class T>
struct OptionalOf : std::false_type {};
template <class E>
struct OptionalOf<std::optional<E>> : std::true_type {
  using Element = E;
};

template <class T>
struct Unsupported : std::false_type {};

}  // namespace NativeTypeDetail

template <class T>
inline constexpr bool kIsNativeVector = NativeTypeDetail::VectorOf<T>::value;
template <class T>
inline constexpr bool kIsNativeMap = NativeTypeDetail::MapOf<T>::value;
template <class T>
inline constexpr bool kIsNativeOptional = NativeTypeDetail::OptionalOf<T>::value;

/// A class converted by its registered descriptor.
template <class T>
inline constexpr bool kIsNativeRecord =
    std::is_class_v<T> && !std::is_same_v<T, std::string> && !std::is_same_v<T, BindingValue> &&
    !std::is_same_v<T, Blob> && !kIsNativeVector<T> && !kIsNativeMap<T> && !kIsNativeOptional<T>;

/// The fixed-width integer a conversion reads an integer type as.
template <class T>
using CanonicalInteger =
    std::conditional_t<std::is_signed_v<T>,
                       std::conditional_t<sizeof(T) == 1, int8_t,
                                          std::conditional_t<sizeof(T) == 2, int16_t,
                                                             std::conditional_t<sizeof(T) == 4, int32_t, int64_t>>>,
                       std::conditional_t<sizeof(T) == 1, uint8_t,
                                          std::conditional_t<sizeof(T) == 2, uint16_t,
                                                             std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>>;

template <class T>
constexpr BindingType BindingTypeOf() noexcept {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_same_v<U, bool>) {
    return kBindingBool;
  } else if constexpr (std::is_integral_v<U>) {
    static_assert(sizeof(U) <= 8, "integers wider than 64 bits have no binding type");
    constexpr int32_t kSizeStep = sizeof(U) == 1 ? 0 : sizeof(U) == 2 ? 1 : sizeof(U) == 4 ? 2 : 3;
    return static_cast<BindingType>(kBindingInt8 + 2 * kSizeStep + (std::is_signed_v<U> ? 0 : 1));
  } else if constexpr (std::is_same_v<U, float>) {
    return kBindingFloat;
  } else if constexpr (std::is_same_v<U, double>) {
    return kBindingDouble;
  } else if constexpr (std::is_same_v<U, std::string>) {
    return kBindingString;
  } else if constexpr (std::is_same_v<U, BindingValue>) {
    return kBindingObject;
  } else if constexpr (std::is_same_v<U, Blob>) {
    return kBindingBlob;
  } else if constexpr (std::is_enum_v<U>) {
    return kBindingEnum;
  } else if constexpr (kIsNativeVector<U>) {
    return kBindingVector;
  } else if constexpr (kIsNativeMap<U>) {
    return kBindingMap;
  } else if constexpr (kIsNativeOptional<U>) {
    return BindingTypeOf<typename NativeTypeDetail::OptionalOf<U>::Element>();
  } else if constexpr (kIsNativeRecord<U>) {
    return kBindingStruct;
  } else {
    static_assert(NativeTypeDetail::Unsupported<U>::value, "this type has no binding type");
    return kBindingNone;
  }
}

/// The element code of a vector or map (through an optional), else 0.
template <class T>
constexpr BindingType ElementBindingTypeOf() noexcept {
  using U = std::remove_cv_t<T>;
  if constexpr (kIsNativeVector<U>) {
    return BindingTypeOf<typename NativeTypeDetail::VectorOf<U>::Element>();
  } else if constexpr (kIsNativeMap<U>) {
    return BindingTypeOf<typename NativeTypeDetail::MapOf<U>::Element>();
  } else if constexpr (kIsNativeOptional<U>) {
    return ElementBindingTypeOf<typename NativeTypeDetail::OptionalOf<U>::Element>();
  } else {
    return kBindingNone;
  }
}

namespace NativeTypeDetail {

template <class T>
auto ReferentProbe() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_enum_v<U> || kIsNativeRecord<U>) {
    return std::type_identity<U>{};
  } else if constexpr (kIsNativeVector<U>) {
    return ReferentProbe<typename VectorOf<U>::Element>();
  } else if constexpr (kIsNativeMap<U>) {
    return ReferentProbe<typename MapOf<U>::Element>();
  } else if constexpr (kIsNativeOptional<U>) {
    return ReferentProbe<typename OptionalOf<U>::Element>();
  } else {
    return std::type_identity<void>{};
  }
}

}  // namespace NativeTypeDetail

/// The struct or enum that T is or holds (through vectors, maps and optionals), else void.
template <class T>
using ReferentOf = typename decltype(NativeTypeDetail::ReferentProbe<T>())::type;

/// The registered descriptor of the struct or enum T refers to; null when T refers to none or
/// it is not registered (yet).
template <class T>
TypeDescriptor* ReferencedDescriptorOf(const BindingRegistry& registry) {
  using Referent = ReferentOf<T>;
  if constexpr (std::is_void_v<Referent>) {
    return nullptr;
  } else {
    return registry.FindType(StaticType::Name<Referent>());
  }
}

/// The TypeSpec of T for fields, arguments and results; void gives code 0. Struct and enum types
/// must be registered before a TypeSpec referring to them is made, or the TypeSpec refers to none.
template <class T>
TypeSpec TypeSpecOf(const BindingRegistry& registry) {
  if constexpr (std::is_void_v<T>) {
    return TypeSpec{};
  } else {
    using U = std::remove_cvref_t<T>;
    return TypeSpec{BindingTypeOf<U>(), ElementBindingTypeOf<U>(), ReferencedDescriptorOf<U>(registry)};
  }
}

}  // namespace Vela::Sdk
