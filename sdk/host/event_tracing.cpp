// Event-tracing providers of the plug-in.
#include "sdk/host/event_tracing.h"

#include <iterator>

#include "sdk/platform/platform.h"

namespace Vela::Sdk {

namespace {

constexpr uint8_t kLevelInformation = 4;
constexpr uint8_t kLevelVerbose = 5;

// Frames of the plug-in's work, thread names, request handling and event delivery.
constexpr TracingEventDescriptor kFrameEvents[] = {
    {1, 0, 0, kLevelInformation, 1, 1, 0x1},
    {2, 0, 0, kLevelInformation, 2, 1, 0x1},
};
constexpr TracingEventDescriptor kThreadEvents[] = {
    {1, 0, 0, kLevelInformation, 0, 0, 0},
};
constexpr TracingEventDescriptor kRequestEvents[] = {
    {1, 0, 0, kLevelVerbose, 1, 1, 0x2},
    {2, 0, 0, kLevelVerbose, 2, 1, 0x2},
};
constexpr TracingEventDescriptor kEventEvents[] = {
    {1, 0, 0, kLevelVerbose, 0, 1, 0x4},
};

struct ProviderEvents {
  const TracingEventDescriptor* events;
  std::size_t count;
};
constexpr ProviderEvents kProviderEvents[EventTracingProviders::kProviderCount] = {
    {kFrameEvents, std::size(kFrameEvents)},
    {kThreadEvents, std::size(kThreadEvents)},
    {kRequestEvents, std::size(kRequestEvents)},
    {kEventEvents, std::size(kEventEvents)},
};

bool LevelAndKeywordEnabled(const TracingProviderContext& provider, uint8_t level, uint64_t keyword) noexcept {
  bool levelOk = level <= provider.level || provider.level == 0;
  bool keywordOk = keyword == 0 || ((keyword & provider.matchAnyKeyword) != 0 &&
                                    (keyword & provider.matchAllKeyword) == provider.matchAllKeyword);
  return levelOk && keywordOk;
}

void* PlatformOpen(const char* name) { return Platform::OpenLibrary(name); }
void* PlatformFind(void* library, const char* name) { return Platform::FindFunction(library, name); }

}  // namespace

TracingLibraryLookup PlatformTracingLookup() noexcept { return TracingLibraryLookup{&PlatformOpen, &PlatformFind}; }

const std::array<TracingGuid, EventTracingProviders::kProviderCount>& EventTracingProviders::ProviderIds() noexcept {
  static const std::array<TracingGuid, kProviderCount> ids = {{
      {0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}},
      {0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}},
      {0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}},
      {0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}},
  }};
  return ids;
}

EventTracingProviders::EventTracingProviders(TracingLibraryLookup lookup) noexcept : lookup_(lookup) {
  for (std::size_t i = 0; i < kProviderCount; ++i) {
    providers_[i].events = kProviderEvents[i].events;
    providers_[i].eventCount = kProviderEvents[i].count;
  }
}

EventTracingProviders::~EventTracingProviders() { UnregisterAll(); }

void EventTracingProviders::RegisterAll() noexcept {
  frequency_ = Platform::HighResolutionFrequency();
  void* library = lookup_.open != nullptr ? lookup_.open(kTracingLibraryName) : nullptr;
  if (library != nullptr && lookup_.find != nullptr) {
    register_ = reinterpret_cast<TracingRegisterFn>(lookup_.find(library, "EventRegister"));
    write_ = reinterpret_cast<TracingWriteFn>(lookup_.find(library, "EventWrite"));
    unregister_ = reinterpret_cast<TracingUnregisterFn>(lookup_.find(library, "EventUnregister"));
  }
  if (register_ != nullptr) {
    for (std::size_t i = 0; i < kProviderCount; ++i) {
      TracingProviderContext& provider = providers_[i];
      if (provider.handle != 0) continue;
      register_(&ProviderIds()[i], &EnableCallback, &provider, &provider.handle);
    }
  }
  if (IsEventEnabled(providers_[kThreadProvider], 0)) WriteThreadName();
}

void EventTracingProviders::UnregisterAll() noexcept {
  for (TracingProviderContext& provider : providers_) {
    if (provider.handle == 0) continue;
    if (unregister_ != nullptr) unregister_(provider.handle);
    provider.handle = 0;
  }
}

bool EventTracingProviders::IsEventEnabled(const TracingProviderContext& provider, std::size_t index) noexcept {
  return index < provider.eventCount && index < 32 && (provider.enableBits & (1u << index)) != 0;
}

void ORB_TRACING_API EventTracingProviders::EnableCallback(const TracingGuid*, uint32_t isEnabled, uint8_t level,
                                                           uint64_t matchAnyKeyword, uint64_t matchAllKeyword, void*,
                                                           void* context) noexcept {
  auto* provider = static_cast<TracingProviderContext*>(context);
  if (provider == nullptr) return;
  if (isEnabled == kTracingEnable) {
    provider->level = level;
    provider->matchAnyKeyword = matchAnyKeyword;
    provider->matchAllKeyword = matchAllKeyword;
    provider->isEnabled = kTracingEnable;
    provider->enableBits = 0;
    for (std::size_t i = 0; i < provider->eventCount && i < 32; ++i) {
      if (LevelAndKeywordEnabled(*provider, provider->events[i].level, provider->events[i].keyword)) {
        provider->enableBits |= 1u << i;
      }
    }
  } else if (isEnabled == kTracingDisable) {
    provider->isEnabled = 0;
    provider->level = 0;
    provider->matchAnyKeyword = 0;
    provider->matchAllKeyword = 0;
    provider->enableBits = 0;
  }
}

void EventTracingProviders::WriteThreadName() noexcept {
  if (write_ == nullptr) return;
  const TracingProviderContext& provider = providers_[kThreadProvider];
  uint32_t threadId = static_cast<uint32_t>(Platform::CurrentThreadId());
  TracingEventData data[2] = {
      {reinterpret_cast<uintptr_t>(&threadId), sizeof threadId, 0},
      {reinterpret_cast<uintptr_t>(kThreadNameText), sizeof kThreadNameText, 0},
  };
  write_(provider.handle, &provider.events[0], 2, data);
}

namespace {

// Registered when the library loads, unregistered when it unloads.
struct ProcessProviders {
  EventTracingProviders providers;
  ProcessProviders() { providers.RegisterAll(); }
};
ProcessProviders processProviders;

}  // namespace

EventTracingProviders& ProcessEventTracing() noexcept { return processProviders.providers; }

}  // namespace Vela::Sdk
