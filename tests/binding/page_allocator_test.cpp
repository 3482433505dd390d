// PageAllocator: pages lowest address first, regions given back as soon as they are whole.
#include "sdk/binding/page_allocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>
#include <vector>

#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {
namespace {

constexpr std::size_t kPage = PageAllocator::kPageSize;

TEST(PageAllocator, HandsOutARegionsPagesInOrderAndReleasesItWhenAllAreBack) {
  PageAllocator& pages = PageAllocator::Instance();
  ASSERT_EQ(pages.LiveRegionCount(), 0u);
  std::vector<void*> taken;
  for (std::size_t index = 0; index < PageAllocator::kPagesPerRegion; ++index) taken.push_back(pages.AllocatePage());
  EXPECT_EQ(pages.LiveRegionCount(), 1u);
  for (std::size_t index = 0; index < taken.size(); ++index) {
    EXPECT_EQ(static_cast<char*>(taken[index]), static_cast<char*>(taken[0]) + index * kPage);
  }
  EXPECT_EQ(reinterpret_cast<uintptr_t>(taken[0]) % kPage, 0u);
  void* extra = pages.AllocatePage(/*moreToCome=*/true);  // a region reserved ready for use goes the same way
  EXPECT_EQ(pages.LiveRegionCount(), 2u);
  pages.FreePage(extra);
  EXPECT_EQ(pages.LiveRegionCount(), 1u);

  // Returned pages are handed out again lowest first.
  pages.FreePage(taken[7]);
  pages.FreePage(taken[3]);
  EXPECT_EQ(pages.AllocatePage(), taken[3]);
  EXPECT_EQ(pages.AllocatePage(), taken[7]);

  for (std::size_t index = 0; index + 1 < taken.size(); ++index) pages.FreePage(taken[index]);
  EXPECT_EQ(pages.LiveRegionCount(), 1u);
  EXPECT_EQ(pages.LivePageCount(), 1u);
  pages.FreePage(taken.back());
  EXPECT_EQ(pages.LiveRegionCount(), 0u);
  EXPECT_EQ(pages.LivePageCount(), 0u);
}

TEST(PageAllocator, ATreeGivesBackEveryRegionWhenDestroyed) {
  PageAllocator& pages = PageAllocator::Instance();
  ASSERT_EQ(pages.LiveRegionCount(), 0u);
  {
    BindingValue tree;
    for (int index = 0; index < 20000; ++index) {
      BindingValue& record = tree.Append();
      record.MemberForWriting("id") = index;
      record.MemberForWriting("name") = std::to_string(index);
    }
    EXPECT_GT(pages.LiveRegionCount(), 1u);
    BindingValue copy = tree;
    tree.Clear();
    EXPECT_GT(pages.LiveRegionCount(), 1u);
  }
  EXPECT_EQ(pages.LiveRegionCount(), 0u);
}

TEST(PageAllocator, ThreadsShareIt) {
  PageAllocator& pages = PageAllocator::Instance();
  std::vector<std::thread> threads;
  for (unsigned seed = 0; seed < 4; ++seed) {
    threads.emplace_back([&pages, seed] {
      std::mt19937 random(seed);
      std::vector<void*> held;
      for (int step = 0; step < 2000; ++step) {
        if (held.empty() || random() % 3 != 0) {
          auto* page = static_cast<unsigned char*>(pages.AllocatePage());
          std::fill(page, page + kPage, static_cast<unsigned char>(seed));
          held.push_back(page);
        } else {
          std::size_t index = random() % held.size();
          auto* page = static_cast<unsigned char*>(held[index]);
          EXPECT_TRUE(std::all_of(page, page + kPage, [seed](unsigned char byte) { return byte == seed; }));
          pages.FreePage(page);
          held.erase(held.begin() + static_cast<std::ptrdiff_t>(index));
        }
      }
      for (void* page : held) pages.FreePage(page);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(pages.LiveRegionCount(), 0u);
}

}  // namespace
}  // namespace Vela::Sdk
