// Describing native records, enumerations and function signatures to a BindingRegistry from
// their C++ types: one line per field or enumerator, with the TypeSpec, offset, static record and
// converter derived from the member's type.
//
//   RegisterEnum<GameflowPhase>(registry, "ArkSimpleDialogMessagesGameflowPhase")
//       .Value("None", GameflowPhase::None)
//       .Value("Lobby", GameflowPhase::Lobby);
//   RegisterStruct<Message>(registry, "ArkSimpleDialogMessagesMessage")
//       .Field("id", &Message::id)
//       .Field("type", &Message::type, kFieldRequired)
//       .Field("body", &Message::body)
//       .Tags(tags);
//
// Register a struct or enum before the records whose fields refer to it, so that their specs
// name it; conversions find a type registered later by its static record all the same.
// Fields of vectors or maps of integers use the fixed-width types (int64_t, not long long).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/function_descriptor.h"
#include "sdk/binding/native_type_traits.h"
#include "sdk/binding/value_conversion.h"

namespace Vela::Sdk {

/// The converter of a field of native type T: NativeRule<T> both ways.
template <class T>
class TypedFieldConverter final : public TreeFieldConverter {
 public:
  TypedFieldConverter(const BindingRegistry& registry, const TypeDescriptor* referenced) noexcept
      : registry_(&registry), referenced_(referenced) {}

  void ToNative(BindingResult& result, const BindingValue& value, const char* targetName, void* field) const override {
    NativeRule<T>::ToNative(result, *registry_, referenced_, value, targetName, *static_cast<T*>(field));
  }

  void ToValue(BindingResult& result, const void* field) const override {
    if (!result.Ok()) return;
    BindingValue tree;
    ToValueInto(result, field, tree);
    if (result.Ok()) result.Value() = std::move(tree);
  }

  void ToValueInto(BindingResult& result, const void* field, BindingValue& out) const override {
    NativeRule<T>::ToValue(result, *registry_, referenced_, *static_cast<const T*>(field), out);
  }

 private:
  const BindingRegistry* registry_;
  const TypeDescriptor* referenced_;  // null: looked up on use
};

namespace RegistrationDetail {

/// The byte offset of `member` in T, computed on storage that holds no object, so T needs no
/// default constructor.
template <class T, class M>
uint32_t MemberOffset(M T::*member) noexcept {
  alignas(T) static unsigned char storage[sizeof(T)];
  const T* object = reinterpret_cast<const T*>(storage);
  return static_cast<uint32_t>(reinterpret_cast<const unsigned char*>(&(object->*member)) - storage);
}

/// Built-in container rules read elements as the fixed-width types; a vector<long long> on a
/// system whose int64_t is long would be read through the wrong type.
template <class E>
constexpr bool IsCanonicalElement() noexcept {
  if constexpr (std::is_integral_v<E> && !std::is_same_v<E, bool>) {
    return std::is_same_v<E, CanonicalInteger<E>>;
  } else {
    return true;
  }
}

template <class M>
constexpr bool HasCanonicalElements() noexcept {
  if constexpr (kIsNativeVector<M>) {
    return IsCanonicalElement<typename M::value_type>();
  } else if constexpr (kIsNativeMap<M>) {
    return IsCanonicalElement<typename M::mapped_type>();
  } else {
    return true;
  }
}

}  // namespace RegistrationDetail

/// The steps every registration of a type offers; each does nothing when the type existed.
template <class Derived>
class TypeRegistrationSteps {
 public:
  explicit TypeRegistrationSteps(TypeBuilder builder) noexcept : builder_(builder) {}

  Derived& Description(std::string description) {
    builder_.SetDescription(std::move(description));
    return Self();
  }
  Derived& NameSpace(std::string nameSpace) {
    builder_.SetNameSpace(std::move(nameSpace));
    return Self();
  }
  Derived& Tags(std::initializer_list<std::string_view> tags) {
    builder_.AppendTags(tags);
    return Self();
  }
  /// Any range of texts, e.g. a std::vector<std::string>.
  template <class Range>
  Derived& Tags(const Range& tags) {
    for (const auto& tag : tags) builder_.AppendTags({std::string_view(tag)});
    return Self();
  }

  TypeBuilder& Builder() noexcept { return builder_; }
  TypeDescriptor* Descriptor() const noexcept { return builder_.descriptor; }
  bool Existed() const noexcept { return builder_.existed; }

 protected:
  Derived& Self() noexcept { return static_cast<Derived&>(*this); }
  TypeBuilder builder_;
};

/// Adds fields to a registered record T. Every step does nothing when the type existed already.
template <class T>
class StructRegistration : public TypeRegistrationSteps<StructRegistration<T>> {
  using Steps = TypeRegistrationSteps<StructRegistration<T>>;
  using Steps::builder_;

 public:
  StructRegistration(BindingRegistry& registry, TypeBuilder builder) noexcept : Steps(builder), registry_(&registry) {}

  /// One field named `name` at `member`, with kFieldOmitEmpty / kFieldRequired `flags`.
  template <class M>
  StructRegistration& Field(std::string name, M T::*member, uint8_t flags = 0, std::string description = {}) {
    using Member = std::remove_cv_t<M>;
    static_assert(RegistrationDetail::HasCanonicalElements<Member>(),
                  "vector and map fields hold fixed-width integers (int8_t .. uint64_t)");
    if (builder_.existed) return *this;
    TypeSpec spec = TypeSpecOf<Member>(*registry_);
    builder_.AddField(std::move(name), std::move(description), RegistrationDetail::MemberOffset(member),
                      StaticType::Name<Member>(), spec, TypeSpec{}, flags,
                      std::make_unique<TypedFieldConverter<Member>>(*registry_, spec.referenced),
                      kIsNativeOptional<Member> ? 1 : 0);
    return *this;
  }

 private:
  BindingRegistry* registry_;
};

/// Adds enumerators to a registered enumeration E.
template <class E>
class EnumRegistration : public TypeRegistrationSteps<EnumRegistration<E>> {
  using Steps = TypeRegistrationSteps<EnumRegistration<E>>;
  using Steps::builder_;

 public:
  explicit EnumRegistration(TypeBuilder builder) noexcept : Steps(builder) {}

  /// Enumerators hold 32-bit values as conversion reads them back from storage: 1- and 2-byte
  /// enums signed (so an uint16_t enumerator 40000 is registered as -25536 and still finds its
  /// name), 4- and 8-byte enums by their low 32 bits.
  EnumRegistration& Value(std::string name, E value, std::string description = {}) {
    auto underlying = static_cast<std::underlying_type_t<E>>(value);
    int32_t stored = 0;
    if constexpr (sizeof(E) == 1) {
      stored = static_cast<int8_t>(underlying);
    } else if constexpr (sizeof(E) == 2) {
      stored = static_cast<int16_t>(underlying);
    } else {
      stored = static_cast<int32_t>(underlying);
    }
    builder_.AddEnumerator(std::move(name), stored, std::move(description));
    return *this;
  }
};

/// Begins the record T under `name` (or finds the one registered first under that name).
template <class T>
StructRegistration<T> RegisterStruct(BindingRegistry& registry, std::string_view name) {
  static_assert(kIsNativeRecord<T>, "RegisterStruct takes a record type");
  return StructRegistration<T>(
      registry, registry.BeginType(name, static_cast<uint32_t>(sizeof(T)), StaticType::Name<T>(), false));
}

/// Begins the enumeration E under `name`.
template <class E>
EnumRegistration<E> RegisterEnum(BindingRegistry& registry, std::string_view name) {
  static_assert(std::is_enum_v<E>, "RegisterEnum takes an enumeration");
  static_assert(sizeof(E) == 1 || sizeof(E) == 2 || sizeof(E) == 4 || sizeof(E) == 8, "enums are 1, 2, 4 or 8 bytes");
  return EnumRegistration<E>(registry.BeginType(name, static_cast<uint32_t>(sizeof(E)), StaticType::Name<E>(), true));
}

/// An argument of native type T; std::optional<T> makes it optional.
template <class T>
ArgumentDescriptor ArgumentOf(const BindingRegistry& registry, std::string name, std::string description = {}) {
  using U = std::remove_cvref_t<T>;
  ArgumentDescriptor argument;
  argument.nameHash = Fnv1a(name);
  argument.name = std::move(name);
  argument.description = std::move(description);
  argument.optional = kIsNativeOptional<U>;
  argument.type = TypeSpecOf<U>(registry);
  return argument;
}

}  // namespace Vela::Sdk
