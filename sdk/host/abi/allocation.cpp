// Counting allocation hooks behind MemoryStatistics.
#include "sdk/host/abi/allocation.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "sdk/platform/platform.h"

namespace Vela::Sdk {
namespace {

struct Counters {
  std::atomic<uint64_t> peakLiveBytes{0};
  std::atomic<uint64_t> liveCountAtPeak{0};
  std::atomic<uint64_t> totalBytesAllocated{0};
  std::atomic<uint64_t> allocationCount{0};
  std::atomic<uint64_t> totalBytesFreed{0};
  std::atomic<uint64_t> freeCount{0};
};

// Constant-initialised, so the hooks work before any constructor of the library has run.
constinit Counters counters;

// Every counter is updated by compare-and-exchange, so the hooks may run on any thread.
void Add(std::atomic<uint64_t>& counter, uint64_t amount) noexcept {
  uint64_t seen = counter.load(std::memory_order_relaxed);
  while (!counter.compare_exchange_weak(seen, seen + amount, std::memory_order_relaxed)) {
  }
}

// The peak pair is not updated as one unit; each half only ever moves as its own rule says.
void UpdatePeak() noexcept {
  uint64_t live = counters.totalBytesAllocated.load(std::memory_order_relaxed) -
                  counters.totalBytesFreed.load(std::memory_order_relaxed);
  uint64_t peak = counters.peakLiveBytes.load(std::memory_order_relaxed);
  while (live > peak) {
    if (counters.peakLiveBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
      uint64_t count =
          counters.allocationCount.load(std::memory_order_relaxed) - counters.freeCount.load(std::memory_order_relaxed);
      uint64_t seen = counters.liveCountAtPeak.load(std::memory_order_relaxed);
      while (!counters.liveCountAtPeak.compare_exchange_weak(seen, count, std::memory_order_relaxed)) {
      }
      return;
    }
  }
}

void CountAllocated(void* block) noexcept {
  Add(counters.totalBytesAllocated, block == nullptr ? 0 : Platform::UsableSize(block));
  Add(counters.allocationCount, 1);
  UpdatePeak();
}

void CountFreed(std::size_t size) noexcept {
  Add(counters.totalBytesFreed, size);
  Add(counters.freeCount, 1);
}

}  // namespace

void* Allocate(std::size_t size) noexcept {
  void* block = std::malloc(size == 0 ? 1 : size);
  CountAllocated(block);
  return block;
}

void Free(void* block) noexcept {
  if (block == nullptr) return;
  std::size_t size = Platform::UsableSize(block);
  std::free(block);
  CountFreed(size);
}

void* Reallocate(void* block, std::size_t size) noexcept {
  std::size_t oldSize = block == nullptr ? 0 : Platform::UsableSize(block);
  void* moved = std::realloc(block, size == 0 ? 1 : size);
  if (moved == nullptr) {
    // The old block is still ours; only the failed attempt is counted.
    CountAllocated(nullptr);
    return nullptr;
  }
  CountFreed(oldSize);
  CountAllocated(moved);
  return moved;
}

char* DuplicateText(const char* text) noexcept {
  return text == nullptr ? nullptr : DuplicateText(text, std::strlen(text));
}

char* DuplicateText(const char* text, std::size_t length) noexcept {
  if (text == nullptr) return nullptr;
  auto* copy = static_cast<char*>(Allocate(length + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

std::size_t UsableSize(const void* block) noexcept { return Platform::UsableSize(block); }

MemoryStatisticsRecord ReadMemoryStatistics() noexcept {
  return MemoryStatisticsRecord{counters.peakLiveBytes.load(),
                                counters.liveCountAtPeak.load(),
                                counters.totalBytesAllocated.load(),
                                counters.allocationCount.load(),
                                counters.totalBytesFreed.load(),
                                counters.freeCount.load(),
                                0,
                                0};
}

}  // namespace Vela::Sdk
