// Registration of the host event payloads and the host events themselves.
#include "sdk/host/host_event_types.h"

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/type_registration.h"

namespace Vela::Sdk {

namespace {

template <class T>
void RegisterEvent(BindingRegistry& registry, const char* name, const char* description) {
  registry.GetOrCreateEvent(name, registry.FindType(StaticType::Name<T>()))
      .SetNameSpace(kHostEventNameSpace)
      .SetDescription(description);
}

}  // namespace

void RegisterHostEventTypes(BindingRegistry& registry) {
  RegisterEnum<PluginManagerState>(registry, "PluginManagerState")
      .Value("NotReady", PluginManagerState::NotReady)
      .Value("PluginsInitialized", PluginManagerState::PluginsInitialized);

  RegisterStruct<PluginManagerResource>(registry, "PluginManagerResource")
      .Field("state", &PluginManagerResource::state);

  RegisterEnum<PluginResourceEventType>(registry, "PluginResourceEventType")
      .Value("Create", PluginResourceEventType::Create)
      .Value("Update", PluginResourceEventType::Update)
      .Value("Delete", PluginResourceEventType::Delete);

  RegisterStruct<PluginResourceEvent>(registry, "PluginResourceEvent")
      .Field("uri", &PluginResourceEvent::uri)
      .Field("eventType", &PluginResourceEvent::eventType)
      .Field("data", &PluginResourceEvent::data);

  RegisterStruct<PluginLcdsEvent>(registry, "PluginLcdsEvent")
      .Field("clientId", &PluginLcdsEvent::clientId)
      .Field("subtopic", &PluginLcdsEvent::subtopic)
      .Field("typeName", &PluginLcdsEvent::typeName)
      .Field("body", &PluginLcdsEvent::body);

  RegisterStruct<PluginLcdsResponse>(registry, "PluginLcdsResponse")
      .Field("typeName", &PluginLcdsResponse::typeName)
      .Field("body", &PluginLcdsResponse::body);

  RegisterStruct<PluginServiceProxyResponse>(registry, "PluginServiceProxyResponse")
      .Field("uuid", &PluginServiceProxyResponse::uuid)
      .Field("serviceName", &PluginServiceProxyResponse::serviceName)
      .Field("methodName", &PluginServiceProxyResponse::methodName)
      .Field("payload", &PluginServiceProxyResponse::payload)
      .Field("status", &PluginServiceProxyResponse::status)
      .Field("error", &PluginServiceProxyResponse::error);

  RegisterEvent<PluginResourceEvent>(registry, kOnJsonApiEventName, "Fired when a resource is changed.");
  RegisterEvent<PluginLcdsEvent>(registry, kOnLcdsEventName,
                                 "Fired when a message is received over the LCDS connection.");
  RegisterEvent<PluginServiceProxyResponse>(registry, kOnServiceProxyUuidEventName,
                                            "Fired when a uuid-based service proxy message is received.");
  RegisterEvent<PluginServiceProxyResponse>(registry, kOnServiceProxyMethodEventName,
                                            "Fired when a method-based service proxy message is received.");
  RegisterEvent<PluginServiceProxyResponse>(registry, kOnServiceProxyAsyncEventName,
                                            "Fired when an async service proxy message is received.");
}

}  // namespace Vela::Sdk
