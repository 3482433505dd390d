// ValueArena: page capacities of the size classes, giving pages back, and the intern set.
#include "sdk/binding/value_arena.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sdk/binding/fnv1a.h"
#include "sdk/binding/memory_poisoning.h"
#include "sdk/binding/page_allocator.h"

namespace Vela::Sdk {
namespace {

using namespace std::string_view_literals;

constexpr std::size_t kHeader = sizeof(ValueArena::PageHeader);

// Blocks of one class that a page of `pageSize` holds: the header is never handed out.
std::size_t BlocksPerPage(std::size_t pageSize, std::size_t blockSize) {
  return pageSize / blockSize - (blockSize + kHeader - 1) / blockSize;
}

// Each class fills its 144-byte first page, kept inside the arena, before it takes a page.
TEST(ValueArena, EveryClassFillsItsFirstPageThenTakesPages) {
  for (std::size_t blockSize = 4; blockSize <= ValueArena::kMaxBlockSize; blockSize += 4) {
    ValueArena arena;
    auto* inside = reinterpret_cast<unsigned char*>(&arena);
    std::vector<void*> blocks;
    std::size_t firstPage = BlocksPerPage(ValueArena::kFirstPageSize, blockSize);
    for (std::size_t index = 0; index < firstPage; ++index) {
      auto* block = static_cast<unsigned char*>(arena.AllocateBlock(blockSize - 3));
      EXPECT_TRUE(block >= inside && block + blockSize <= inside + sizeof arena) << blockSize;
      blocks.push_back(block);
    }
    EXPECT_EQ(arena.PageCount(), 0u) << blockSize;
    std::size_t fullPage = BlocksPerPage(PageAllocator::kPageSize, blockSize);
    for (std::size_t index = 0; index < fullPage; ++index) blocks.push_back(arena.AllocateBlock(blockSize));
    EXPECT_EQ(arena.PageCount(), 1u) << blockSize;
    blocks.push_back(arena.AllocateBlock(blockSize));
    EXPECT_EQ(arena.PageCount(), 2u) << blockSize;
    EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), blocks.size());
    for (void* block : blocks) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 4, 0u);
      arena.FreeBlock(block, blockSize);
    }
    EXPECT_EQ(arena.PageCount(), 0u) << blockSize;
  }
  EXPECT_EQ(PageAllocator::Instance().LivePageCount(), 0u);
}

TEST(ValueArena, APageThatWasFullTakesTheNextRequestWhenABlockReturns) {
  ValueArena arena;
  std::vector<void*> blocks;
  for (std::size_t index = 0; index < BlocksPerPage(ValueArena::kFirstPageSize, 8) + 1; ++index) {
    blocks.push_back(arena.AllocateBlock(8));
  }
  ASSERT_EQ(arena.PageCount(), 1u);
  arena.FreeBlock(blocks[1], 8);
  EXPECT_EQ(arena.AllocateBlock(8), blocks[1]);
  arena.FreeBlock(blocks.back(), 8);
  EXPECT_EQ(arena.PageCount(), 0u);
  blocks.pop_back();
  for (void* block : blocks) arena.FreeBlock(block, 8);
}

TEST(ValueArena, EqualTextsShareOneCountedEntry) {
  ValueArena arena;
  InternedString* first = arena.Intern("name");
  InternedString* second = arena.Intern(std::string("name"));
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->references, 2u);
  EXPECT_EQ(first->hash, Fnv1a("name"));
  EXPECT_EQ(arena.Find("name"), first);
  EXPECT_EQ(first->references, 2u);  // a lookup counts nothing
  arena.Release(first);
  EXPECT_EQ(arena.InternedCount(), 1u);
  arena.Release(second);
  EXPECT_EQ(arena.InternedCount(), 0u);
  EXPECT_EQ(arena.Find("name"), nullptr);
}

TEST(ValueArena, TextsDifferingAfterAZeroByteAreDistinct) {
  ValueArena arena;
  InternedString* one = arena.Intern("a\0b"sv);
  InternedString* other = arena.Intern("a\0c"sv);
  InternedString* shorter = arena.Intern("a"sv);
  EXPECT_NE(one, other);
  EXPECT_NE(one, shorter);
  EXPECT_EQ(one->View(), "a\0b"sv);
  EXPECT_EQ(one->text[3], '\0');
  for (InternedString* entry : {one, other, shorter}) arena.Release(entry);
}

// Texts are found again by the caller's address only when the bytes there are still the same.
TEST(ValueArena, AReusedCallerBufferIsNotMistakenForItsOldText) {
  ValueArena arena;
  std::string buffer = "alpha";
  InternedString* alpha = arena.Intern(buffer);
  buffer[0] = 'b';
  InternedString* blpha = arena.Intern(buffer);
  EXPECT_NE(alpha, blpha);
  EXPECT_EQ(blpha->View(), "blpha");
  arena.Release(blpha);
  InternedString* again = arena.Intern(buffer);
  EXPECT_EQ(again->View(), "blpha");
  EXPECT_EQ(again->references, 1u);
  EXPECT_EQ(arena.Intern(std::string_view(buffer).substr(0, 4))->View(), "blph");
  EXPECT_EQ(arena.InternedCount(), 3u);
}

TEST(ValueArena, LongTextsAreKept) {
  ValueArena arena;
  std::string text(1000, 'q');
  InternedString* entry = arena.Intern(text);
  text[0] = 'x';
  EXPECT_EQ(entry->View(), std::string(1000, 'q'));
  arena.Release(entry);
  EXPECT_EQ(arena.InternedCount(), 0u);
}

TEST(ValueArena, TheEmptyTextIsOneStaticEntryNeverCounted) {
  ValueArena arena;
  InternedString* empty = arena.Intern("");
  EXPECT_EQ(empty, ValueArena::EmptyString());
  EXPECT_EQ(arena.InternedCount(), 0u);
  arena.Release(empty);
  arena.Release(empty);
  EXPECT_EQ(ValueArena::EmptyString()->View(), "");
}

// Load factor at most 1.0: the bucket count doubles, and it starts over at 8 once empty.
TEST(ValueArena, InternSetGrowsByDoublingAndResetsWhenEmpty) {
  ValueArena arena;
  std::vector<InternedString*> entries;
  const std::pair<std::size_t, std::size_t> rows[] = {{8, 8}, {9, 16}, {16, 16}, {17, 32}, {100, 128}};
  for (auto [count, buckets] : rows) {
    while (entries.size() < count) entries.push_back(arena.Intern("text" + std::to_string(entries.size())));
    EXPECT_EQ(arena.BucketCount(), buckets) << count;
  }
  for (std::size_t index = 0; index < entries.size(); ++index) {
    EXPECT_EQ(arena.Find("text" + std::to_string(index)), entries[index]);
  }
  for (InternedString* entry : entries) arena.Release(entry);
  EXPECT_EQ(arena.BucketCount(), ValueArena::kInitialBuckets);
  InternedString* again = arena.Intern("again");
  EXPECT_EQ(arena.Find("again"), again);
  arena.Release(again);
}

#if defined(ORB_ADDRESS_SANITIZER)
TEST(ValueArenaDeathTest, ReadingAReturnedBlockIsCaught) {
  EXPECT_DEATH(
      {
        ValueArena arena;
        auto* block = static_cast<volatile int*>(arena.AllocateBlock(8));
        arena.FreeBlock(const_cast<int*>(block), 8);
        (void)block[1];
      },
      "use-after-poison");
}
#endif

}  // namespace
}  // namespace Vela::Sdk
