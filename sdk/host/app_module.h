// AppModule: the plug-in object that the host drives. It answers the handshake, owns what the
// plug-in registers, forwards its host operations to the host function table and carries the
// three entry functions the host calls with the object as handle.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include "sdk/api/method_text.h"
#include "sdk/binding/binding_registry.h"
#include "sdk/binding/flat_api_description.h"
#include "sdk/binding/maybe_type.h"
#include "sdk/binding/type_registration.h"
#include "sdk/binding/value_conversion.h"
#include "sdk/diag/format.h"
#include "sdk/host/abi/host_abi.h"
#include "sdk/host/host_event_types.h"
#include "sdk/host/lcds_class_names.h"
#include "sdk/host/outgoing_request.h"
#include "sdk/host/plugin_api_version.h"
#include "sdk/host/plugin_identity.h"
#include "sdk/host/scheduled_task_table.h"
#include "sdk/host/trace_hook.h"

namespace Vela::Sdk {

class PluginLogTarget;
class TelemetrySink;

/// Fatal error raised for a host whose plug-in API this plug-in cannot serve.
inline constexpr char kIncompatibleHostError[] = "ALE-EECF0606";
/// Fatal error raised when a future awaited by the plug-in cannot give its value.
inline constexpr char kAwaitFutureError[] = "ALE-6D828C10";
/// Where the login plug-in takes LCDS calls.
inline constexpr char kLcdsInvokeUrl[] = "/ark-login/v1/session/invoke";
/// %1 the LCDS type name.
inline constexpr char kLcdsTaskLabel[] = "Event: OnLcdsEvent (%1)";
inline constexpr char kYieldWaitLabel[] = "Wait: yield";
/// %1 the static type name of the awaited value.
inline constexpr char kAwaitWaitLabel[] = "Wait: future<%1>";

using ResourceHandler = std::function<void(const PluginResourceEvent& event)>;
using LcdsHandler = std::function<void(const PluginLcdsEvent& event)>;
using ServiceProxyHandler = std::function<void(const PluginServiceProxyResponse& response)>;

class AppModule {
 public:
  AppModule(const AppModule&) = delete;
  AppModule& operator=(const AppModule&) = delete;

  // The fifteen operations in slot order. Slots 4-12 forward one-to-one to host functions 0-8,
  // reading the table through the HostServices record at every call; before Initialise they
  // do nothing.

  /// Slot 0: reference-counted subscription to the resource events of a URL.
  virtual void Subscribe(const std::string& url);
  /// Slot 1: undoes one Subscribe.
  virtual void Unsubscribe(const std::string& url);
  /// Slot 2.
  virtual ~AppModule();
  /// Slot 3: drops every host event listener and clears the handler tables.
  virtual void Shutdown();
  /// Slot 4 (host function 0): synchronous; the response is filled on return.
  virtual void SendRequest(HostResponse* response, HostRequest* request);
  /// Slot 5 (host function 1): never called by this plug-in.
  virtual void Reserved(uintptr_t first, uintptr_t second);
  /// Slot 6 (host function 2): the host reads the event during the call only.
  virtual void FireEvent(HostEvent* event);
  /// Slot 7 (host function 3).
  virtual void AddEventListener(const char* name, uintptr_t hostContext, HostEventCallback callback, void* userData,
                                int32_t flag);
  /// Slot 8 (host function 4).
  virtual void RemoveEventListener(const char* name, uintptr_t hostContext);
  /// Slot 9 (host function 5): the host calls callback(context) once, after the delay.
  virtual void Schedule(const char* label, HostTaskCallback callback, void* context, double delaySeconds,
                        int32_t flags);
  /// Slot 10 (host function 6): lets the host run pending work.
  virtual void Yield();
  /// Slot 11 (host function 7).
  virtual void BeginWait(const char* label, int32_t flag);
  /// Slot 12 (host function 8).
  virtual void EndWait();
  /// Slot 13: the service registers its types and routes.
  virtual void RegisterRoutes() = 0;
  /// Slot 14: the service subscribes to its sources; false fails Initialise.
  virtual bool Start() = 0;

  /// Host function 9: one log line; level 0 OKAY, 1 WARN, 2 ERROR, 3 ALWAYS.
  void HostLog(int32_t level, const char* message);

  // Outgoing calls. Every failure is a Failure value: code 400 for a request refused before it
  // was sent, the response's status for an error response, 0 otherwise.

  /// Sends a request with positional arguments, each converted by its registered type.
  template <class... Args>
  Maybe<void> Send(int32_t method, const std::string& url, const Args&... args);
  /// Sends a request with named parameters (one structure argument).
  Maybe<void> SendNamed(int32_t method, const std::string& url, const NamedParameters& parameters);
  /// Sends a request without arguments and converts its reply to T (BindingValue: as it came).
  template <class T>
  Maybe<T> RequestReply(int32_t method, const std::string& url);
  /// Calls `method` of the LCDS service `destination` with the argument marked by its platform
  /// class names; the future is satisfied on return.
  template <class T>
  std::future<Maybe<void>> InvokeLcds(const std::string& destination, const std::string& method, const T& argument);
  /// Pushes an Update event of the resource `url` holding `value`, under the derived host event
  /// name and under "OnJsonApiEvent". A value that does not convert is traced and not sent.
  template <class T>
  Maybe<void> PublishResource(const std::string& url, const T& value);
  /// Fires the event under ResourceEventName(url), then under `name` when that differs.
  Maybe<void> SendResourceEvent(const std::string& name, const PluginResourceEvent& event, int32_t value);
  /// Registered type name -> platform class name, consulted by InvokeLcds.
  LcdsClassNames& LcdsClassNameMap() { return lcdsClassNames_; }

  /// Yields to the host until the future is ready, inside a BeginWait/EndWait bracket when it
  /// was not ready at once. A future error ends the process (kAwaitFutureError).
  template <class T>
  T Await(std::future<T> future);
  /// Hands control to the host once, inside a wait bracket.
  void YieldToHost();

  // Event subscription.

  /// Follows the resource `url` ("*" makes it a pattern, see MatchesResourcePattern), handing
  /// handler(const ResourceEventOf<T>&) each event with its data converted to T. An exact URL is
  /// read at once and, when that succeeds, delivered as a Create event before this returns.
  template <class T, class Handler>
  void ObserveResource(const std::string& url, Handler handler);
  /// The untyped form: the handler gets the event as delivered.
  void ObserveResourceEvents(const std::string& url, ResourceHandler handler);
  /// Receives the LCDS messages of `typeName`, each through a task the host schedules.
  void SubscribeLcds(const std::string& typeName, LcdsHandler handler);
  /// The typed form: handler(const T&) gets the body converted to T; a body that does not
  /// convert is traced and dropped.
  template <class T, class Handler>
  void SubscribeLcds(const std::string& typeName, Handler handler);
  /// Drops the handler of `typeName`; tasks already queued for it then do nothing.
  void UnsubscribeLcds(const std::string& typeName);
  /// Waits for the service-proxy response of `key` (a uuid, or "service.method").
  void AddPendingServiceProxyRequest(const std::string& key, ServiceProxyHandler completion);
  /// Handles the async service-proxy events of "service.method".
  void AddAsyncServiceProxyHandler(const std::string& serviceName, const std::string& methodName,
                                   ServiceProxyHandler handler);

  /// Null until Initialise.
  TelemetrySink* Telemetry() const { return telemetry_.get(); }
  /// The log target this module installed, if any.
  PluginLogTarget* LogTargetInstalled() const { return logTarget_.get(); }
  /// Tasks queued with the host and not yet run.
  const ScheduledTaskTable& Tasks() const { return tasks_; }

  /// Handshake steps 2-10 on a freshly built object. For an incompatible host it returns false
  /// and leaves the record as it was; ending the process is the caller's part.
  bool Handshake(PluginHandshake& record);
  /// The Initialise entry: false when the service does not start.
  bool Initialise(HostServices& services);
  /// The Destroy entry: shuts down and deletes the object, which must come from new.
  void Destroy();

  const std::string& ShortName() const { return shortName_; }
  uintptr_t HostContext() const { return hostContext_; }
  bool IsShuttingDown() const { return shuttingDown_ != 0; }
  const PluginApiVersion& HostVersion() const { return hostVersion_; }
  const PluginIdentity& Identity() const { return identity_; }
  /// "Plugins" and "Plugin " followed by the short name.
  const std::vector<std::string>& Tags() const { return tags_; }
  /// The short name as a CamelCase name: the prefix of the service's type names.
  const std::string& ApiNamePrefix() const { return apiNamePrefix_; }
  HostServices* Services() const { return services_; }
  const PluginEntryTable& EntryTable() const { return entries_; }
  /// Null until the handshake has built it.
  const FlatApiDescription* ApiTable() const { return api_ == nullptr ? nullptr : api_->Description(); }
  BindingRegistry& Registry() { return registry_; }

 protected:
  explicit AppModule(std::string shortName);

  /// Listens to a host event: the delivery function gets every event of that name, with this
  /// module as user data. Listening again under the same name replaces the delivery function.
  void AddHostListener(const std::string& name, HostEventCallback delivery, int32_t flag);

  /// The name traces give T: its registered name, else its static type name.
  template <class T>
  std::string TypeNameOf() const;

 private:
  HostFunctionTable* Table() const;

  // Outgoing calls without templates.
  Maybe<void> SendArguments(int32_t method, const std::string& url, RequestArguments& arguments);
  Maybe<BindingValue> RequestValue(int32_t method, const std::string& url);
  Maybe<void> InvokeLcdsValue(const std::string& destination, const std::string& method, BindingValue argument,
                              const TypeSpec& spec);
  [[noreturn]] static void FailAwait(const std::error_code& error) noexcept;

  // Event delivery: the host calls Deliver<P> with a HostEvent whose user data is the module.
  template <class P>
  static void Deliver(HostEvent* event) noexcept;
  void Dispatch(const std::string& name, const PluginResourceEvent& event);
  void Dispatch(const std::string& name, const PluginLcdsEvent& event);
  void Dispatch(const std::string& name, const PluginServiceProxyResponse& response);
  void RunLcdsTask(const PluginLcdsEvent& event);
  void FulfilServiceProxyRequests();
  void TraceLcdsConversionFailure(const PluginLcdsEvent& event) const;

  // Handshake steps that build what the host sees of the plug-in.
  void RegisterSdkTypes();
  void BuildApiTable();

  // Initialise steps owned by the log target, telemetry and service-proxy parts of the SDK.
  void InstallLogTarget();
  void CreateTelemetrySink();
  void AddServiceProxyListeners();

  static uint8_t InitialiseEntry(void* handle, HostServices* services) noexcept;
  static void DestroyEntry(void* handle) noexcept;
  static void MemoryStatisticsEntry(void* handle, MemoryStatisticsRecord* out) noexcept;

  std::string shortName_;
  uintptr_t hostContext_ = 0;
  uint8_t shuttingDown_ = 0;
  PluginApiVersion hostVersion_;
  PluginIdentity identity_;
  std::vector<std::string> tags_;
  std::string apiNamePrefix_;
  HostServices* services_ = nullptr;
  PluginEntryTable entries_{&InitialiseEntry, &DestroyEntry, &MemoryStatisticsEntry};
  BindingRegistry registry_;
  std::unique_ptr<FlatApiStorage> api_;
  // Host event name -> delivery function of its payload type.
  std::map<std::string, HostEventCallback> hostEventHandlers_;
  // Host event name -> Subscribe calls not yet undone.
  std::map<std::string, uint64_t> subscriptionCounts_;
  std::map<std::string, ResourceHandler> exactResourceHandlers_;
  std::map<std::string, ResourceHandler> wildcardResourceHandlers_;
  // Shared so that a running handler survives being replaced or unsubscribed.
  std::map<std::string, std::shared_ptr<const LcdsHandler>> lcdsSubscriptions_;
  ScheduledTaskTable tasks_;
  // Recursive: service-proxy handlers run with it held and may add requests or handlers.
  std::recursive_mutex serviceProxyMutex_;
  std::map<std::string, PluginServiceProxyResponse> serviceProxyResponses_;
  std::map<std::string, ServiceProxyHandler> pendingServiceProxyRequests_;
  std::map<std::string, ServiceProxyHandler> asyncServiceProxyHandlers_;
  LcdsClassNames lcdsClassNames_;
  std::unique_ptr<TelemetrySink> telemetry_;
  std::unique_ptr<PluginLogTarget> logTarget_;
};

/// Body of the plug-in's export: builds the object with `create` and answers the handshake.
/// A null record is refused with a non-zero result before anything is built; an incompatible
/// host ends the process with the fatal error kIncompatibleHostError.
int LoadPlugin(PluginHandshake* handshake, AppModule* (*create)()) noexcept;

/// "%1 which supports plugin API %2 is not compatible with core's plugin API %3".
std::string IncompatibleHostText(const std::string& shortName, const PluginApiVersion& plugin,
                                 const PluginApiVersion& host);

// ---- Templates of AppModule ----

template <class T>
std::string AppModule::TypeNameOf() const {
  if constexpr (kIsNativeRecord<T> || std::is_enum_v<T>) {
    if (const TypeDescriptor* descriptor = ReferencedDescriptorOf<T>(registry_)) return descriptor->name;
  }
  return StaticType::Name<T>().name;
}

template <class... Args>
Maybe<void> AppModule::Send(int32_t method, const std::string& url, const Args&... args) {
  RequestArguments arguments;
  (arguments.Add(registry_, args), ...);
  return SendArguments(method, url, arguments);
}

template <class T>
Maybe<T> AppModule::RequestReply(int32_t method, const std::string& url) {
  Maybe<BindingValue> reply = RequestValue(method, url);
  if constexpr (std::is_same_v<T, BindingValue>) {
    return reply;
  } else {
    if (!reply) return std::move(reply).Error();
    T value{};
    BindingResult result;
    ValueToNative(result, registry_, reply.Value(), "<result>", value);
    if (!result.Ok()) {
      return Failure::FromTemplate(0, OutgoingText::kConvertResponse, MethodText(method), url, result.ErrorText());
    }
    return value;
  }
}

template <class T>
std::future<Maybe<void>> AppModule::InvokeLcds(const std::string& destination, const std::string& method,
                                               const T& argument) {
  std::promise<Maybe<void>> promise;
  std::future<Maybe<void>> future = promise.get_future();
  BindingResult converted = NativeToValue(registry_, argument);
  if (!converted.Ok()) {
    promise.set_value(Failure::FromTemplate(0, OutgoingText::kLcdsParameters, converted.ErrorText()));
  } else {
    promise.set_value(InvokeLcdsValue(destination, method, std::move(converted.Value()), TypeSpecOf<T>(registry_)));
  }
  return future;
}

template <class T>
Maybe<void> AppModule::PublishResource(const std::string& url, const T& value) {
  PluginResourceEvent event{url, PluginResourceEventType::Update, {}};
  BindingResult converted = NativeToValue(registry_, value);
  if (!converted.Ok()) {
    Trace("%s: Couldn't convert resource %s for event uri \"%s\"", shortName_.c_str(), TypeNameOf<T>().c_str(),
          url.c_str());
    return Failure(0, std::string(converted.ErrorText()));
  }
  event.data = std::move(converted.Value());
  return SendResourceEvent(kOnJsonApiEventName, event, 0);
}

template <class T>
T AppModule::Await(std::future<T> future) {
  try {
    if (!future.valid()) FailAwait(std::make_error_code(std::future_errc::no_state));
    bool waiting = false;
    // A deferred future runs in get(); waiting for it to become ready would never end.
    while (future.wait_for(std::chrono::seconds(0)) == std::future_status::timeout) {
      if (!waiting) {
        BeginWait(Format(kAwaitWaitLabel, StaticType::Name<T>().name).c_str(), 0);
        waiting = true;
      }
      Yield();
    }
    if (waiting) EndWait();
    return future.get();
  } catch (const std::future_error& error) {
    FailAwait(error.code());
  }
}

template <class T, class Handler>
void AppModule::ObserveResource(const std::string& url, Handler handler) {
  ObserveResourceEvents(url, [this, handler = std::move(handler)](const PluginResourceEvent& event) {
    ResourceEventOf<T> typed{event.uri, event.eventType, T{}};
    if (event.eventType != PluginResourceEventType::Delete) {
      BindingResult result;
      ValueToNative(result, registry_, event.data, "<value>", typed.data);
      if (!result.Ok()) {
        Trace("Couldn't convert resource %s to C++ while handling update for URL: %s", TypeNameOf<T>().c_str(),
              event.uri.c_str());
        return;
      }
    }
    handler(typed);
  });
}

template <class T, class Handler>
void AppModule::SubscribeLcds(const std::string& typeName, Handler handler) {
  SubscribeLcds(typeName, LcdsHandler([this, handler = std::move(handler)](const PluginLcdsEvent& event) {
                  T record{};
                  BindingResult result;
                  ValueToNative(result, registry_, event.body, "<value>", record);
                  if (!result.Ok()) return TraceLcdsConversionFailure(event);
                  handler(record);
                }));
}

}  // namespace Vela::Sdk
