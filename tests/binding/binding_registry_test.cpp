// The type registry: registration rules, lookups, lifecycle and use from several threads.
#include "sdk/binding/binding_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace Demo {
struct Message {
  int32_t id;
  int32_t kind;
};
enum class Color : int32_t { Red = 1 };
struct Other {};
}  // namespace Demo

namespace {

using namespace Vela::Sdk;

/// Counts its own destruction, to show who owns callables and converters.
struct Counted : BindingCallable, FieldConverter {
  explicit Counted(std::atomic<int>& destroyed) : destroyed_(destroyed) {}
  ~Counted() override { ++destroyed_; }
  void ToNative(BindingResult&, const BindingValue&, const char*, void*) const override {}
  void ToValue(BindingResult&, const void*) const override {}
  std::atomic<int>& destroyed_;
};

TypeSpec Int32Spec() { return {kBindingInt32, kBindingNone, nullptr}; }

TEST(BindingRegistry, TypeRegisteredTwiceKeepsTheFirstDescription) {
  BindingRegistry registry;
  TypeBuilder first = registry.BeginType("Message", sizeof(Demo::Message), StaticType::Name<Demo::Message>(), false);
  first.AddField("id", "", 0, StaticType::Name<int32_t>(), Int32Spec(), {}, kFieldRequired, nullptr)
      .SetDescription("first");
  EXPECT_FALSE(first.existed);

  std::atomic<int> destroyed = 0;
  TypeBuilder second = registry.BeginType("Message", 99, StaticType::Name<Demo::Other>(), true);
  second.AddField("kind", "", 4, StaticType::Name<int32_t>(), Int32Spec(), {}, 0, std::make_unique<Counted>(destroyed))
      .AddEnumerator("None", 0)
      .SetDescription("second")
      .SetNameSpace("second")
      .AppendTags({"second"});
  EXPECT_TRUE(second.existed);
  EXPECT_EQ(second.descriptor, first.descriptor);
  // The ignored converter is not leaked.
  EXPECT_EQ(destroyed, 1);

  const TypeDescriptor& type = *registry.FindType("Message");
  ASSERT_EQ(type.fields.size(), 1u);
  EXPECT_EQ(type.fields[0].name, "id");
  EXPECT_EQ(type.fields[0].nameHash, Fnv1a("id"));
  EXPECT_EQ(type.size, sizeof(Demo::Message));
  EXPECT_FALSE(type.isEnum);
  EXPECT_EQ(type.description, "first");
  EXPECT_EQ(type.nameSpace, "");
  EXPECT_TRUE(type.tags.empty());
  EXPECT_TRUE(type.enumerators.empty());
  // The second registration's record does not identify the type.
  EXPECT_EQ(registry.FindType(StaticType::Name<Demo::Message>()), &type);
  EXPECT_EQ(registry.FindType(StaticType::Name<Demo::Other>()), nullptr);
}

TEST(BindingRegistry, EnumeratorOfAnExistingNameTakesTheNewValue) {
  BindingRegistry registry;
  TypeDescriptor& color = *registry.BeginType("Color", 4, StaticType::Name<Demo::Color>(), true)
                               .AddEnumerator("None", 0, "nothing")
                               .AddEnumerator("None", 5, "five")
                               .descriptor;
  ASSERT_EQ(color.enumerators.size(), 1u);
  EXPECT_EQ(color.enumerators.at("None").value, 5);
  EXPECT_EQ(color.enumerators.at("None").description, "five");
  EXPECT_FALSE(color.HasEnumerator(0));
  EXPECT_TRUE(color.HasEnumerator(5));
}

TEST(BindingRegistry, EnumeratorNameIsTheFirstInNameOrder) {
  BindingRegistry registry;
  registry.BeginType("Color", 4, StaticType::Name<Demo::Color>(), true)
      .AddEnumerator("B", 1)
      .AddEnumerator("A", 1)
      .AddEnumerator("a", 2)
      .AddEnumerator("Z", 2);
  const uint32_t id = StaticType::Id<Demo::Color>();
  // Byte order: upper case before lower case.
  EXPECT_STREQ(registry.EnumeratorName(id, 1), "A");
  EXPECT_STREQ(registry.EnumeratorName(id, 2), "Z");
  EXPECT_EQ(registry.EnumeratorName(id, 3), nullptr);
  EXPECT_EQ(registry.EnumeratorName(StaticType::Id<Demo::Other>(), 1), nullptr);
  const EnumNameResolver& resolver = registry;
  EXPECT_STREQ(resolver.EnumeratorName(id, 1), "A");
}

TEST(BindingRegistry, VoidRecordTypeIsFoundByNameOnly) {
  BindingRegistry registry;
  TypeBuilder builder = registry.BeginType("Nothing", 0, StaticType::Void(), false);
  EXPECT_EQ(registry.FindType("Nothing"), builder.descriptor);
  EXPECT_EQ(registry.FindType(StaticType::Void()), nullptr);
  EXPECT_EQ(registry.FindTypeById(0), nullptr);
}

TEST(BindingRegistry, SecondFunctionOfANameReplacesTheFirstWithoutFreeingIt) {
  BindingRegistry registry;
  std::atomic<int> destroyed = 0;
  FunctionSettings firstSettings;
  firstSettings.callable = std::make_unique<Counted>(destroyed);
  FunctionDescriptor* first = registry.RegisterFunction("Get", {}, std::move(firstSettings));
  FunctionSettings secondSettings;
  secondSettings.description = "second";
  FunctionDescriptor* second =
      registry.RegisterFunction("Get", {{"id", 0, "the id", true, Int32Spec(), {}}}, std::move(secondSettings));

  EXPECT_EQ(registry.FindFunction("Get"), second);
  EXPECT_EQ(registry.FunctionCount(), 1u);
  EXPECT_EQ(registry.SnapshotFunctions(), std::vector<FunctionDescriptor*>{second});
  EXPECT_EQ(second->arguments[0].nameHash, Fnv1a("id"));
  EXPECT_EQ(second->registry, &registry);
  // Whoever still holds the first (a request in flight) may use it until the registry resets.
  EXPECT_EQ(first->name, "Get");
  EXPECT_EQ(destroyed, 0);
}

TEST(BindingRegistry, UnlistedFunctionIsNotFoundButOwned) {
  std::atomic<int> destroyed = 0;
  {
    BindingRegistry registry;
    FunctionSettings settings;
    settings.callable = std::make_unique<Counted>(destroyed);
    FunctionDescriptor* hidden = registry.RegisterFunction("Hidden", {}, std::move(settings), true);
    EXPECT_EQ(hidden->name, "Hidden");
    EXPECT_EQ(registry.FindFunction("Hidden"), nullptr);
    EXPECT_EQ(registry.FunctionCount(), 0u);
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(BindingRegistry, EventIsCreatedOnceAndDescribedByItsCreator) {
  BindingRegistry registry;
  TypeDescriptor* payload = registry.BeginType("Message", 8, StaticType::Name<Demo::Message>(), false).descriptor;
  EventBuilder first = registry.GetOrCreateEvent("OnMessage", payload).SetDescription("first").AppendTags({"a", "b"});
  EventBuilder second = registry.GetOrCreateEvent("OnMessage", nullptr).SetDescription("second").AppendTags({"c"});
  EXPECT_FALSE(first.existed);
  EXPECT_TRUE(second.existed);
  EventDescriptor* event = registry.FindEvent("OnMessage");
  ASSERT_EQ(event, first.descriptor);
  EXPECT_EQ(event->dataType, payload);
  EXPECT_EQ(event->description, "first");
  EXPECT_EQ(event->tags, (std::vector<std::string>{"a", "b"}));
}

TEST(BindingRegistry, ResetDestroysEverythingOnlyAfterInitialise) {
  std::atomic<int> destroyed = 0;
  BindingRegistry registry;
  auto fill = [&] {
    registry.BeginType("Message", 8, StaticType::Name<Demo::Message>(), false)
        .AddField("id", "", 0, StaticType::Name<int32_t>(), Int32Spec(), {}, 0, std::make_unique<Counted>(destroyed));
    FunctionSettings settings;
    settings.callable = std::make_unique<Counted>(destroyed);
    registry.RegisterFunction("Get", {}, std::move(settings));
    registry.GetOrCreateEvent("OnMessage", nullptr);
  };
  fill();
  registry.Reset();
  EXPECT_NE(registry.FindType("Message"), nullptr);
  EXPECT_EQ(destroyed, 0);

  registry.Initialise();  // resets nothing yet: the flag was clear
  EXPECT_TRUE(registry.IsInitialised());
  registry.Reset();
  EXPECT_FALSE(registry.IsInitialised());
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(registry.FindType("Message"), nullptr);
  EXPECT_EQ(registry.FindType(StaticType::Name<Demo::Message>()), nullptr);
  EXPECT_EQ(registry.FindFunction("Get"), nullptr);
  EXPECT_EQ(registry.FindEvent("OnMessage"), nullptr);
  EXPECT_TRUE(registry.SnapshotTypes().empty());

  // Usable again after the reset.
  fill();
  EXPECT_NE(registry.FindType(StaticType::Name<Demo::Message>()), nullptr);
}

TEST(BindingRegistry, ManyTypesStayReachableAfterTheMapsGrow) {
  BindingRegistry registry;
  std::vector<TypeDescriptor*> created;
  for (int i = 0; i < 200; ++i) {
    created.push_back(registry.BeginType("T" + std::to_string(i), 4, StaticType::Void(), false).descriptor);
  }
  for (int i = 0; i < 200; ++i) EXPECT_EQ(registry.FindType("T" + std::to_string(i)), created[i]);
  EXPECT_EQ(registry.SnapshotTypes().size(), 200u);
}

TEST(BindingRegistry, ConcurrentRegistrationCreatesEachTypeOnce) {
  constexpr int kThreads = 4;
  constexpr int kNames = 64;
  BindingRegistry registry;
  std::vector<std::vector<TypeBuilder>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int n = 0; n < kNames; ++n) {
        std::string name = "Shared" + std::to_string(n);
        TypeBuilder builder = registry.BeginType(name, 4, StaticType::Void(), false);
        builder.SetDescription("by " + std::to_string(t));
        seen[t].push_back(builder);
        FunctionSettings settings;
        registry.RegisterFunction("F" + std::to_string(t) + "_" + std::to_string(n), {}, std::move(settings));
        registry.GetOrCreateEvent(name, builder.descriptor);
        EXPECT_EQ(registry.FindType(name), builder.descriptor);
        EXPECT_NE(registry.FindEvent(name), nullptr);
        EXPECT_LE(registry.SnapshotTypes().size(), static_cast<std::size_t>(kNames));
        registry.SnapshotFunctions();
        registry.SnapshotEvents();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int n = 0; n < kNames; ++n) {
    int creators = 0;
    for (int t = 0; t < kThreads; ++t) {
      creators += seen[t][n].existed ? 0 : 1;
      EXPECT_EQ(seen[t][n].descriptor, seen[0][n].descriptor);
    }
    EXPECT_EQ(creators, 1) << n;
  }
  EXPECT_EQ(registry.FunctionCount(), static_cast<std::size_t>(kThreads * kNames));
  EXPECT_EQ(registry.SnapshotEvents().size(), static_cast<std::size_t>(kNames));
}

}  // namespace
