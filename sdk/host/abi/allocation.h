// The plug-in's general allocation functions. Every allocation of the plug-in (its objects,
// texts and host-value storage) goes through them, so MemoryStatistics can count it.
#pragma once

#include <cstddef>

#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

void* Allocate(std::size_t size) noexcept;
void Free(void* block) noexcept;
void* Reallocate(void* block, std::size_t size) noexcept;
/// A heap copy of a NUL-terminated text (null for null).
char* DuplicateText(const char* text) noexcept;
/// A heap copy of `length` bytes of text, NUL-terminated.
char* DuplicateText(const char* text, std::size_t length) noexcept;
std::size_t UsableSize(const void* block) noexcept;

/// The counters as MemoryStatistics reports them; each is read atomically, the record as a
/// whole is not one snapshot.
MemoryStatisticsRecord ReadMemoryStatistics() noexcept;

}  // namespace Vela::Sdk
