// PageAllocator: the process-wide source of 4096-byte arena pages, carved from 64 KB regions
// of the platform and given back to it as soon as a region's pages are all returned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>

namespace Vela::Sdk {

class PageAllocator {
 public:
  static constexpr std::size_t kPageSize = 4096;
  static constexpr std::size_t kPagesPerRegion = 16;

  /// The one instance, created on first use and never destroyed, so that values destroyed
  /// late at exit can still return their pages.
  static PageAllocator& Instance();

  /// A page aligned to kPageSize; raises std::bad_alloc when the system refuses a region.
  /// `moreToCome`: the caller (an arena already holding a region's worth of pages) will likely
  /// ask for the rest of a new region's pages too, so the region is reserved ready for use.
  void* AllocatePage(bool moreToCome = false);
  /// Returns a page from AllocatePage; its region goes back to the system when all its pages
  /// are back.
  void FreePage(void* page) noexcept;

  /// Regions currently reserved from the system.
  std::size_t LiveRegionCount() const;
  /// Pages currently handed out.
  std::size_t LivePageCount() const;

  PageAllocator(const PageAllocator&) = delete;
  PageAllocator& operator=(const PageAllocator&) = delete;

 private:
  PageAllocator() = default;

  struct Region {
    uint16_t freeMask;  // bit i set: page i is free
  };

  mutable std::mutex mutex_;
  // Keyed by region start; a page's region is the last one starting at or below it.
  std::map<uintptr_t, Region> regions_;
  // Regions with a free page, so the lowest address is handed out first.
  std::set<uintptr_t> regionsWithFreePages_;
  std::size_t livePages_ = 0;
};

}  // namespace Vela::Sdk
