// Windows implementation of the platform seam; the only source that sees <windows.h>.
#include "sdk/platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX  // the C++ library's own settings may have set it already
#define NOMINMAX
#endif
#include <windows.h>

#include <malloc.h>

#include <atomic>
#include <new>

namespace Vela::Sdk::Platform {

void* ReserveRegion(bool) noexcept {
  return VirtualAlloc(nullptr, kRegionSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void ReleaseRegion(void* region) noexcept {
  if (region != nullptr) VirtualFree(region, 0, MEM_RELEASE);
}

namespace {
CRITICAL_SECTION* Native(unsigned char* storage) { return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage)); }
}  // namespace

static_assert(sizeof(CRITICAL_SECTION) <= RecursiveLock::kStorageSize);
static_assert(alignof(CRITICAL_SECTION) <= alignof(void*));

RecursiveLock::RecursiveLock() { InitializeCriticalSection(new (storage_) CRITICAL_SECTION); }
RecursiveLock::~RecursiveLock() { DeleteCriticalSection(Native(storage_)); }
void RecursiveLock::Lock() { EnterCriticalSection(Native(storage_)); }
bool RecursiveLock::TryLock() noexcept { return TryEnterCriticalSection(Native(storage_)) != FALSE; }
void RecursiveLock::Unlock() noexcept { LeaveCriticalSection(Native(storage_)); }

LocalTime GetLocalTime() noexcept {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

uint64_t HighResolutionCounter() noexcept {
  LARGE_INTEGER count{};
  QueryPerformanceCounter(&count);
  return static_cast<uint64_t>(count.QuadPart);
}

uint64_t HighResolutionFrequency() noexcept {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return static_cast<uint64_t>(frequency.QuadPart);
}

uintptr_t CurrentThreadId() noexcept { return static_cast<uintptr_t>(GetCurrentThreadId()); }

std::string ExecutablePath() {
  // The name is cut to the buffer without saying so, except by filling it: grow until it fits.
  std::string path(MAX_PATH, '\0');
  while (path.size() <= 0x8000) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
  return {};
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
  if (text == nullptr) return;
  OutputDebugStringA(text);
  if (DebuggerSink sink = debuggerSink.load(std::memory_order_acquire); sink != nullptr) sink(text);
}

DebuggerSink SetDebuggerSink(DebuggerSink sink) noexcept {
  return debuggerSink.exchange(sink, std::memory_order_acq_rel);
}

namespace {
// Kept at the failure itself: any later call into the system may overwrite GetLastError.
thread_local DWORD lastLibraryError = ERROR_SUCCESS;

void* Failed() noexcept {
  lastLibraryError = GetLastError();
  return nullptr;
}
}  // namespace

void* OpenLibrary(const char* name, LibraryLifetime lifetime) noexcept {
  if (name == nullptr) return nullptr;
  HMODULE module = LoadLibraryA(name);
  if (module == nullptr) return Failed();
  if (lifetime == LibraryLifetime::kProcess) {
    // A pinned module stays mapped however often FreeLibrary is called on it.
    HMODULE pinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(module), &pinned);
  }
  return module;
}

void* FindFunction(void* library, const char* name) noexcept {
  if (library == nullptr || name == nullptr) return nullptr;
  FARPROC function = GetProcAddress(static_cast<HMODULE>(library), name);
  return function == nullptr ? Failed() : reinterpret_cast<void*>(function);
}

void CloseLibrary(void* library) noexcept {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

std::string LibraryError() {
  DWORD code = lastLibraryError;
  lastLibraryError = ERROR_SUCCESS;
  if (code == ERROR_SUCCESS) return {};
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                sizeof text, nullptr);
  std::string reason(text, length);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  return reason.empty() ? "system error " + std::to_string(code) : reason;
}

std::size_t UsableSize(const void* block) noexcept { return block == nullptr ? 0 : _msize(const_cast<void*>(block)); }

}  // namespace Vela::Sdk::Platform
