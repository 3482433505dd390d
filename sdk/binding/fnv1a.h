// The one string hash of the SDK: 32-bit FNV-1a, for interned strings, registry maps and member
// keys, usable at compile time so that static type identifiers can be derived from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Vela::Sdk {

inline constexpr uint32_t kFnv1aOffsetBasis = 0x811c9dc5u;
inline constexpr uint32_t kFnv1aPrime = 16777619u;

/// FNV-1a of the bytes of `text`, continuing from `hash`.
constexpr uint32_t Fnv1a(std::string_view text, uint32_t hash = kFnv1aOffsetBasis) noexcept {
  const char* byte = text.data();
  std::size_t left = text.size();
  // Four bytes a round: the same chain of products with a quarter of the loop's own work.
  for (; left >= 4; left -= 4, byte += 4) {
    hash = (hash ^ static_cast<uint8_t>(byte[0])) * kFnv1aPrime;
    hash = (hash ^ static_cast<uint8_t>(byte[1])) * kFnv1aPrime;
    hash = (hash ^ static_cast<uint8_t>(byte[2])) * kFnv1aPrime;
    hash = (hash ^ static_cast<uint8_t>(byte[3])) * kFnv1aPrime;
  }
  for (; left != 0; --left, ++byte) hash = (hash ^ static_cast<uint8_t>(*byte)) * kFnv1aPrime;
  return hash;
}

/// FNV-1a of the four bytes of `word`, low byte first.
constexpr uint32_t Fnv1aWord(uint32_t word) noexcept {
  uint32_t hash = kFnv1aOffsetBasis;
  for (int shift = 0; shift < 32; shift += 8) {
    hash ^= (word >> shift) & 0xFFu;
    hash *= kFnv1aPrime;
  }
  return hash;
}

/// Hasher for text-keyed hash maps; transparent so a string_view finds a std::string key.
struct Fnv1aTextHasher {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return Fnv1a(text); }
};

/// Hasher for maps keyed by a 32-bit identifier.
struct Fnv1aWordHasher {
  std::size_t operator()(uint32_t word) const noexcept { return Fnv1aWord(word); }
};

}  // namespace Vela::Sdk
