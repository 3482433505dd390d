// The message service through the built plug-in: a GET of 10,000 visible messages, and a
// DELETE in the middle of 10,000 (acknowledgement, removal and the push of the rest). A lean
// host stands around the library so the numbers are the plug-in's, not a recording host's.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "devhost/flat_values.h"
#include "sdk/host/abi/host_abi.h"
#include "sdk/platform/platform.h"

namespace {

using Vela::DevHost::FlatCollection;
using Vela::DevHost::FlatStructure;
using Vela::DevHost::FlatText;
using Vela::DevHost::FlatUnsigned;
using Vela::DevHost::OwnedFlatValue;
using Vela::Sdk::FlatValue;
using Vela::Sdk::HostEvent;
using Vela::Sdk::HostEventCallback;
using Vela::Sdk::HostFunctionTable;
using Vela::Sdk::HostRequest;
using Vela::Sdk::HostResponse;
using Vela::Sdk::HostTaskCallback;

constexpr int kMessages = 10000;
constexpr char kMessagesUri[] = "/ark-simple-dialog-messages/v1/messages";
constexpr char kLcdsEvent[] = "OnLcdsEvent_com_velaworks_platform_messaging_persistence_SimpleDialogMessage";
constexpr char kSessionEvent[] = "OnJsonApiEvent_ark-gameflow_v1_session";
constexpr char kNotFound[] = "Resource not found";

// A host that answers the acknowledgement with success, every other request with 404, runs
// scheduled tasks on Yield and counts what it is sent without keeping it.
class LeanHost {
 public:
  LeanHost() {
    library_ = Vela::Sdk::Platform::OpenLibrary(ORB_PLUGIN_PATH);
    if (library_ == nullptr) Die(Vela::Sdk::Platform::LibraryError().c_str());
    auto load =
        reinterpret_cast<Vela::Sdk::PluginLoadFn>(Vela::Sdk::Platform::FindFunction(library_, ORB_PLUGIN_ENTRY_NAME));
    if (load == nullptr) Die("no export");
    handshake_ = Vela::Sdk::PluginHandshake{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
    if (load(&handshake_) != 0 || handshake_.entries == nullptr) Die("handshake refused");
    services_ = Vela::Sdk::HostServices{&block_.table, 1};
    if (handshake_.entries->initialise(handshake_.handle, &services_) == 0) Die("initialise failed");
  }

  ~LeanHost() {
    handshake_.entries->destroy(handshake_.handle);
    Vela::Sdk::Platform::CloseLibrary(library_);
  }

  LeanHost(const LeanHost&) = delete;
  LeanHost& operator=(const LeanHost&) = delete;

  /// Calls an API function; returns the response status and releases the response.
  int32_t Call(const char* function, int32_t method, const std::string& url) {
    const Vela::Sdk::FlatFunctionRecord* record = handshake_.api->functions;
    for (uint32_t i = 0; i < handshake_.api->functionCount; ++i, record = record->next) {
      if (std::strcmp(record->name, function) == 0) break;
    }
    HostRequest request{};
    request.method = method;
    request.url = url.c_str();
    request.registration = record->requestContext;
    request.hostContext = 1;
    HostResponse response{};
    record->requestCallback(&response, &request);
    int32_t status = response.status;
    if (response.error != nullptr) Die(response.error);
    if (response.release != nullptr) response.release(&response);
    return status;
  }

  void Deliver(const char* name, const FlatValue& data) {
    auto found = listeners_.find(name);
    if (found == listeners_.end()) Die(name);
    HostEvent event{name, data, 0, reinterpret_cast<uintptr_t>(found->second.userData)};
    found->second.callback(&event);
  }

  void RunTasks() {
    std::vector<Task> due;
    due.swap(tasks_);
    for (const Task& task : due) task.callback(task.context);
  }

  void SendSession(const char* phase) {
    OwnedFlatValue event(FlatStructure({{"uri", FlatText("/ark-gameflow/v1/session")},
                                        {"eventType", FlatText("Update")},
                                        {"data", FlatStructure({{"phase", FlatText(phase)}})}}));
    Deliver(kSessionEvent, event.Get());
  }

  void SendMessage(int index) {
    FlatValue params = FlatCollection({FlatText("keystone"), FlatText(std::to_string(index % 7))});
    OwnedFlatValue event(
        FlatStructure({{"clientId", FlatText("c")},
                       {"subtopic", FlatText("")},
                       {"typeName", FlatText("com.velaworks.platform.messaging.persistence.SimpleDialogMessage")},
                       {"body", FlatStructure({{"accountId", FlatUnsigned(77)},
                                               {"msgId", FlatText("msg-" + std::to_string(index))},
                                               {"type", FlatText("championMastery")},
                                               {"params", params}})}}));
    Deliver(kLcdsEvent, event.Get());
    RunTasks();
  }

  /// Shows `count` more messages with a single push: they are held, then released together.
  void Fill(int count) {
    SendSession("ChampSelect");
    for (int i = 0; i < count; ++i) SendMessage(i);
    SendSession("EndOfGame");
  }

  uint64_t fired = 0;

 private:
  struct Listener {
    HostEventCallback callback;
    void* userData;
  };
  struct Task {
    HostTaskCallback callback;
    void* context;
  };
  struct TableBlock {
    HostFunctionTable table;
    LeanHost* owner;
  };

  static LeanHost* Owner(HostFunctionTable* table) { return reinterpret_cast<TableBlock*>(table)->owner; }
  [[noreturn]] static void Die(const char* why) {
    std::fprintf(stderr, "service_bench: %s\n", why == nullptr ? "?" : why);
    std::exit(1);
  }

  static void SendRequest(HostFunctionTable*, HostResponse* response, HostRequest* request) {
    *response = HostResponse{};
    if (std::strcmp(request->url, "/ark-login/v1/session/invoke") == 0) {
      response->status = 200;
    } else {
      response->error = const_cast<char*>(kNotFound);
      response->status = 404;
    }
  }
  static void Reserved(HostFunctionTable*, uintptr_t, uintptr_t) {}
  static void FireEvent(HostFunctionTable* table, HostEvent*) { ++Owner(table)->fired; }
  static void AddEventListener(HostFunctionTable* table, const char* name, uintptr_t, HostEventCallback callback,
                               void* userData, int32_t) {
    Owner(table)->listeners_[name] = Listener{callback, userData};
  }
  static void RemoveEventListener(HostFunctionTable* table, const char* name, uintptr_t) {
    Owner(table)->listeners_.erase(name);
  }
  static void Schedule(HostFunctionTable* table, const char*, HostTaskCallback callback, void* context, double,
                       int32_t) {
    Owner(table)->tasks_.push_back(Task{callback, context});
  }
  static void Yield(HostFunctionTable* table) { Owner(table)->RunTasks(); }
  static void BeginWait(HostFunctionTable*, const char*, int32_t) {}
  static void EndWait(HostFunctionTable*) {}
  static void Log(HostFunctionTable*, int32_t, const char*) {}

  TableBlock block_{HostFunctionTable{&SendRequest, &Reserved, &FireEvent, &AddEventListener, &RemoveEventListener,
                                      &Schedule, &Yield, &BeginWait, &EndWait, &Log},
                    this};
  Vela::Sdk::HostServices services_{};
  Vela::Sdk::PluginHandshake handshake_{};
  void* library_ = nullptr;
  std::map<std::string, Listener> listeners_;
  std::vector<Task> tasks_;
};

void BM_GetTenThousandMessages(benchmark::State& state) {
  LeanHost host;
  host.Fill(kMessages);
  for (auto _ : state) {
    benchmark::DoNotOptimize(host.Call("GetArkSimpleDialogMessagesV1Messages", Vela::Sdk::kMethodGet, kMessagesUri));
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_GetTenThousandMessages)->Unit(benchmark::kMillisecond);

// Each iteration dismisses the message at position 5,000 of 10,000 and then, untimed, adds one
// at the end, so the list keeps its length and the next id to dismiss sits at the same place.
void BM_DeleteInTheMiddleOfTenThousand(benchmark::State& state) {
  LeanHost host;
  host.Fill(kMessages);
  int64_t next = kMessages / 2;
  int added = kMessages;
  for (auto _ : state) {
    std::string url = std::string(kMessagesUri) + "/" + std::to_string(next++);
    benchmark::DoNotOptimize(
        host.Call("DeleteArkSimpleDialogMessagesV1MessagesByMessageId", Vela::Sdk::kMethodDelete, url));
    state.PauseTiming();
    host.SendMessage(added++);
    state.ResumeTiming();
  }
}
// Ids from 5,000 on sit in the middle for 5,000 dismissals.
BENCHMARK(BM_DeleteInTheMiddleOfTenThousand)->Unit(benchmark::kMillisecond)->Iterations(2000);

}  // namespace

BENCHMARK_MAIN();
