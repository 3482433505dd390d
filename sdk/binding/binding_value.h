// BindingValue: the one dynamic value of the SDK. A tree keeps every dynamic payload in the
// ValueArena of its root; elements and members borrow that arena.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sdk/binding/value_kind.h"

namespace Vela::Sdk {

class ValueArena;

/// An enumerator as a value carries it: the number and the identifier of its enumeration.
struct EnumPayload {
  int32_t value = 0;
  uint32_t typeId = 0;
  bool operator==(const EnumPayload&) const = default;
};

class BindingValue {
 public:
  using Blob = std::vector<uint8_t>;
  /// Largest element count of a Collection; more raises std::length_error.
  static constexpr std::size_t kMaxElements = 0x0FFFFFFF;

  class MemberIterator;
  class MemberRange;
  /// One member as iteration yields it. The name's data is NUL-terminated.
  struct MemberEntry {
    std::string_view name;
    const BindingValue& value;
  };

  // Construction. Every constructed value is a root that owns its (future) arena.
  constexpr BindingValue() noexcept : payload_{}, arena_(nullptr), kind_(ValueKind::Empty), ownsArena_(1) {}
  BindingValue(bool value) noexcept;
  /// Signed integers are sign-extended to Signed, unsigned ones zero-extended to Unsigned.
  template <std::integral T>
  requires(!std::same_as<T, bool>) BindingValue(T value)
  noexcept : BindingValue() {
    if constexpr (std::is_signed_v<T>) {
      SetSigned(static_cast<int64_t>(value));
    } else {
      SetUnsigned(static_cast<uint64_t>(value));
    }
  }
  BindingValue(double value) noexcept;
  /// A NUL-terminated text; null gives the empty string.
  BindingValue(const char* text);
  /// A counted text, which may hold zero bytes.
  BindingValue(const char* text, std::size_t length);
  BindingValue(std::string_view text);
  /// The bytes are moved into the blob.
  BindingValue(Blob&& bytes);
  BindingValue(EnumPayload value);

  /// Deep copy into this value's own arena.
  BindingValue(const BindingValue& other);
  BindingValue& operator=(const BindingValue& other);
  /// Between roots an exchange; otherwise a deep copy. The source is left Empty either way.
  /// Copying can only fail for want of memory, which ends the process here.
  BindingValue(BindingValue&& other) noexcept;
  BindingValue& operator=(BindingValue&& other) noexcept;
  ~BindingValue();

  // Assignment of a payload, written straight into this value's arena.
  BindingValue& operator=(bool value) noexcept {
    SetBool(value);
    return *this;
  }
  template <std::integral T>
  requires(!std::same_as<T, bool>) BindingValue& operator=(T value) noexcept {
    if constexpr (std::is_signed_v<T>) {
      SetSigned(static_cast<int64_t>(value));
    } else {
      SetUnsigned(static_cast<uint64_t>(value));
    }
    return *this;
  }
  BindingValue& operator=(double value) noexcept {
    SetFloat(value);
    return *this;
  }
  BindingValue& operator=(const char* text) {
    SetString(text == nullptr ? std::string_view() : std::string_view(text));
    return *this;
  }
  BindingValue& operator=(std::string_view text) {
    SetString(text);
    return *this;
  }
  BindingValue& operator=(Blob&& bytes) {
    SetBlob(std::move(bytes));
    return *this;
  }
  BindingValue& operator=(EnumPayload value) {
    SetEnum(value);
    return *this;
  }

  void SetBool(bool value) noexcept;
  void SetSigned(int64_t value) noexcept;
  void SetUnsigned(uint64_t value) noexcept;
  void SetFloat(double value) noexcept;
  void SetString(std::string_view text);
  void SetBlob(Blob&& bytes);
  void SetBlob(std::span<const uint8_t> bytes);
  void SetEnum(EnumPayload value);

  /// Releases the payload and becomes Empty; the arena and the owns-arena flag stay.
  void Clear() noexcept;

  // Queries.
  ValueKind Kind() const noexcept { return kind_; }
  bool IsEmpty() const noexcept { return kind_ == ValueKind::Empty; }
  /// Empty 0; String bytes; Blob bytes; Collection elements; Structure members; otherwise 1.
  std::size_t Size() const noexcept;

  // Typed getters: the payload when the kind matches exactly, else the caller's default.
  bool GetBool(bool defaultValue = false) const noexcept;
  int64_t GetSigned(int64_t defaultValue = 0) const noexcept;
  uint64_t GetUnsigned(uint64_t defaultValue = 0) const noexcept;
  double GetFloat(double defaultValue = 0.0) const noexcept;
  /// The text with its length; its data is NUL-terminated when it comes from the value.
  std::string_view GetString(std::string_view defaultValue = {}) const noexcept;
  std::span<const uint8_t> GetBlob(std::span<const uint8_t> defaultValue = {}) const noexcept;
  EnumPayload GetEnum(EnumPayload defaultValue = {}) const noexcept;

  /// Element `index` of a Collection; the shared static Empty value when there is none.
  const BindingValue& Element(std::size_t index) const noexcept;
  const BindingValue& operator[](std::size_t index) const noexcept { return Element(index); }
  /// The member of a Structure; the shared static Empty value when there is none.
  const BindingValue& Member(std::string_view name) const noexcept;
  const BindingValue& operator[](std::string_view name) const noexcept { return Member(name); }
  /// The member of a Structure, or null.
  const BindingValue* FindMember(std::string_view name) const noexcept;
  bool HasMember(std::string_view name) const noexcept { return FindMember(name) != nullptr; }

  /// The elements of a Collection in order; empty for every other kind.
  std::span<const BindingValue> Elements() const noexcept;
  std::span<BindingValue> Elements() noexcept;
  /// The members of a Structure in byte-wise name order; empty for every other kind.
  MemberRange Members() const noexcept;

  // Mutators. References they return stay valid until the container grows or is cleared.
  /// Clears a value of another kind and makes it an empty Collection; a Collection stays.
  void MakeCollection();
  /// Clears a value of another kind and makes it an empty Structure; a Structure stays.
  void MakeStructure();
  /// Room for `count` elements (makes a Collection); above kMaxElements raises std::length_error.
  void Reserve(std::size_t count);
  /// Makes a Collection, appends Empty elements until there is element `index`, returns it.
  BindingValue& ElementForWriting(std::size_t index);
  /// Makes a Collection and appends one Empty element.
  BindingValue& Append();
  /// Makes a Structure and returns the member, inserted Empty when it was missing.
  BindingValue& MemberForWriting(std::string_view name);
  /// The blob's bytes for appending; makes the value an empty Blob when it is not one.
  Blob& BlobForWriting();
  /// Removes a member of a Structure; false when there was none.
  bool RemoveMember(std::string_view name) noexcept;

  /// Deep equality: same kinds and payloads, members by name, elements in order.
  bool operator==(const BindingValue& other) const noexcept;

  /// The arena of the tree, null until something needed it.
  ValueArena* Arena() const noexcept { return arena_; }
  /// True for a root, false for an element or member.
  bool OwnsArena() const noexcept { return ownsArena_ != 0; }

  /// The shared Empty value that missing elements and members read as.
  static const BindingValue& EmptyValue() noexcept;

  class MemberIterator {
   public:
    using value_type = MemberEntry;
    using difference_type = std::ptrdiff_t;
    MemberIterator() noexcept = default;
    MemberEntry operator*() const noexcept;
    MemberIterator& operator++() noexcept;
    MemberIterator operator++(int) noexcept {
      MemberIterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const MemberIterator& other) const noexcept;

   private:
    friend class BindingValue;
    // Holds the member map's own iterator; the map type stays inside binding_value.cpp.
    alignas(void*) unsigned char storage_[3 * sizeof(void*)] = {};
  };

  class MemberRange {
   public:
    MemberIterator begin() const noexcept { return begin_; }
    MemberIterator end() const noexcept { return end_; }
    bool empty() const noexcept { return begin_ == end_; }

   private:
    friend class BindingValue;
    MemberIterator begin_;
    MemberIterator end_;
  };

 private:
  union Payload {
    uint64_t u64;  // first, so that {} zeroes all eight bytes
    uint8_t boolean;
    int64_t i64;
    double f64;
    void* block;  // the kind's arena block; the upper bytes stay zero on 32-bit systems
  };

  ValueArena& EnsureArena();
  void Adopt(ValueArena* arena) noexcept {
    arena_ = arena;
    ownsArena_ = 0;
  }
  void CopyFrom(const BindingValue& source);
  void MoveFrom(BindingValue& source);
  void SetBlock(ValueKind kind, void* block) noexcept;
  void GrowTo(std::size_t count);
  struct Internals;
  friend struct Internals;
  friend class ValueTreeBuilder;

  Payload payload_;
  ValueArena* arena_;
  ValueKind kind_;
  uint8_t ownsArena_;
};

}  // namespace Vela::Sdk
