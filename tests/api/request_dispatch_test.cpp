// Request dispatch through the request callback of the function records: binding from path,
// headers, query, typed arguments and body, every failure text, and the response record.
#include "sdk/api/request_dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sdk/api/function_registration.h"
#include "sdk/api/http_status.h"
#include "sdk/api/json_codec.h"
#include "sdk/api/yaml_reader.h"
#include "sdk/binding/msgpack_reader.h"
#include "sdk/host/abi/allocation.h"
#include "tests/api/dispatch_test_module.h"

namespace Vela::Sdk::DispatchTest {
namespace {

constexpr char kProbe[] = "GetProbeById";

class RequestDispatch : public ::testing::Test {
 protected:
  Reply Call(const char* function, Request request) {
    const FlatFunctionRecord* record = module_.Record(function);
    EXPECT_NE(record, nullptr) << function;
    if (record == nullptr) return {};
    Reply reply = Send(*record, request);
    EXPECT_TRUE(reply.released);
    return reply;
  }
  Reply Probe(const char* url, std::vector<HostHeader> headers = {}) {
    Request request;
    request.url = url;
    request.headers = std::move(headers);
    return Call(kProbe, std::move(request));
  }

  TestModule module_;
};

TEST_F(RequestDispatch, PathParametersArePercentDecoded) {
  Reply reply = Probe("/probe/a%2Fb");
  ASSERT_FALSE(reply.hasError) << reply.error;
  EXPECT_EQ(reply.body["id"].GetString(), "a/b");
}

TEST_F(RequestDispatch, HeadersMatchTheLowerCaseNameAndTheQueryWins) {
  EXPECT_EQ(Probe("/probe/1", {{"x-count", "7"}}).body["count"].GetSigned(), 7);
  // Names arrive in lower case; a header spelled otherwise is not the parameter's.
  EXPECT_TRUE(Probe("/probe/1", {{"X-Count", "7"}}).body["count"].IsEmpty());
  EXPECT_EQ(Probe("/probe/1?X-Count=9", {{"x-count", "7"}}).body["count"].GetSigned(), 9);
  // Pairs with a null text are skipped.
  EXPECT_EQ(Probe("/probe/1", {{nullptr, "1"}, {"x-count", nullptr}, {"x-count", "3"}}).body["count"].GetSigned(), 3);
}

TEST_F(RequestDispatch, BoolsDefaultByOptionality) {
  Reply bare = Probe("/probe/1?flag");
  EXPECT_EQ(bare.body["flag"].Kind(), ValueKind::Bool);
  EXPECT_TRUE(bare.body["flag"].GetBool());
  Reply omitted = Probe("/probe/1");
  EXPECT_EQ(omitted.body["flag"].Kind(), ValueKind::Bool);
  EXPECT_FALSE(omitted.body["flag"].GetBool());
  EXPECT_TRUE(omitted.body["maybe"].IsEmpty());
  EXPECT_TRUE(Probe("/probe/1?maybe=true").body["maybe"].GetBool());
}

TEST_F(RequestDispatch, QueryRepeatsKeepTheLastAndDecodeNamesAndTexts) {
  Reply reply = Probe("/probe/1?text=a&te%78t=b+c%21&&");
  ASSERT_FALSE(reply.hasError) << reply.error;
  EXPECT_EQ(reply.body["text"].GetString(), "b c!");
}

TEST_F(RequestDispatch, DottedPathsGrowCollectionsAndStructures) {
  Reply sparse = Probe("/probe/1?list.2=x");
  ASSERT_EQ(sparse.body["list"].Size(), 3u);
  EXPECT_TRUE(sparse.body["list"][0].IsEmpty());
  EXPECT_TRUE(sparse.body["list"][1].IsEmpty());
  EXPECT_EQ(sparse.body["list"][2].GetString(), "x");

  Reply hex = Probe("/probe/1?list.0x1=y&list.010=z");
  ASSERT_EQ(hex.body["list"].Size(), 9u);  // 010 is octal 8
  EXPECT_EQ(hex.body["list"][1].GetString(), "y");
  EXPECT_EQ(hex.body["list"][8].GetString(), "z");

  Reply nested = Probe("/probe/1?object.a.0.b=v");
  EXPECT_EQ(nested.body["object"]["a"][0]["b"].GetString(), "v");
}

// Structured parameters without content type are sniffed; a string parameter keeps the text.
TEST_F(RequestDispatch, StructuredParametersAreSniffed) {
  Reply json = Probe("/probe/1?numbers=%20[1,2]&text=[1,2]");
  ASSERT_FALSE(json.hasError) << json.error;
  ASSERT_EQ(json.body["numbers"].Size(), 2u);
  EXPECT_EQ(json.body["numbers"][1].GetSigned(), 2);
  EXPECT_EQ(json.body["text"].GetString(), "[1,2]");

  Reply yaml = Probe("/probe/1?numbers=---%20[1]");
  ASSERT_FALSE(yaml.hasError) << yaml.error;
  ASSERT_EQ(yaml.body["numbers"].Size(), 1u);
  EXPECT_EQ(yaml.body["numbers"][0].GetSigned(), 1);

  Reply msgpack = Probe("/probe/1?object=%81%A1k%01");  // {"k": 1}
  ASSERT_FALSE(msgpack.hasError) << msgpack.error;
  EXPECT_EQ(msgpack.body["object"]["k"].GetSigned(), 1);

  Reply empty = Probe("/probe/1?object&numbers");
  EXPECT_EQ(empty.body["object"].Kind(), ValueKind::Structure);
  EXPECT_EQ(empty.body["numbers"].Kind(), ValueKind::Collection);
}

TEST_F(RequestDispatch, UnnamedTypedArgumentsCountAfterThePathParameters) {
  Request request;
  request.url = "/probe/1";
  FlatValue count{};
  count.kind = kFlatSigned;
  count.payload.i64 = 5;
  FlatValue flag{};
  flag.kind = kFlatBool;
  flag.payload.boolean = 1;
  request.arguments = {{nullptr, count}, {nullptr, flag}};
  Reply reply = Call(kProbe, request);
  ASSERT_FALSE(reply.hasError) << reply.error;
  EXPECT_EQ(reply.body["count"].GetSigned(), 5);
  EXPECT_TRUE(reply.body["flag"].GetBool());

  FlatValue text{};
  text.kind = kFlatStringBorrowed;
  text.payload.ref.data = const_cast<char*>("named");
  text.payload.ref.count = 5;
  request.arguments = {{"text", text}};
  EXPECT_EQ(Call(kProbe, request).body["text"].GetString(), "named");
}

TEST_F(RequestDispatch, BodiesDecodeByContentTypePrefixInAnyCase) {
  struct Row {
    const char* contentType;
    std::string body;
    int64_t id;
  };
  const Row rows[] = {
      {"Application/JSON; charset=utf-8", R"({"id": 1, "name": "a"})", 1},
      {"application/vnd.api+json", R"({"id": 2})", 2},
      {"application/x-yaml", "id: 3\nname: c\n", 3},
      {"application/x-msgpack-ext", std::string("\x81\xA2id\x04", 5), 4},
  };
  for (const Row& row : rows) {
    Reply reply = Call("PostItems", MakeRequest(kMethodPost, "/items", row.contentType, row.body));
    EXPECT_FALSE(reply.hasError) << row.contentType << ": " << reply.error;
    ASSERT_FALSE(module_.items.empty()) << row.contentType;
    EXPECT_EQ(module_.items.back().id, row.id) << row.contentType;
  }
}

TEST_F(RequestDispatch, ResultsAndFailuresReachTheResponse) {
  module_.items = {{1, "one", Color::Blue}, {2, "two", Color::Red}};
  Reply list = Call("GetItems", MakeRequest(kMethodGet, "/items"));
  EXPECT_EQ(list.status, 0);
  ASSERT_EQ(list.body.Size(), 2u);
  EXPECT_EQ(list.body[0]["color"].GetString(), "Blue");  // enumerators by name
  EXPECT_EQ(list.body[1]["name"].GetString(), "two");

  Reply missing = Call("DeleteItemsByItemId", MakeRequest(kMethodDelete, "/items/7"));
  EXPECT_EQ(missing.status, 400);
  EXPECT_EQ(missing.error, "Item 7 does not exist");
  Reply removed = Call("DeleteItemsByItemId", MakeRequest(kMethodDelete, "/items/1"));
  EXPECT_FALSE(removed.hasError);
  EXPECT_EQ(module_.items.size(), 1u);

  Reply refused = Call("PostItems", MakeRequest(kMethodPost, "/items", "application/json", R"({"id": -3})"));
  EXPECT_EQ(refused.status, 409);
  EXPECT_EQ(refused.error, "Item -3 is not allowed");
}

TEST_F(RequestDispatch, RequestInformationReachesHandlersThatAskForIt) {
  Request request;
  request.method = kMethodPut;
  request.url = "/info";
  request.headers = {{"accept", "a/b"}, {nullptr, nullptr}};
  request.hostContext = 77;
  Reply reply = Call("PutInfo", request);
  ASSERT_FALSE(reply.hasError) << reply.error;
  EXPECT_EQ(reply.body["url"].GetString(), "/info");
  EXPECT_EQ(reply.body["method"].GetSigned(), kMethodPut);
  EXPECT_EQ(reply.body["hostContext"].GetUnsigned(), 77u);
  EXPECT_TRUE(reply.body["registry"].GetBool());
  EXPECT_TRUE(reply.body["ticks"].GetBool());
  EXPECT_EQ(reply.body["headers"]["accept"].GetString(), "a/b");
}

// Every failure of binding, with its exact text; the handler is not called after one.
TEST_F(RequestDispatch, BindingFailuresCarryTheirTexts) {
  struct Row {
    const char* url;
    std::string error;
  };
  const std::string jsonError(JsonToValue("{bad").ErrorText());
  const std::string yamlError(YamlToValue("--- [").ErrorText());
  const std::string packError(DecodeMessagePack("\x81\x01", 2).ErrorText());
  const Row rows[] = {
      {"/probe/1?nope=1", "Unknown argument 'nope' for 'GetProbeById'."},
      {"/probe/1?nope.x=1", "Unknown argument 'nope' for 'GetProbeById'."},
      {"/probe/1?id=3", "Argument 'id' for 'GetProbeById' was specified in an invalid location."},
      {"/probe/1?X-Count=", "Expected value for argument 'X-Count'."},
      {"/probe/1?list.1a=z", "Index 1a is in an incorrect format"},
      {"/probe/1?list.08=z", "Index 08 is in an incorrect format"},
      {"/probe/1?list.4294967296=z", "Index 4294967296 is out of range"},
      {"/probe/1?list.99999999999999999999999=z", "Index 99999999999999999999999 is out of range"},
      {"/probe/1?object={bad",
       "Couldn't deserialize JSON value for parameter 'object' of 'GetProbeById': " + jsonError},
      {"/probe/1?object=---%20[",
       "Couldn't deserialize YAML value for parameter 'object' of 'GetProbeById': " + yamlError},
      {"/probe/1?object=%81%01",
       "Couldn't deserialize MessagePack value for parameter 'object' of 'GetProbeById': " + packError},
      {"/probe/1?X-Count=abc", "Value abc for 'X-Count' of type int64 is in an incorrect format"},
  };
  for (const Row& row : rows) {
    Reply reply = Probe(row.url);
    EXPECT_EQ(reply.error, row.error) << row.url;
    EXPECT_EQ(reply.status, 0) << row.url;
    EXPECT_TRUE(reply.body.IsEmpty()) << row.url;
  }
  EXPECT_FALSE(jsonError.empty());
  EXPECT_FALSE(packError.empty());
}

// Indexes beyond what a request may allocate fail as out of range instead of allocating.
TEST_F(RequestDispatch, DottedPathsCannotAllocateWithoutBound) {
  struct Row {
    std::string url;
    std::string error;
  };
  std::string deep = "/probe/1?object";
  for (int i = 0; i < 33; ++i) deep += ".a";
  std::string many = "/probe/1?list.0.60000=x";
  for (int i = 1; i < 3; ++i) many += "&list." + std::to_string(i) + ".60000=x";
  const Row rows[] = {
      {"/probe/1?list.2147483647=x", "Index 2147483647 is out of range"},
      {"/probe/1?list.65536=x", "Index 65536 is out of range"},
      {deep + "=x", "Argument 'object' for 'GetProbeById' has a path of more than 32 segments."},
      {many, "Index 60000 is out of range"},  // the second growth exceeds the request's budget
  };
  for (const Row& row : rows) EXPECT_EQ(Probe(row.url.c_str()).error, row.error) << row.url;
  EXPECT_FALSE(Probe("/probe/1?list.65535=x").hasError);
}

TEST_F(RequestDispatch, TypedArgumentFailures) {
  FlatValue number{};
  number.kind = kFlatSigned;
  Request request;
  request.url = "/probe/1";
  request.arguments = {{"nope", number}};
  EXPECT_EQ(Call(kProbe, request).error, "Unknown argument 'nope' for 'GetProbeById'.");
  std::vector<HostArgument> positional(8, HostArgument{nullptr, number});
  request.arguments = positional;  // the eighth lands at index 8, past the last parameter
  EXPECT_EQ(Call(kProbe, request).error, "Unknown argument '8' for 'GetProbeById'.");
  FlatValue alien{};
  alien.kind = 77;
  request.arguments = {{"object", alien}};
  Reply reply = Call(kProbe, request);
  EXPECT_TRUE(reply.hasError);
  EXPECT_NE(reply.error.find("'object'"), std::string::npos) << reply.error;
}

TEST_F(RequestDispatch, BodyFailuresCarryTheirTexts) {
  struct Row {
    const char* contentType;
    std::string body;
    std::string error;
  };
  const Row rows[] = {
      {"text/plain", "x", "Unsupported body content type"},
      {nullptr, "x", "Unsupported body content type"},
      {"application/x-msgpack", std::string("\x80\x00", 2), "Extra MessgePack data found in body"},
      {"application/json", "{", std::string(JsonToValue("{").ErrorText())},
      {"application/x-yaml", "a: [", std::string(YamlToValue("a: [").ErrorText())},
      {"application/json", "[1]", "Couldn't assign value to 'item' of type Item because the input not a structure."},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Call("PostItems", MakeRequest(kMethodPost, "/items", row.contentType, row.body)).error, row.error)
        << row.body;
  }
  EXPECT_TRUE(module_.items.empty());
}

TEST_F(RequestDispatch, ABodyFailureReplacesAnEarlierOne) {
  Request request = MakeRequest(kMethodPost, "/items?nope=1", "text/plain", "x");
  EXPECT_EQ(Call("PostItems", request).error, "Unsupported body content type");
  request.contentType = "application/json";
  request.body = "{}";
  EXPECT_EQ(Call("PostItems", request).error, "Unknown argument 'nope' for 'PostItems'.");
}

TEST_F(RequestDispatch, UnmatchedRoutesAndForeignHandlesAreInvalidFunctions) {
  struct Row {
    int32_t method;
    const char* url;
  };
  const Row rows[] = {{kMethodGet, "/elsewhere"},
                      {kMethodPost, "/probe/1"},
                      {kMethodGet, nullptr},
                      {kMethodGet, "/probe/a/b"},
                      {99, "/probe/1"}};
  for (const Row& row : rows) {
    Reply reply = Call(kProbe, MakeRequest(row.method, row.url));
    EXPECT_EQ(reply.error, "Invalid function") << (row.url ? row.url : "null");
    EXPECT_EQ(reply.status, 404);
  }
  const FlatFunctionRecord& record = *module_.Record(kProbe);
  int notARegistration = 0;
  for (void* handle : {static_cast<void*>(nullptr), static_cast<void*>(&notARegistration)}) {
    Request request;
    request.url = "/probe/1";
    Reply reply = Send(record, request, handle, true);
    EXPECT_EQ(reply.error, "Invalid function");
    EXPECT_EQ(reply.status, 404);
  }
  HostResponse response{};
  record.requestCallback(&response, nullptr);
  EXPECT_EQ(+response.status, 404);
  response.release(&response);
  record.requestCallback(nullptr, nullptr);  // refused without touching anything
}

TEST_F(RequestDispatch, HandlerExceptionsStayInThePlugin) {
  Reply reply = Call("PatchThrow", MakeRequest(kMethodPatch, "/throw"));
  EXPECT_EQ(reply.status, 500);
  EXPECT_EQ(reply.error, "Request failed with an exception: boom");
}

TEST_F(RequestDispatch, HostileBodiesAndTextsFailCleanly) {
  Request request = MakeRequest(kMethodPost, "/items", "application/json", std::string(1 << 20, '['));
  EXPECT_TRUE(Call("PostItems", request).hasError);
  request.body = "{\"name\": \"\xff\xfe\", \"id\": 5}";  // not UTF-8: carried as bytes
  EXPECT_FALSE(Call("PostItems", request).hasError);
  request.contentType = "application/x-msgpack";
  request.body = std::string(100000, '\x91');  // arrays nested too deep
  EXPECT_TRUE(Call("PostItems", request).hasError);
  EXPECT_FALSE(Probe("/probe/%ff%fe?text=%c3%28").hasError);
}

// ---- Direct steps ----

FunctionDescriptor& BuiltinFunction(BindingRegistry& registry, const char* name) {
  FunctionSettings settings;
  settings.tags = {"$builtin"};
  return *registry.RegisterFunction(name, {}, std::move(settings));
}

TEST(DispatchBuiltin, HelpAnswersTheRegistryAndOtherBuiltinsAreRefused) {
  TestModule module;
  FunctionDescriptor& help = BuiltinFunction(module.registry, "Help");
  FunctionDescriptor& other = BuiltinFunction(module.registry, "Other");
  for (FunctionDescriptor* function : {&help, &other}) {
    std::vector<ApiRoute> routes;
    routes.emplace_back(function, nullptr, "/" + function->name);
    HostRequest request{};
    request.method = kMethodGet;
    std::string url = "/" + function->name;
    request.url = url.c_str();
    HostResponse response;
    std::memset(&response, 0x5A, sizeof response);  // whatever the host left there is overwritten
    HandleRequest(&module.registry, response, request, routes);
    if (function == &help) {
      EXPECT_EQ(+response.error, nullptr);
      BindingResult body;
      FlatToValue(response.body, "help", body);
      EXPECT_EQ(body.Value()["functions"].Size(), module.registry.SnapshotFunctions().size());
      EXPECT_EQ(body.Value()["types"].Size(), module.registry.SnapshotTypes().size());
      EXPECT_EQ(body.Value()["events"][0]["name"].GetString(), "OnCallback");
    } else {
      EXPECT_STREQ(response.error, "Unsupported builtin function");
      EXPECT_EQ(+response.status, 400);
    }
    response.release(&response);
  }
}

TEST(WriteResponse, CopiesStatusTextHeadersAndMovesTheStream) {
  static int releasedStreams = 0;
  auto read = [](void*, char*, uint32_t*, uint8_t*) -> uint8_t { return 1; };
  auto release = [](void*) { ++releasedStreams; };
  struct Row {
    int32_t format;
    int32_t written;
  };
  for (Row row : {Row{0, 0}, Row{1, 1}, Row{3, 3}, Row{4, 0}, Row{-1, 0}}) {
    ApiResult result;
    result.value.Value() = "body";
    result.resultKind = 2;
    result.format = row.format;
    result.status = 201;
    result.text = "note";
    result.headers = {{"x-a", "1"}, {"x-b", "2"}};
    result.stream = StreamedBody(read, release, &releasedStreams, 42);
    HostResponse response;
    ResetResponse(response);
    WriteResponse(response, result, nullptr);
    EXPECT_EQ(+response.format, row.written);
    EXPECT_EQ(+response.resultKind, 2);
    EXPECT_EQ(+response.status, 201);
    EXPECT_STREQ(response.text, "note");
    ASSERT_EQ(+response.headerCount, 2u);
    EXPECT_STREQ(response.headers[1].name, "x-b");
    EXPECT_STREQ(response.headers[1].value, "2");
    EXPECT_EQ(+response.streamSizeHint, 42u);
    EXPECT_EQ(+response.streamRead, +read);
    EXPECT_FALSE(result.stream.HasBody());
    response.streamRelease(response.streamContext);
    response.release(&response);
  }
  EXPECT_EQ(releasedStreams, 5);

  ApiResult empty;
  empty.stream = StreamedBody(read, release, nullptr, 0);
  empty.Fail("bad");
  HostResponse response;
  ResetResponse(response);
  WriteResponse(response, empty, nullptr);
  EXPECT_STREQ(response.error, "bad");
  EXPECT_STREQ(response.text, "");
  EXPECT_EQ(+response.headers, nullptr);
  response.streamRelease(response.streamContext);
  response.release(&response);
  EXPECT_EQ(releasedStreams, 6);
  {
    ApiResult dropped;
    dropped.stream = StreamedBody(read, release, nullptr, 0);
  }
  EXPECT_EQ(releasedStreams, 7);  // a body never handed over is released with the result
}

TEST(WriteResponse, AResultWithoutHostFormIsABadRequest) {
  ApiResult result;
  BindingValue* level = &result.value.Value();
  for (int i = 0; i < 600; ++i) level = &level->Append();
  result.status = 200;
  HostResponse response;
  ResetResponse(response);
  WriteResponse(response, result, nullptr);
  EXPECT_STREQ(response.error, "Couldn't convert the result to a host value.");
  EXPECT_EQ(+response.status, 400);
  response.release(&response);
}

TEST(HttpStatus, TableHoldsItsRowsAndNoOthers) {
  EXPECT_EQ(HttpStatusTexts().size(), 46u);
  EXPECT_STREQ(HttpStatusText(207), "207 Multi-Status");
  EXPECT_STREQ(HttpStatusText(404), "Not Found");
  EXPECT_STREQ(HttpStatusText(507), "Insufficient Storage");
  for (int32_t missing : {306, 418, 419, 420, 421, 506, 0, -1}) EXPECT_EQ(HttpStatusText(missing), nullptr) << missing;
  EXPECT_STREQ(kHttpProtocolText, "http/1.1");
}

}  // namespace
}  // namespace Vela::Sdk::DispatchTest
