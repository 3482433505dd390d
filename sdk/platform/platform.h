// The few operating-system facilities the SDK uses, behind one seam: one source file per system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

/// Marks a function that leaves the shared library (a plug-in's one export).
#if defined(_WIN32)
#define ORB_EXPORT __declspec(dllexport)
#else
#define ORB_EXPORT __attribute__((visibility("default")))
#endif

/// Checks the arguments of a printf-style function against its format. MinGW's own printf
/// dialect differs from the C library the formatting goes through there, so it asks for GNU's.
#if defined(__MINGW32__)
#define ORB_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#elif defined(__GNUC__)
#define ORB_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define ORB_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

/// The calling convention of the system's event-tracing functions and of the enable callback they
/// call: on 32-bit Windows the callee pops its arguments, and a caller that assumes otherwise
/// leaves the stack misaligned by their size.
#if defined(_WIN32) && !defined(_WIN64)
#define ORB_TRACING_API __stdcall
#else
#define ORB_TRACING_API
#endif

namespace Vela::Sdk::Platform {

/// Size of one virtual-memory region handed out by ReserveRegion.
inline constexpr std::size_t kRegionSize = 0x10000;

/// Reserves and commits one readable, writable region of kRegionSize bytes; null when refused.
/// `soonUsed`: the caller expects to touch all of it soon, and a system that would otherwise
/// supply its pages one fault at a time may supply them all at once.
void* ReserveRegion(bool soonUsed = false) noexcept;
/// Gives a region from ReserveRegion back to the system.
void ReleaseRegion(void* region) noexcept;

/// A lock that the owning thread may take again, as a critical section allows. It holds the
/// system's own lock object in place, so this header needs no system header and nothing is
/// allocated; the platform source checks that the object fits.
class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void Lock();
  bool TryLock() noexcept;
  void Unlock() noexcept;
  // BasicLockable, so std::lock_guard and std::unique_lock take it.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

  /// A pthread mutex and a CRITICAL_SECTION each take at most six pointers.
  static constexpr std::size_t kStorageSize = 6 * sizeof(void*);

 private:
  alignas(void*) unsigned char storage_[kStorageSize];
};

/// Wall-clock time in the local time zone, as the logger stamps its records.
struct LocalTime {
  int32_t year;
  int32_t month;
  int32_t day;
  int32_t hour;
  int32_t minute;
  int32_t second;
  int32_t millisecond;
};
LocalTime GetLocalTime() noexcept;

/// Monotonic high-resolution counter and the number of its ticks per second.
uint64_t HighResolutionCounter() noexcept;
uint64_t HighResolutionFrequency() noexcept;

/// Identifier of the calling thread.
uintptr_t CurrentThreadId() noexcept;

/// Full path of the running executable, and its file name alone (the text after the last
/// slash or backslash). Empty when the system does not tell.
std::string ExecutablePath();
std::string ExecutableFileName();

/// Text for an attached debugger's console, where the system has one (Windows), and for the sink
/// set for tests; it is never written to standard output or error.
void DebuggerOutput(const char* text) noexcept;
using DebuggerSink = void (*)(const char* text);
/// Sets the sink that receives debugger output (null for none); returns the previous one.
DebuggerSink SetDebuggerSink(DebuggerSink sink) noexcept;

/// How long a library from OpenLibrary stays mapped.
enum class LibraryLifetime {
  kUntilClosed,  // until CloseLibrary releases the last reference
  // Until the process ends, whatever CloseLibrary does: for a library whose never-destroyed
  // objects must stay reachable after its last user is gone.
  kProcess,
};

/// Run-time lookup of a named shared library and of a function in it; null when not found.
void* OpenLibrary(const char* name, LibraryLifetime lifetime = LibraryLifetime::kUntilClosed) noexcept;
void* FindFunction(void* library, const char* name) noexcept;
void CloseLibrary(void* library) noexcept;
/// Why the calling thread's last OpenLibrary or FindFunction failed; empty when nothing failed
/// since the previous call, which clears it.
std::string LibraryError();

/// Bytes usable in a block from the C library's malloc, at least the size asked for; 0 for null.
std::size_t UsableSize(const void* block) noexcept;

/// Waits, on a thread of its own, for the process to be asked to stop (SIGINT or SIGTERM) and
/// then calls the function given to Start, once. Create it before any other thread, so that every
/// thread leaves those signals to it; writing to a closed connection no longer ends the process.
class StopRequests {
 public:
  StopRequests();
  /// Ends the waiting thread when no request came, and restores the signals' previous handling.
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

  void Start(std::function<void()> onStop);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace Vela::Sdk::Platform
