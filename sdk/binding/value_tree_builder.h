// ValueTreeBuilder: builds a BindingValue tree from a reader's events, each container made once
// at its end; ValueEventWriter: the same events written one by one through the mutators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

class ValueArena;
struct InternedString;

/// Gathers the parts of every open container on a scratch stack and makes the container's
/// storage once, when it ends: an element buffer of exactly its size, and members sorted by name
/// once instead of inserted one at a time. A long collection moves its elements into its buffer
/// a batch at a time instead, so that the stack never holds more than a batch of them. Values that come after a Key()
/// are members of the innermost open structure; other values are elements of the innermost open collection, or the
/// root.
///
/// A name repeated in one structure cannot be placed this way: the later value is to be replayed
/// onto the earlier one. EndStructure() and Finish() then return false, and the reader reads the
/// input again through ValueEventWriter. Anything gathered and not handed to the root is released
/// by the destructor.
class ValueTreeBuilder {
 public:
  /// `root` is an Empty root value; it receives the tree in Finish().
  explicit ValueTreeBuilder(BindingValue& root) noexcept;
  ~ValueTreeBuilder();
  ValueTreeBuilder(const ValueTreeBuilder&) = delete;
  ValueTreeBuilder& operator=(const ValueTreeBuilder&) = delete;

  void Null() { Push(ValueKind::Empty, 0); }
  void Bool(bool value) { Push(ValueKind::Bool, value ? 1 : 0); }
  void Signed(int64_t value) { Push(ValueKind::Signed, static_cast<uint64_t>(value)); }
  void Unsigned(uint64_t value) { Push(ValueKind::Unsigned, value); }
  void Float(double value);
  void String(std::string_view text);
  void Blob(std::span<const uint8_t> bytes);
  void BeginCollection();
  void EndCollection();
  void BeginStructure();
  /// Names the next value, a member of the innermost open structure.
  void Key(std::string_view name);
  /// False when a name repeated in the structure; nothing is placed then.
  [[nodiscard]] bool EndStructure();
  /// Containers open now.
  std::size_t Depth() const noexcept { return frames_.size(); }
  /// Ends the containers still open (input that stopped inside them) and hands the tree to the
  /// root; false as EndStructure().
  [[nodiscard]] bool Finish();

 private:
  // One value on the scratch stack: its member name (null for an element) and its payload as
  // BindingValue holds it. Trivially copyable, so sorting moves it freely.
  struct Item {
    InternedString* name;
    uint64_t bits;
    ValueKind kind;
    // A member's first eight name bytes as one big-endian number, set when its structure ends:
    // names that differ there are ordered without reading them.
    uint64_t order;
  };
  struct Frame {
    std::size_t first;     // its first item
    InternedString* name;  // its own member name
    bool structure;
    // A long collection's elements so far, moved off the scratch stack a batch at a time.
    BindingValue* elements;
    std::size_t count;
    std::size_t capacity;
  };

  // The scratch stacks' storage comes from the counting allocator, like every other allocation
  // of the plug-in, except their first block, which is inline in the builder and holds a small
  // document whole: a stack asks for it once, when the builder is made, and only ever grows
  // past it.
  template <class T>
  struct ScratchAllocator {
    using value_type = T;
    ScratchAllocator(void* firstBlock, std::size_t firstBlockCount) noexcept
        : first(firstBlock), firstCount(firstBlockCount) {}
    T* allocate(std::size_t count);
    void deallocate(T* block, std::size_t) noexcept;
    bool operator==(const ScratchAllocator& other) const noexcept { return first == other.first; }

    void* first;
    std::size_t firstCount;
  };
  static constexpr std::size_t kFirstItems = 32;
  static constexpr std::size_t kFirstFrames = 8;

  ValueArena& Arena();
  void MakeRoom();
  void Push(ValueKind kind, uint64_t bits) {
    if (items_.size() >= spillAt_) Spill();
    items_.push_back(Item{pendingName_, bits, kind, 0});
    pendingName_ = nullptr;
  }
  void PushBlock(ValueKind kind, void* block);
  void Release(Item& item) noexcept;
  void Spill();
  void Begin(bool structure);
  void End();

  BindingValue& root_;
  ValueArena* arena_ = nullptr;
  InternedString* pendingName_ = nullptr;
  // Scratch index at which the innermost open collection moves its elements off the stack.
  std::size_t spillAt_ = static_cast<std::size_t>(-1);
  alignas(Item) unsigned char firstItems_[kFirstItems * sizeof(Item)];
  alignas(Frame) unsigned char firstFrames_[kFirstFrames * sizeof(Frame)];
  std::vector<Item, ScratchAllocator<Item>> items_;
  std::vector<Frame, ScratchAllocator<Frame>> frames_;
};

/// The same events as ValueTreeBuilder's, each written into the tree at once through the
/// mutators, so that a repeated member name lands in the same member: a later scalar replaces,
/// a later null leaves the member as it was, a later structure merges into a structure and a
/// later collection appends to a collection.
class ValueEventWriter {
 public:
  explicit ValueEventWriter(BindingValue& root) noexcept : target_(&root) {}

  void Null() { Next(); }
  void Bool(bool value) { Next().SetBool(value); }
  void Signed(int64_t value) { Next().SetSigned(value); }
  void Unsigned(uint64_t value) { Next().SetUnsigned(value); }
  void Float(double value) { Next().SetFloat(value); }
  void String(std::string_view text) { Next().SetString(text); }
  void Blob(std::span<const uint8_t> bytes) { Next().SetBlob(bytes); }
  void BeginCollection();
  void EndCollection() { Pop(); }
  void BeginStructure();
  void Key(std::string_view name) { target_ = &open_.back()->MemberForWriting(name); }
  bool EndStructure() {
    Pop();
    return true;
  }
  std::size_t Depth() const noexcept { return open_.size(); }
  bool Finish() noexcept { return true; }

 private:
  // The value the next event fills: a new element inside a collection, else the current target
  // (the root, or the member the last key chose).
  BindingValue& Next() { return inCollection_ ? open_.back()->Append() : *target_; }
  void Pop() noexcept;

  BindingValue* target_;
  // A container's address stays put while it is open: only the innermost open container grows.
  std::vector<BindingValue*> open_;
  bool inCollection_ = false;
};

}  // namespace Vela::Sdk
