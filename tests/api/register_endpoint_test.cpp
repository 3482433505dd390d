// One-call endpoint registration: names, descriptions and types in the registry and the flat API
// description, the request entry on each record, and the registrations it refuses.
#include "sdk/api/register_endpoint.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>

#include "sdk/api/function_registration.h"
#include "tests/api/dispatch_test_module.h"

namespace Vela::Sdk::DispatchTest {
namespace {

TEST(EndpointRegistration, NamesTheFunctionAndDescribesItsSignature) {
  TestModule module;
  const FunctionDescriptor* get = module.registry.FindFunction("GetItems");
  ASSERT_NE(get, nullptr);
  EXPECT_EQ(get->returns.type, kBindingVector);
  EXPECT_EQ(get->returns.element, kBindingStruct);
  EXPECT_EQ(get->returns.referenced, module.registry.FindType("Item"));
  EXPECT_TRUE(get->arguments.empty());
  EXPECT_EQ(get->tags, (std::vector<std::string>{"Plugins", "Plugin test"}));
  EXPECT_EQ(get->description, "");

  const FunctionDescriptor* post = module.registry.FindFunction("PostItems");
  ASSERT_NE(post, nullptr);
  EXPECT_EQ(post->returns.type, kBindingNone);
  ASSERT_EQ(post->arguments.size(), 1u);
  EXPECT_EQ(post->arguments[0].name, "item");
  EXPECT_EQ(post->arguments[0].type.referenced, module.registry.FindType("Item"));

  const FunctionDescriptor* remove = module.registry.FindFunction("DeleteItemsByItemId");
  ASSERT_NE(remove, nullptr);
  EXPECT_EQ(remove->arguments[0].type.type, kBindingInt64);
  EXPECT_FALSE(remove->arguments[0].optional);

  const FunctionDescriptor* probe = module.registry.FindFunction("GetProbeById");
  ASSERT_NE(probe, nullptr);
  EXPECT_TRUE(probe->arguments[1].optional);  // std::optional<int64_t>
  EXPECT_EQ(probe->arguments[4].type.type, kBindingObject);

  const FunctionDescriptor* info = module.registry.FindFunction("PutInfo");
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(info->arguments.empty());  // the request information is no argument
}

TEST(EndpointRegistration, RegistrationKeepsRouteLocationsAndHandler) {
  TestModule module;
  const FunctionDescriptor* remove = module.registry.FindFunction("DeleteItemsByItemId");
  const FunctionRegistration* registration = FunctionRegistration::Of(*remove);
  ASSERT_NE(registration, nullptr);
  EXPECT_EQ(registration->Function(), remove);
  EXPECT_EQ(registration->UrlTemplate(), "/items/{itemId}");
  EXPECT_EQ(registration->Method(), kMethodDelete);
  ASSERT_EQ(registration->Locations().size(), 1u);
  EXPECT_EQ(registration->Locations()[0], ArgumentLocation::kPath);
  EXPECT_NE(registration->Handler(), nullptr);
  EXPECT_EQ(registration->Route()->parameterNames, std::vector<std::string>{"itemId"});
}

TEST(EndpointRegistration, FlatDescriptionCarriesTypesAndRequestEntries) {
  TestModule module;
  const FlatFunctionRecord* record = module.Record("PostItems");
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(+record->argumentCount, 1u);
  EXPECT_STREQ(record->arguments[0].name, "item");
  EXPECT_EQ(+record->arguments[0].typeCode, kBindingStruct);
  EXPECT_STREQ(record->arguments[0].typeName, "Item");
  EXPECT_EQ(+record->returnTypeCode, kBindingNone);
  ASSERT_EQ(+record->tagCount, 2u);
  EXPECT_STREQ(record->tags[1], "Plugin test");
  EXPECT_EQ(+record->requestCallback, &HandleRegisteredRequest);
  EXPECT_EQ(+record->requestContext, FunctionRegistration::Of(*module.registry.FindFunction("PostItems"))->Handle());

  const FlatFunctionRecord* get = module.Record("GetItems");
  EXPECT_EQ(+get->returnTypeCode, kBindingVector);
  EXPECT_EQ(+get->returnElementCode, kBindingStruct);
  EXPECT_STREQ(get->returnTypeName, "Item");
}

TEST(EndpointRegistration, FunctionsWithoutRegistrationGetANullContext) {
  BindingRegistry registry;
  registry.RegisterFunction("Plain", {}, {});
  std::unique_ptr<FlatApiStorage> api = FlatApiStorage::Build(registry);
  AttachRequestEntries(*api->Description(), api->Functions());
  const FlatFunctionRecord& record = api->Description()->functions[0];
  EXPECT_EQ(+record.requestCallback, &HandleRegisteredRequest);
  EXPECT_EQ(+record.requestContext, nullptr);
  HostRequest request{};
  request.url = "Plain";
  request.registration = record.requestContext;
  HostResponse response{};
  record.requestCallback(&response, &request);
  EXPECT_STREQ(response.error, "Invalid function");
  response.release(&response);
}

TEST(EndpointRegistration, HandleOfAResetRegistryIsRefused) {
  TestModule module;
  const FlatFunctionRecord record = *module.Record("GetItems");
  module.registry.Reset();  // destroys the registrations with their descriptors
  HostRequest request{};
  request.method = kMethodGet;
  request.url = "/items";
  request.registration = record.requestContext;
  HostResponse response{};
  record.requestCallback(&response, &request);
  EXPECT_STREQ(response.error, "Invalid function");
  EXPECT_EQ(+response.status, 404);
  response.release(&response);
}

TEST(EndpointRegistration, CustomMethodsAnswerTheirNameOnly) {
  TestModule module;
  RegisterEndpoint(module.registry, module, kMethodCustom, "/custom", &TestModule::GetItems, {.customMethod = "PURGE"});
  const FunctionDescriptor* function = module.registry.FindFunction("Custom");
  ASSERT_NE(function, nullptr);
  const FunctionRegistration* registration = FunctionRegistration::Of(*function);
  EXPECT_EQ(registration->CustomMethod(), "PURGE");
  for (const char* name : {"PURGE", "OTHER"}) {
    HostRequest request{};
    request.method = kMethodCustom;
    request.customMethod = name;
    request.url = "/custom";
    request.registration = const_cast<FunctionRegistration*>(registration);
    HostResponse response{};
    HandleRegisteredRequest(&response, &request);
    EXPECT_EQ(response.error == nullptr, std::string(name) == "PURGE") << name;
    response.release(&response);
  }
}

struct Unregistered {
  int32_t x = 0;
};

class Refusals {
 public:
  Maybe<void> TakesUnregistered(Unregistered) { return {}; }
  Maybe<Unregistered> GivesUnregistered() { return Unregistered{}; }
  Maybe<void> TakesTwo(int64_t, int64_t) { return {}; }
  Maybe<void> TakesOne(int64_t) { return {}; }
};

// Registration mistakes surface when the routes are registered, not on the first request.
TEST(EndpointRegistration, RefusesInconsistentEndpoints) {
  BindingRegistry registry;
  registry.Initialise();
  Refusals refusals;
  struct Row {
    std::function<void()> registration;
    const char* error;
  };
  const Row rows[] = {
      {[&] { RegisterEndpoint(registry, refusals, kMethodPost, "/u", &Refusals::TakesUnregistered, {{"u"}}); },
       "The type of argument 'u' of 'PostU' is not registered."},
      {[&] { RegisterEndpoint(registry, refusals, kMethodGet, "/u", &Refusals::GivesUnregistered); },
       "The result type of 'GetU' is not registered."},
      {[&] {
         RegisterEndpoint(registry, refusals, kMethodGet, "/t", &Refusals::TakesTwo, {{"a"}, {"a"}});
       },
       "Argument 'a' of 'GetT' is named twice."},
      {[&] { RegisterEndpoint(registry, refusals, kMethodGet, "/t", &Refusals::TakesOne, {{""}}); },
       "Argument 0 of 'GetT' has no name."},
      {[&] {
         RegisterEndpoint(registry, refusals, kMethodGet, "/t/{b}", &Refusals::TakesOne,
                          {{"a", ArgumentLocation::kPath}});
       },
       "Path argument 'a' of 'GetTByB' is not captured by its URL template."},
      {[&] {
         RegisterEndpoint(registry, refusals, kMethodGet, "/t/{a}", &Refusals::TakesOne,
                          {{"a", ArgumentLocation::kQuery}});
       },
       "URL parameter 'a' of 'GetTByA' names no argument allowed in the path."},
  };
  for (const Row& row : rows) {
    try {
      row.registration();
      ADD_FAILURE() << "accepted: " << row.error;
    } catch (const std::invalid_argument& refused) {
      EXPECT_STREQ(refused.what(), row.error);
    }
  }
  EXPECT_EQ(registry.FunctionCount(), 0u);
}

}  // namespace
}  // namespace Vela::Sdk::DispatchTest
