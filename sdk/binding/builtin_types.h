// The SDK's own binding types and events, registered in every registry when it is initialised:
// the records of asynchronous operations and callbacks, and the records in which the API
// describes itself (see api_help.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

class BindingRegistry;

/// Tag carried by every type, event and function of the SDK itself.
inline constexpr char kBuiltinTag[] = "$builtin";
/// Name of the event fired when a provided callback is invoked.
inline constexpr char kOnCallbackEventName[] = "OnCallback";

// ---- Asynchronous operations and callbacks ----

enum class BindingAsyncState : int32_t {
  None = 0,
  Running = 1,
  Cancelling = 2,
  Cancelled = 3,
  Succeeded = 4,
  Failed = 5,
};

struct BindingGenericEvent {
  BindingValue data;
};

struct BindingCallbackEvent {
  uint32_t id = 0;
  std::vector<BindingValue> parameters;
};

struct BindingGenericAsyncEvent {
  uint32_t asyncToken = 0;
  BindingValue data;
};

struct BindingAsyncFailureEvent {
  uint32_t asyncToken = 0;
  std::string error;
};

struct BindingAsyncCancelEvent {
  uint32_t asyncToken = 0;
};

// ---- API help records (format Full) ----

enum class BindingHelpFormat : int32_t {
  Full = 1,
  Epytext = 2,
};

struct BindingFullTypeIdentifier {
  std::string type;
  std::string elementType;
};

struct BindingFullArgumentHelp {
  std::string name;
  std::string description;
  BindingFullTypeIdentifier type;
  bool optional = false;
};

struct BindingFullFunctionHelp {
  std::string name;
  std::string nameSpace;
  std::vector<BindingFullArgumentHelp> arguments;
  BindingFullTypeIdentifier returns;
  std::string description;
  std::string help;
  bool threadSafe = false;
  std::string async;  // the async result's type name, "" for a plain function
  std::vector<std::string> tags;
};

struct BindingFullEnumValueHelp {
  std::string name;
  std::string description;
  int32_t value = 0;
};

struct BindingFullFieldHelp {
  std::string name;
  std::string description;
  uint32_t offset = 0;
  BindingFullTypeIdentifier type;
  bool optional = false;
};

struct BindingFullTypeHelp {
  std::string name;
  std::string nameSpace;
  uint32_t size = 0;
  std::string description;
  std::vector<std::string> tags;
  std::vector<BindingFullFieldHelp> fields;
  std::vector<BindingFullEnumValueHelp> values;
};

struct BindingFullEventHelp {
  std::string name;
  std::string nameSpace;
  BindingFullTypeIdentifier type;
  std::string description;
  std::vector<std::string> tags;
};

struct BindingFullApiHelp {
  std::vector<BindingFullFunctionHelp> functions;
  std::vector<BindingFullTypeHelp> types;
  std::vector<BindingFullEventHelp> events;
};

/// Registers the built-in types (help types first, so that the records referring to them find
/// their descriptors) and the OnCallback event unless an event of that name exists; called by
/// BindingRegistry::Initialise.
void RegisterBuiltinTypes(BindingRegistry& registry);

}  // namespace Vela::Sdk
