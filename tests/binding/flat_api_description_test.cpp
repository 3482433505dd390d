// The flat API description, walked the way the host walks it.
#include "sdk/binding/flat_api_description.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "sdk/binding/binding_registry.h"

namespace Demo {
struct Message {
  int32_t id;
  void* items;
};
enum class Color : int32_t {};
}  // namespace Demo

namespace {

using namespace Vela::Sdk;

// Packed record fields are read through unary + so no reference binds to a misaligned field.

/// Follows the next pointers of a list and checks that they visit the array in order.
template <class Record>
void ExpectChainMatchesArray(const Record* first, uint32_t count) {
  if (count == 0) {
    EXPECT_EQ(first, nullptr);
    return;
  }
  uint32_t visited = 0;
  for (const Record* record = first; record != nullptr; record = record->next) {
    ASSERT_LT(visited, count);
    EXPECT_EQ(record, first + visited);
    ++visited;
  }
  EXPECT_EQ(visited, count);
}

class FlatApiDescriptionTest : public ::testing::Test {
 protected:
  FlatApiDescriptionTest() {
    color = registry.BeginType("Color", 4, StaticType::Name<Demo::Color>(), true)
                .AddEnumerator("Red", 1, "warm")
                .AddEnumerator("Blue", 2)
                .SetDescription("A color.")
                .descriptor;
    message = registry.BeginType("Message", sizeof(Demo::Message), StaticType::Name<Demo::Message>(), false)
                  .SetNameSpace("Demo")
                  .AppendTags({"one", "two"})
                  .descriptor;
    TypeBuilder{&registry, message, false}
        .AddField("id", "The id", 0, StaticType::Name<int32_t>(), {kBindingInt32, kBindingNone, nullptr}, {}, 0,
                  nullptr)
        .AddField("children", "", 4, StaticType::Name<void*>(), {kBindingVector, kBindingStruct, message},
                  {kBindingCallback, kBindingNone, nullptr}, 0, nullptr, 1)
        .AddField("strange", "", 8, StaticType::Name<int32_t>(), {static_cast<BindingType>(42), kBindingNone, nullptr},
                  {}, 0, nullptr);

    FunctionSettings get;
    get.returns = {kBindingVector, kBindingStruct, message};
    get.tags = {"api"};
    get.description = "Gets messages.";
    get.help = "Help.";
    get.threadSafe = true;
    get.async = true;
    registry.RegisterFunction(
        "GetMessages",
        {{"color", 0, "Which color", true, {kBindingEnum, kBindingNone, color}, {}},
         {"raw", 0, "", false, {kBindingInt32, kBindingNone, message}, {kBindingString, kBindingNone, nullptr}}},
        std::move(get));
    FunctionSettings put;
    put.returns = {kBindingStruct, kBindingNone, message};
    put.hostReturns = {kBindingObject, kBindingNone, nullptr};
    put.async = true;
    registry.RegisterFunction("PutMessage", {}, std::move(put));

    registry.GetOrCreateEvent("OnMessage", message).SetDescription("Fired.").AppendTags({"$builtin"});
    registry.GetOrCreateEvent("OnNothing", nullptr);
  }

  template <class Record>
  static std::map<std::string, const Record*> ByName(const Record* first) {
    std::map<std::string, const Record*> records;
    for (const Record* record = first; record != nullptr; record = record->next) records[record->name] = record;
    return records;
  }

  BindingRegistry registry;
  TypeDescriptor* color = nullptr;
  TypeDescriptor* message = nullptr;
};

TEST_F(FlatApiDescriptionTest, ListsAreChainsOverContiguousArrays) {
  std::unique_ptr<FlatApiStorage> storage = FlatApiStorage::Build(registry);
  const FlatApiDescription& api = *storage->Description();
  ASSERT_EQ(+api.functionCount, 2u);
  ASSERT_EQ(+api.typeCount, 2u);
  ASSERT_EQ(+api.eventCount, 2u);
  ExpectChainMatchesArray(api.functions, api.functionCount);
  ExpectChainMatchesArray(api.types, api.typeCount);
  ExpectChainMatchesArray(api.events, api.eventCount);
  for (uint32_t i = 0; i < api.functionCount; ++i) {
    ExpectChainMatchesArray(api.functions[i].arguments, api.functions[i].argumentCount);
    EXPECT_EQ(storage->Functions()[i]->name, std::string(api.functions[i].name));
  }
  for (uint32_t i = 0; i < api.typeCount; ++i) {
    const FlatTypeRecord& type = api.types[i];
    if (type.fields != nullptr) {
      EXPECT_EQ(+type.enumerators, nullptr);
      ExpectChainMatchesArray(type.fields, type.count);
    } else {
      ExpectChainMatchesArray(type.enumerators, type.count);
    }
  }
}

TEST_F(FlatApiDescriptionTest, FunctionRecords) {
  std::unique_ptr<FlatApiStorage> storage = FlatApiStorage::Build(registry);
  auto functions = ByName(storage->Description()->functions);

  const FlatFunctionRecord& get = *functions.at("GetMessages");
  EXPECT_EQ(+get.requestCallback, nullptr);
  EXPECT_EQ(+get.requestContext, nullptr);
  EXPECT_STREQ(get.nameSpace, "");
  EXPECT_EQ(+get.returnTypeCode, kBindingVector);
  EXPECT_EQ(+get.returnElementCode, kBindingStruct);
  EXPECT_STREQ(get.returnTypeName, "Message");
  EXPECT_STREQ(get.description, "Gets messages.");
  EXPECT_STREQ(get.help, "Help.");
  EXPECT_EQ(+get.threadSafe, 1);
  EXPECT_STREQ(get.async, "Message");
  ASSERT_EQ(+get.tagCount, 1u);
  EXPECT_STREQ(get.tags[0], "api");

  ASSERT_EQ(+get.argumentCount, 2u);
  const FlatArgumentRecord& colorArgument = get.arguments[0];
  EXPECT_STREQ(colorArgument.name, "color");
  EXPECT_STREQ(colorArgument.description, "Which color");
  EXPECT_EQ(+colorArgument.typeCode, kBindingEnum);
  EXPECT_EQ(+colorArgument.elementCode, 0);
  EXPECT_STREQ(colorArgument.typeName, "Color");
  EXPECT_EQ(+colorArgument.optional, 1);
  // The second spec is what the host sees; a scalar code names no type even with one attached.
  const FlatArgumentRecord& raw = get.arguments[1];
  EXPECT_EQ(+raw.typeCode, kBindingString);
  EXPECT_STREQ(raw.typeName, "");
  EXPECT_EQ(+raw.optional, 0);

  const FlatFunctionRecord& put = *functions.at("PutMessage");
  EXPECT_EQ(+put.returnTypeCode, kBindingObject);
  EXPECT_STREQ(put.returnTypeName, "");
  EXPECT_STREQ(put.async, "Message");
  EXPECT_EQ(+put.threadSafe, 0);
  EXPECT_EQ(+put.arguments, nullptr);
  EXPECT_EQ(+put.tags, nullptr);
  EXPECT_EQ(+put.tagCount, 0u);
}

TEST_F(FlatApiDescriptionTest, TypeRecordsCarryFieldsOrEnumerators) {
  std::unique_ptr<FlatApiStorage> storage = FlatApiStorage::Build(registry);
  auto types = ByName(storage->Description()->types);

  const FlatTypeRecord& structure = *types.at("Message");
  EXPECT_STREQ(structure.nameSpace, "Demo");
  EXPECT_EQ(+structure.size, sizeof(Demo::Message));
  ASSERT_EQ(+structure.tagCount, 2u);
  EXPECT_STREQ(structure.tags[1], "two");
  ASSERT_EQ(+structure.count, 3u);
  struct Row {
    const char* name;
    const char* description;
    uint32_t offset;
    int32_t typeCode;
    int32_t elementCode;
    const char* typeName;
    uint8_t optional;
  };
  // Declaration order; the second spec replaces the first; codes outside 1..19 become 0.
  const Row rows[] = {
      {"id", "The id", 0, kBindingInt32, 0, "", 0},
      {"children", "", 4, kBindingCallback, 0, "", 1},
      {"strange", "", 8, 0, 0, "", 0},
  };
  for (uint32_t i = 0; i < 3; ++i) {
    const FlatFieldRecord& field = structure.fields[i];
    EXPECT_STREQ(field.name, rows[i].name);
    EXPECT_STREQ(field.description, rows[i].description);
    EXPECT_EQ(+field.offset, rows[i].offset);
    EXPECT_EQ(+field.typeCode, rows[i].typeCode) << rows[i].name;
    EXPECT_EQ(+field.elementCode, rows[i].elementCode) << rows[i].name;
    EXPECT_STREQ(field.typeName, rows[i].typeName);
    EXPECT_EQ(+field.optional, rows[i].optional);
  }

  const FlatTypeRecord& enumeration = *types.at("Color");
  EXPECT_EQ(+enumeration.fields, nullptr);
  EXPECT_STREQ(enumeration.description, "A color.");
  ASSERT_EQ(+enumeration.count, 2u);
  // Name order.
  EXPECT_STREQ(enumeration.enumerators[0].name, "Blue");
  EXPECT_EQ(+enumeration.enumerators[0].value, 2);
  EXPECT_STREQ(enumeration.enumerators[0].description, "");
  EXPECT_STREQ(enumeration.enumerators[1].name, "Red");
  EXPECT_STREQ(enumeration.enumerators[1].description, "warm");
}

TEST_F(FlatApiDescriptionTest, EventRecordsNameTheirPayload) {
  std::unique_ptr<FlatApiStorage> storage = FlatApiStorage::Build(registry);
  auto events = ByName(storage->Description()->events);
  EXPECT_STREQ(events.at("OnMessage")->payloadTypeName, "Message");
  EXPECT_STREQ(events.at("OnMessage")->description, "Fired.");
  ASSERT_EQ(+events.at("OnMessage")->tagCount, 1u);
  EXPECT_STREQ(events.at("OnMessage")->tags[0], "$builtin");
  EXPECT_STREQ(events.at("OnNothing")->payloadTypeName, "");
  EXPECT_STREQ(events.at("OnNothing")->nameSpace, "");
}

TEST_F(FlatApiDescriptionTest, OutlivesTheRegistryContents) {
  std::unique_ptr<FlatApiStorage> storage = FlatApiStorage::Build(registry);
  registry.Initialise();
  registry.Reset();
  auto types = ByName(storage->Description()->types);
  EXPECT_STREQ(types.at("Message")->fields[0].description, "The id");
}

TEST(FlatApiDescription, EmptyRegistryGivesEmptyLists) {
  BindingRegistry registry;
  std::unique_ptr<FlatApiStorage> storage = FlatApiStorage::Build(registry);
  const FlatApiDescription& api = *storage->Description();
  EXPECT_EQ(+api.functions, nullptr);
  EXPECT_EQ(+api.functionCount, 0u);
  EXPECT_EQ(+api.types, nullptr);
  EXPECT_EQ(+api.events, nullptr);
}

}  // namespace
