// Marking memory that must not be touched, so the address-sanitizer build catches a value that
// reads a block after it was given back. Does nothing in other builds.
#pragma once

#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORB_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORB_ADDRESS_SANITIZER 1
#endif

#if defined(ORB_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#endif

namespace Vela::Sdk {

inline void PoisonMemory([[maybe_unused]] const volatile void* memory, [[maybe_unused]] std::size_t size) noexcept {
#if defined(ORB_ADDRESS_SANITIZER)
  ASAN_POISON_MEMORY_REGION(memory, size);
#endif
}

inline void UnpoisonMemory([[maybe_unused]] const volatile void* memory, [[maybe_unused]] std::size_t size) noexcept {
#if defined(ORB_ADDRESS_SANITIZER)
  ASAN_UNPOISON_MEMORY_REGION(memory, size);
#endif
}

}  // namespace Vela::Sdk
