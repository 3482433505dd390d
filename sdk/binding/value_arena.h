// ValueArena: the fixed-size blocks and interned strings of one BindingValue tree.
//
// Blocks come in 18 size classes of 4 to 72 bytes. Each class starts with a 144-byte page kept
// inside the arena itself and takes further 4096-byte pages from the PageAllocator. A page
// starts with its header; blocks are addressed by 16-bit index and free ones are chained
// through their first two bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "sdk/binding/memory_poisoning.h"

namespace Vela::Sdk {

// Whether `size` bytes at `left` and `right` are equal. Names are mostly short: up to 16 bytes
// they are compared as two overlapping words each, without a call.
inline bool SameBytes(const char* left, const char* right, std::size_t size) noexcept {
  if (size >= 8) {
    if (size > 16) return std::memcmp(left, right, size) == 0;
    uint64_t a, b, c, d;
    std::memcpy(&a, left, 8);
    std::memcpy(&b, right, 8);
    std::memcpy(&c, left + size - 8, 8);
    std::memcpy(&d, right + size - 8, 8);
    return ((a ^ b) | (c ^ d)) == 0;
  }
  if (size >= 4) {
    uint32_t a, b, c, d;
    std::memcpy(&a, left, 4);
    std::memcpy(&b, right, 4);
    std::memcpy(&c, left + size - 4, 4);
    std::memcpy(&d, right + size - 4, 4);
    return ((a ^ b) | (c ^ d)) == 0;
  }
  for (std::size_t index = 0; index < size; ++index) {
    if (left[index] != right[index]) return false;
  }
  return true;
}

/// A text interned in an arena, counted by the values and member names that refer to it.
/// Short texts are stored right after the entry, in the same block.
struct InternedString {
  InternedString* next;  // in its bucket
  const char* text;      // NUL-terminated; may hold zero bytes within `length`
  uint32_t length;
  uint32_t hash;  // FNV-1a of the text bytes
  uint32_t references;

  std::string_view View() const noexcept { return {text, length}; }
};

class ValueArena {
 public:
  static constexpr std::size_t kSizeClasses = 18;
  static constexpr std::size_t kMaxBlockSize = 4 * kSizeClasses;
  static constexpr std::size_t kFirstPageSize = 144;
  static constexpr std::size_t kInitialBuckets = 8;

  ValueArena() noexcept;
  /// Returns every page, blocks in use or not, and frees the texts of interned strings: a
  /// root being destroyed need not return its blocks one by one.
  ~ValueArena();
  ValueArena(const ValueArena&) = delete;
  ValueArena& operator=(const ValueArena&) = delete;

  /// A block of at least `size` bytes (1..kMaxBlockSize); raises std::bad_alloc when no page
  /// can be had.
  void* AllocateBlock(std::size_t size) {
    std::size_t blockSize = (size + 3) & ~std::size_t{3};
    if (blockSize == 0 || blockSize > kMaxBlockSize) return AllocateBlockSlowly(size);
    SizeClass& sizeClass = classes_[blockSize / 4 - 1];
    PageHeader* page = sizeClass.head;
    if (page == nullptr) return AllocateBlockSlowly(size);
    // The head page always has a free block; taking its last one, which moves the page off the
    // list, is left to the slow path, which takes the same block.
    unsigned char* block = reinterpret_cast<unsigned char*>(page) + std::size_t{page->firstFree} * blockSize;
    UnpoisonMemory(block, blockSize);
    uint16_t next;
    std::memcpy(&next, block, sizeof next);
    if (next == 0) return AllocateBlockSlowly(size);
    page->firstFree = next;
    ++page->blocksInUse;
    return block;
  }
  /// Returns a block from AllocateBlock of the same size.
  void FreeBlock(void* block, std::size_t size) noexcept;

  /// The entry of `text` with one more reference, inserted when new.
  InternedString* Intern(std::string_view text);
  /// As above, with the text's FNV-1a hash already known (from another arena's entry).
  InternedString* Intern(std::string_view text, uint32_t hash);
  /// One more reference to an entry of this arena.
  static void Retain(InternedString* entry) noexcept {
    if (entry->length != 0) ++entry->references;
  }
  /// One reference less; the entry leaves the set at zero. The empty entry is never released.
  void Release(InternedString* entry) noexcept;
  /// The entry of `text` if it is interned here, else null; copies nothing.
  InternedString* Find(std::string_view text) const noexcept;
  /// The one static entry of the empty text, shared by every arena.
  static InternedString* EmptyString() noexcept;

  /// Element buffers and blobs of the tree, which live on the general heap: a root whose tree has
  /// none is torn down without a walk, and a walk ends once it has found them all.
  void CountHeapPart() noexcept { ++heapParts_; }
  void UncountHeapPart() noexcept { --heapParts_; }
  std::size_t HeapParts() const noexcept { return heapParts_; }

  std::size_t InternedCount() const noexcept { return internedCount_; }
  std::size_t BucketCount() const noexcept { return bucketCount_; }
  /// 4096-byte pages this arena holds now.
  std::size_t PageCount() const noexcept { return pageCount_; }

  /// Page header; 16 bytes where pointers have 4.
  struct PageHeader {
    PageHeader* next;
    PageHeader* previous;
    uint16_t pageSize;
    uint16_t blocksInUse;
    uint16_t firstFree;  // 0: the page is full
  };

 private:
  struct SizeClass {
    PageHeader* head;  // pages with a free block, the current one first
    PageHeader* full;  // pages without one, kept only so the arena can give them all back
    bool firstPageReady;
    alignas(16) unsigned char firstPage[kFirstPageSize];
  };

  PageHeader* NewPage(SizeClass& sizeClass, std::size_t blockSize);
  void* AllocateBlockSlowly(std::size_t size);
  void Grow();

  // Short texts that were interned more than once, by their bytes: member names and the words
  // of a document come again and again, and are then found without hashing. Up to 16 bytes a
  // text is told apart by its length and two overlapping words.
  static constexpr std::size_t kShortTextLength = 16;
  static constexpr std::size_t kShortTexts = 64;
  struct ShortText {
    uint64_t head;
    uint64_t tail;
    InternedString* entry;
  };
  struct ShortKey {
    uint64_t head;
    uint64_t tail;
    std::size_t slot;
  };
  static ShortKey KeyOf(const char* data, std::size_t length) noexcept;
  InternedString* FindShort(const ShortKey& key, std::size_t length) noexcept;
  // Intern past the short texts.
  InternedString* InternHashed(std::string_view text, uint32_t hash, const ShortKey* key);

  SizeClass classes_[kSizeClasses];
  // A slot is read only when its bit is set, so that making an arena, which a small request does
  // for every value it reads, does not clear the slots.
  static_assert(kShortTexts <= 64);
  uint64_t shortTextsInUse_ = 0;
  ShortText shortTexts_[kShortTexts];
  std::size_t heapTexts_ = 0;
  std::size_t heapParts_ = 0;
  std::size_t pageCount_ = 0;
  InternedString** buckets_;
  std::size_t bucketCount_ = kInitialBuckets;
  std::size_t internedCount_ = 0;
  InternedString* initialBuckets_[kInitialBuckets];
};

}  // namespace Vela::Sdk
