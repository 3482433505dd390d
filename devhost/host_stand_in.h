// HostStandIn: a host for one plug-in, used by the tests and the developer host program. It
// loads the plug-in, answers its handshake, offers the ten host functions (recording every
// call), delivers events to the plug-in's listeners and calls its API functions.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "devhost/flat_values.h"
#include "sdk/host/abi/host_abi.h"
#include "sdk/platform/platform.h"

namespace Vela::DevHost {

using Vela::Sdk::FlatApiDescription;
using Vela::Sdk::FlatFunctionRecord;
using Vela::Sdk::HostEventCallback;
using Vela::Sdk::HostFunctionTable;
using Vela::Sdk::HostRequest;
using Vela::Sdk::HostResponse;
using Vela::Sdk::HostTaskCallback;
using Vela::Sdk::MemoryStatisticsRecord;
using Vela::Sdk::PluginEntryTable;
using Vela::Sdk::PluginHandshake;
using Vela::Sdk::PluginLoadFn;

/// Names of the host functions by slot, as recorded.
inline constexpr const char* kHostFunctionNames[10] = {
    "SendRequest", "Reserved", "FireEvent", "AddEventListener", "RemoveEventListener",
    "Schedule",    "Yield",    "BeginWait", "EndWait",          "Log"};

/// One call of a host function by the plug-in.
struct HostCall {
  int slot = 0;                              // 0..9
  const HostFunctionTable* table = nullptr;  // first argument as received
  std::vector<std::string> arguments;        // texts as given, numbers in decimal, pointers in hex
};

struct Listener {
  HostEventCallback callback = nullptr;
  void* userData = nullptr;
  int32_t flag = 0;
  uintptr_t hostContext = 0;
};

struct ScheduledTask {
  std::string label;
  HostTaskCallback callback = nullptr;
  void* context = nullptr;
  double delaySeconds = 0;
  int32_t flags = 0;
};

struct LogRecord {
  int32_t level = 0;
  std::string message;
};

struct FiredEvent {
  std::string name;
  OwnedFlatValue data;
  int32_t value = 0;
  uintptr_t userData = 0;
};

/// A request the host sends into one of the plug-in's API functions.
struct ApiRequest {
  int32_t method = Vela::Sdk::kMethodGet;
  std::string url;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string contentType;
  std::string body;
  /// Typed arguments; an empty name makes the argument positional.
  std::vector<std::pair<std::string, OwnedFlatValue>> arguments;
  std::string customMethod;
};

/// A response filled by the plug-in; its release function runs when this is destroyed.
class ApiResponse {
 public:
  ApiResponse() noexcept : response_{} {}
  ApiResponse(ApiResponse&& other) noexcept;
  ApiResponse& operator=(ApiResponse&& other) noexcept;
  ApiResponse(const ApiResponse&) = delete;
  ApiResponse& operator=(const ApiResponse&) = delete;
  ~ApiResponse();

  const HostResponse& Get() const noexcept { return response_; }
  HostResponse& Get() noexcept { return response_; }
  /// The error text, or "" when the call succeeded.
  std::string Error() const { return response_.error == nullptr ? std::string() : response_.error; }
  int32_t Status() const noexcept { return response_.status; }
  const FlatValue& Body() const noexcept { return response_.body; }
  /// Calls the release function now; afterwards the response is all zero.
  void Release() noexcept;

 private:
  HostResponse response_;
};

class HostStandIn {
 public:
  /// `hostContext` is handed to Initialise and expected back in every subscription.
  explicit HostStandIn(uintptr_t hostContext = 0x5EED);
  /// Destroys a plug-in still alive and unloads its library.
  ~HostStandIn();
  HostStandIn(const HostStandIn&) = delete;
  HostStandIn& operator=(const HostStandIn&) = delete;

  // Loading and entry.

  /// Loads the library and finds its export; false with LastError() set when either fails. By
  /// default the library stays mapped for the life of the process, as the client core keeps its
  /// plug-ins; kUntilClosed unloads it when the stand-in goes (or loads another).
  bool Load(const std::string& path,
            Vela::Sdk::Platform::LibraryLifetime lifetime = Vela::Sdk::Platform::LibraryLifetime::kProcess);
  /// Uses an export linked into this program instead of a library.
  void Attach(PluginLoadFn load);
  const std::string& LastError() const { return lastError_; }
  /// The export found by Load or given to Attach.
  PluginLoadFn Export() const { return load_; }
  /// The entry table taken from the record at the handshake (a copy: it outlives the object).
  const PluginEntryTable& Entries() const { return entries_; }
  void* Handle() const { return handle_; }
  /// Calls the export with the given host version; returns its result. On success the entry
  /// table and handle are taken from the record.
  int Handshake(uint32_t major = 18, uint32_t minor = 0, uint32_t patch = 0);
  /// The record as the export left it.
  const PluginHandshake& HandshakeRecord() const { return handshake_; }
  bool Initialise();
  void Destroy();
  bool IsAlive() const { return handle_ != nullptr; }
  /// Also valid after Destroy: the counters belong to the library, not the object.
  MemoryStatisticsRecord MemoryStatistics() const;

  // What the host knows of the plug-in.

  const FlatApiDescription* Api() const { return handshake_.api; }
  std::vector<std::string> FunctionNames() const;
  const FlatFunctionRecord* FindFunction(const std::string& name) const;
  HostFunctionTable* Table() { return &block_.table; }
  uintptr_t HostContext() const { return hostContext_; }

  /// Calls an API function through its record; the response comes back unreleased. An unknown
  /// name gives no call: the response stays zero and LastError() names the function.
  ApiResponse Call(const std::string& functionName, const ApiRequest& request);

  // Host side of the host functions.

  /// GETs sent by the plug-in for `url` are answered with a copy of `body`.
  void SetResource(const std::string& url, OwnedFlatValue body);
  void RemoveResource(const std::string& url);
  /// Answers every request the resource store does not. It fills the response with texts and
  /// values of the host's allocator (sdk/host/abi/allocation.h), marking an error text it allocated
  /// as owned; the stand-in sets the release function.
  using RequestHandler = std::function<void(const HostRequest& request, HostResponse& response)>;
  void SetRequestHandler(RequestHandler handler) { requestHandler_ = std::move(handler); }

  /// GETs of the plug-in are answered from here; null when nothing is stored under `url`.
  const OwnedFlatValue* FindResource(const std::string& url) const;

  // Hooks that turn the recording stand-in into a running host. Each one, when set, is called
  // in addition to (observers) or instead of (handlers) the stand-in's own behaviour.

  /// Replaces queueing on ScheduledTasks(): the handler owns running the task after its delay.
  using ScheduleHandler = std::function<void(const ScheduledTask& task)>;
  void SetScheduleHandler(ScheduleHandler handler) { scheduleHandler_ = std::move(handler); }
  /// Replaces RunScheduled() as what Yield does.
  using YieldHandler = std::function<void()>;
  void SetYieldHandler(YieldHandler handler) { yieldHandler_ = std::move(handler); }
  /// Sees every event the plug-in fires, during the call.
  using EventObserver = std::function<void(const std::string& name, const FlatValue& data)>;
  void SetEventObserver(EventObserver observer) { eventObserver_ = std::move(observer); }
  /// Sees every log record the plug-in sends.
  using LogObserver = std::function<void(int32_t level, const std::string& message)>;
  void SetLogObserver(LogObserver observer) { logObserver_ = std::move(observer); }
  /// Off: calls, fired events and log records are no longer kept, so a host that runs for
  /// hours does not grow; the observers still see everything.
  void SetRecording(bool on) { recording_ = on; }

  /// Delivers an event to the plug-in's listener of that name; false when there is none.
  bool DeliverEvent(const std::string& name, const FlatValue& data);
  /// Runs the tasks queued so far (not those they queue); returns how many ran.
  std::size_t RunScheduled();

  const std::vector<HostCall>& Calls() const { return calls_; }
  /// The recorded calls of one host function.
  std::vector<HostCall> CallsOf(int slot) const;
  void ClearCalls() { calls_.clear(); }
  const std::map<std::string, Listener>& Listeners() const { return listeners_; }
  const std::deque<ScheduledTask>& ScheduledTasks() const { return tasks_; }
  const std::vector<LogRecord>& Logs() const { return logs_; }
  const std::vector<FiredEvent>& FiredEvents() const { return fired_; }
  /// Forget the fired events and log records so far (long runs would otherwise keep them all).
  void ClearFiredEvents() { fired_.clear(); }
  void ClearLogs() { logs_.clear(); }
  int WaitDepth() const { return waitDepth_; }
  /// Responses the stand-in filled for the plug-in and the plug-in released again.
  int HostResponsesReleased() const { return hostResponsesReleased_; }

 private:
  // The function table comes first so a table pointer leads back to its stand-in.
  struct TableBlock {
    HostFunctionTable table;
    HostStandIn* owner;
  };
  static HostStandIn* Owner(HostFunctionTable* table);
  void Record(int slot, HostFunctionTable* table, std::vector<std::string> arguments);

  static void SendRequestFn(HostFunctionTable* table, HostResponse* response, HostRequest* request);
  static void ReservedFn(HostFunctionTable* table, uintptr_t first, uintptr_t second);
  static void FireEventFn(HostFunctionTable* table, Vela::Sdk::HostEvent* event);
  static void AddEventListenerFn(HostFunctionTable* table, const char* name, uintptr_t hostContext,
                                 HostEventCallback callback, void* userData, int32_t flag);
  static void RemoveEventListenerFn(HostFunctionTable* table, const char* name, uintptr_t hostContext);
  static void ScheduleFn(HostFunctionTable* table, const char* label, HostTaskCallback callback, void* context,
                         double delaySeconds, int32_t flags);
  static void YieldFn(HostFunctionTable* table);
  static void BeginWaitFn(HostFunctionTable* table, const char* label, int32_t flag);
  static void EndWaitFn(HostFunctionTable* table);
  static void LogFn(HostFunctionTable* table, int32_t level, const char* message);
  static void ReleaseHostFilledResponse(HostResponse* response);

  TableBlock block_;
  Vela::Sdk::HostServices services_{};
  uintptr_t hostContext_;
  void* library_ = nullptr;
  PluginLoadFn load_ = nullptr;
  PluginHandshake handshake_{};
  PluginEntryTable entries_{};
  void* handle_ = nullptr;
  std::string lastError_;

  std::vector<HostCall> calls_;
  std::map<std::string, OwnedFlatValue> resources_;
  RequestHandler requestHandler_;
  std::map<std::string, Listener> listeners_;
  std::deque<ScheduledTask> tasks_;
  std::vector<LogRecord> logs_;
  std::vector<FiredEvent> fired_;
  int waitDepth_ = 0;
  int hostResponsesReleased_ = 0;
  bool recording_ = true;
  ScheduleHandler scheduleHandler_;
  YieldHandler yieldHandler_;
  EventObserver eventObserver_;
  LogObserver logObserver_;
};

/// Path of the plug-in library this build produced.
const char* BuiltPluginPath();

}  // namespace Vela::DevHost
