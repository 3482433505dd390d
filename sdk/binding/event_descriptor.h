// Descriptor of an event the plug-in fires, with the registered type of its payload.
#pragma once

#include <string>
#include <vector>

namespace Vela::Sdk {

struct TypeDescriptor;
class BindingRegistry;

struct EventDescriptor {
  std::string name;  // key in the registry
  TypeDescriptor* dataType = nullptr;
  std::string nameSpace;
  std::string description;
  std::vector<std::string> tags;
  BindingRegistry* registry = nullptr;
};

}  // namespace Vela::Sdk
