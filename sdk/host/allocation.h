// The plug-in's general allocation functions. Every allocation of the plug-in (its objects,
// texts and host-value storage) goes through them, so MemoryStatistics can count it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vela::Sdk {

void* Allocate(std::size_t size) noexcept;
void Free(void* block) noexcept;
void* Reallocate(void* block, std::size_t size) noexcept;
/// A heap copy of a NUL-terminated text (null for null).
char* DuplicateText(const char* text) noexcept;
/// A heap copy of `length` bytes of text, NUL-terminated.
char* DuplicateText(const char* text, std::size_t length) noexcept;
std::size_t UsableSize(const void* block) noexcept;

/// The counters behind MemoryStatistics; each is read and updated atomically.
struct AllocationCounters {
  uint64_t peakLiveBytes;
  uint64_t liveCountAtPeak;
  uint64_t totalBytesAllocated;
  uint64_t allocationCount;
  uint64_t totalBytesFreed;
  uint64_t freeCount;
};
AllocationCounters ReadAllocationCounters() noexcept;

}  // namespace Vela::Sdk
