// Requests per second through the whole request path: host request record → request entry →
// route → argument binding → handler → result conversion → response record → release.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/api/register_endpoint.h"
#include "sdk/api/request_entry.h"
#include "sdk/binding/binding_registry.h"
#include "sdk/binding/flat_api_description.h"
#include "sdk/binding/type_registration.h"

namespace Vela::Sdk {
namespace {

struct BenchMessage {
  int64_t id = 0;
  std::string type;
  std::string body;
};

struct BenchMessageRequest {
  std::string type;
  std::string body;
};

class BenchModule {
 public:
  BenchModule() {
    registry.Initialise();
    RegisterStruct<BenchMessage>(registry, "BenchMessage")
        .Field("id", &BenchMessage::id)
        .Field("type", &BenchMessage::type)
        .Field("body", &BenchMessage::body);
    RegisterStruct<BenchMessageRequest>(registry, "BenchMessageRequest")
        .Field("type", &BenchMessageRequest::type)
        .Field("body", &BenchMessageRequest::body);
    RegisterEndpoint(registry, *this, kMethodGet, "/bench/v1/messages", &BenchModule::GetMessages);
    RegisterEndpoint(registry, *this, kMethodPost, "/bench/v1/messages", &BenchModule::CreateMessage,
                     {{"messageRequest", ArgumentLocation::kBody}});
    RegisterEndpoint(registry, *this, kMethodDelete, "/bench/v1/messages/{messageId}", &BenchModule::DeleteMessage,
                     {{"messageId", ArgumentLocation::kPath}});
    api = FlatApiStorage::Build(registry);
    AttachRequestEntries(*api->Description(), api->Functions());
    for (int64_t i = 0; i < 100; ++i) {
      messages.push_back({i, "championMastery", R"({"level":7,"keystone":"Aurel","points":123456})"});
    }
  }

  Maybe<std::vector<BenchMessage>> GetMessages() { return messages; }
  Maybe<void> CreateMessage(BenchMessageRequest request) {
    lastBodySize = request.body.size();
    return {};
  }
  Maybe<void> DeleteMessage(int64_t messageId) {
    lastId = messageId;
    return {};
  }

  const FlatFunctionRecord& Record(std::string_view name) const {
    const FlatApiDescription& description = *api->Description();
    for (uint32_t i = 0; i < description.functionCount; ++i) {
      if (name == description.functions[i].name) return description.functions[i];
    }
    std::abort();
  }

  BindingRegistry registry;
  std::unique_ptr<FlatApiStorage> api;
  std::vector<BenchMessage> messages;
  std::size_t lastBodySize = 0;
  int64_t lastId = 0;
};

void RunRequests(benchmark::State& state, const FlatFunctionRecord& record, HostRequest request) {
  request.registration = record.requestContext;
  for (auto _ : state) {
    HostResponse response{};
    record.requestCallback(&response, &request);
    if (response.error != nullptr) state.SkipWithError(response.error);
    benchmark::DoNotOptimize(response.body.payload.ref.count);
    response.release(&response);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_GetListOf100(benchmark::State& state) {
  BenchModule module;
  HostRequest request{};
  request.method = kMethodGet;
  request.url = "/bench/v1/messages";
  RunRequests(state, module.Record("GetBenchV1Messages"), request);
}
BENCHMARK(BM_GetListOf100);

void BM_PostSmallJson(benchmark::State& state) {
  BenchModule module;
  static const char kBody[] = R"({"type":"championMastery","body":"{\"level\":7,\"keystone\":\"Aurel\"}"})";
  HostRequest request{};
  request.method = kMethodPost;
  request.url = "/bench/v1/messages";
  request.contentType = "application/json";
  request.body = reinterpret_cast<const uint8_t*>(kBody);
  request.bodyLength = sizeof kBody - 1;
  RunRequests(state, module.Record("PostBenchV1Messages"), request);
}
BENCHMARK(BM_PostSmallJson);

void BM_DeleteWithPathParameter(benchmark::State& state) {
  BenchModule module;
  HostRequest request{};
  request.method = kMethodDelete;
  request.url = "/bench/v1/messages/42";
  RunRequests(state, module.Record("DeleteBenchV1MessagesByMessageId"), request);
}
BENCHMARK(BM_DeleteWithPathParameter);

}  // namespace
}  // namespace Vela::Sdk

BENCHMARK_MAIN();
