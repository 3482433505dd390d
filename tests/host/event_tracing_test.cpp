// Event-tracing providers over a fake tracing library.
#include "sdk/host/event_tracing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sdk/platform/platform.h"

namespace Vela::Sdk {
namespace {

// What the fake library saw; a session may enable a provider while it registers.
struct FakeTracing {
  std::vector<TracingGuid> registered;
  std::vector<TracingHandle> unregistered;
  std::vector<std::string> written;  // "<handle>/<event id>: <thread id> <text>"
  std::size_t enableOnRegister = ~std::size_t{0};
  bool hasWrite = true;
  bool hasLibrary = true;
};
FakeTracing fake;

uint32_t ORB_TRACING_API FakeRegister(const TracingGuid* provider, TracingEnableCallback callback, void* context,
                                      TracingHandle* handle) {
  fake.registered.push_back(*provider);
  *handle = 100 + fake.registered.size();
  if (fake.registered.size() - 1 == fake.enableOnRegister)
    callback(provider, kTracingEnable, 4, 0, 0, nullptr, context);
  return 0;
}

uint32_t ORB_TRACING_API FakeWrite(TracingHandle handle, const TracingEventDescriptor* event, uint32_t count,
                                   TracingEventData* data) {
  std::string text = std::to_string(handle) + "/" + std::to_string(event->id) + ":";
  for (uint32_t i = 0; i < count; ++i) {
    const void* pointer = reinterpret_cast<const void*>(static_cast<uintptr_t>(data[i].pointer));
    if (data[i].size == 4) {
      uint32_t word = 0;
      std::memcpy(&word, pointer, 4);
      text += " " + std::to_string(word);
    } else {
      text += " " + std::string(static_cast<const char*>(pointer), data[i].size);
    }
  }
  fake.written.push_back(text);
  return 0;
}

uint32_t ORB_TRACING_API FakeUnregister(TracingHandle handle) {
  fake.unregistered.push_back(handle);
  return 0;
}

int libraryToken;

void* FakeOpen(const char* name) {
  return fake.hasLibrary && std::string(name) == "Advapi32.dll" ? &libraryToken : nullptr;
}

void* FakeFind(void* library, const char* name) {
  if (library != &libraryToken) return nullptr;
  std::string function = name;
  if (function == "EventRegister") return reinterpret_cast<void*>(&FakeRegister);
  if (function == "EventWrite" && fake.hasWrite) return reinterpret_cast<void*>(&FakeWrite);
  if (function == "EventUnregister") return reinterpret_cast<void*>(&FakeUnregister);
  return nullptr;
}

constexpr TracingLibraryLookup kFakeLookup{&FakeOpen, &FakeFind};

TEST(EventTracing, ProvidersRegisterInOrderAndOnlyOnce) {
  fake = FakeTracing{};
  {
    EventTracingProviders providers(kFakeLookup);
    providers.RegisterAll();
    providers.RegisterAll();
    ASSERT_EQ(fake.registered.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(fake.registered[i], EventTracingProviders::ProviderIds()[i]);
      EXPECT_EQ(providers.Provider(i).handle, 101 + i);
    }
    EXPECT_EQ(fake.registered[0].data1, 0x2F9EFE86u);
    EXPECT_EQ(fake.registered[3].data4[7], 0xDD);
    EXPECT_TRUE(fake.written.empty());
    EXPECT_EQ(providers.CounterFrequency(), Platform::HighResolutionFrequency());
  }
  EXPECT_EQ(fake.unregistered, (std::vector<TracingHandle>{101, 102, 103, 104}));
}

TEST(EventTracing, EnabledThreadProviderGetsTheMainThreadEvent) {
  fake = FakeTracing{};
  fake.enableOnRegister = EventTracingProviders::kThreadProvider;
  EventTracingProviders providers(kFakeLookup);
  providers.RegisterAll();
  uint32_t thread = static_cast<uint32_t>(Platform::CurrentThreadId());
  EXPECT_EQ(fake.written, (std::vector<std::string>{"102/1: " + std::to_string(thread) + " " +
                                                    std::string("Main thread", sizeof "Main thread")}));
}

TEST(EventTracing, MissingFunctionsDoNothing) {
  fake = FakeTracing{};
  fake.hasWrite = false;
  fake.enableOnRegister = EventTracingProviders::kThreadProvider;
  EventTracingProviders withoutWrite(kFakeLookup);
  withoutWrite.RegisterAll();
  EXPECT_TRUE(fake.written.empty());

  fake = FakeTracing{};
  fake.hasLibrary = false;
  EventTracingProviders withoutLibrary(kFakeLookup);
  withoutLibrary.RegisterAll();
  withoutLibrary.UnregisterAll();
  EXPECT_TRUE(fake.registered.empty());
  EXPECT_EQ(withoutLibrary.Provider(0).handle, 0u);
}

// Where the system has a tracing library (Windows) the process's providers registered through it
// when the library loaded; elsewhere they stay unregistered. A round trip through the system's own
// functions must come back to an intact caller, which a wrong calling convention does not.
TEST(EventTracing, ProcessProvidersRegisterWhereTheSystemHasTracing) {
  void* library = Platform::OpenLibrary(kTracingLibraryName);
  const bool hasTracing = library != nullptr && Platform::FindFunction(library, "EventRegister") != nullptr;
  if (library != nullptr) Platform::CloseLibrary(library);
  for (std::size_t i = 0; i < EventTracingProviders::kProviderCount; ++i) {
    EXPECT_EQ(ProcessEventTracing().Provider(i).handle != 0, hasTracing) << i;
  }
  volatile uint32_t guard = 0x5EED5EED;
  {
    EventTracingProviders providers;
    providers.RegisterAll();
    for (std::size_t i = 0; i < EventTracingProviders::kProviderCount; ++i) {
      EXPECT_EQ(providers.Provider(i).handle != 0, hasTracing) << i;
    }
    providers.UnregisterAll();
    EXPECT_EQ(providers.Provider(0).handle, 0u);
  }
  EXPECT_EQ(guard, 0x5EED5EEDu);
}

// Each event's bit follows the session's level and keywords, as the message compiler's glue
// computes it; disabling clears everything.
TEST(EventTracing, EnableCallbackKeepsLevelKeywordsAndEventBits) {
  EventTracingProviders providers(TracingLibraryLookup{nullptr, nullptr});
  auto& frame = const_cast<TracingProviderContext&>(providers.Provider(0));
  struct Row {
    uint8_t level;
    uint64_t any, all;
    uint32_t bits;
  } rows[] = {
      {4, 0x1, 0, 0x3},    // level and keyword match both events
      {0, 0x1, 0, 0x3},    // level 0 takes every level
      {3, 0x1, 0, 0x0},    // the events are at level 4
      {5, 0x2, 0, 0x0},    // no keyword in common
      {5, 0x3, 0x3, 0x0},  // not every required keyword
      {5, 0x3, 0x1, 0x3},
  };
  for (const Row& row : rows) {
    EventTracingProviders::EnableCallback(nullptr, kTracingEnable, row.level, row.any, row.all, nullptr, &frame);
    EXPECT_EQ(frame.enableBits, row.bits) << int(row.level) << " " << row.any << " " << row.all;
    EXPECT_EQ(frame.isEnabled, 1u);
    EXPECT_EQ(frame.level, row.level);
    EXPECT_EQ(frame.matchAnyKeyword, row.any);
    EXPECT_EQ(frame.matchAllKeyword, row.all);
  }
  EventTracingProviders::EnableCallback(nullptr, kTracingDisable, 5, 1, 1, nullptr, &frame);
  EXPECT_EQ(frame.isEnabled, 0u);
  EXPECT_EQ(frame.level, 0);
  EXPECT_EQ(frame.matchAnyKeyword, 0u);
  EXPECT_EQ(frame.enableBits, 0u);
  EXPECT_FALSE(EventTracingProviders::IsEventEnabled(frame, 0));
}

}  // namespace
}  // namespace Vela::Sdk
