// The SDK's own types and the OnCallback event as every initialised registry holds them.
#include "sdk/binding/builtin_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/value_conversion.h"

namespace Vela::Sdk {
namespace {

std::vector<std::string> FieldNames(const TypeDescriptor& type) {
  std::vector<std::string> names;
  for (const FieldDescriptor& field : type.fields) names.push_back(field.name);
  return names;
}

class BuiltinTypes : public ::testing::Test {
 protected:
  void SetUp() override { registry_.Initialise(); }
  const TypeDescriptor& Type(const char* name) {
    const TypeDescriptor* type = registry_.FindType(name);
    EXPECT_NE(type, nullptr) << name;
    static const TypeDescriptor kMissing;
    return type != nullptr ? *type : kMissing;
  }
  BindingRegistry registry_;
};

// Every built-in type: description, tags and field list in declaration order.
TEST_F(BuiltinTypes, RegistersEveryTypeWithItsTexts) {
  struct Row {
    const char* name;
    const char* description;
    std::vector<std::string> tags;
    std::vector<std::string> fields;
  };
  const Row rows[] = {
      {"BindingHelpFormat", "Help format for binding functions and types.", {"$builtin", "help"}, {}},
      {"BindingFullTypeIdentifier", "Describes the type of a value.", {"$builtin", "help"}, {"type", "elementType"}},
      {"BindingFullArgumentHelp",
       "Describes a function parameter.",
       {"$builtin", "help"},
       {"name", "description", "type", "optional"}},
      {"BindingFullFunctionHelp",
       "Describes a function.",
       {"$builtin", "help"},
       {"name", "nameSpace", "arguments", "returns", "description", "help", "threadSafe", "async", "tags"}},
      {"BindingFullEnumValueHelp", "Describes an enumerator.", {"$builtin", "help"}, {"name", "description", "value"}},
      {"BindingFullFieldHelp",
       "Describes a member of a struct.",
       {"$builtin", "help"},
       {"name", "description", "offset", "type", "optional"}},
      {"BindingFullTypeHelp",
       "Describes a struct or enum type.",
       {"$builtin", "help"},
       {"name", "nameSpace", "size", "description", "tags", "fields", "values"}},
      {"BindingFullEventHelp",
       "Describes an event.",
       {"$builtin", "help"},
       {"name", "nameSpace", "type", "description", "tags"}},
      {"BindingFullApiHelp",
       "Describes the exposed native API.",
       {"$builtin", "help"},
       {"functions", "types", "events"}},
      {"BindingAsyncState", "Possible states of an asynchronous operation.", {"$builtin", "async"}, {}},
      {"BindingGenericEvent", "Represents generic data for an event.", {"$builtin"}, {"data"}},
      {"BindingCallbackEvent",
       "Represents the parameters of a call to a provided callback.",
       {"$builtin"},
       {"id", "parameters"}},
      {"BindingGenericAsyncEvent",
       "Represents generic data for an asynchronous event.",
       {"$builtin", "async"},
       {"asyncToken", "data"}},
      {"BindingAsyncFailureEvent",
       "Represents a failed asynchronous operation.",
       {"$builtin", "async"},
       {"asyncToken", "error"}},
      {"BindingAsyncCancelEvent",
       "Represents a cancelled asynchronous operation.",
       {"$builtin", "async"},
       {"asyncToken"}},
  };
  for (const Row& row : rows) {
    const TypeDescriptor& type = Type(row.name);
    EXPECT_EQ(type.description, row.description) << row.name;
    EXPECT_EQ(type.tags, row.tags) << row.name;
    EXPECT_EQ(FieldNames(type), row.fields) << row.name;
    EXPECT_EQ(type.nameSpace, "") << row.name;
  }
  EXPECT_EQ(registry_.SnapshotTypes().size(), std::size(rows));
}

TEST_F(BuiltinTypes, FieldsReferToTheTypesRegisteredBeforeThem) {
  const TypeDescriptor& function = Type("BindingFullFunctionHelp");
  const FieldDescriptor* arguments = function.FindField("arguments");
  ASSERT_NE(arguments, nullptr);
  EXPECT_EQ(arguments->type.type, kBindingVector);
  EXPECT_EQ(arguments->type.element, kBindingStruct);
  EXPECT_EQ(arguments->type.referenced, &Type("BindingFullArgumentHelp"));
  EXPECT_EQ(function.FindField("returns")->type.referenced, &Type("BindingFullTypeIdentifier"));
  EXPECT_EQ(function.FindField("tags")->type.element, kBindingString);

  const FieldDescriptor* parameters = Type("BindingCallbackEvent").FindField("parameters");
  EXPECT_EQ(parameters->type.type, kBindingVector);
  EXPECT_EQ(parameters->type.element, kBindingObject);
  EXPECT_EQ(parameters->description, "Callback parameters");
  EXPECT_EQ(Type("BindingCallbackEvent").FindField("id")->type.type, kBindingUint32);
  EXPECT_EQ(Type("BindingFullEnumValueHelp").FindField("value")->type.type, kBindingInt32);
}

TEST_F(BuiltinTypes, EnumeratorsCarryValuesAndDescriptions) {
  struct Row {
    const char* type;
    const char* name;
    int32_t value;
    const char* description;
  };
  const Row rows[] = {
      {"BindingAsyncState", "None", 0, "Invalid state"},
      {"BindingAsyncState", "Running", 1, "The operation is in flight"},
      {"BindingAsyncState", "Cancelling", 2, "A request to cancel the operation has been made"},
      {"BindingAsyncState", "Cancelled", 3, "The operation was cancelled"},
      {"BindingAsyncState", "Succeeded", 4, "The operation completed successfully"},
      {"BindingAsyncState", "Failed", 5, "The operation encountered an error"},
      {"BindingHelpFormat", "Full", 1, "Native help format"},
      {"BindingHelpFormat", "Epytext", 2, "Python epytext format"},
  };
  for (const Row& row : rows) {
    const TypeDescriptor& type = Type(row.type);
    EXPECT_TRUE(type.isEnum);
    ASSERT_EQ(type.enumerators.count(row.name), 1u) << row.name;
    EXPECT_EQ(type.enumerators.at(row.name).value, row.value) << row.name;
    EXPECT_EQ(type.enumerators.at(row.name).description, row.description) << row.name;
  }
  EXPECT_EQ(Type("BindingAsyncState").enumerators.size(), 6u);
}

TEST_F(BuiltinTypes, OnCallbackEventCarriesTheCallbackRecord) {
  const EventDescriptor* event = registry_.FindEvent("OnCallback");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->dataType, &Type("BindingCallbackEvent"));
  EXPECT_EQ(event->description, "Fired when a callback is invoked.");
  EXPECT_EQ(event->tags, std::vector<std::string>{"$builtin"});
}

TEST(BuiltinTypesRegistration, KeepsAnOnCallbackEventRegisteredFirst) {
  BindingRegistry registry;
  registry.GetOrCreateEvent("OnCallback", nullptr).SetDescription("Mine");
  RegisterBuiltinTypes(registry);
  EXPECT_EQ(registry.FindEvent("OnCallback")->description, "Mine");
  EXPECT_EQ(registry.FindEvent("OnCallback")->dataType, nullptr);
}

TEST_F(BuiltinTypes, CallbackEventConvertsBothWays) {
  BindingCallbackEvent event;
  event.id = 7;
  event.parameters.emplace_back(int64_t{5});
  event.parameters.emplace_back("x");
  BindingResult value = NativeToValue(registry_, event);
  ASSERT_TRUE(value.Ok()) << value.ErrorText();
  EXPECT_EQ(value.Value()["id"].GetUnsigned(), 7u);
  EXPECT_EQ(value.Value()["parameters"][1].GetString(), "x");

  BindingCallbackEvent back;
  BindingResult result;
  ValueToNative(result, registry_, value.Value(), "event", back);
  ASSERT_TRUE(result.Ok()) << result.ErrorText();
  EXPECT_EQ(back.id, 7u);
  ASSERT_EQ(back.parameters.size(), 2u);
  EXPECT_EQ(back.parameters[0].GetSigned(), 5);
}

}  // namespace
}  // namespace Vela::Sdk
