// The records in which the host's events reach the plug-in (resource, LCDS and service-proxy
// payloads), the plug-in manager's state, and their registration with the type registry.
#pragma once

#include <cstdint>
#include <string>

#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

class BindingRegistry;

/// Name space of the events the host delivers to plug-ins.
inline constexpr char kHostEventNameSpace[] = "vclient";

inline constexpr char kOnJsonApiEventName[] = "OnJsonApiEvent";
inline constexpr char kOnLcdsEventName[] = "OnLcdsEvent";
inline constexpr char kOnServiceProxyUuidEventName[] = "OnServiceProxyUuidEvent";
inline constexpr char kOnServiceProxyMethodEventName[] = "OnServiceProxyMethodEvent";
inline constexpr char kOnServiceProxyAsyncEventName[] = "OnServiceProxyAsyncEvent";

enum class PluginManagerState : int32_t {
  NotReady = 0,
  PluginsInitialized = 1,
};

struct PluginManagerResource {
  PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : int32_t {
  Create = 0,
  Update = 1,
  Delete = 2,
};

struct PluginResourceEvent {
  std::string uri;
  PluginResourceEventType eventType = PluginResourceEventType::Create;
  BindingValue data;
};

struct PluginLcdsEvent {
  std::string clientId;
  std::string subtopic;
  std::string typeName;
  BindingValue body;
};

struct PluginLcdsResponse {
  std::string typeName;
  BindingValue body;
};

struct PluginServiceProxyResponse {
  std::string uuid;
  std::string serviceName;
  std::string methodName;
  std::string payload;
  std::string status;
  std::string error;
};

/// A resource event whose data has been converted to the observer's record T; a Delete event
/// carries a default T.
template <class T>
struct ResourceEventOf {
  std::string uri;
  PluginResourceEventType eventType = PluginResourceEventType::Create;
  T data{};
};

/// Registers the records above and the five host events, in that order. Types and events that
/// exist already are left as they are.
void RegisterHostEventTypes(BindingRegistry& registry);

}  // namespace Vela::Sdk
