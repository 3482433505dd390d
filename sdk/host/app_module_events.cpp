// AppModule: resource, LCDS and service-proxy events, from subscription to the service's handlers.
#include "sdk/host/app_module.h"

#include <vector>

#include "sdk/api/json_codec.h"
#include "sdk/binding/flat_value_conversion.h"
#include "sdk/diag/log.h"
#include "sdk/host/host_event_names.h"

namespace Vela::Sdk {

namespace {

constexpr char kResultName[] = "<result>";

}  // namespace

void AppModule::Subscribe(const std::string& url) {
  std::string name = ResourceEventName(url);
  if (subscriptionCounts_[name]++ != 0) return;
  Trace("%s: Subscribing to event: %s", shortName_.c_str(), name.c_str());
  AddHostListener(name, &Deliver<PluginResourceEvent>, 0);
}

// An Unsubscribe without a Subscribe leaves the count at 0 rather than wrapping it.
void AppModule::Unsubscribe(const std::string& url) {
  std::string name = ResourceEventName(url);
  auto found = subscriptionCounts_.find(name);
  if (found == subscriptionCounts_.end() || found->second == 0) return;
  if (--found->second != 0) return;
  RemoveEventListener(name.c_str(), hostContext_);
  hostEventHandlers_.erase(name);
  Trace("%s: Unsubscribing to event: %s", shortName_.c_str(), name.c_str());
}

void AppModule::Shutdown() {
  for (const auto& [name, delivery] : hostEventHandlers_) RemoveEventListener(name.c_str(), hostContext_);
  hostEventHandlers_.clear();
  lcdsSubscriptions_.clear();
  {
    std::lock_guard<std::recursive_mutex> lock(serviceProxyMutex_);
    pendingServiceProxyRequests_.clear();
    asyncServiceProxyHandlers_.clear();
    serviceProxyResponses_.clear();
  }
  exactResourceHandlers_.clear();
  wildcardResourceHandlers_.clear();
}

void AppModule::ObserveResourceEvents(const std::string& url, ResourceHandler handler) {
  bool pattern = url.find('*') != std::string::npos;
  (pattern ? wildcardResourceHandlers_ : exactResourceHandlers_)[url] = std::move(handler);
  Subscribe(url);
  if (pattern) return;
  Maybe<BindingValue> current = RequestReply<BindingValue>(kMethodGet, url);
  if (!current) return;
  auto found = exactResourceHandlers_.find(url);
  if (found == exactResourceHandlers_.end()) return;
  ResourceHandler stored = found->second;
  stored(PluginResourceEvent{url, PluginResourceEventType::Create, std::move(current.Value())});
}

void AppModule::SubscribeLcds(const std::string& typeName, LcdsHandler handler) {
  lcdsSubscriptions_[typeName] = std::make_shared<const LcdsHandler>(std::move(handler));
  std::string name = LcdsEventName(typeName);
  Trace("%s: Subscribing to LCDS event: %s", shortName_.c_str(), name.c_str());
  AddHostListener(name, &Deliver<PluginLcdsEvent>, 1);
}

// The listener goes once no other subscribed type shares its host event name.
void AppModule::UnsubscribeLcds(const std::string& typeName) {
  if (lcdsSubscriptions_.erase(typeName) == 0) return;
  std::string name = LcdsEventName(typeName);
  for (const auto& [other, handler] : lcdsSubscriptions_) {
    if (LcdsEventName(other) == name) return;
  }
  RemoveEventListener(name.c_str(), hostContext_);
  hostEventHandlers_.erase(name);
}

void AppModule::AddPendingServiceProxyRequest(const std::string& key, ServiceProxyHandler completion) {
  {
    std::lock_guard<std::recursive_mutex> lock(serviceProxyMutex_);
    pendingServiceProxyRequests_[key] = std::move(completion);
  }
  // The response may have come first.
  FulfilServiceProxyRequests();
}

void AppModule::AddAsyncServiceProxyHandler(const std::string& serviceName, const std::string& methodName,
                                            ServiceProxyHandler handler) {
  std::lock_guard<std::recursive_mutex> lock(serviceProxyMutex_);
  asyncServiceProxyHandlers_[Format("%1.%2", serviceName, methodName)] = std::move(handler);
}

template <class P>
void AppModule::Deliver(HostEvent* event) noexcept {
  if (event == nullptr || event->name == nullptr || event->userData == 0) return;
  try {
    auto* module = reinterpret_cast<AppModule*>(event->userData);
    std::string name = event->name;
    if (module->hostEventHandlers_.find(name) == module->hostEventHandlers_.end()) return;
    BindingResult converted;
    FlatToValue(event->data, kResultName, converted);
    P payload{};
    if (converted.Ok()) ValueToNative(converted, module->registry_, converted.Value(), kResultName, payload);
    if (!converted.Ok()) {
      Trace("%s: Couldn't convert payload %s for event %s: %s", module->shortName_.c_str(),
            module->TypeNameOf<P>().c_str(), name.c_str(), std::string(converted.ErrorText()).c_str());
      return;
    }
    Trace("%s: Handling event %s", module->shortName_.c_str(), name.c_str());
    module->Dispatch(name, payload);
  } catch (...) {
    // Nothing may reach the host; the event is dropped.
  }
}

template void AppModule::Deliver<PluginResourceEvent>(HostEvent* event) noexcept;
template void AppModule::Deliver<PluginLcdsEvent>(HostEvent* event) noexcept;
template void AppModule::Deliver<PluginServiceProxyResponse>(HostEvent* event) noexcept;

// Every matching handler, exact and wildcard, is copied out before the first one runs, rather
// than each table being walked while its handlers are called: a handler may observe a new URL or
// replace or drop itself or another, which would invalidate the walk. The handlers called are
// therefore those registered when the event arrived.
void AppModule::Dispatch(const std::string&, const PluginResourceEvent& delivered) {
  const PluginResourceEvent* event = &delivered;
  PluginResourceEvent rooted;
  if (delivered.uri.empty() || delivered.uri.front() != '/') {
    rooted = delivered;
    rooted.uri = RootedUrl(delivered.uri);
    event = &rooted;
  }
  std::vector<ResourceHandler> handlers;
  if (auto exact = exactResourceHandlers_.find(event->uri); exact != exactResourceHandlers_.end()) {
    handlers.push_back(exact->second);
  }
  for (const auto& [pattern, handler] : wildcardResourceHandlers_) {
    if (MatchesResourcePattern(pattern, event->uri)) handlers.push_back(handler);
  }
  for (const ResourceHandler& handler : handlers) {
    if (handler) handler(*event);
  }
}

void AppModule::Dispatch(const std::string&, const PluginLcdsEvent& event) {
  if (lcdsSubscriptions_.find(event.typeName) == lcdsSubscriptions_.end()) return;
  void* context = tasks_.Add([this, copy = event] { RunLcdsTask(copy); });
  Schedule(Format(kLcdsTaskLabel, event.typeName).c_str(), &ScheduledTaskTable::Callback, context, 0.0, 0);
}

void AppModule::RunLcdsTask(const PluginLcdsEvent& event) {
  auto found = lcdsSubscriptions_.find(event.typeName);
  if (found == lcdsSubscriptions_.end()) return;
  std::shared_ptr<const LcdsHandler> handler = found->second;
  if (handler != nullptr && *handler) (*handler)(event);
}

void AppModule::TraceLcdsConversionFailure(const PluginLcdsEvent& event) const {
  Trace("%s: Couldn't convert LCDS DTO %s to C++ from %s", shortName_.c_str(), event.typeName.c_str(),
        ValueToJson(event.body, &registry_).c_str());
}

void AppModule::Dispatch(const std::string& name, const PluginServiceProxyResponse& response) {
  if (name == kOnServiceProxyAsyncEventName) {
    std::string key = Format("%1.%2", response.serviceName, response.methodName);
    std::lock_guard<std::recursive_mutex> lock(serviceProxyMutex_);
    auto found = asyncServiceProxyHandlers_.find(key);
    if (found == asyncServiceProxyHandlers_.end()) {
      Log(kLogError, 0, "%s: Could not find registered handler for async service proxy event %s", shortName_.c_str(),
          key.c_str());
      return;
    }
    ServiceProxyHandler handler = found->second;
    if (handler) handler(response);
    return;
  }
  std::string key =
      name == kOnServiceProxyUuidEventName ? response.uuid : Format("%1.%2", response.serviceName, response.methodName);
  {
    std::lock_guard<std::recursive_mutex> lock(serviceProxyMutex_);
    serviceProxyResponses_[key] = response;
  }
  FulfilServiceProxyRequests();
}

// The pending request and the received response leave their tables before the completion runs,
// not after it: the completion runs under the (recursive) mutex and may add a request, even one
// of the same key, which erasing afterwards would lose, or receive another response, which would
// invalidate the iterators held here.
void AppModule::FulfilServiceProxyRequests() {
  std::lock_guard<std::recursive_mutex> lock(serviceProxyMutex_);
  for (auto received = serviceProxyResponses_.begin(); received != serviceProxyResponses_.end(); ++received) {
    auto pending = pendingServiceProxyRequests_.find(received->first);
    if (pending == pendingServiceProxyRequests_.end()) continue;
    std::string key = received->first;
    ServiceProxyHandler completion = std::move(pending->second);
    PluginServiceProxyResponse response = std::move(received->second);
    pendingServiceProxyRequests_.erase(pending);
    serviceProxyResponses_.erase(received);
    if (completion) completion(response);
    Log(kLogAlways, 0, "%s: Fulfilled service proxy request: %s", shortName_.c_str(), key.c_str());
    return;
  }
}

}  // namespace Vela::Sdk
