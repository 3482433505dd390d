// Registration of the SDK's own binding types and events.
#include "sdk/binding/builtin_types.h"

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/type_registration.h"

namespace Vela::Sdk {

namespace {

void RegisterHelpTypes(BindingRegistry& registry) {
  RegisterEnum<BindingHelpFormat>(registry, "BindingHelpFormat")
      .Description("Help format for binding functions and types.")
      .Tags({kBuiltinTag, "help"})
      .Value("Full", BindingHelpFormat::Full, "Native help format")
      .Value("Epytext", BindingHelpFormat::Epytext, "Python epytext format");

  RegisterStruct<BindingFullTypeIdentifier>(registry, "BindingFullTypeIdentifier")
      .Description("Describes the type of a value.")
      .Tags({kBuiltinTag, "help"})
      .Field("type", &BindingFullTypeIdentifier::type)
      .Field("elementType", &BindingFullTypeIdentifier::elementType);

  RegisterStruct<BindingFullArgumentHelp>(registry, "BindingFullArgumentHelp")
      .Description("Describes a function parameter.")
      .Tags({kBuiltinTag, "help"})
      .Field("name", &BindingFullArgumentHelp::name)
      .Field("description", &BindingFullArgumentHelp::description)
      .Field("type", &BindingFullArgumentHelp::type)
      .Field("optional", &BindingFullArgumentHelp::optional);

  RegisterStruct<BindingFullFunctionHelp>(registry, "BindingFullFunctionHelp")
      .Description("Describes a function.")
      .Tags({kBuiltinTag, "help"})
      .Field("name", &BindingFullFunctionHelp::name)
      .Field("nameSpace", &BindingFullFunctionHelp::nameSpace)
      .Field("arguments", &BindingFullFunctionHelp::arguments)
      .Field("returns", &BindingFullFunctionHelp::returns)
      .Field("description", &BindingFullFunctionHelp::description)
      .Field("help", &BindingFullFunctionHelp::help)
      .Field("threadSafe", &BindingFullFunctionHelp::threadSafe)
      .Field("async", &BindingFullFunctionHelp::async)
      .Field("tags", &BindingFullFunctionHelp::tags);

  RegisterStruct<BindingFullEnumValueHelp>(registry, "BindingFullEnumValueHelp")
      .Description("Describes an enumerator.")
      .Tags({kBuiltinTag, "help"})
      .Field("name", &BindingFullEnumValueHelp::name)
      .Field("description", &BindingFullEnumValueHelp::description)
      .Field("value", &BindingFullEnumValueHelp::value);

  RegisterStruct<BindingFullFieldHelp>(registry, "BindingFullFieldHelp")
      .Description("Describes a member of a struct.")
      .Tags({kBuiltinTag, "help"})
      .Field("name", &BindingFullFieldHelp::name)
      .Field("description", &BindingFullFieldHelp::description)
      .Field("offset", &BindingFullFieldHelp::offset)
      .Field("type", &BindingFullFieldHelp::type)
      .Field("optional", &BindingFullFieldHelp::optional);

  RegisterStruct<BindingFullTypeHelp>(registry, "BindingFullTypeHelp")
      .Description("Describes a struct or enum type.")
      .Tags({kBuiltinTag, "help"})
      .Field("name", &BindingFullTypeHelp::name)
      .Field("nameSpace", &BindingFullTypeHelp::nameSpace)
      .Field("size", &BindingFullTypeHelp::size)
      .Field("description", &BindingFullTypeHelp::description)
      .Field("tags", &BindingFullTypeHelp::tags)
      .Field("fields", &BindingFullTypeHelp::fields)
      .Field("values", &BindingFullTypeHelp::values);

  RegisterStruct<BindingFullEventHelp>(registry, "BindingFullEventHelp")
      .Description("Describes an event.")
      .Tags({kBuiltinTag, "help"})
      .Field("name", &BindingFullEventHelp::name)
      .Field("nameSpace", &BindingFullEventHelp::nameSpace)
      .Field("type", &BindingFullEventHelp::type)
      .Field("description", &BindingFullEventHelp::description)
      .Field("tags", &BindingFullEventHelp::tags);

  RegisterStruct<BindingFullApiHelp>(registry, "BindingFullApiHelp")
      .Description("Describes the exposed native API.")
      .Tags({kBuiltinTag, "help"})
      .Field("functions", &BindingFullApiHelp::functions)
      .Field("types", &BindingFullApiHelp::types)
      .Field("events", &BindingFullApiHelp::events);
}

void RegisterAsyncTypes(BindingRegistry& registry) {
  RegisterEnum<BindingAsyncState>(registry, "BindingAsyncState")
      .Description("Possible states of an asynchronous operation.")
      .Tags({kBuiltinTag, "async"})
      .Value("None", BindingAsyncState::None, "Invalid state")
      .Value("Running", BindingAsyncState::Running, "The operation is in flight")
      .Value("Cancelling", BindingAsyncState::Cancelling, "A request to cancel the operation has been made")
      .Value("Cancelled", BindingAsyncState::Cancelled, "The operation was cancelled")
      .Value("Succeeded", BindingAsyncState::Succeeded, "The operation completed successfully")
      .Value("Failed", BindingAsyncState::Failed, "The operation encountered an error");

  RegisterStruct<BindingGenericEvent>(registry, "BindingGenericEvent")
      .Description("Represents generic data for an event.")
      .Tags({kBuiltinTag})
      .Field("data", &BindingGenericEvent::data, 0, "Event data");

  RegisterStruct<BindingCallbackEvent>(registry, "BindingCallbackEvent")
      .Description("Represents the parameters of a call to a provided callback.")
      .Tags({kBuiltinTag})
      .Field("id", &BindingCallbackEvent::id, 0, "ID of the callback being invoked")
      .Field("parameters", &BindingCallbackEvent::parameters, 0, "Callback parameters");

  RegisterStruct<BindingGenericAsyncEvent>(registry, "BindingGenericAsyncEvent")
      .Description("Represents generic data for an asynchronous event.")
      .Tags({kBuiltinTag, "async"})
      .Field("asyncToken", &BindingGenericAsyncEvent::asyncToken, 0, "Asynchronous operation token")
      .Field("data", &BindingGenericAsyncEvent::data, 0, "Event data");

  RegisterStruct<BindingAsyncFailureEvent>(registry, "BindingAsyncFailureEvent")
      .Description("Represents a failed asynchronous operation.")
      .Tags({kBuiltinTag, "async"})
      .Field("asyncToken", &BindingAsyncFailureEvent::asyncToken, 0, "Asynchronous operation token")
      .Field("error", &BindingAsyncFailureEvent::error, 0, "Error message");

  RegisterStruct<BindingAsyncCancelEvent>(registry, "BindingAsyncCancelEvent")
      .Description("Represents a cancelled asynchronous operation.")
      .Tags({kBuiltinTag, "async"})
      .Field("asyncToken", &BindingAsyncCancelEvent::asyncToken, 0, "Asynchronous operation token");
}

}  // namespace

void RegisterBuiltinTypes(BindingRegistry& registry) {
  RegisterHelpTypes(registry);
  RegisterAsyncTypes(registry);
  registry.GetOrCreateEvent(kOnCallbackEventName, registry.FindType(StaticType::Name<BindingCallbackEvent>()))
      .SetDescription("Fired when a callback is invoked.")
      .AppendTags({kBuiltinTag});
}

}  // namespace Vela::Sdk
