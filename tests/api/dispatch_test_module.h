// A test application module with endpoints registered through RegisterEndpoint, and a caller
// that sends hand-built HostRequest records through the request callback on the function
// records of the flat API description, as the host does.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sdk/api/register_endpoint.h"
#include "sdk/api/request_entry.h"
#include "sdk/binding/binding_registry.h"
#include "sdk/binding/flat_api_description.h"
#include "sdk/binding/flat_value_conversion.h"
#include "sdk/binding/type_registration.h"

namespace Vela::Sdk::DispatchTest {

enum class Color : int32_t { Red = 1, Blue = 2 };

struct Item {
  int64_t id = 0;
  std::string name;
  Color color = Color::Red;
};

/// What the probe endpoint was called with, as one value.
struct Probe {
  std::string id;
  std::optional<int64_t> count;
  bool flag = false;
  std::optional<bool> maybe;
  BindingValue list;
  std::optional<std::vector<int64_t>> numbers;
  std::optional<std::string> text;
  BindingValue object;
};

class TestModule {
 public:
  TestModule() {
    registry.Initialise();
    RegisterEnum<Color>(registry, "Color").Value("Red", Color::Red).Value("Blue", Color::Blue);
    RegisterStruct<Item>(registry, "Item")
        .Field("id", &Item::id)
        .Field("name", &Item::name)
        .Field("color", &Item::color);
    RegisterStruct<Probe>(registry, "Probe")
        .Field("id", &Probe::id)
        .Field("count", &Probe::count)
        .Field("flag", &Probe::flag)
        .Field("maybe", &Probe::maybe)
        .Field("list", &Probe::list)
        .Field("numbers", &Probe::numbers)
        .Field("text", &Probe::text)
        .Field("object", &Probe::object);
    const EndpointOptions options{.tags = {"Plugins", "Plugin test"}};
    RegisterEndpoint(registry, *this, kMethodGet, "/items", &TestModule::GetItems, options);
    RegisterEndpoint(registry, *this, kMethodPost, "/items", &TestModule::CreateItem,
                     {{"item", ArgumentLocation::kBody}}, options);
    RegisterEndpoint(registry, *this, kMethodDelete, "/items/{itemId}", &TestModule::DeleteItem,
                     {{"itemId", ArgumentLocation::kPath}}, options);
    RegisterEndpoint(registry, *this, kMethodGet, "/probe/{id}", &TestModule::GetProbe,
                     {{"id", ArgumentLocation::kPath},
                      {"X-Count"},
                      {"flag"},
                      {"maybe"},
                      {"list", ArgumentLocation::kQuery},
                      {"numbers"},
                      {"text"},
                      {"object"}},
                     options);
    RegisterEndpoint(registry, *this, kMethodPut, "/info", &TestModule::Info, options);
    RegisterEndpoint(registry, *this, kMethodPatch, "/throw", &TestModule::Throw, options);
    api = FlatApiStorage::Build(registry);
    AttachRequestEntries(*api->Description(), api->Functions());
  }

  Maybe<std::vector<Item>> GetItems() { return items; }

  Maybe<void> CreateItem(Item item) {
    if (item.id < 0) return Failure(409, "Item " + std::to_string(item.id) + " is not allowed");
    items.push_back(std::move(item));
    return {};
  }

  Maybe<void> DeleteItem(int64_t itemId) {
    ++deleteCalls;
    for (auto it = items.begin(); it != items.end(); ++it) {
      if (it->id == itemId) {
        items.erase(it);
        return {};
      }
    }
    return Failure(400, "Item " + std::to_string(itemId) + " does not exist");
  }

  Maybe<Probe> GetProbe(std::string id, std::optional<int64_t> count, bool flag, std::optional<bool> maybe,
                        const BindingValue& list, std::optional<std::vector<int64_t>> numbers,
                        const std::optional<std::string>& text, BindingValue object) {
    return Probe{std::move(id), count, flag, maybe, list, std::move(numbers), text, std::move(object)};
  }

  Maybe<BindingValue> Info(const ApiRequestInfo& info) {
    BindingValue out;
    out.MemberForWriting("url") = info.url;
    out.MemberForWriting("method") = info.method;
    out.MemberForWriting("hostContext") = static_cast<uint64_t>(info.hostContext);
    out.MemberForWriting("registry") = info.registry == &registry;
    out.MemberForWriting("ticks") = info.ticks > 0;
    for (const auto& [name, value] : info.headers) out.MemberForWriting("headers").MemberForWriting(name) = value;
    return out;
  }

  Maybe<void> Throw() { throw std::runtime_error("boom"); }

  /// The function record of a function name.
  const FlatFunctionRecord* Record(std::string_view name) const {
    const FlatApiDescription& description = *api->Description();
    for (uint32_t i = 0; i < description.functionCount; ++i) {
      if (name == description.functions[i].name) return &description.functions[i];
    }
    return nullptr;
  }

  BindingRegistry registry;
  std::unique_ptr<FlatApiStorage> api;
  std::vector<Item> items;
  int deleteCalls = 0;
};

/// A request as a test writes it; Send turns it into a HostRequest.
struct Request {
  int32_t method = kMethodGet;
  const char* url = nullptr;
  std::vector<HostHeader> headers;
  const char* contentType = nullptr;
  std::string body;
  std::vector<HostArgument> arguments;
  uintptr_t hostContext = 0;
};

inline Request MakeRequest(int32_t method, const char* url, const char* contentType = nullptr, std::string body = {}) {
  Request request;
  request.method = method;
  request.url = url;
  request.contentType = contentType;
  request.body = std::move(body);
  return request;
}

/// What came back, read out of the response before it was released.
struct Reply {
  int32_t status = 0;
  bool hasError = false;
  std::string error;
  BindingValue body;
  bool released = false;
};

/// Calls `record`'s request callback with its context as the registration handle.
inline Reply Send(const FlatFunctionRecord& record, const Request& request, void* handle = nullptr,
                  bool useHandle = false) {
  HostRequest host{};
  host.method = request.method;
  host.url = request.url;
  host.arguments = request.arguments.empty() ? nullptr : const_cast<HostArgument*>(request.arguments.data());
  host.argumentCount = static_cast<uint32_t>(request.arguments.size());
  host.registration = useHandle ? handle : record.requestContext;
  host.headers = request.headers.empty() ? nullptr : const_cast<HostHeader*>(request.headers.data());
  host.headerCount = static_cast<uint32_t>(request.headers.size());
  host.contentType = request.contentType;
  host.body = request.body.empty() ? nullptr : reinterpret_cast<const uint8_t*>(request.body.data());
  host.bodyLength = static_cast<uint32_t>(request.body.size());
  host.hostContext = request.hostContext;
  HostResponse response{};
  record.requestCallback(&response, &host);
  Reply reply;
  reply.status = response.status;
  reply.hasError = response.error != nullptr;
  if (response.error != nullptr) reply.error = response.error;
  BindingResult body;
  FlatToValue(response.body, "body", body);
  reply.body = std::move(body.Value());
  if (response.release != nullptr) {
    response.release(&response);
    reply.released = response.body.kind == kFlatEmpty && response.error == nullptr;
  }
  return reply;
}

}  // namespace Vela::Sdk::DispatchTest
