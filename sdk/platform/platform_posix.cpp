// POSIX implementation of the platform seam.
#include "sdk/platform/platform.h"

#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <ctime>
#include <mutex>
#include <new>
#include <thread>

namespace Vela::Sdk::Platform {

void* ReserveRegion(bool soonUsed) noexcept {
  const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (soonUsed ? MAP_POPULATE : 0);
  void* region = mmap(nullptr, kRegionSize, PROT_READ | PROT_WRITE, flags, -1, 0);
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
  return LocalTime{parts.tm_year + 1900,
                   parts.tm_mon + 1,
                   parts.tm_mday,
                   parts.tm_hour,
                   parts.tm_min,
                   parts.tm_sec,
                   static_cast<int32_t>(now.tv_nsec / 1000000)};
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

// SIGINT and SIGTERM are taken by one thread with sigwait, so no handler runs at an arbitrary
// point of another thread; they are blocked in every other thread from the start.
struct StopRequests::State {
  sigset_t signals{};
  sigset_t previous{};
  std::thread thread;
  std::atomic<bool> received{false};
  std::atomic<bool> cancelled{false};
};

StopRequests::StopRequests() : state_(std::make_unique<State>()) {
  sigemptyset(&state_->signals);
  sigaddset(&state_->signals, SIGINT);
  sigaddset(&state_->signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &state_->signals, &state_->previous);
  signal(SIGPIPE, SIG_IGN);
}

StopRequests::~StopRequests() {
  if (state_->thread.joinable()) {
    state_->cancelled = true;
    if (!state_->received.load()) pthread_kill(state_->thread.native_handle(), SIGTERM);
    state_->thread.join();
  }
  // A signal that arrived after the waiter was done must not kill the process late.
  sigset_t pending;
  sigpending(&pending);
  timespec zero{0, 0};
  while (sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1) {
    if (sigtimedwait(&state_->signals, nullptr, &zero) < 0) break;
    sigpending(&pending);
  }
  pthread_sigmask(SIG_SETMASK, &state_->previous, nullptr);
}

void StopRequests::Start(std::function<void()> onStop) {
  State* state = state_.get();
  state->thread = std::thread([state, onStop = std::move(onStop)] {
    int received = 0;
    sigwait(&state->signals, &received);
    state->received = true;
    if (!state->cancelled.load()) onStop();
  });
}

}  // namespace Vela::Sdk::Platform
