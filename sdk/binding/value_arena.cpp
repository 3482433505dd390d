// Size-class blocks on 16-bit indexed pages, and the per-arena string intern set.
#include "sdk/binding/value_arena.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "sdk/binding/fnv1a.h"
#include "sdk/binding/memory_poisoning.h"
#include "sdk/binding/page_allocator.h"
#include "sdk/host/abi/allocation.h"

namespace Vela::Sdk {
namespace {

using PageHeader = ValueArena::PageHeader;
constexpr std::size_t kHeaderSize = sizeof(PageHeader);
constexpr std::size_t kPageSize = PageAllocator::kPageSize;
static_assert(sizeof(void*) != 4 || kHeaderSize == 16, "the page header is 16 bytes on the host");
static_assert(kHeaderSize <= 32);
static_assert(kPageSize / 4 - 1 <= std::numeric_limits<uint16_t>::max());

unsigned char* Bytes(PageHeader* page) noexcept { return reinterpret_cast<unsigned char*>(page); }

// Free links live in a block's first two bytes, which need not be aligned for uint16_t reads.
uint16_t ReadLink(const unsigned char* block) noexcept {
  uint16_t link;
  std::memcpy(&link, block, sizeof link);
  return link;
}

void WriteLink(unsigned char* block, uint16_t link) noexcept { std::memcpy(block, &link, sizeof link); }

std::size_t RoundedSize(std::size_t size) noexcept { return (size + 3) & ~std::size_t{3}; }

void InitialisePage(PageHeader* page, std::size_t pageSize, std::size_t blockSize) noexcept {
  page->next = nullptr;
  page->previous = nullptr;
  page->pageSize = static_cast<uint16_t>(pageSize);
  page->blocksInUse = 0;
  // The header is never handed out: blocks start at the first index past it.
  std::size_t first = (blockSize + kHeaderSize - 1) / blockSize;
  std::size_t last = pageSize / blockSize - 1;
  for (std::size_t index = first; index <= last; ++index) {
    WriteLink(Bytes(page) + index * blockSize, static_cast<uint16_t>(index == last ? 0 : index + 1));
  }
  page->firstFree = static_cast<uint16_t>(first);
  PoisonMemory(Bytes(page) + kHeaderSize, pageSize - kHeaderSize);
}

void LinkAtHead(PageHeader*& head, PageHeader* page) noexcept {
  page->previous = nullptr;
  page->next = head;
  if (head != nullptr) head->previous = page;
  head = page;
}

void Unlink(PageHeader*& head, PageHeader* page) noexcept {
  if (page->previous != nullptr) {
    page->previous->next = page->next;
  } else {
    head = page->next;
  }
  if (page->next != nullptr) page->next->previous = page->previous;
  page->next = nullptr;
  page->previous = nullptr;
}

bool SameText(const InternedString* entry, std::string_view text, uint32_t hash) noexcept {
  return entry->hash == hash && entry->length == text.size() && SameBytes(entry->text, text.data(), text.size());
}

// Short texts share the entry's block; the rest live on the general heap.
// Rounded so that the class's blocks keep the entry aligned.
std::size_t InlineBlockSize(std::size_t length) noexcept {
  constexpr std::size_t kAlign = alignof(InternedString);
  return (sizeof(InternedString) + length + 1 + kAlign - 1) & ~(kAlign - 1);
}
bool IsInline(const InternedString* entry) noexcept { return entry->text == reinterpret_cast<const char*>(entry + 1); }

// Never written: Retain and Release leave entries of length 0 alone, so every thread may share it.
constinit InternedString emptyString{nullptr, "", 0, kFnv1aOffsetBasis, 1};

}  // namespace

ValueArena::ValueArena() noexcept : buckets_(initialBuckets_) {
  for (SizeClass& sizeClass : classes_) {
    sizeClass.head = nullptr;
    sizeClass.full = nullptr;
    sizeClass.firstPageReady = false;
  }
  for (InternedString*& bucket : initialBuckets_) bucket = nullptr;
}

ValueArena::~ValueArena() {
  for (std::size_t bucket = 0; heapTexts_ != 0 && bucket < bucketCount_; ++bucket) {
    for (InternedString* entry = buckets_[bucket]; entry != nullptr; entry = entry->next) {
      if (!IsInline(entry)) Free(const_cast<char*>(entry->text));
    }
  }
  if (buckets_ != initialBuckets_) Free(buckets_);
  for (SizeClass& sizeClass : classes_) {
    for (PageHeader* list : {sizeClass.head, sizeClass.full}) {
      for (PageHeader* page = list; page != nullptr;) {
        PageHeader* next = page->next;
        if (page->pageSize == kPageSize) PageAllocator::Instance().FreePage(page);
        page = next;
      }
    }
    UnpoisonMemory(sizeClass.firstPage, kFirstPageSize);
  }
}

ValueArena::PageHeader* ValueArena::NewPage(SizeClass& sizeClass, std::size_t blockSize) {
  PageHeader* page;
  if (!sizeClass.firstPageReady) {
    page = reinterpret_cast<PageHeader*>(sizeClass.firstPage);
    InitialisePage(page, kFirstPageSize, blockSize);
    sizeClass.firstPageReady = true;
  } else {
    // A tree that has filled a region's worth of pages is likely to fill the next region too.
    const bool growing = pageCount_ >= PageAllocator::kPagesPerRegion;
    page = static_cast<PageHeader*>(PageAllocator::Instance().AllocatePage(growing));
    InitialisePage(page, kPageSize, blockSize);
    ++pageCount_;
  }
  LinkAtHead(sizeClass.head, page);
  return page;
}

void* ValueArena::AllocateBlockSlowly(std::size_t size) {
  std::size_t blockSize = RoundedSize(size == 0 ? 1 : size);
  if (blockSize > kMaxBlockSize) throw std::bad_alloc();
  SizeClass& sizeClass = classes_[blockSize / 4 - 1];
  PageHeader* page = sizeClass.head != nullptr ? sizeClass.head : NewPage(sizeClass, blockSize);
  unsigned char* block = Bytes(page) + std::size_t{page->firstFree} * blockSize;
  UnpoisonMemory(block, blockSize);
  page->firstFree = ReadLink(block);
  ++page->blocksInUse;
  // A full page leaves the list, so the head always has a free block.
  if (page->firstFree == 0) {
    Unlink(sizeClass.head, page);
    LinkAtHead(sizeClass.full, page);
  }
  return block;
}

void ValueArena::FreeBlock(void* block, std::size_t size) noexcept {
  if (block == nullptr) return;
  std::size_t blockSize = RoundedSize(size == 0 ? 1 : size);
  SizeClass& sizeClass = classes_[blockSize / 4 - 1];
  auto* bytes = static_cast<unsigned char*>(block);
  PageHeader* page;
  if (bytes >= sizeClass.firstPage && bytes < sizeClass.firstPage + kFirstPageSize) {
    page = reinterpret_cast<PageHeader*>(sizeClass.firstPage);
  } else {
    page = reinterpret_cast<PageHeader*>(reinterpret_cast<uintptr_t>(bytes) & ~uintptr_t{kPageSize - 1});
  }
  bool wasFull = page->firstFree == 0;
  WriteLink(bytes, page->firstFree);
  page->firstFree = static_cast<uint16_t>((bytes - Bytes(page)) / blockSize);
  --page->blocksInUse;
  PoisonMemory(bytes, blockSize);
  if (wasFull) {
    Unlink(sizeClass.full, page);
    LinkAtHead(sizeClass.head, page);
  }
  if (page->blocksInUse == 0 && page->pageSize == kPageSize) {
    Unlink(sizeClass.head, page);
    --pageCount_;
    PageAllocator::Instance().FreePage(page);
  }
}

InternedString* ValueArena::EmptyString() noexcept { return &emptyString; }

InternedString* ValueArena::Find(std::string_view text) const noexcept {
  if (text.empty()) return EmptyString();
  uint32_t hash = Fnv1a(text);
  for (InternedString* entry = buckets_[hash & (bucketCount_ - 1)]; entry != nullptr; entry = entry->next) {
    if (SameText(entry, text, hash)) return entry;
  }
  return nullptr;
}

ValueArena::ShortKey ValueArena::KeyOf(const char* data, std::size_t length) noexcept {
  ShortKey key{0, 0, 0};
  if (length >= 8) {
    std::memcpy(&key.head, data, 8);
    std::memcpy(&key.tail, data + length - 8, 8);
  } else if (length >= 4) {
    uint32_t head;
    uint32_t tail;
    std::memcpy(&head, data, 4);
    std::memcpy(&tail, data + length - 4, 4);
    key.head = head;
    key.tail = tail;
  } else {
    for (std::size_t index = 0; index < length; ++index) {
      key.head |= uint64_t{static_cast<uint8_t>(data[index])} << (8 * index);
    }
  }
  uint64_t mixed = (key.head ^ (key.tail >> 7) ^ length) * 0x9E3779B97F4A7C15ull;
  key.slot = static_cast<std::size_t>(mixed >> 58) & (kShortTexts - 1);
  return key;
}

InternedString* ValueArena::FindShort(const ShortKey& key, std::size_t length) noexcept {
  if ((shortTextsInUse_ >> key.slot & 1) == 0) return nullptr;
  const ShortText& shortText = shortTexts_[key.slot];
  InternedString* entry = shortText.entry;
  if (shortText.head != key.head || shortText.tail != key.tail || entry->length != length) {
    return nullptr;
  }
  ++entry->references;
  return entry;
}

InternedString* ValueArena::Intern(std::string_view text) {
  if (text.empty()) return EmptyString();
  if (text.size() > kShortTextLength) return InternHashed(text, Fnv1a(text), nullptr);
  ShortKey key = KeyOf(text.data(), text.size());
  if (InternedString* entry = FindShort(key, text.size())) return entry;
  return InternHashed(text, Fnv1a(text), &key);
}

// The hash is known, and the short texts would save only its computation: straight to the set.
InternedString* ValueArena::Intern(std::string_view text, uint32_t hash) {
  if (text.empty()) return EmptyString();
  return InternHashed(text, hash, nullptr);
}

// `key`: a short text's, whose slot takes the entry when it was interned before: a text seen
// once may never come again, and would only push out one that does.
InternedString* ValueArena::InternHashed(std::string_view text, uint32_t hash, const ShortKey* key) {
  for (InternedString* entry = buckets_[hash & (bucketCount_ - 1)]; entry != nullptr; entry = entry->next) {
    if (SameText(entry, text, hash)) {
      ++entry->references;
      if (key != nullptr) {
        shortTexts_[key->slot] = ShortText{key->head, key->tail, entry};
        shortTextsInUse_ |= uint64_t{1} << key->slot;
      }
      return entry;
    }
  }
  if (text.size() > std::numeric_limits<uint32_t>::max()) throw std::length_error("interned text too long");
  if (internedCount_ + 1 > bucketCount_) Grow();

  InternedString* entry;
  if (InlineBlockSize(text.size()) <= kMaxBlockSize) {
    entry = static_cast<InternedString*>(AllocateBlock(InlineBlockSize(text.size())));
    auto* copy = reinterpret_cast<char*>(entry + 1);
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    entry->text = copy;
  } else {
    char* copy = DuplicateText(text.data(), text.size());
    if (copy == nullptr) throw std::bad_alloc();
    try {
      entry = static_cast<InternedString*>(AllocateBlock(sizeof(InternedString)));
    } catch (...) {
      Free(copy);
      throw;
    }
    entry->text = copy;
    ++heapTexts_;
  }
  entry->length = static_cast<uint32_t>(text.size());
  entry->hash = hash;
  entry->references = 1;
  InternedString*& bucket = buckets_[hash & (bucketCount_ - 1)];
  entry->next = bucket;
  bucket = entry;
  ++internedCount_;
  return entry;
}

void ValueArena::Release(InternedString* entry) noexcept {
  if (entry == nullptr || entry->length == 0) return;
  if (--entry->references != 0) return;
  InternedString** link = &buckets_[entry->hash & (bucketCount_ - 1)];
  while (*link != entry) link = &(*link)->next;
  *link = entry->next;
  if (entry->length <= kShortTextLength) {
    const std::size_t slot = KeyOf(entry->text, entry->length).slot;
    if ((shortTextsInUse_ >> slot & 1) != 0 && shortTexts_[slot].entry == entry) {
      shortTextsInUse_ &= ~(uint64_t{1} << slot);
    }
  }
  if (IsInline(entry)) {
    FreeBlock(entry, InlineBlockSize(entry->length));
  } else {
    --heapTexts_;
    Free(const_cast<char*>(entry->text));
    FreeBlock(entry, sizeof(InternedString));
  }
  if (--internedCount_ == 0 && buckets_ != initialBuckets_) {
    Free(buckets_);
    buckets_ = initialBuckets_;
    bucketCount_ = kInitialBuckets;
    for (InternedString*& bucket : initialBuckets_) bucket = nullptr;
  }
}

// Doubles the buckets in place: bucket i's entries stay in i or move to i + the old count, as
// the next bit of their hash says, so the old and the new array never both exist.
void ValueArena::Grow() {
  const std::size_t half = bucketCount_;
  const std::size_t count = half * 2;
  InternedString** buckets;
  if (buckets_ == initialBuckets_) {
    // NOLINTNEXTLINE(bugprone-sizeof-expression): an array of pointers
    buckets = static_cast<InternedString**>(Allocate(count * sizeof(InternedString*)));
    if (buckets == nullptr) throw std::bad_alloc();
    for (std::size_t index = 0; index < half; ++index) buckets[index] = initialBuckets_[index];
  } else {
    // NOLINTNEXTLINE(bugprone-sizeof-expression): an array of pointers
    buckets = static_cast<InternedString**>(Reallocate(buckets_, count * sizeof(InternedString*)));
    if (buckets == nullptr) throw std::bad_alloc();
  }
  for (std::size_t index = 0; index < half; ++index) {
    InternedString** low = &buckets[index];
    InternedString** high = &buckets[index + half];
    for (InternedString* entry = *low; entry != nullptr; entry = entry->next) {
      if ((entry->hash & half) != 0) {
        *high = entry;
        high = &entry->next;
      } else {
        *low = entry;
        low = &entry->next;
      }
    }
    *low = nullptr;
    *high = nullptr;
  }
  buckets_ = buckets;
  bucketCount_ = count;
}

}  // namespace Vela::Sdk
