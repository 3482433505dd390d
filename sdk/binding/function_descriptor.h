// Descriptors of callable API functions: arguments, result, texts and the owned callable that
// request dispatch derives its handler from.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sdk/binding/binding_type.h"
#include "sdk/binding/fnv1a.h"

namespace Vela::Sdk {

class BindingRegistry;

/// What a function runs; owned by its descriptor and destroyed with it.
class BindingCallable {
 public:
  virtual ~BindingCallable() = default;
};

struct ArgumentDescriptor {
  std::string name;
  uint32_t nameHash = 0;  // Fnv1a(name)
  std::string description;
  bool optional = false;
  TypeSpec type;
  TypeSpec hostType;  // when its code is not 0, reported in the flat API description instead

  const TypeSpec& ReportedType() const noexcept { return hostType.type != kBindingNone ? hostType : type; }
};

/// Everything of a function but its name and arguments, as given to RegisterFunction.
struct FunctionSettings {
  TypeSpec returns;      // code 0: no result
  TypeSpec hostReturns;  // when its code is not 0, reported in the flat API description instead
  std::vector<std::string> tags;
  std::string nameSpace;
  std::string description;
  std::string help;
  bool threadSafe = false;
  bool async = false;  // the result type is reported by name as the async result
  std::unique_ptr<BindingCallable> callable;
};

struct FunctionDescriptor {
  std::string name;  // key in the registry
  std::vector<ArgumentDescriptor> arguments;
  TypeSpec returns;
  TypeSpec hostReturns;
  std::vector<std::string> tags;
  std::string nameSpace;
  std::string description;
  std::string help;
  bool threadSafe = false;
  bool async = false;
  std::unique_ptr<BindingCallable> callable;
  /// Entries the registering code keeps with the function (e.g. its route registration);
  /// created empty, never read by the registry.
  std::unordered_map<std::string, void*, Fnv1aTextHasher, std::equal_to<>> auxiliary;
  BindingRegistry* registry = nullptr;

  const TypeSpec& ReportedReturns() const noexcept { return hostReturns.type != kBindingNone ? hostReturns : returns; }
  bool HasTag(std::string_view tag) const noexcept;
};

}  // namespace Vela::Sdk
