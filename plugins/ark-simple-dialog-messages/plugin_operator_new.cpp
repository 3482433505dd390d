// Every form of operator new and delete inside the plug-in library goes to the counting
// allocator, so MemoryStatistics sees the plug-in's objects as well as its host values. The
// version script keeps these definitions out of the dynamic symbol table: calls inside the
// library bind to them, and the host's own operators are untouched.
#include <cstddef>
#include <cstdint>
#include <new>

#include "sdk/host/abi/allocation.h"

namespace {

using Vela::Sdk::Allocate;
using Vela::Sdk::Free;

// Tries until allocation succeeds or no new-handler is left, as the standard operators do.
template <class Attempt>
void* AllocateOrThrow(Attempt attempt) {
  for (;;) {
    if (void* block = attempt()) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

// Over-aligned blocks keep the address of the underlying allocation just below the aligned one.
void* AllocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
  std::size_t align = static_cast<std::size_t>(alignment);
  if (align < alignof(void*)) align = alignof(void*);
  if (size > SIZE_MAX - align - sizeof(void*)) return nullptr;
  void* raw = Allocate(size + align + sizeof(void*));
  if (raw == nullptr) return nullptr;
  auto start = reinterpret_cast<uintptr_t>(raw) + sizeof(void*);
  auto aligned = (start + align - 1) & ~(static_cast<uintptr_t>(align) - 1);
  reinterpret_cast<void**>(aligned)[-1] = raw;
  return reinterpret_cast<void*>(aligned);
}

void FreeAligned(void* block) noexcept {
  if (block != nullptr) Free(static_cast<void**>(block)[-1]);
}

}  // namespace

void* operator new(std::size_t size) {
  return AllocateOrThrow([size] { return Allocate(size); });
}
void* operator new[](std::size_t size) {
  return AllocateOrThrow([size] { return Allocate(size); });
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateOrThrow([=] { return AllocateAligned(size, alignment); });
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateOrThrow([=] { return AllocateAligned(size, alignment); });
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, alignment);
}

void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, std::size_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete(void* block, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete[](void* block, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { FreeAligned(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { FreeAligned(block); }
