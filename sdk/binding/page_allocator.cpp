// Arena pages from 64 KB platform regions, lowest address first.
#include "sdk/binding/page_allocator.h"

#include <bit>
#include <new>

#include "sdk/binding/memory_poisoning.h"
#include "sdk/platform/platform.h"

namespace Vela::Sdk {
namespace {

static_assert(Platform::kRegionSize == PageAllocator::kPageSize * PageAllocator::kPagesPerRegion);
constexpr uint16_t kAllPagesFree = 0xFFFF;

}  // namespace

PageAllocator& PageAllocator::Instance() {
  // Never destroyed: a static value destroyed after this would otherwise return its pages to
  // a dead allocator.
  alignas(PageAllocator) static unsigned char storage[sizeof(PageAllocator)];
  static PageAllocator* instance = new (storage) PageAllocator();
  return *instance;
}

void* PageAllocator::AllocatePage(bool moreToCome) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (regionsWithFreePages_.empty()) {
    void* region = Platform::ReserveRegion(moreToCome);
    auto base = reinterpret_cast<uintptr_t>(region);
    // Blocks find their page by rounding their address down, so pages must be page-aligned.
    if (region == nullptr || base % kPageSize != 0) {
      Platform::ReleaseRegion(region);
      throw std::bad_alloc();
    }
    try {
      regions_.emplace(base, Region{kAllPagesFree});
      regionsWithFreePages_.insert(base);
    } catch (...) {
      regions_.erase(base);
      Platform::ReleaseRegion(region);
      throw;
    }
    PoisonMemory(region, Platform::kRegionSize);
  }
  uintptr_t base = *regionsWithFreePages_.begin();
  Region& region = regions_.find(base)->second;
  unsigned index = static_cast<unsigned>(std::countr_zero(region.freeMask));
  region.freeMask = static_cast<uint16_t>(region.freeMask & ~(1u << index));
  if (region.freeMask == 0) regionsWithFreePages_.erase(regionsWithFreePages_.begin());
  ++livePages_;
  void* page = reinterpret_cast<void*>(base + index * kPageSize);
  UnpoisonMemory(page, kPageSize);
  return page;
}

void PageAllocator::FreePage(void* page) noexcept {
  if (page == nullptr) return;
  std::lock_guard<std::mutex> lock(mutex_);
  auto address = reinterpret_cast<uintptr_t>(page);
  auto found = regions_.upper_bound(address);
  if (found == regions_.begin()) return;
  --found;
  uintptr_t base = found->first;
  if (address - base >= Platform::kRegionSize) return;
  unsigned index = static_cast<unsigned>((address - base) / kPageSize);
  Region& region = found->second;
  if ((region.freeMask & (1u << index)) != 0) return;  // already back
  PoisonMemory(page, kPageSize);
  --livePages_;
  region.freeMask = static_cast<uint16_t>(region.freeMask | (1u << index));
  if (region.freeMask == kAllPagesFree) {
    // The shadow of released memory must be clean for whatever the system maps there next.
    UnpoisonMemory(reinterpret_cast<void*>(base), Platform::kRegionSize);
    Platform::ReleaseRegion(reinterpret_cast<void*>(base));
    regionsWithFreePages_.erase(base);
    regions_.erase(found);
  } else {
    regionsWithFreePages_.insert(base);
  }
}

std::size_t PageAllocator::LiveRegionCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return regions_.size();
}

std::size_t PageAllocator::LivePageCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return livePages_;
}

}  // namespace Vela::Sdk
