// AppModule: the plug-in object that the host drives. It answers the handshake, owns what the
// plug-in registers, forwards its host operations to the host function table and carries the
// three entry functions the host calls with the object as handle.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/flat_api_description.h"
#include "sdk/host/host_abi.h"
#include "sdk/host/plugin_api_version.h"
#include "sdk/host/plugin_identity.h"

namespace Vela::Sdk {

/// Fatal error raised for a host whose plug-in API this plug-in cannot serve.
inline constexpr char kIncompatibleHostError[] = "ALE-EECF0606";

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
  virtual void AddEventListener(const char* name, uintptr_t hostContext, HostEventCallback callback,
                                void* userData, int32_t flag);
  /// Slot 8 (host function 4).
  virtual void RemoveEventListener(const char* name, uintptr_t hostContext);
  /// Slot 9 (host function 5): the host calls callback(context) once, after the delay.
  virtual void Schedule(const char* label, HostTaskCallback callback, void* context,
                        double delaySeconds, int32_t flags);
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

 private:
  HostFunctionTable* Table() const;

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
};

/// Body of the plug-in's export: builds the object with `create` and answers the handshake.
/// A null record is refused with a non-zero result before anything is built; an incompatible
/// host ends the process with the fatal error kIncompatibleHostError.
int LoadPlugin(PluginHandshake* handshake, AppModule* (*create)()) noexcept;

/// "%1 which supports plugin API %2 is not compatible with core's plugin API %3".
std::string IncompatibleHostText(const std::string& shortName, const PluginApiVersion& plugin,
                                 const PluginApiVersion& host);

}  // namespace Vela::Sdk
