// Log categories: a process-wide table of up to 32 three-letter names, bit i of a record's
// category mask standing for name i.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vela::Sdk {

inline constexpr uint64_t kCategoryDbg = 1u << 0;
inline constexpr uint64_t kCategoryGen = 1u << 1;
inline constexpr uint64_t kCategoryXtr = 1u << 2;
inline constexpr uint64_t kCategoryPrf = 1u << 3;
inline constexpr uint64_t kCategoryMem = 1u << 4;
inline constexpr uint64_t kCategoryDsk = 1u << 5;
inline constexpr uint64_t kCategoryNet = 1u << 6;
inline constexpr uint64_t kCategoryTst = 1u << 7;
/// The SDK's own category, in the table from the moment the library is loaded.
inline constexpr uint64_t kCategoryLoc = 1u << 8;

inline constexpr int kMaxCategories = 32;

/// The bit of the category whose name matches the first three characters of `name`, registering
/// the name in the next free slot when it is new. 0 for a null or empty name and once all 32
/// slots are taken.
uint64_t CategoryMaskFromName(const char* name) noexcept;

/// Copies the name of category `index` (three letters, "???" for a free slot) into name[4].
void CategoryName(int index, char name[4]) noexcept;

/// Writes the names of the categories in `mask`, in bit order, joined by ";" (empty for 0).
/// Returns the characters written; the text is cut to size - 1 and NUL-terminated.
std::size_t FormatCategories(uint64_t mask, char* buffer, std::size_t size) noexcept;

}  // namespace Vela::Sdk
