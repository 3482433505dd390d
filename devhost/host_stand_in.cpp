// The host stand-in.
#include "devhost/host_stand_in.h"

#include <cstdio>
#include <filesystem>

#include "sdk/host/abi/allocation.h"
#include "sdk/host/abi/host_records.h"
#include "sdk/platform/platform.h"

namespace Vela::DevHost {

using Vela::Sdk::HostEvent;

namespace {

constexpr char kExportName[] = ORB_PLUGIN_ENTRY_NAME;
constexpr char kNotFoundText[] = "Resource not found";
constexpr int32_t kNotFoundStatus = 404;

// Responses filled by a stand-in and not yet released, so the release can be counted.
std::map<const HostResponse*, HostStandIn*> outstandingResponses;

std::string Text(const char* text) { return text == nullptr ? std::string("(null)") : std::string(text); }

std::string Address(const void* pointer) {
  char text[2 + 2 * sizeof(void*) + 1];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
  return text;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

// ApiResponse

ApiResponse::ApiResponse(ApiResponse&& other) noexcept : response_(other.response_) {
  other.response_ = HostResponse{};
}

ApiResponse& ApiResponse::operator=(ApiResponse&& other) noexcept {
  if (this != &other) {
    Release();
    response_ = other.response_;
    other.response_ = HostResponse{};
  }
  return *this;
}

ApiResponse::~ApiResponse() { Release(); }

void ApiResponse::Release() noexcept {
  if (response_.release != nullptr) response_.release(&response_);
}

// Loading and entry

HostStandIn::HostStandIn(uintptr_t hostContext)
    : block_{HostFunctionTable{&SendRequestFn, &ReservedFn, &FireEventFn, &AddEventListenerFn, &RemoveEventListenerFn,
                               &ScheduleFn, &YieldFn, &BeginWaitFn, &EndWaitFn, &LogFn},
             this},
      hostContext_(hostContext) {}

HostStandIn::~HostStandIn() {
  Destroy();
  std::erase_if(outstandingResponses, [this](const auto& entry) { return entry.second == this; });
  Vela::Sdk::Platform::CloseLibrary(library_);
}

bool HostStandIn::Load(const std::string& path, Vela::Sdk::Platform::LibraryLifetime lifetime) {
  lastError_.clear();
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    lastError_ = "Plug-in file not found: " + path;
    return false;
  }
  void* library = Vela::Sdk::Platform::OpenLibrary(path.c_str(), lifetime);
  if (library == nullptr) {
    lastError_ = "Plug-in could not be loaded: " + path + ": " + Vela::Sdk::Platform::LibraryError();
    return false;
  }
  void* entry = Vela::Sdk::Platform::FindFunction(library, kExportName);
  if (entry == nullptr) {
    Vela::Sdk::Platform::CloseLibrary(library);
    lastError_ = "Plug-in has no export " + std::string(kExportName) + ": " + path;
    return false;
  }
  Vela::Sdk::Platform::CloseLibrary(library_);
  library_ = library;
  load_ = reinterpret_cast<PluginLoadFn>(entry);
  return true;
}

void HostStandIn::Attach(PluginLoadFn load) { load_ = load; }

int HostStandIn::Handshake(uint32_t major, uint32_t minor, uint32_t patch) {
  if (load_ == nullptr) {
    lastError_ = "No plug-in loaded";
    return -1;
  }
  handshake_ = PluginHandshake{major, minor, patch, nullptr, nullptr, nullptr, nullptr};
  int result = load_(&handshake_);
  if (handshake_.entries != nullptr && handshake_.handle != nullptr) {
    // The functions outlive the object; keeping a copy lets MemoryStatistics run after Destroy.
    entries_ = *handshake_.entries;
    handle_ = handshake_.handle;
  }
  return result;
}

bool HostStandIn::Initialise() {
  if (handle_ == nullptr || entries_.initialise == nullptr) return false;
  services_ = Vela::Sdk::HostServices{&block_.table, hostContext_};
  return entries_.initialise(handle_, &services_) != 0;
}

void HostStandIn::Destroy() {
  if (handle_ == nullptr) return;
  void* handle = handle_;
  handle_ = nullptr;
  entries_.destroy(handle);
  handshake_.entries = nullptr;
  handshake_.handle = nullptr;
  handshake_.shortName = nullptr;
  handshake_.api = nullptr;
}

MemoryStatisticsRecord HostStandIn::MemoryStatistics() const {
  MemoryStatisticsRecord record{};
  if (entries_.memoryStatistics != nullptr) entries_.memoryStatistics(handle_, &record);
  return record;
}

// The plug-in's API

std::vector<std::string> HostStandIn::FunctionNames() const {
  std::vector<std::string> names;
  if (handshake_.api == nullptr) return names;
  const FlatFunctionRecord* record = handshake_.api->functions;
  for (uint32_t i = 0; record != nullptr && i < handshake_.api->functionCount; ++i, record = record->next) {
    names.push_back(Text(record->name));
  }
  return names;
}

const FlatFunctionRecord* HostStandIn::FindFunction(const std::string& name) const {
  if (handshake_.api == nullptr) return nullptr;
  const FlatFunctionRecord* record = handshake_.api->functions;
  for (uint32_t i = 0; record != nullptr && i < handshake_.api->functionCount; ++i, record = record->next) {
    if (record->name != nullptr && name == record->name) return record;
  }
  return nullptr;
}

ApiResponse HostStandIn::Call(const std::string& functionName, const ApiRequest& request) {
  ApiResponse response;
  const FlatFunctionRecord* record = FindFunction(functionName);
  if (record == nullptr || record->requestCallback == nullptr) {
    lastError_ = "No API function " + functionName;
    return response;
  }
  std::vector<Vela::Sdk::HostHeader> headers;
  for (const auto& [name, value] : request.headers) headers.push_back({name.c_str(), value.c_str()});
  std::vector<Vela::Sdk::HostArgument> arguments;
  for (const auto& [name, value] : request.arguments) {
    arguments.push_back({name.empty() ? nullptr : name.c_str(), value.Get()});
  }
  HostRequest host{};
  host.method = request.method;
  host.url = request.url.c_str();
  host.arguments = arguments.empty() ? nullptr : arguments.data();
  host.argumentCount = static_cast<uint32_t>(arguments.size());
  host.registration = record->requestContext;
  host.headers = headers.empty() ? nullptr : headers.data();
  host.headerCount = static_cast<uint32_t>(headers.size());
  host.contentType = request.contentType.empty() ? nullptr : request.contentType.c_str();
  host.body = request.body.empty() ? nullptr : reinterpret_cast<const uint8_t*>(request.body.data());
  host.bodyLength = static_cast<uint32_t>(request.body.size());
  host.hostContext = hostContext_;
  host.customMethod = request.method == Vela::Sdk::kMethodCustom ? request.customMethod.c_str() : nullptr;
  record->requestCallback(&response.Get(), &host);
  return response;
}

// Host side

void HostStandIn::SetResource(const std::string& url, OwnedFlatValue body) { resources_[url] = std::move(body); }

void HostStandIn::RemoveResource(const std::string& url) { resources_.erase(url); }

const OwnedFlatValue* HostStandIn::FindResource(const std::string& url) const {
  auto found = resources_.find(url);
  return found == resources_.end() ? nullptr : &found->second;
}

bool HostStandIn::DeliverEvent(const std::string& name, const FlatValue& data) {
  auto found = listeners_.find(name);
  if (found == listeners_.end() || found->second.callback == nullptr) return false;
  HostEvent event{name.c_str(), data, 0, reinterpret_cast<uintptr_t>(found->second.userData)};
  found->second.callback(&event);
  return true;
}

std::size_t HostStandIn::RunScheduled() {
  std::size_t due = tasks_.size();
  for (std::size_t i = 0; i < due; ++i) {
    ScheduledTask task = std::move(tasks_.front());
    tasks_.pop_front();
    if (task.callback != nullptr) task.callback(task.context);
  }
  return due;
}

std::vector<HostCall> HostStandIn::CallsOf(int slot) const {
  std::vector<HostCall> found;
  for (const HostCall& call : calls_) {
    if (call.slot == slot) found.push_back(call);
  }
  return found;
}

// Host functions

HostStandIn* HostStandIn::Owner(HostFunctionTable* table) { return reinterpret_cast<TableBlock*>(table)->owner; }

void HostStandIn::Record(int slot, HostFunctionTable* table, std::vector<std::string> arguments) {
  if (!recording_) return;
  calls_.push_back(HostCall{slot, table, std::move(arguments)});
}

void HostStandIn::ReleaseHostFilledResponse(HostResponse* response) {
  if (response == nullptr) return;
  auto found = outstandingResponses.find(response);
  if (found != outstandingResponses.end()) {
    ++found->second->hostResponsesReleased_;
    outstandingResponses.erase(found);
  }
  Vela::Sdk::ReleaseHostResponse(response);
}

void HostStandIn::SendRequestFn(HostFunctionTable* table, HostResponse* response, HostRequest* request) {
  HostStandIn* self = Owner(table);
  if (request == nullptr) {
    self->Record(0, table, {"(null)"});
    return;
  }
  self->Record(0, table, {std::to_string(request->method), Text(request->url)});
  if (response == nullptr) return;
  *response = HostResponse{};
  std::string url = request->url == nullptr ? std::string() : request->url;
  auto found = self->resources_.find(url);
  if (request->method == Vela::Sdk::kMethodGet && found != self->resources_.end()) {
    response->body = CopyFlatValue(found->second.Get());
    response->status = 200;
  } else if (self->requestHandler_) {
    self->requestHandler_(*request, *response);
  } else {
    response->error = const_cast<char*>(kNotFoundText);
    response->status = kNotFoundStatus;
  }
  outstandingResponses[response] = self;
  response->release = &ReleaseHostFilledResponse;
}

void HostStandIn::ReservedFn(HostFunctionTable* table, uintptr_t first, uintptr_t second) {
  Owner(table)->Record(1, table, {std::to_string(first), std::to_string(second)});
}

void HostStandIn::FireEventFn(HostFunctionTable* table, HostEvent* event) {
  HostStandIn* self = Owner(table);
  if (event == nullptr) {
    self->Record(2, table, {"(null)"});
    return;
  }
  if (self->recording_) {
    self->Record(2, table, {Text(event->name), FlatValueText(event->data)});
    self->fired_.push_back(
        FiredEvent{Text(event->name), OwnedFlatValue(CopyFlatValue(event->data)), event->value, event->userData});
  }
  if (self->eventObserver_) self->eventObserver_(Text(event->name), event->data);
}

void HostStandIn::AddEventListenerFn(HostFunctionTable* table, const char* name, uintptr_t hostContext,
                                     HostEventCallback callback, void* userData, int32_t flag) {
  HostStandIn* self = Owner(table);
  self->Record(3, table,
               {Text(name), std::to_string(hostContext), Address(reinterpret_cast<void*>(callback)), Address(userData),
                std::to_string(flag)});
  if (name != nullptr) self->listeners_[name] = Listener{callback, userData, flag, hostContext};
}

void HostStandIn::RemoveEventListenerFn(HostFunctionTable* table, const char* name, uintptr_t hostContext) {
  HostStandIn* self = Owner(table);
  self->Record(4, table, {Text(name), std::to_string(hostContext)});
  if (name != nullptr) self->listeners_.erase(name);
}

void HostStandIn::ScheduleFn(HostFunctionTable* table, const char* label, HostTaskCallback callback, void* context,
                             double delaySeconds, int32_t flags) {
  HostStandIn* self = Owner(table);
  self->Record(5, table,
               {Text(label), Address(reinterpret_cast<void*>(callback)), Address(context), Number(delaySeconds),
                std::to_string(flags)});
  ScheduledTask task{Text(label), callback, context, delaySeconds, flags};
  if (self->scheduleHandler_) {
    self->scheduleHandler_(task);
  } else {
    self->tasks_.push_back(std::move(task));
  }
}

void HostStandIn::YieldFn(HostFunctionTable* table) {
  HostStandIn* self = Owner(table);
  self->Record(6, table, {});
  if (self->yieldHandler_) {
    self->yieldHandler_();
  } else {
    self->RunScheduled();
  }
}

void HostStandIn::BeginWaitFn(HostFunctionTable* table, const char* label, int32_t flag) {
  HostStandIn* self = Owner(table);
  self->Record(7, table, {Text(label), std::to_string(flag)});
  ++self->waitDepth_;
}

void HostStandIn::EndWaitFn(HostFunctionTable* table) {
  HostStandIn* self = Owner(table);
  self->Record(8, table, {});
  --self->waitDepth_;
}

void HostStandIn::LogFn(HostFunctionTable* table, int32_t level, const char* message) {
  HostStandIn* self = Owner(table);
  self->Record(9, table, {std::to_string(level), Text(message)});
  if (self->recording_) self->logs_.push_back(LogRecord{level, Text(message)});
  if (self->logObserver_) self->logObserver_(level, Text(message));
}

const char* BuiltPluginPath() { return ORB_PLUGIN_PATH; }

}  // namespace Vela::DevHost
