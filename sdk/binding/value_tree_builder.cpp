// Scratch-stack tree building, and the event-by-event writer it falls back to.
#include "sdk/binding/value_tree_builder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "sdk/binding/binding_value_internals.h"
#include "sdk/binding/value_arena.h"
#include "sdk/host/abi/allocation.h"

namespace Vela::Sdk {

namespace {

// Objects are mostly small: insertion sort beats the general sort up to a few dozen members.
constexpr std::size_t kInsertionSortLimit = 24;

// Elements a collection gathers on the scratch stack before it moves them into its buffer.
constexpr std::size_t kSpillBatch = 256;

constexpr std::size_t kNoSpill = static_cast<std::size_t>(-1);

// The first eight bytes of `name`, zeros past its end, as a big-endian number: where two of
// these differ, they order as the names do byte by byte, a shorter name first.
uint64_t LeadingBytes(std::string_view name) noexcept {
  unsigned char bytes[8] = {};
  std::memcpy(bytes, name.data(), name.size() < 8 ? name.size() : 8);
  uint64_t order = 0;
  for (unsigned char byte : bytes) order = order << 8 | byte;
  return order;
}

// Room for `count` elements, growing by half as the mutators do.
BindingValue* GrowElements(BindingValue* elements, std::size_t& capacity, std::size_t count) {
  if (count <= capacity) return elements;
  std::size_t grown = capacity + capacity / 2;
  if (grown < count) grown = count;
  if (grown > BindingValue::kMaxElements) {
    if (count > BindingValue::kMaxElements) throw std::length_error("BindingValue::ElementForWriting");
    grown = BindingValue::kMaxElements;
  }
  void* buffer =
      elements == nullptr ? Allocate(grown * sizeof(BindingValue)) : Reallocate(elements, grown * sizeof(BindingValue));
  if (buffer == nullptr) throw std::bad_alloc();
  capacity = grown;
  return static_cast<BindingValue*>(buffer);
}

}  // namespace

template <class T>
T* ValueTreeBuilder::ScratchAllocator<T>::allocate(std::size_t count) {
  if (count <= firstCount) return static_cast<T*>(first);
  if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
  void* block = Allocate(count * sizeof(T));
  if (block == nullptr) throw std::bad_alloc();
  return static_cast<T*>(block);
}

template <class T>
void ValueTreeBuilder::ScratchAllocator<T>::deallocate(T* block, std::size_t) noexcept {
  if (block != first) Free(block);
}

template struct ValueTreeBuilder::ScratchAllocator<ValueTreeBuilder::Item>;
template struct ValueTreeBuilder::ScratchAllocator<ValueTreeBuilder::Frame>;

// Reserving the first blocks allocates nothing.
ValueTreeBuilder::ValueTreeBuilder(BindingValue& root) noexcept
    : root_(root),
      items_(ScratchAllocator<Item>(firstItems_, kFirstItems)),
      frames_(ScratchAllocator<Frame>(firstFrames_, kFirstFrames)) {
  items_.reserve(kFirstItems);
  frames_.reserve(kFirstFrames);
}

ValueTreeBuilder::~ValueTreeBuilder() {
  for (Item& item : items_) Release(item);
  for (Frame& frame : frames_) {
    for (std::size_t index = 0; index < frame.count; ++index) frame.elements[index].~BindingValue();
    if (frame.elements != nullptr) {
      Free(frame.elements);
      arena_->UncountHeapPart();
    }
  }
  if (arena_ != nullptr) {
    arena_->Release(pendingName_);
    for (Frame& frame : frames_) arena_->Release(frame.name);
  }
}

void ValueTreeBuilder::Release(Item& item) noexcept {
  BindingValue value;
  BindingValue::Internals::Become(value, item.kind, item.bits, arena_);
  value.Clear();
  if (arena_ != nullptr) arena_->Release(item.name);
}

ValueArena& ValueTreeBuilder::Arena() {
  if (arena_ == nullptr) arena_ = &BindingValue::Internals::EnsureArena(root_);
  return *arena_;
}

void ValueTreeBuilder::MakeRoom() {
  if (items_.size() == items_.capacity()) items_.reserve(items_.capacity() * 2 + 64);
}

void ValueTreeBuilder::PushBlock(ValueKind kind, void* block) {
  Push(kind, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(block)));
}

void ValueTreeBuilder::Float(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Push(ValueKind::Float, bits);
}

void ValueTreeBuilder::String(std::string_view text) {
  MakeRoom();  // first, so that the push cannot fail with the entry counted
  InternedString* entry = text.empty() ? ValueArena::EmptyString() : Arena().Intern(text);
  PushBlock(ValueKind::String, entry);
}

void ValueTreeBuilder::Blob(std::span<const uint8_t> bytes) {
  ValueArena& arena = Arena();
  MakeRoom();
  void* block = arena.AllocateBlock(sizeof(BindingValue::Blob));
  BindingValue::Blob* blob;
  try {
    blob = new (block) BindingValue::Blob(bytes.begin(), bytes.end());
  } catch (...) {
    arena.FreeBlock(block, sizeof(BindingValue::Blob));
    throw;
  }
  arena.CountHeapPart();
  PushBlock(ValueKind::Blob, blob);
}

void ValueTreeBuilder::Begin(bool structure) {
  frames_.push_back(Frame{items_.size(), pendingName_, structure, nullptr, 0, 0});
  pendingName_ = nullptr;
  spillAt_ = structure ? kNoSpill : items_.size() + kSpillBatch;
}

// The frame below the one that ended is innermost again.
void ValueTreeBuilder::End() {
  frames_.pop_back();
  spillAt_ = frames_.empty() || frames_.back().structure ? kNoSpill : frames_.back().first + kSpillBatch;
}

void ValueTreeBuilder::BeginCollection() { Begin(false); }

void ValueTreeBuilder::BeginStructure() { Begin(true); }

void ValueTreeBuilder::Spill() {
  ValueArena& arena = Arena();
  Frame& frame = frames_.back();
  std::size_t count = items_.size() - frame.first;
  bool first = frame.elements == nullptr;
  frame.elements = GrowElements(frame.elements, frame.capacity, frame.count + count);
  if (first) arena.CountHeapPart();
  const Item* item = items_.data() + frame.first;
  for (std::size_t index = 0; index < count; ++index, ++item) {
    auto* element = new (frame.elements + frame.count + index) BindingValue();
    BindingValue::Internals::Become(*element, item->kind, item->bits, &arena);
  }
  frame.count += count;
  items_.resize(frame.first);
  spillAt_ = frame.first + kSpillBatch;
}

void ValueTreeBuilder::Key(std::string_view name) {
  InternedString* entry = Arena().Intern(name);
  Arena().Release(pendingName_);
  pendingName_ = entry;
}

void ValueTreeBuilder::EndCollection() {
  ValueArena& arena = Arena();
  MakeRoom();
  if (items_.size() > frames_.back().first) Spill();
  Frame frame = frames_.back();
  void* block = arena.AllocateBlock(sizeof(ElementArray));
  auto* array = new (block) ElementArray{frame.elements, frame.elements + frame.count, frame.elements + frame.capacity};
  End();
  pendingName_ = frame.name;
  PushBlock(ValueKind::Collection, array);
}

bool ValueTreeBuilder::EndStructure() {
  ValueArena& arena = Arena();
  MakeRoom();
  const Frame frame = frames_.back();
  Item* first = items_.data() + frame.first;
  Item* last = items_.data() + items_.size();
  auto count = static_cast<std::size_t>(last - first);
  for (Item* item = first; item < last; ++item) item->order = LeadingBytes(item->name->View());
  auto byName = [](const Item& left, const Item& right) {
    if (left.order != right.order) return left.order < right.order;
    return NameLess::Less(left.name->View(), right.name->View());
  };
  if (count <= kInsertionSortLimit) {
    for (Item* next = first + 1; next < last; ++next) {
      if (!byName(*next, next[-1])) continue;
      Item moving = *next;
      Item* hole = next;
      do {
        *hole = hole[-1];
        --hole;
      } while (hole != first && byName(moving, hole[-1]));
      *hole = moving;
    }
  } else {
    std::sort(first, last, byName);
  }
  // Equal names share one interned entry.
  for (Item* item = first + 1; item < last; ++item) {
    if (item->name == item[-1].name) return false;
  }

  MemberTable* table = BindingValue::Internals::NewTable(arena);
  const MemberLayout layout = MemberTable::LayoutFor(count);
  if (layout != MemberLayout::Tree) {
    const bool chunked = layout == MemberLayout::Chunks;
    const uint32_t chunks = chunked ? MemberTable::ChunksFor(static_cast<uint32_t>(count)) : 0;
    uint32_t madeChunks = 0;
    uint32_t made = 0;
    try {
      if (chunked) {
        for (; madeChunks < chunks; ++madeChunks) {
          table->chunks[madeChunks] = static_cast<MemberChunk*>(arena.AllocateBlock(sizeof(MemberChunk)));
        }
        table->layout = MemberLayout::Chunks;
      }
      for (; made < count; ++made) {
        auto* node = static_cast<MemberNode*>(arena.AllocateBlock(sizeof(MemberNode)));
        new (&node->value) BindingValue();
        BindingValue::Internals::Become(node->value, first[made].kind, first[made].bits, &arena);
        node->name = first[made].name;
        if (chunked) {
          table->ChunkNode(made) = node;
        } else {
          table->slots[made] = node;
        }
      }
    } catch (...) {
      // The items still own every part: give back only the nodes and chunks.
      for (uint32_t index = 0; index < made; ++index) arena.FreeBlock(table->Node(index), sizeof(MemberNode));
      BindingValue::Internals::FreeChunks(table->chunks, madeChunks, arena);
      arena.FreeBlock(table, sizeof(MemberTable));
      throw;
    }
    table->count = static_cast<uint32_t>(count);
  } else {
    auto* map = new (&table->map) MemberMap(NameLess{}, MemberAllocator(&arena));
    table->layout = MemberLayout::Tree;
    try {
      for (Item* item = first; item < last; ++item) {
        auto position =
            map->emplace_hint(map->end(), std::piecewise_construct, std::forward_as_tuple(item->name), std::tuple<>());
        BindingValue::Internals::Become(position->second, item->kind, item->bits, &arena);
      }
    } catch (...) {
      for (auto& member : *map) new (&member.second) BindingValue();
      map->~MemberMap();
      arena.FreeBlock(table, sizeof(MemberTable));
      throw;
    }
  }
  items_.resize(frame.first);
  End();
  pendingName_ = frame.name;
  PushBlock(ValueKind::Structure, table);
  return true;
}

bool ValueTreeBuilder::Finish() {
  if (arena_ != nullptr) {
    arena_->Release(pendingName_);
    pendingName_ = nullptr;
  }
  while (!frames_.empty()) {
    if (frames_.back().structure) {
      if (!EndStructure()) return false;
    } else {
      EndCollection();
    }
  }
  if (items_.empty()) return true;
  const Item& item = items_.back();
  BindingValue::Internals::TakePayload(root_, item.kind, item.bits);
  items_.clear();
  return true;
}

void ValueEventWriter::BeginCollection() {
  BindingValue& target = Next();
  target.MakeCollection();
  open_.push_back(&target);
  inCollection_ = true;
}

void ValueEventWriter::BeginStructure() {
  BindingValue& target = Next();
  target.MakeStructure();
  open_.push_back(&target);
  inCollection_ = false;
}

void ValueEventWriter::Pop() noexcept {
  open_.pop_back();
  inCollection_ = !open_.empty() && open_.back()->Kind() == ValueKind::Collection;
}

}  // namespace Vela::Sdk
