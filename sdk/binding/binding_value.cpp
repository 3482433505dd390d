// BindingValue: payload blocks in the root's arena, element buffers on the general heap and
// members in an ordered map whose nodes are arena blocks.
#include "sdk/binding/binding_value.h"

#include <cstring>
#include <map>
#include <new>
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <utility>

#include "sdk/binding/value_arena.h"
#include "sdk/host/abi/allocation.h"

namespace Vela::Sdk {
namespace {

static_assert(sizeof(BindingValue) == (sizeof(void*) == 4 ? 16 : 24));

// Byte-wise order of member names, as unsigned bytes, a shorter prefix first. Transparent, so
// a lookup compares the caller's text without interning it.
struct NameLess {
  using is_transparent = void;
  static bool Less(std::string_view left, std::string_view right) noexcept {
    // Member names mostly differ in their first byte.
    if (!left.empty() && !right.empty() && left[0] != right[0]) {
      return static_cast<unsigned char>(left[0]) < static_cast<unsigned char>(right[0]);
    }
    std::size_t common = left.size() < right.size() ? left.size() : right.size();
    int order = common == 0 ? 0 : std::memcmp(left.data(), right.data(), common);
    return order != 0 ? order < 0 : left.size() < right.size();
  }
  bool operator()(const InternedString* left, const InternedString* right) const noexcept {
    return Less(left->View(), right->View());
  }
  bool operator()(const InternedString* left, std::string_view right) const noexcept {
    return Less(left->View(), right);
  }
  bool operator()(std::string_view left, const InternedString* right) const noexcept {
    return Less(left, right->View());
  }
};

// Hands the member map its nodes from the tree's arena.
template <class T>
struct ArenaAllocator {
  using value_type = T;
  ValueArena* arena;

  explicit ArenaAllocator(ValueArena* owner) noexcept : arena(owner) {}
  template <class U>
  ArenaAllocator(const ArenaAllocator<U>& other) noexcept : arena(other.arena) {}

  T* allocate(std::size_t count) {
    static_assert(sizeof(T) <= ValueArena::kMaxBlockSize, "a member node must fit an arena block");
    if (count != 1) throw std::bad_alloc();
    return static_cast<T*>(arena->AllocateBlock(sizeof(T)));
  }
  void deallocate(T* block, std::size_t) noexcept { arena->FreeBlock(block, sizeof(T)); }
  template <class U>
  bool operator==(const ArenaAllocator<U>& other) const noexcept {
    return arena == other.arena;
  }
};

using MemberAllocator = ArenaAllocator<std::pair<InternedString* const, BindingValue>>;
using MemberMap = std::map<InternedString*, BindingValue, NameLess, MemberAllocator>;
using MemberMapIterator = MemberMap::const_iterator;
static_assert(sizeof(MemberMap) <= ValueArena::kMaxBlockSize);

struct ElementArray {
  BindingValue* begin;
  BindingValue* end;
  BindingValue* capacity;
};

constinit const BindingValue emptyValue;

}  // namespace

// Access to the payload blocks, kept out of the header.
struct BindingValue::Internals {
  static InternedString* Text(const BindingValue& value) noexcept {
    return static_cast<InternedString*>(value.payload_.block);
  }
  static Blob* Bytes(const BindingValue& value) noexcept { return static_cast<Blob*>(value.payload_.block); }
  static EnumPayload* Enum(const BindingValue& value) noexcept {
    return static_cast<EnumPayload*>(value.payload_.block);
  }
  static ElementArray* Array(const BindingValue& value) noexcept {
    return static_cast<ElementArray*>(value.payload_.block);
  }
  static MemberMap* Map(const BindingValue& value) noexcept { return static_cast<MemberMap*>(value.payload_.block); }

  // Elements are relocated bitwise when their buffer grows: nothing points at a value itself.
  static void Relocate(ElementArray& array, std::size_t capacity) {
    std::size_t count = static_cast<std::size_t>(array.end - array.begin);
    if (capacity > static_cast<std::size_t>(-1) / sizeof(BindingValue)) throw std::bad_alloc();
    std::size_t bytes = capacity * sizeof(BindingValue);
    void* buffer = array.begin == nullptr ? Allocate(bytes) : Reallocate(array.begin, bytes);
    if (buffer == nullptr) throw std::bad_alloc();
    array.begin = static_cast<BindingValue*>(buffer);
    array.end = array.begin + count;
    array.capacity = array.begin + capacity;
  }

  // Frees what a tree holds on the general heap (element buffers and blob bytes), leaving its
  // arena blocks to go with the arena.
  static void FreeHeapParts(BindingValue& value) noexcept {
    switch (value.kind_) {
      case ValueKind::Blob: Bytes(value)->~Blob(); break;
      case ValueKind::Collection: {
        ElementArray* array = Array(value);
        for (BindingValue* element = array->begin; element != array->end; ++element) FreeHeapParts(*element);
        Free(array->begin);
        break;
      }
      case ValueKind::Structure:
        for (auto& member : *Map(value)) FreeHeapParts(member.second);
        break;
      default: break;
    }
  }

  // Whether `target` is `container` itself or lies anywhere inside it.
  static bool Contains(const BindingValue& container, const BindingValue* target) noexcept {
    if (&container == target) return true;
    if (container.kind_ == ValueKind::Collection) {
      for (const BindingValue& element : container.Elements()) {
        if (Contains(element, target)) return true;
      }
    } else if (container.kind_ == ValueKind::Structure) {
      for (const auto& [name, member] : *Map(container)) {
        if (Contains(member, target)) return true;
      }
    }
    return false;
  }

  static MemberMapIterator& Iterator(MemberIterator& iterator) noexcept {
    return *std::launder(reinterpret_cast<MemberMapIterator*>(iterator.storage_));
  }
  static const MemberMapIterator& Iterator(const MemberIterator& iterator) noexcept {
    return *std::launder(reinterpret_cast<const MemberMapIterator*>(iterator.storage_));
  }
  static MemberIterator Wrap(MemberMapIterator position) noexcept {
    static_assert(sizeof(MemberMapIterator) <= sizeof(MemberIterator::storage_));
    static_assert(std::is_trivially_copyable_v<MemberMapIterator>);
    static_assert(std::is_trivially_destructible_v<MemberMapIterator>);
    MemberIterator iterator;
    new (iterator.storage_) MemberMapIterator(position);
    return iterator;
  }
};

BindingValue::BindingValue(bool value) noexcept : BindingValue() { SetBool(value); }
BindingValue::BindingValue(double value) noexcept : BindingValue() { SetFloat(value); }
BindingValue::BindingValue(const char* text) : BindingValue() {
  SetString(text == nullptr ? std::string_view() : std::string_view(text));
}
BindingValue::BindingValue(const char* text, std::size_t length) : BindingValue() {
  SetString(text == nullptr ? std::string_view() : std::string_view(text, length));
}
BindingValue::BindingValue(std::string_view text) : BindingValue() { SetString(text); }
BindingValue::BindingValue(Blob&& bytes) : BindingValue() { SetBlob(std::move(bytes)); }
BindingValue::BindingValue(EnumPayload value) : BindingValue() { SetEnum(value); }

BindingValue::BindingValue(const BindingValue& other) : BindingValue() { CopyFrom(other); }

BindingValue& BindingValue::operator=(const BindingValue& other) {
  CopyFrom(other);
  return *this;
}

BindingValue::BindingValue(BindingValue&& other) noexcept : BindingValue() { MoveFrom(other); }

BindingValue& BindingValue::operator=(BindingValue&& other) noexcept {
  MoveFrom(other);
  return *this;
}

BindingValue::~BindingValue() {
  if (ownsArena_ != 0 && arena_ != nullptr) {
    // The arena goes with the root and takes every block and interned text with it, so only
    // what lives on the general heap has to be found and freed.
    Internals::FreeHeapParts(*this);
    delete arena_;
  } else {
    Clear();
  }
}

const BindingValue& BindingValue::EmptyValue() noexcept { return emptyValue; }

ValueArena& BindingValue::EnsureArena() {
  // Only a root can be without an arena: elements and members are given theirs when made.
  if (arena_ == nullptr) arena_ = new ValueArena();
  return *arena_;
}

void BindingValue::SetBlock(ValueKind kind, void* block) noexcept {
  payload_.u64 = 0;
  payload_.block = block;
  kind_ = kind;
}

void BindingValue::Clear() noexcept {
  switch (kind_) {
    case ValueKind::String:
      if (arena_ != nullptr) arena_->Release(Internals::Text(*this));
      break;
    case ValueKind::Blob: {
      Blob* bytes = Internals::Bytes(*this);
      bytes->~Blob();
      arena_->FreeBlock(bytes, sizeof(Blob));
      break;
    }
    case ValueKind::Enum: arena_->FreeBlock(Internals::Enum(*this), sizeof(EnumPayload)); break;
    case ValueKind::Collection: {
      ElementArray* array = Internals::Array(*this);
      for (BindingValue* element = array->begin; element != array->end; ++element) element->~BindingValue();
      Free(array->begin);
      arena_->FreeBlock(array, sizeof(ElementArray));
      break;
    }
    case ValueKind::Structure: {
      MemberMap* members = Internals::Map(*this);
      for (auto& member : *members) arena_->Release(member.first);
      members->~MemberMap();
      arena_->FreeBlock(members, sizeof(MemberMap));
      break;
    }
    default: break;
  }
  kind_ = ValueKind::Empty;
  payload_.u64 = 0;
}

void BindingValue::SetBool(bool value) noexcept {
  Clear();
  payload_.boolean = value ? 1 : 0;
  kind_ = ValueKind::Bool;
}

void BindingValue::SetSigned(int64_t value) noexcept {
  Clear();
  payload_.i64 = value;
  kind_ = ValueKind::Signed;
}

void BindingValue::SetUnsigned(uint64_t value) noexcept {
  Clear();
  payload_.u64 = value;
  kind_ = ValueKind::Unsigned;
}

void BindingValue::SetFloat(double value) noexcept {
  Clear();
  payload_.f64 = value;
  kind_ = ValueKind::Float;
}

void BindingValue::SetString(std::string_view text) {
  // Interned before the old payload goes, so a text taken from this very value stays valid.
  InternedString* entry = text.empty() ? ValueArena::EmptyString() : EnsureArena().Intern(text);
  Clear();
  SetBlock(ValueKind::String, entry);
}

void BindingValue::SetBlob(Blob&& bytes) {
  void* block = EnsureArena().AllocateBlock(sizeof(Blob));
  auto* blob = new (block) Blob(std::move(bytes));
  Clear();
  SetBlock(ValueKind::Blob, blob);
}

void BindingValue::SetBlob(std::span<const uint8_t> bytes) {
  ValueArena& arena = EnsureArena();
  void* block = arena.AllocateBlock(sizeof(Blob));
  Blob* blob;
  try {
    blob = new (block) Blob(bytes.begin(), bytes.end());
  } catch (...) {
    arena.FreeBlock(block, sizeof(Blob));
    throw;
  }
  Clear();
  SetBlock(ValueKind::Blob, blob);
}

void BindingValue::SetEnum(EnumPayload value) {
  auto* payload = new (EnsureArena().AllocateBlock(sizeof(EnumPayload))) EnumPayload(value);
  Clear();
  SetBlock(ValueKind::Enum, payload);
}

std::size_t BindingValue::Size() const noexcept {
  switch (kind_) {
    case ValueKind::Empty: return 0;
    case ValueKind::String: return Internals::Text(*this)->length;
    case ValueKind::Blob: return Internals::Bytes(*this)->size();
    case ValueKind::Collection: {
      const ElementArray* array = Internals::Array(*this);
      return static_cast<std::size_t>(array->end - array->begin);
    }
    case ValueKind::Structure: return Internals::Map(*this)->size();
    default: return 1;
  }
}

bool BindingValue::GetBool(bool defaultValue) const noexcept {
  return kind_ == ValueKind::Bool ? payload_.boolean != 0 : defaultValue;
}

int64_t BindingValue::GetSigned(int64_t defaultValue) const noexcept {
  return kind_ == ValueKind::Signed ? payload_.i64 : defaultValue;
}

uint64_t BindingValue::GetUnsigned(uint64_t defaultValue) const noexcept {
  return kind_ == ValueKind::Unsigned ? payload_.u64 : defaultValue;
}

double BindingValue::GetFloat(double defaultValue) const noexcept {
  return kind_ == ValueKind::Float ? payload_.f64 : defaultValue;
}

std::string_view BindingValue::GetString(std::string_view defaultValue) const noexcept {
  return kind_ == ValueKind::String ? Internals::Text(*this)->View() : defaultValue;
}

std::span<const uint8_t> BindingValue::GetBlob(std::span<const uint8_t> defaultValue) const noexcept {
  if (kind_ != ValueKind::Blob) return defaultValue;
  const Blob& bytes = *Internals::Bytes(*this);
  return {bytes.data(), bytes.size()};
}

EnumPayload BindingValue::GetEnum(EnumPayload defaultValue) const noexcept {
  return kind_ == ValueKind::Enum ? *Internals::Enum(*this) : defaultValue;
}

const BindingValue& BindingValue::Element(std::size_t index) const noexcept {
  if (kind_ != ValueKind::Collection) return emptyValue;
  const ElementArray* array = Internals::Array(*this);
  return index < static_cast<std::size_t>(array->end - array->begin) ? array->begin[index] : emptyValue;
}

const BindingValue* BindingValue::FindMember(std::string_view name) const noexcept {
  if (kind_ != ValueKind::Structure) return nullptr;
  const MemberMap* members = Internals::Map(*this);
  // One ordering test per node, then one equality test, where find would order twice at the end.
  auto found = members->lower_bound(name);
  return found == members->end() || found->first->View() != name ? nullptr : &found->second;
}

const BindingValue& BindingValue::Member(std::string_view name) const noexcept {
  const BindingValue* member = FindMember(name);
  return member == nullptr ? emptyValue : *member;
}

std::span<const BindingValue> BindingValue::Elements() const noexcept {
  if (kind_ != ValueKind::Collection) return {};
  const ElementArray* array = Internals::Array(*this);
  return {array->begin, array->end};
}

std::span<BindingValue> BindingValue::Elements() noexcept {
  if (kind_ != ValueKind::Collection) return {};
  ElementArray* array = Internals::Array(*this);
  return {array->begin, array->end};
}

BindingValue::MemberRange BindingValue::Members() const noexcept {
  MemberRange range;
  if (kind_ == ValueKind::Structure) {
    const MemberMap* members = Internals::Map(*this);
    range.begin_ = Internals::Wrap(members->begin());
    range.end_ = Internals::Wrap(members->end());
  }
  return range;
}

BindingValue::MemberEntry BindingValue::MemberIterator::operator*() const noexcept {
  const auto& member = *Internals::Iterator(*this);
  return MemberEntry{member.first->View(), member.second};
}

BindingValue::MemberIterator& BindingValue::MemberIterator::operator++() noexcept {
  ++Internals::Iterator(*this);
  return *this;
}

bool BindingValue::MemberIterator::operator==(const MemberIterator& other) const noexcept {
  return Internals::Iterator(*this) == Internals::Iterator(other);
}

void BindingValue::MakeCollection() {
  if (kind_ == ValueKind::Collection) return;
  auto* array = new (EnsureArena().AllocateBlock(sizeof(ElementArray))) ElementArray{nullptr, nullptr, nullptr};
  Clear();
  SetBlock(ValueKind::Collection, array);
}

void BindingValue::MakeStructure() {
  if (kind_ == ValueKind::Structure) return;
  ValueArena& arena = EnsureArena();
  auto* members = new (arena.AllocateBlock(sizeof(MemberMap))) MemberMap(NameLess{}, MemberAllocator(&arena));
  Clear();
  SetBlock(ValueKind::Structure, members);
}

void BindingValue::Reserve(std::size_t count) {
  if (count > kMaxElements) throw std::length_error("BindingValue::Reserve");
  MakeCollection();
  ElementArray& array = *Internals::Array(*this);
  if (count > static_cast<std::size_t>(array.capacity - array.begin)) Internals::Relocate(array, count);
}

void BindingValue::GrowTo(std::size_t count) {
  if (count > kMaxElements) throw std::length_error("BindingValue::ElementForWriting");
  ElementArray& array = *Internals::Array(*this);
  std::size_t capacity = static_cast<std::size_t>(array.capacity - array.begin);
  if (count <= capacity) return;
  std::size_t grown = capacity + capacity / 2;
  if (grown < count) grown = count;
  if (grown > kMaxElements) grown = kMaxElements;
  Internals::Relocate(array, grown);
}

BindingValue& BindingValue::ElementForWriting(std::size_t index) {
  if (index >= kMaxElements) throw std::length_error("BindingValue::ElementForWriting");
  MakeCollection();
  ElementArray& array = *Internals::Array(*this);
  std::size_t size = static_cast<std::size_t>(array.end - array.begin);
  if (index < size) return array.begin[index];
  GrowTo(index + 1);
  for (BindingValue* element = array.end; element != array.begin + index + 1; ++element) {
    new (element) BindingValue();
    element->Adopt(arena_);
  }
  array.end = array.begin + index + 1;
  return array.begin[index];
}

BindingValue& BindingValue::Append() {
  MakeCollection();
  const ElementArray& array = *Internals::Array(*this);
  return ElementForWriting(static_cast<std::size_t>(array.end - array.begin));
}

BindingValue& BindingValue::MemberForWriting(std::string_view name) {
  MakeStructure();
  MemberMap& members = *Internals::Map(*this);
  auto position = members.lower_bound(name);
  if (position != members.end() && position->first->View() == name) return position->second;
  InternedString* entry = arena_->Intern(name);
  try {
    position = members.emplace_hint(position, std::piecewise_construct, std::forward_as_tuple(entry), std::tuple<>());
  } catch (...) {
    arena_->Release(entry);
    throw;
  }
  position->second.Adopt(arena_);
  return position->second;
}

BindingValue::Blob& BindingValue::BlobForWriting() {
  if (kind_ != ValueKind::Blob) SetBlob(Blob());
  return *Internals::Bytes(*this);
}

bool BindingValue::RemoveMember(std::string_view name) noexcept {
  if (kind_ != ValueKind::Structure) return false;
  MemberMap& members = *Internals::Map(*this);
  auto found = members.find(name);
  if (found == members.end()) return false;
  InternedString* entry = found->first;
  members.erase(found);
  arena_->Release(entry);
  return true;
}

void BindingValue::CopyFrom(const BindingValue& source) {
  if (this == &source) return;
  // Within one tree either value may hold the other, and clearing this one could destroy the
  // source mid-copy: go through a copy of its own.
  bool sameTree = source.arena_ != nullptr && source.arena_ == arena_;
  bool eitherContainer = kind_ == ValueKind::Collection || kind_ == ValueKind::Structure ||
                         source.kind_ == ValueKind::Collection || source.kind_ == ValueKind::Structure;
  if (sameTree && eitherContainer) {
    BindingValue copy(source);  // NOLINT(performance-unnecessary-copy-initialization): the copy is the point
    CopyFrom(copy);
    return;
  }
  switch (source.kind_) {
    case ValueKind::Empty: Clear(); break;
    case ValueKind::Bool:
    case ValueKind::Signed:
    case ValueKind::Unsigned:
    case ValueKind::Float:
      Clear();
      payload_ = source.payload_;
      kind_ = source.kind_;
      break;
    case ValueKind::String: {
      InternedString* text = Internals::Text(source);
      InternedString* entry;
      if (text->length == 0) {
        entry = ValueArena::EmptyString();
      } else if (source.arena_ == arena_) {
        ValueArena::Retain(text);
        entry = text;
      } else {
        entry = EnsureArena().Intern(text->View(), text->hash);
      }
      Clear();
      SetBlock(ValueKind::String, entry);
      break;
    }
    case ValueKind::Blob: SetBlob(source.GetBlob()); break;
    case ValueKind::Enum: SetEnum(*Internals::Enum(source)); break;
    case ValueKind::Collection: {
      std::span<const BindingValue> elements = source.Elements();
      Clear();
      Reserve(elements.size());
      for (const BindingValue& element : elements) Append().CopyFrom(element);
      break;
    }
    case ValueKind::Structure: {
      Clear();
      MakeStructure();
      MemberMap& members = *Internals::Map(*this);
      // The source is in name order already, so every member goes at the end.
      for (const auto& [name, member] : *Internals::Map(source)) {
        InternedString* entry = EnsureArena().Intern(name->View(), name->hash);
        MemberMap::iterator position;
        try {
          position = members.emplace_hint(members.end(), std::piecewise_construct, std::forward_as_tuple(entry),
                                          std::tuple<>());
        } catch (...) {
          arena_->Release(entry);
          throw;
        }
        position->second.Adopt(arena_);
        position->second.CopyFrom(member);
      }
      break;
    }
  }
}

void BindingValue::MoveFrom(BindingValue& source) {
  if (this == &source) return;
  if (ownsArena_ != 0 && source.ownsArena_ != 0) {
    std::swap(payload_, source.payload_);
    std::swap(arena_, source.arena_);
    std::swap(kind_, source.kind_);
    source.Clear();
    return;
  }
  if (source.arena_ == nullptr || source.arena_ != arena_) {
    CopyFrom(source);
    source.Clear();
    return;
  }
  // One tree. Moving a value into a part of itself cannot leave the source Empty without
  // destroying the destination, so that is a copy.
  if (Internals::Contains(source, this)) {
    CopyFrom(source);
    return;
  }
  // The source may lie inside this value: take it out before this value is cleared.
  BindingValue taken(source);
  source.Clear();
  if (ownsArena_ != 0) {
    MoveFrom(taken);
  } else {
    CopyFrom(taken);
  }
}

bool BindingValue::operator==(const BindingValue& other) const noexcept {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case ValueKind::Empty: return true;
    case ValueKind::Bool: return payload_.boolean == other.payload_.boolean;
    case ValueKind::Signed: return payload_.i64 == other.payload_.i64;
    case ValueKind::Unsigned: return payload_.u64 == other.payload_.u64;
    case ValueKind::Float: return payload_.f64 == other.payload_.f64;
    case ValueKind::String: return GetString() == other.GetString();
    case ValueKind::Blob: return *Internals::Bytes(*this) == *Internals::Bytes(other);
    case ValueKind::Enum: return *Internals::Enum(*this) == *Internals::Enum(other);
    case ValueKind::Collection: {
      std::span<const BindingValue> mine = Elements();
      std::span<const BindingValue> theirs = other.Elements();
      if (mine.size() != theirs.size()) return false;
      for (std::size_t index = 0; index < mine.size(); ++index) {
        if (!(mine[index] == theirs[index])) return false;
      }
      return true;
    }
    case ValueKind::Structure: {
      const MemberMap& mine = *Internals::Map(*this);
      const MemberMap& theirs = *Internals::Map(other);
      if (mine.size() != theirs.size()) return false;
      for (auto left = mine.begin(), right = theirs.begin(); left != mine.end(); ++left, ++right) {
        if (left->first->View() != right->first->View() || !(left->second == right->second)) return false;
      }
      return true;
    }
  }
  return false;
}

}  // namespace Vela::Sdk
