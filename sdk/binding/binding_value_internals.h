// The payload blocks of BindingValue as binding_value.cpp and the tree builder lay them out; not
// for use outside sdk/binding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <string_view>
#include <type_traits>

#include "sdk/binding/binding_value.h"
#include "sdk/binding/value_arena.h"

namespace Vela::Sdk {

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

// Hands the member tree its nodes from the tree's arena.
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

struct ElementArray {
  BindingValue* begin;
  BindingValue* end;
  BindingValue* capacity;
};

// A member of a small structure: an arena block of its own, which stays where it is while the
// member exists.
struct MemberNode {
  BindingValue value;
  InternedString* name;
};

// A structure's block. Most structures have a handful of members: they keep pointers to their
// member nodes in name order right here and find a name by binary search. A structure that
// outgrows the slots moves its members into a balanced tree of arena nodes, so that neither
// lookups nor insertions grow with the member count beyond its logarithm, and no member storage
// ever comes from the general heap.
struct MemberTable {
  static constexpr std::size_t kSlots = (ValueArena::kMaxBlockSize - 2 * sizeof(uint32_t)) / sizeof(void*);

  uint32_t count;  // members in the slots; unused once there is a tree
  uint32_t tree;   // 1 once the members live in `map`
  union {
    MemberNode* slots[kSlots];
    MemberMap map;
  };

  MemberTable() noexcept : count(0), tree(0) {}
  ~MemberTable() {}
  MemberTable(const MemberTable&) = delete;
  MemberTable& operator=(const MemberTable&) = delete;
};
static_assert(sizeof(MemberTable) <= ValueArena::kMaxBlockSize);
static_assert(sizeof(MemberNode) <= ValueArena::kMaxBlockSize);

// Where member iteration stands: a slot, or a position in the tree.
struct MemberCursor {
  MemberNode* const* slot;
  MemberMapIterator position;
  bool tree;
};

// Access to the payload blocks, kept out of the public header.
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
  static MemberTable* Table(const BindingValue& value) noexcept {
    return static_cast<MemberTable*>(value.payload_.block);
  }

  /// Makes `value` (Empty, no resources) hold the given payload, as a part of `arena`'s tree;
  /// for the kinds with a block, `bits` holds the block's address.
  static void Become(BindingValue& value, ValueKind kind, uint64_t bits, ValueArena* arena) noexcept {
    value.payload_.u64 = bits;
    if (kind >= ValueKind::String) {
      value.payload_.u64 = 0;
      value.payload_.block = reinterpret_cast<void*>(static_cast<uintptr_t>(bits));
    }
    value.arena_ = arena;
    value.kind_ = kind;
    value.ownsArena_ = 0;
  }
  static void BecomeBlock(BindingValue& value, ValueKind kind, void* block, ValueArena* arena) noexcept {
    value.payload_.u64 = 0;
    value.payload_.block = block;
    value.arena_ = arena;
    value.kind_ = kind;
    value.ownsArena_ = 0;
  }
  static ValueArena& EnsureArena(BindingValue& value) { return value.EnsureArena(); }
  /// A root (Empty) takes the payload of a tree built in its own arena.
  static void TakePayload(BindingValue& root, ValueKind kind, uint64_t bits) noexcept {
    Become(root, kind, bits, root.arena_);
    root.ownsArena_ = 1;
  }

  static void FreeHeapParts(BindingValue& value, std::size_t& remaining) noexcept;
  static bool Contains(const BindingValue& container, const BindingValue* target) noexcept;

  static std::size_t MemberCount(const MemberTable& table) noexcept {
    return table.tree != 0 ? table.map.size() : table.count;
  }
  static MemberCursor First(const MemberTable& table) noexcept {
    return table.tree != 0 ? MemberCursor{nullptr, table.map.begin(), true} : MemberCursor{table.slots, {}, false};
  }
  static MemberCursor Last(const MemberTable& table) noexcept {
    return table.tree != 0 ? MemberCursor{nullptr, table.map.end(), true}
                           : MemberCursor{table.slots + table.count, {}, false};
  }
  static bool Same(const MemberCursor& left, const MemberCursor& right) noexcept {
    return left.tree ? left.position == right.position : left.slot == right.slot;
  }
  static void Advance(MemberCursor& cursor) noexcept {
    if (cursor.tree) {
      ++cursor.position;
    } else {
      ++cursor.slot;
    }
  }
  static InternedString* NameAt(const MemberCursor& cursor) noexcept {
    return cursor.tree ? cursor.position->first : (*cursor.slot)->name;
  }
  static BindingValue& ValueAt(const MemberCursor& cursor) noexcept {
    return cursor.tree ? const_cast<BindingValue&>(cursor.position->second) : (*cursor.slot)->value;
  }
  static MemberCursor& Cursor(MemberIterator& iterator) noexcept {
    return *std::launder(reinterpret_cast<MemberCursor*>(iterator.storage_));
  }
  static const MemberCursor& Cursor(const MemberIterator& iterator) noexcept {
    return *std::launder(reinterpret_cast<const MemberCursor*>(iterator.storage_));
  }
  static MemberIterator Wrap(const MemberCursor& cursor) noexcept {
    static_assert(sizeof(MemberCursor) <= sizeof(MemberIterator::storage_));
    static_assert(alignof(MemberCursor) <= alignof(void*));
    static_assert(std::is_trivially_copyable_v<MemberCursor>);
    static_assert(std::is_trivially_destructible_v<MemberCursor>);
    MemberIterator iterator;
    new (iterator.storage_) MemberCursor(cursor);
    return iterator;
  }
  /// Calls `action(name, value)` for every member in name order.
  template <class Action>
  static void ForEachMember(const MemberTable& table, Action&& action) {
    if (table.tree != 0) {
      for (const auto& member : table.map) action(member.first, const_cast<BindingValue&>(member.second));
    } else {
      for (uint32_t index = 0; index < table.count; ++index)
        action(table.slots[index]->name, table.slots[index]->value);
    }
  }

  /// The entries that texts of one source tree became in the target arena, by source entry, so
  /// that a copy interns each text it meets again without looking it up.
  struct TextCopies {
    static constexpr std::size_t kSlots = 64;
    const InternedString* from[kSlots] = {};
    InternedString* to[kSlots] = {};
  };
  static InternedString* CopyText(InternedString* text, ValueArena& arena, TextCopies& copies);
  static void CopyInto(const BindingValue& from, BindingValue& to, ValueArena& arena, TextCopies& copies);

  /// An empty structure block in `arena`.
  static MemberTable* NewTable(ValueArena& arena) {
    return new (arena.AllocateBlock(sizeof(MemberTable))) MemberTable();
  }
  /// Moves the slot members of `table` into a tree in the same block.
  static void MoveToTree(MemberTable& table, ValueArena& arena);
};

}  // namespace Vela::Sdk
