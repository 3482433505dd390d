// The process-wide category table.
#include "sdk/diag/log_category.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace Vela::Sdk {

namespace {

// A name is packed into one atomic word (three letters and a zero byte), so that "#G" may read a
// slot while another thread registers a name without either seeing half a name.
constexpr uint32_t Pack(const char* name) {
  uint32_t packed = 0;
  for (int i = 0; i < 3 && name[i] != '\0'; ++i)
    packed |= static_cast<uint32_t>(static_cast<unsigned char>(name[i])) << (8 * i);
  return packed;
}

// "LOC" is part of the table's load-time image rather than a registration run by a static
// initialiser: that way it is category 8 whatever order other initialisers run in, and no linker
// can drop it with an unreferenced object file.
constexpr int kLocIndex = 8;
std::atomic<uint32_t> names[kMaxCategories] = {
    Pack("DBG"), Pack("GEN"), Pack("XTR"), Pack("PRF"), Pack("MEM"), Pack("DSK"), Pack("NET"), Pack("TST"), Pack("LOC"),
};
std::atomic<int> lastUsedIndex{kLocIndex};
// Only registration is serialised, so the same new name asked for twice at once gets one slot.
std::mutex registration;

int FindName(uint32_t packed) {
  int last = lastUsedIndex.load(std::memory_order_acquire);
  for (int i = 0; i <= last; ++i) {
    if (names[i].load(std::memory_order_relaxed) == packed) return i;
  }
  return -1;
}

}  // namespace

uint64_t CategoryMaskFromName(const char* name) noexcept {
  if (name == nullptr || name[0] == '\0') return 0;
  uint32_t packed = Pack(name);
  if (int index = FindName(packed); index >= 0) return uint64_t{1} << index;
  std::lock_guard<std::mutex> guard(registration);
  if (int index = FindName(packed); index >= 0) return uint64_t{1} << index;
  int last = lastUsedIndex.load(std::memory_order_relaxed);
  if (last + 1 >= kMaxCategories) return 0;
  names[last + 1].store(packed, std::memory_order_relaxed);
  lastUsedIndex.store(last + 1, std::memory_order_release);
  return uint64_t{1} << (last + 1);
}

void CategoryName(int index, char name[4]) noexcept {
  uint32_t packed = index >= 0 && index < kMaxCategories ? names[index].load(std::memory_order_relaxed) : 0;
  if (packed == 0) {
    std::memcpy(name, "???", 4);
    return;
  }
  for (int i = 0; i < 3; ++i) name[i] = static_cast<char>((packed >> (8 * i)) & 0xff);
  name[3] = '\0';
}

std::size_t FormatCategories(uint64_t mask, char* buffer, std::size_t size) noexcept {
  if (buffer == nullptr || size == 0) return 0;
  std::size_t length = 0;
  auto append = [&](const char* text) {
    for (; *text != '\0' && length + 1 < size; ++text) buffer[length++] = *text;
  };
  bool first = true;
  for (int i = 0; i < kMaxCategories; ++i) {
    if ((mask & (uint64_t{1} << i)) == 0) continue;
    if (!first) append(";");
    first = false;
    char name[4];
    CategoryName(i, name);
    append(name);
  }
  buffer[length] = '\0';
  return length;
}

}  // namespace Vela::Sdk
