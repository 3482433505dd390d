// The plug-in object: handshake, entry functions and forwarding to the host function table.
#include "sdk/host/app_module.h"

#include "sdk/api/function_name.h"
#include "sdk/api/request_entry.h"
#include "sdk/diag/assertion.h"
#include "sdk/diag/format.h"
#include "sdk/diag/logger.h"
#include "sdk/host/abi/allocation.h"
#include "sdk/host/event_tracing.h"
#include "sdk/host/plugin_log_target.h"
#include "sdk/host/telemetry_sink.h"

namespace Vela::Sdk {
// The registry starts out with the SDK's built-in types.
AppModule::AppModule(std::string shortName) : shortName_(std::move(shortName)) {
  registry_.Initialise();
  // Keeps the tracing providers, which register when the library loads, in the link.
  (void)ProcessEventTracing();
}

// The installed log target leaves the logger when it is deleted with the object; the logger
// itself stays with the library.
AppModule::~AppModule() = default;

HostFunctionTable* AppModule::Table() const { return services_ == nullptr ? nullptr : services_->functions; }

void AppModule::SendRequest(HostResponse* response, HostRequest* request) {
  if (HostFunctionTable* table = Table(); table != nullptr && table->sendRequest != nullptr) {
    table->sendRequest(table, response, request);
  }
}

void AppModule::Reserved(uintptr_t first, uintptr_t second) {
  if (HostFunctionTable* table = Table(); table != nullptr && table->reserved != nullptr) {
    table->reserved(table, first, second);
  }
}

void AppModule::FireEvent(HostEvent* event) {
  if (HostFunctionTable* table = Table(); table != nullptr && table->fireEvent != nullptr) {
    table->fireEvent(table, event);
  }
}

void AppModule::AddEventListener(const char* name, uintptr_t hostContext, HostEventCallback callback, void* userData,
                                 int32_t flag) {
  if (HostFunctionTable* table = Table(); table != nullptr && table->addEventListener != nullptr) {
    table->addEventListener(table, name, hostContext, callback, userData, flag);
  }
}

void AppModule::RemoveEventListener(const char* name, uintptr_t hostContext) {
  if (HostFunctionTable* table = Table(); table != nullptr && table->removeEventListener != nullptr) {
    table->removeEventListener(table, name, hostContext);
  }
}

void AppModule::Schedule(const char* label, HostTaskCallback callback, void* context, double delaySeconds,
                         int32_t flags) {
  if (HostFunctionTable* table = Table(); table != nullptr && table->schedule != nullptr) {
    table->schedule(table, label, callback, context, delaySeconds, flags);
  }
}

void AppModule::Yield() {
  if (HostFunctionTable* table = Table(); table != nullptr && table->yield != nullptr) table->yield(table);
}

void AppModule::BeginWait(const char* label, int32_t flag) {
  if (HostFunctionTable* table = Table(); table != nullptr && table->beginWait != nullptr) {
    table->beginWait(table, label, flag);
  }
}

void AppModule::EndWait() {
  if (HostFunctionTable* table = Table(); table != nullptr && table->endWait != nullptr) table->endWait(table);
}

void AppModule::HostLog(int32_t level, const char* message) {
  if (HostFunctionTable* table = Table(); table != nullptr && table->log != nullptr) {
    table->log(table, level, message);
  }
}

void AppModule::AddHostListener(const std::string& name, HostEventCallback delivery, int32_t flag) {
  hostEventHandlers_[name] = delivery;
  AddEventListener(name.c_str(), hostContext_, delivery, this, flag);
}

bool AppModule::Handshake(PluginHandshake& record) {
  PluginApiVersion host{record.major, record.minor, record.patch, {}, {}};
  PluginApiVersion own = PluginApiVersionOfSdk();
  if (!IsCompatibleHost(own, host)) return false;
  hostVersion_ = std::move(host);
  identity_ = MakePluginIdentity(shortName_, kBackendKind);
  tags_ = {"Plugins", "Plugin " + shortName_};
  apiNamePrefix_ = MakeFunctionName(shortName_);
  RegisterSdkTypes();
  RegisterRoutes();
  BuildApiTable();
  record.major = own.major;
  record.minor = own.minor;
  record.patch = own.patch;
  record.entries = &entries_;
  record.handle = this;
  record.shortName = shortName_.c_str();
  record.api = api_->Description();
  return true;
}

void AppModule::RegisterSdkTypes() { RegisterHostEventTypes(registry_); }

void AppModule::BuildApiTable() {
  api_ = FlatApiStorage::Build(registry_);
  AttachRequestEntries(*api_->Description(), api_->Functions());
}

bool AppModule::Initialise(HostServices& services) {
  services_ = &services;
  InstallLogTarget();
  hostContext_ = services.hostContext;
  CreateTelemetrySink();
  AddServiceProxyListeners();
  return Start();
}

// An installed target stays when another one is registered already (possibly another plug-in
// object's: the logger is process-wide).
void AppModule::InstallLogTarget() {
  if (std::unique_ptr<PluginLogTarget> target = InstallPluginLogTarget(Table())) logTarget_ = std::move(target);
}

void AppModule::CreateTelemetrySink() { telemetry_ = std::make_unique<TelemetrySink>(*this); }

void AppModule::AddServiceProxyListeners() {
  for (const char* name :
       {kOnServiceProxyUuidEventName, kOnServiceProxyMethodEventName, kOnServiceProxyAsyncEventName}) {
    AddHostListener(name, &Deliver<PluginServiceProxyResponse>, 1);
  }
}

void AppModule::Destroy() {
  shuttingDown_ = 1;
  Shutdown();
  delete this;
}

uint8_t AppModule::InitialiseEntry(void* handle, HostServices* services) noexcept {
  if (handle == nullptr || services == nullptr) return 0;
  try {
    return static_cast<AppModule*>(handle)->Initialise(*services) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

void AppModule::DestroyEntry(void* handle) noexcept {
  if (handle == nullptr) return;
  try {
    static_cast<AppModule*>(handle)->Destroy();
  } catch (...) {
    // Nothing may reach the host; the object is as far torn down as it got.
  }
}

// The counters are process-wide, so the handle is not needed and may be null.
void AppModule::MemoryStatisticsEntry(void*, MemoryStatisticsRecord* out) noexcept {
  if (out == nullptr) return;
  *out = ReadMemoryStatistics();
}

std::string IncompatibleHostText(const std::string& shortName, const PluginApiVersion& plugin,
                                 const PluginApiVersion& host) {
  return Format("%1 which supports plugin API %2 is not compatible with core's plugin API %3", shortName,
                plugin.ToText(), host.ToText());
}

int LoadPlugin(PluginHandshake* handshake, AppModule* (*create)()) noexcept {
  if (handshake == nullptr || create == nullptr) return 1;
  AppModule* module = nullptr;
  try {
    module = create();
    if (module == nullptr) return 2;
    if (module->Handshake(*handshake)) return 0;
  } catch (...) {
    // The record is written last, so a failed build leaves it as the host gave it.
    delete module;
    return 2;
  }
  PluginApiVersion host{handshake->major, handshake->minor, handshake->patch, {}, {}};
  FatalError(kIncompatibleHostError, IncompatibleHostText(module->ShortName(), PluginApiVersionOfSdk(), host).c_str());
}

}  // namespace Vela::Sdk
