// POSIX implementation of the platform seam.
#include "sdk/platform/platform.h"

#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <ctime>
#include <new>

namespace Vela::Sdk::Platform {

void* ReserveRegion() noexcept {
  void* region = mmap(nullptr, kRegionSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return region == MAP_FAILED ? nullptr : region;
}

void ReleaseRegion(void* region) noexcept {
  if (region != nullptr) munmap(region, kRegionSize);
}

namespace {
std::recursive_mutex& Native(unsigned char* storage) {
  return *std::launder(reinterpret_cast<std::recursive_mutex*>(storage));
}
}  // namespace

static_assert(sizeof(std::recursive_mutex) <= RecursiveLock::kStorageSize);
static_assert(alignof(std::recursive_mutex) <= alignof(void*));

RecursiveLock::RecursiveLock() { new (storage_) std::recursive_mutex(); }
RecursiveLock::~RecursiveLock() { Native(storage_).~recursive_mutex(); }
void RecursiveLock::Lock() { Native(storage_).lock(); }
bool RecursiveLock::TryLock() noexcept { return Native(storage_).try_lock(); }
void RecursiveLock::Unlock() noexcept { Native(storage_).unlock(); }

LocalTime GetLocalTime() noexcept {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts{};
  localtime_r(&now.tv_sec, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                   parts.tm_min,         parts.tm_sec,     static_cast<int32_t>(now.tv_nsec / 1000000)};
}

uint64_t HighResolutionCounter() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

uint64_t HighResolutionFrequency() noexcept { return 1000000000u; }

uintptr_t CurrentThreadId() noexcept { return static_cast<uintptr_t>(pthread_self()); }

std::string ExecutablePath() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  return std::string(path, static_cast<std::size_t>(length));
}

std::string ExecutableFileName() {
  std::string path = ExecutablePath();
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {
std::atomic<DebuggerSink> debuggerSink{nullptr};
}

void DebuggerOutput(const char* text) noexcept {
  if (DebuggerSink sink = debuggerSink.load(std::memory_order_acquire); sink != nullptr && text != nullptr) {
    sink(text);
  }
}

DebuggerSink SetDebuggerSink(DebuggerSink sink) noexcept {
  return debuggerSink.exchange(sink, std::memory_order_acq_rel);
}

void* OpenLibrary(const char* name, LibraryLifetime lifetime) noexcept {
  if (name == nullptr) return nullptr;
  int mode = RTLD_NOW | RTLD_LOCAL | (lifetime == LibraryLifetime::kProcess ? RTLD_NODELETE : 0);
  return dlopen(name, mode);
}

void* FindFunction(void* library, const char* name) noexcept {
  return library == nullptr || name == nullptr ? nullptr : dlsym(library, name);
}

void CloseLibrary(void* library) noexcept {
  if (library != nullptr) dlclose(library);
}

std::string LibraryError() {
  const char* reason = dlerror();
  return reason == nullptr ? std::string() : std::string(reason);
}

std::size_t UsableSize(const void* block) noexcept {
  return block == nullptr ? 0 : malloc_usable_size(const_cast<void*>(block));
}

}  // namespace Vela::Sdk::Platform
