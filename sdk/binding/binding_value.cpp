// BindingValue: payload blocks in the root's arena, element buffers on the general heap and
// members in name order in arena blocks (slots, chunks or a balanced tree).
#include "sdk/binding/binding_value.h"

#include <cstring>
#include <map>
#include <new>
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <utility>

#include "sdk/binding/binding_value_internals.h"
#include "sdk/binding/value_arena.h"
#include "sdk/host/abi/allocation.h"

namespace Vela::Sdk {
namespace {

static_assert(sizeof(BindingValue) == (sizeof(void*) == 4 ? 16 : 24));
static_assert(sizeof(MemberMap) + 2 * sizeof(uint32_t) <= ValueArena::kMaxBlockSize);

constinit const BindingValue emptyValue;

// Elements are relocated bitwise when their buffer grows: nothing points at a value itself.
void Relocate(ElementArray& array, std::size_t capacity, ValueArena& arena) {
  std::size_t count = static_cast<std::size_t>(array.end - array.begin);
  if (capacity > static_cast<std::size_t>(-1) / sizeof(BindingValue)) throw std::bad_alloc();
  std::size_t bytes = capacity * sizeof(BindingValue);
  void* buffer = array.begin == nullptr ? Allocate(bytes) : Reallocate(array.begin, bytes);
  if (buffer == nullptr) throw std::bad_alloc();
  if (array.begin == nullptr) arena.CountHeapPart();
  array.begin = static_cast<BindingValue*>(buffer);
  array.end = array.begin + count;
  array.capacity = array.begin + capacity;
}

// The first of `count` members, the node at `index` given by `node(index)`, whose name is not
// below `name`.
template <class NodeAt>
uint32_t LowerBound(uint32_t count, NodeAt&& node, std::string_view name) noexcept {
  uint32_t low = 0;
  uint32_t high = count;
  while (low < high) {
    uint32_t middle = (low + high) / 2;
    if (NameLess::Less(node(middle)->name->View(), name)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

// The first member of a table in slots or chunks whose name is not below `name`.
uint32_t LowerIndex(const MemberTable& table, std::string_view name) noexcept {
  if (table.layout == MemberLayout::Slots) {
    return LowerBound(
        table.count, [&](uint32_t index) { return table.slots[index]; }, name);
  }
  return LowerBound(
      table.count, [&](uint32_t index) { return table.Node(index); }, name);
}

}  // namespace

// Frees what a tree holds on the general heap (element buffers and blob bytes), leaving its
// arena blocks to go with the arena; stops looking once `remaining` parts are found.
void BindingValue::Internals::FreeHeapParts(BindingValue& value, std::size_t& remaining) noexcept {
  switch (value.kind_) {
    case ValueKind::Blob:
      Bytes(value)->~Blob();
      --remaining;
      break;
    case ValueKind::Collection: {
      ElementArray* array = Array(value);
      if (array->begin == nullptr) break;
      --remaining;
      for (BindingValue* element = array->begin; element != array->end && remaining != 0; ++element) {
        if (element->kind_ >= ValueKind::Blob) FreeHeapParts(*element, remaining);
      }
      Free(array->begin);
      break;
    }
    case ValueKind::Structure: {
      const MemberTable& table = *Table(value);
      if (table.layout == MemberLayout::Tree) {
        for (auto member = table.map.begin(); member != table.map.end() && remaining != 0; ++member) {
          auto& memberValue = const_cast<BindingValue&>(member->second);
          if (memberValue.kind_ >= ValueKind::Blob) FreeHeapParts(memberValue, remaining);
        }
      } else {
        for (uint32_t index = 0; index < table.count && remaining != 0; ++index) {
          BindingValue& memberValue = table.Node(index)->value;
          if (memberValue.kind_ >= ValueKind::Blob) FreeHeapParts(memberValue, remaining);
        }
      }
      break;
    }
    default: break;
  }
}

// Whether `target` is `container` itself or lies anywhere inside it.
bool BindingValue::Internals::Contains(const BindingValue& container, const BindingValue* target) noexcept {
  if (&container == target) return true;
  if (container.kind_ == ValueKind::Collection) {
    for (const BindingValue& element : container.Elements()) {
      if (Contains(element, target)) return true;
    }
  } else if (container.kind_ == ValueKind::Structure) {
    bool found = false;
    ForEachMember(*Table(container), [&](InternedString*, BindingValue& member) {
      if (!found && Contains(member, target)) found = true;
    });
    return found;
  }
  return false;
}

void BindingValue::Internals::InsertNodeSlowly(MemberTable& table, uint32_t index, MemberNode* node,
                                               ValueArena& arena) {
  if (table.layout == MemberLayout::Slots) {
    // The slots are full: they move into one chunk, which has room for one more.
    auto* chunk = static_cast<MemberChunk*>(arena.AllocateBlock(sizeof(MemberChunk)));
    std::memcpy(chunk->nodes, table.slots, table.count * sizeof(MemberNode*));
    table.chunks[0] = chunk;
    table.layout = MemberLayout::Chunks;
  } else if (table.count % MemberChunk::kNodes == 0) {
    table.chunks[table.count / MemberChunk::kNodes] =
        static_cast<MemberChunk*>(arena.AllocateBlock(sizeof(MemberChunk)));
  }
  for (uint32_t position = table.count; position > index; --position) table.Node(position) = table.Node(position - 1);
  table.Node(index) = node;
  ++table.count;
}

MemberNode* BindingValue::Internals::TakeNode(MemberTable& table, uint32_t index, ValueArena& arena) noexcept {
  MemberNode* node = table.Node(index);
  --table.count;
  if (table.layout == MemberLayout::Slots) {
    std::memmove(table.slots + index, table.slots + index + 1, (table.count - index) * sizeof(MemberNode*));
    return node;
  }
  for (uint32_t position = index; position < table.count; ++position) table.Node(position) = table.Node(position + 1);
  // A chunk left without members goes back at once.
  if (table.count % MemberChunk::kNodes == 0) {
    arena.FreeBlock(table.chunks[table.count / MemberChunk::kNodes], sizeof(MemberChunk));
  }
  return node;
}

void BindingValue::Internals::MoveToTree(MemberTable& table, ValueArena& arena) {
  MemberNode* nodes[MemberTable::kChunkedMembers];
  MemberChunk* chunks[MemberTable::kSlots];
  const uint32_t count = table.count;
  const MemberLayout layout = table.layout;
  for (uint32_t index = 0; index < count; ++index) nodes[index] = table.Node(index);
  std::memcpy(chunks, table.chunks, sizeof chunks);
  auto* map = new (&table.map) MemberMap(NameLess{}, MemberAllocator(&arena));
  uint32_t moved = 0;
  try {
    for (; moved < count; ++moved) {
      auto position = map->emplace_hint(map->end(), std::piecewise_construct, std::forward_as_tuple(nodes[moved]->name),
                                        std::tuple<>());
      // Bitwise: the member keeps its payload, nothing points at the value itself.
      std::memcpy(static_cast<void*>(&position->second), &nodes[moved]->value, sizeof(BindingValue));
    }
  } catch (...) {
    // The nodes still hold every member: forget the copies and go back to the slots or chunks.
    for (auto& member : *map) new (&member.second) BindingValue();
    map->~MemberMap();
    std::memcpy(table.chunks, chunks, sizeof chunks);
    throw;
  }
  table.layout = MemberLayout::Tree;
  for (uint32_t index = 0; index < count; ++index) arena.FreeBlock(nodes[index], sizeof(MemberNode));
  if (layout == MemberLayout::Chunks) FreeChunks(chunks, MemberTable::ChunksFor(count), arena);
}

void BindingValue::Internals::DestroyMembers(MemberTable& table, ValueArena& arena) noexcept {
  if (table.layout == MemberLayout::Tree) {
    for (auto& member : table.map) arena.Release(member.first);
    table.map.~MemberMap();
    return;
  }
  ForEachNode(table, [&](MemberNode* node) {
    arena.Release(node->name);
    node->value.~BindingValue();
    arena.FreeBlock(node, sizeof(MemberNode));
  });
  if (table.layout == MemberLayout::Chunks) FreeChunks(table.chunks, MemberTable::ChunksFor(table.count), arena);
  table.count = 0;
}

InternedString* BindingValue::Internals::CopyText(InternedString* text, ValueArena& arena, TextCopies& copies) {
  if (text->length == 0) return ValueArena::EmptyString();
  std::size_t slot = (reinterpret_cast<uintptr_t>(text) / sizeof(InternedString)) & (TextCopies::kSlots - 1);
  if (copies.from[slot] == text) {
    ValueArena::Retain(copies.to[slot]);
    return copies.to[slot];
  }
  InternedString* entry = arena.Intern(text->View(), text->hash);
  copies.from[slot] = text;
  copies.to[slot] = entry;
  return entry;
}

// `to` is Empty and of `arena`'s tree; `from` is of another tree. Containers are made at their
// final size and filled in place; should anything fail, `to` is a valid value holding what was
// copied so far.
void BindingValue::Internals::CopyInto(const BindingValue& from, BindingValue& to, ValueArena& arena,
                                       TextCopies& copies) {
  switch (from.kind_) {
    case ValueKind::Empty: return;
    case ValueKind::Bool:
    case ValueKind::Signed:
    case ValueKind::Unsigned:
    case ValueKind::Float:
      to.payload_ = from.payload_;
      to.kind_ = from.kind_;
      return;
    case ValueKind::String: to.SetBlock(ValueKind::String, CopyText(Text(from), arena, copies)); return;
    case ValueKind::Blob: to.SetBlob(from.GetBlob()); return;
    case ValueKind::Enum: to.SetEnum(*Enum(from)); return;
    case ValueKind::Collection: {
      std::span<const BindingValue> elements = from.Elements();
      auto* array = new (arena.AllocateBlock(sizeof(ElementArray))) ElementArray{nullptr, nullptr, nullptr};
      to.SetBlock(ValueKind::Collection, array);
      if (elements.empty()) return;
      Relocate(*array, elements.size(), arena);
      for (const BindingValue& element : elements) {
        BindingValue* copy = new (array->end) BindingValue();
        copy->Adopt(&arena);
        ++array->end;
        if (element.kind_ != ValueKind::Empty) CopyInto(element, *copy, arena, copies);
      }
      return;
    }
    case ValueKind::Structure: {
      MemberTable* table = NewTable(arena);
      to.SetBlock(ValueKind::Structure, table);
      const MemberTable& source = *Table(from);
      table->layout = MemberTable::LayoutFor(MemberCount(source));
      if (table->layout == MemberLayout::Tree) new (&table->map) MemberMap(NameLess{}, MemberAllocator(&arena));
      // The source is in name order already, so every member goes at the end.
      ForEachMember(source, [&](InternedString* name, const BindingValue& member) {
        BindingValue* target;
        if (table->layout == MemberLayout::Tree) {
          InternedString* entry = CopyText(name, arena, copies);
          try {
            target = &table->map
                          .emplace_hint(table->map.end(), std::piecewise_construct, std::forward_as_tuple(entry),
                                        std::tuple<>())
                          ->second;
          } catch (...) {
            arena.Release(entry);
            throw;
          }
        } else {
          auto* node = static_cast<MemberNode*>(arena.AllocateBlock(sizeof(MemberNode)));
          try {
            node->name = CopyText(name, arena, copies);
          } catch (...) {
            arena.FreeBlock(node, sizeof(MemberNode));
            throw;
          }
          new (&node->value) BindingValue();
          try {
            if (table->layout == MemberLayout::Slots) {
              table->slots[table->count++] = node;
            } else {
              InsertNode(*table, table->count, node, arena);
            }
          } catch (...) {
            arena.Release(node->name);
            arena.FreeBlock(node, sizeof(MemberNode));
            throw;
          }
          target = &node->value;
        }
        target->Adopt(&arena);
        if (member.kind_ != ValueKind::Empty) CopyInto(member, *target, arena, copies);
      });
      return;
    }
  }
}

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
    std::size_t remaining = arena_->HeapParts();
    if (remaining != 0) Internals::FreeHeapParts(*this, remaining);
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
      arena_->UncountHeapPart();
      break;
    }
    case ValueKind::Enum: arena_->FreeBlock(Internals::Enum(*this), sizeof(EnumPayload)); break;
    case ValueKind::Collection: {
      ElementArray* array = Internals::Array(*this);
      for (BindingValue* element = array->begin; element != array->end; ++element) element->~BindingValue();
      if (array->begin != nullptr) {
        Free(array->begin);
        arena_->UncountHeapPart();
      }
      arena_->FreeBlock(array, sizeof(ElementArray));
      break;
    }
    case ValueKind::Structure: {
      MemberTable* table = Internals::Table(*this);
      Internals::DestroyMembers(*table, *arena_);
      table->~MemberTable();
      arena_->FreeBlock(table, sizeof(MemberTable));
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
  arena_->CountHeapPart();
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
  arena.CountHeapPart();
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
    case ValueKind::Structure: return Internals::MemberCount(*Internals::Table(*this));
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
  const MemberTable* table = Internals::Table(*this);
  if (table->layout == MemberLayout::Slots) {
    // A few slots: a scan that compares lengths first finds a name sooner than ordering does.
    for (uint32_t slot = 0; slot < table->count; ++slot) {
      const InternedString* entry = table->slots[slot]->name;
      if (entry->length == name.size() && SameBytes(entry->text, name.data(), name.size())) {
        return &table->slots[slot]->value;
      }
    }
    return nullptr;
  }
  if (table->layout == MemberLayout::Chunks) {
    uint32_t index = LowerIndex(*table, name);
    if (index == table->count) return nullptr;
    MemberNode* node = table->Node(index);
    return node->name->View() == name ? &node->value : nullptr;
  }
  // One ordering test per node, then one equality test, where find would order twice at the end.
  auto found = table->map.lower_bound(name);
  return found == table->map.end() || found->first->View() != name ? nullptr : &found->second;
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
    const MemberTable* table = Internals::Table(*this);
    range.begin_ = Internals::Wrap(Internals::First(*table));
    range.end_ = Internals::Wrap(Internals::Last(*table));
  }
  return range;
}

BindingValue::MemberEntry BindingValue::MemberIterator::operator*() const noexcept {
  const MemberCursor& cursor = Internals::Cursor(*this);
  return MemberEntry{Internals::NameAt(cursor)->View(), Internals::ValueAt(cursor)};
}

BindingValue::MemberIterator& BindingValue::MemberIterator::operator++() noexcept {
  MemberCursor& cursor = Internals::Cursor(*this);
  Internals::Advance(cursor);
  // Members are visited in name order, and their names were interned in the order they came:
  // asking early for a name a few members on hides most of the wait for it.
  if (!Internals::InTree(cursor) && cursor.index + 4 < cursor.table->count) {
    __builtin_prefetch(cursor.table->Node(cursor.index + 4)->name);
  }
  return *this;
}

bool BindingValue::MemberIterator::operator==(const MemberIterator& other) const noexcept {
  return Internals::Same(Internals::Cursor(*this), Internals::Cursor(other));
}

void BindingValue::MakeCollection() {
  if (kind_ == ValueKind::Collection) return;
  auto* array = new (EnsureArena().AllocateBlock(sizeof(ElementArray))) ElementArray{nullptr, nullptr, nullptr};
  Clear();
  SetBlock(ValueKind::Collection, array);
}

void BindingValue::MakeStructure() {
  if (kind_ == ValueKind::Structure) return;
  MemberTable* table = Internals::NewTable(EnsureArena());
  Clear();
  SetBlock(ValueKind::Structure, table);
}

void BindingValue::Reserve(std::size_t count) {
  if (count > kMaxElements) throw std::length_error("BindingValue::Reserve");
  MakeCollection();
  ElementArray& array = *Internals::Array(*this);
  if (count > static_cast<std::size_t>(array.capacity - array.begin)) Relocate(array, count, *arena_);
}

void BindingValue::GrowTo(std::size_t count) {
  if (count > kMaxElements) throw std::length_error("BindingValue::ElementForWriting");
  ElementArray& array = *Internals::Array(*this);
  std::size_t capacity = static_cast<std::size_t>(array.capacity - array.begin);
  if (count <= capacity) return;
  std::size_t grown = capacity + capacity / 2;
  if (grown < count) grown = count;
  if (grown > kMaxElements) grown = kMaxElements;
  Relocate(array, grown, *arena_);
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
  MemberTable& table = *Internals::Table(*this);
  if (table.layout != MemberLayout::Tree) {
    uint32_t index = LowerIndex(table, name);
    if (index != table.count && table.Node(index)->name->View() == name) return table.Node(index)->value;
    if (!Internals::Full(table)) {
      InternedString* entry = arena_->Intern(name);
      MemberNode* node;
      try {
        node = static_cast<MemberNode*>(arena_->AllocateBlock(sizeof(MemberNode)));
        try {
          Internals::InsertNode(table, index, node, *arena_);
        } catch (...) {
          arena_->FreeBlock(node, sizeof(MemberNode));
          throw;
        }
      } catch (...) {
        arena_->Release(entry);
        throw;
      }
      new (&node->value) BindingValue();
      node->value.Adopt(arena_);
      node->name = entry;
      return node->value;
    }
    Internals::MoveToTree(table, *arena_);
  }
  MemberMap& members = table.map;
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
  MemberTable& table = *Internals::Table(*this);
  if (table.layout != MemberLayout::Tree) {
    uint32_t index = LowerIndex(table, name);
    if (index == table.count || table.Node(index)->name->View() != name) return false;
    MemberNode* node = Internals::TakeNode(table, index, *arena_);
    node->value.~BindingValue();
    arena_->Release(node->name);
    arena_->FreeBlock(node, sizeof(MemberNode));
    return true;
  }
  MemberMap& members = table.map;
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
    case ValueKind::Collection:
    case ValueKind::Structure: {
      // From another arena (a copy within one tree went through a copy of its own above).
      Clear();
      ValueArena& arena = EnsureArena();
      Internals::TextCopies copies;
      Internals::CopyInto(source, *this, arena, copies);
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
      const MemberTable& mine = *Internals::Table(*this);
      const MemberTable& theirs = *Internals::Table(other);
      if (Internals::MemberCount(mine) != Internals::MemberCount(theirs)) return false;
      MemberCursor right = Internals::First(theirs);
      for (MemberCursor left = Internals::First(mine), end = Internals::Last(mine); !Internals::Same(left, end);
           Internals::Advance(left), Internals::Advance(right)) {
        if (Internals::NameAt(left)->View() != Internals::NameAt(right)->View() ||
            !(Internals::ValueAt(left) == Internals::ValueAt(right))) {
          return false;
        }
      }
      return true;
    }
  }
  return false;
}

}  // namespace Vela::Sdk
