// The payload blocks of BindingValue as binding_value.cpp and the tree builder lay them out; not
// for use outside sdk/binding.
#pragma once

#include <algorithm>
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

// A member of a structure kept in slots or chunks: an arena block of its own, which stays where
// it is while the member exists.
struct MemberNode {
  BindingValue value;
  InternedString* name;
};

// Pointers to the member nodes of a wider structure, in name order; an arena block of its own.
struct MemberChunk {
  static constexpr std::size_t kNodes = ValueArena::kMaxBlockSize / sizeof(void*);
  MemberNode* nodes[kNodes];
};

// How a structure's block holds its members.
enum class MemberLayout : uint32_t {
  Slots,   // pointers to the member nodes right in the block
  Tree,    // a balanced tree of arena nodes in the block
  Chunks,  // the block points to chunks, which point to the member nodes
};

// A structure's block. Most structures have a handful of members: they keep pointers to their
// member nodes in name order right here. A wider one keeps them, still in order, in chunks that
// the block points to, so that a structure read whole, or copied, takes one small block per
// member and one per chunk and is walked in order without a node chase; both find a name by
// binary search. A structure that outgrows the chunks moves its members into a balanced tree of
// arena nodes, so that neither lookups nor insertions grow with the member count beyond its
// logarithm. No member storage ever comes from the general heap.
struct MemberTable {
  static constexpr std::size_t kSlots = (ValueArena::kMaxBlockSize - 2 * sizeof(uint32_t)) / sizeof(void*);
  static constexpr std::size_t kChunkedMembers = kSlots * MemberChunk::kNodes;

  uint32_t count;  // members in the slots or chunks; unused with the tree
  MemberLayout layout;
  union {
    MemberNode* slots[kSlots];
    MemberChunk* chunks[kSlots];
    MemberMap map;
  };

  MemberTable() noexcept : count(0), layout(MemberLayout::Slots) {}
  ~MemberTable() {}
  MemberTable(const MemberTable&) = delete;
  MemberTable& operator=(const MemberTable&) = delete;

  /// The node at `index` in name order; slots and chunks only.
  MemberNode*& Node(uint32_t index) noexcept { return layout == MemberLayout::Slots ? slots[index] : ChunkNode(index); }
  MemberNode*& ChunkNode(uint32_t index) noexcept {
    return chunks[index / MemberChunk::kNodes]->nodes[index % MemberChunk::kNodes];
  }
  MemberNode* Node(uint32_t index) const noexcept { return const_cast<MemberTable*>(this)->Node(index); }
  /// Chunks in use for `members` members.
  static uint32_t ChunksFor(uint32_t members) noexcept {
    return static_cast<uint32_t>((members + MemberChunk::kNodes - 1) / MemberChunk::kNodes);
  }
  /// How a structure read or copied whole with `members` members keeps them.
  static MemberLayout LayoutFor(std::size_t members) noexcept {
    return members <= kSlots            ? MemberLayout::Slots
           : members <= kChunkedMembers ? MemberLayout::Chunks
                                        : MemberLayout::Tree;
  }
};
static_assert(sizeof(MemberTable) <= ValueArena::kMaxBlockSize);
static_assert(sizeof(MemberNode) <= ValueArena::kMaxBlockSize);
static_assert(sizeof(MemberChunk) <= ValueArena::kMaxBlockSize);
// A structure that fills its slots moves into a single chunk.
static_assert(MemberTable::kSlots < MemberChunk::kNodes);

// Where member iteration stands: an index into the slots or chunks, or a position in the tree.
struct MemberCursor {
  const MemberTable* table;
  uint32_t index;
  MemberMapIterator position;
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
    return table.layout == MemberLayout::Tree ? table.map.size() : table.count;
  }
  static MemberCursor First(const MemberTable& table) noexcept {
    return table.layout == MemberLayout::Tree ? MemberCursor{&table, 0, table.map.begin()}
                                              : MemberCursor{&table, 0, {}};
  }
  static MemberCursor Last(const MemberTable& table) noexcept {
    return table.layout == MemberLayout::Tree ? MemberCursor{&table, 0, table.map.end()}
                                              : MemberCursor{&table, table.count, {}};
  }
  static bool InTree(const MemberCursor& cursor) noexcept {
    return cursor.table != nullptr && cursor.table->layout == MemberLayout::Tree;
  }
  static bool Same(const MemberCursor& left, const MemberCursor& right) noexcept {
    return InTree(left) ? left.position == right.position : left.index == right.index;
  }
  static void Advance(MemberCursor& cursor) noexcept {
    if (InTree(cursor)) {
      ++cursor.position;
    } else {
      ++cursor.index;
    }
  }
  static InternedString* NameAt(const MemberCursor& cursor) noexcept {
    return InTree(cursor) ? cursor.position->first : cursor.table->Node(cursor.index)->name;
  }
  static BindingValue& ValueAt(const MemberCursor& cursor) noexcept {
    return InTree(cursor) ? const_cast<BindingValue&>(cursor.position->second)
                          : cursor.table->Node(cursor.index)->value;
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
  /// Calls `action(node)` for every member node of a table in slots or chunks, in name order.
  template <class Action>
  static void ForEachNode(const MemberTable& table, Action&& action) {
    if (table.layout == MemberLayout::Slots) {
      for (uint32_t index = 0; index < table.count; ++index) action(table.slots[index]);
      return;
    }
    for (uint32_t index = 0; index < table.count; index += MemberChunk::kNodes) {
      MemberNode* const* nodes = table.chunks[index / MemberChunk::kNodes]->nodes;
      const auto inChunk = static_cast<uint32_t>(std::min<std::size_t>(table.count - index, MemberChunk::kNodes));
      for (uint32_t node = 0; node < inChunk; ++node) action(nodes[node]);
    }
  }
  /// Calls `action(name, value)` for every member in name order.
  template <class Action>
  static void ForEachMember(const MemberTable& table, Action&& action) {
    if (table.layout == MemberLayout::Tree) {
      for (const auto& member : table.map) action(member.first, const_cast<BindingValue&>(member.second));
      return;
    }
    ForEachNode(table, [&](MemberNode* node) { action(node->name, node->value); });
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
  /// Puts `node` at `index` of a table in slots or chunks that is not full (Full below), moving
  /// the members from there on up by one; slots that are full move to a chunk first. Raises
  /// std::bad_alloc, with the table as it was, when a chunk cannot be had.
  static void InsertNode(MemberTable& table, uint32_t index, MemberNode* node, ValueArena& arena) {
    if (table.layout == MemberLayout::Slots && table.count < MemberTable::kSlots) {
      std::memmove(table.slots + index + 1, table.slots + index, (table.count - index) * sizeof(MemberNode*));
      table.slots[index] = node;
      ++table.count;
      return;
    }
    InsertNodeSlowly(table, index, node, arena);
  }
  static void InsertNodeSlowly(MemberTable& table, uint32_t index, MemberNode* node, ValueArena& arena);
  /// Takes the node at `index` out of a table in slots or chunks, moving the members after it
  /// down by one, and returns it.
  static MemberNode* TakeNode(MemberTable& table, uint32_t index, ValueArena& arena) noexcept;
  /// Whether InsertNode must wait for MoveToTree.
  static bool Full(const MemberTable& table) noexcept {
    return table.layout == MemberLayout::Chunks && table.count == MemberTable::kChunkedMembers;
  }
  /// Moves the members of a table in slots or chunks into a tree in the same block.
  static void MoveToTree(MemberTable& table, ValueArena& arena);
  /// Returns the first `count` chunks of `chunks` to `arena`.
  static void FreeChunks(MemberChunk* const* chunks, uint32_t count, ValueArena& arena) noexcept {
    for (uint32_t chunk = 0; chunk < count; ++chunk) arena.FreeBlock(chunks[chunk], sizeof(MemberChunk));
  }
  /// Destroys every member of `table` and returns their blocks, leaving the table block.
  static void DestroyMembers(MemberTable& table, ValueArena& arena) noexcept;
};

}  // namespace Vela::Sdk
