// The plug-in's event-tracing providers, registered with the system's event tracing when the
// library loads and unregistered when it unloads. The tracing functions are looked up at run
// time; where the library or a function is missing, every use of it does nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sdk/platform/platform.h"

namespace Vela::Sdk {

struct TracingGuid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
  bool operator==(const TracingGuid&) const = default;
};

/// One event as the tracing functions describe it.
struct TracingEventDescriptor {
  uint16_t id;
  uint8_t version;
  uint8_t channel;
  uint8_t level;
  uint8_t opcode;
  uint16_t task;
  uint64_t keyword;
};

/// One piece of an event's payload.
struct TracingEventData {
  uint64_t pointer;
  uint32_t size;
  uint32_t reserved;
};

using TracingHandle = uint64_t;
// The system's functions and the callback it calls use its calling convention (ORB_TRACING_API).
using TracingEnableCallback = void(ORB_TRACING_API*)(const TracingGuid* source, uint32_t isEnabled, uint8_t level,
                                                     uint64_t matchAnyKeyword, uint64_t matchAllKeyword, void* filter,
                                                     void* context);
using TracingRegisterFn = uint32_t(ORB_TRACING_API*)(const TracingGuid* provider, TracingEnableCallback callback,
                                                     void* context, TracingHandle* handle);
using TracingWriteFn = uint32_t(ORB_TRACING_API*)(TracingHandle handle, const TracingEventDescriptor* event,
                                                  uint32_t dataCount, TracingEventData* data);
using TracingUnregisterFn = uint32_t(ORB_TRACING_API*)(TracingHandle handle);

/// How the tracing library and its functions are found; the platform's lookup by default.
struct TracingLibraryLookup {
  void* (*open)(const char* name);
  void* (*find)(void* library, const char* name);
};
TracingLibraryLookup PlatformTracingLookup() noexcept;

inline constexpr char kTracingLibraryName[] = "Advapi32.dll";
inline constexpr char kThreadNameText[] = "Main thread";
/// Enable-callback control codes.
inline constexpr uint32_t kTracingDisable = 0;
inline constexpr uint32_t kTracingEnable = 1;

/// What the enable callback keeps of one provider, as the message compiler's glue does.
struct TracingProviderContext {
  TracingHandle handle = 0;
  uint8_t level = 0;
  uint64_t matchAnyKeyword = 0;
  uint64_t matchAllKeyword = 0;
  uint32_t isEnabled = 0;
  /// One bit per event of the provider: whether the current session wants it.
  uint32_t enableBits = 0;
  const TracingEventDescriptor* events = nullptr;
  std::size_t eventCount = 0;
};

class EventTracingProviders {
 public:
  static constexpr std::size_t kProviderCount = 4;
  /// Index of the provider that carries the thread-name event.
  static constexpr std::size_t kThreadProvider = 1;

  explicit EventTracingProviders(TracingLibraryLookup lookup = PlatformTracingLookup()) noexcept;
  /// Unregisters what is registered.
  ~EventTracingProviders();
  EventTracingProviders(const EventTracingProviders&) = delete;
  EventTracingProviders& operator=(const EventTracingProviders&) = delete;

  /// Looks the functions up, registers every provider not registered yet, in order, and writes
  /// the thread-name event when its provider is enabled by then.
  void RegisterAll() noexcept;
  /// Unregisters each registered provider and clears its handle.
  void UnregisterAll() noexcept;

  static const std::array<TracingGuid, kProviderCount>& ProviderIds() noexcept;
  const TracingProviderContext& Provider(std::size_t index) const noexcept { return providers_[index]; }
  uint64_t CounterFrequency() const noexcept { return frequency_; }
  /// Whether the current session wants event `index` of the provider.
  static bool IsEventEnabled(const TracingProviderContext& provider, std::size_t index) noexcept;
  /// The enable callback handed to the register function; `context` is the provider's context.
  static void ORB_TRACING_API EnableCallback(const TracingGuid* source, uint32_t isEnabled, uint8_t level,
                                             uint64_t matchAnyKeyword, uint64_t matchAllKeyword, void* filter,
                                             void* context) noexcept;

 private:
  void WriteThreadName() noexcept;

  TracingLibraryLookup lookup_;
  TracingRegisterFn register_ = nullptr;
  TracingWriteFn write_ = nullptr;
  TracingUnregisterFn unregister_ = nullptr;
  uint64_t frequency_ = 0;
  std::array<TracingProviderContext, kProviderCount> providers_{};
};

/// The process's providers, registered when the library loads.
EventTracingProviders& ProcessEventTracing() noexcept;

}  // namespace Vela::Sdk
