// The checks and the registration steps of RegisterEndpoint that need no template.
#include "sdk/api/register_endpoint.h"

#include <algorithm>
#include <stdexcept>

#include "sdk/api/function_name.h"
#include "sdk/api/url_pattern.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk::EndpointDetail {

namespace {

/// A struct or enum, or a container of them, whose type was not registered before.
bool RefersToUnregisteredType(const TypeSpec& spec) {
  auto needsType = [](BindingType code) { return code == kBindingStruct || code == kBindingEnum; };
  return (needsType(spec.type) || needsType(spec.element)) && spec.referenced == nullptr;
}

[[noreturn]] void Refuse(const std::string& text) { throw std::invalid_argument(text); }

}  // namespace

void CheckEndpoint(std::string_view functionName, std::string_view urlTemplate,
                   const std::vector<ArgumentDescriptor>& arguments, const std::vector<ArgumentLocation>& locations,
                   const TypeSpec& returns) {
  if (RefersToUnregisteredType(returns)) Refuse(Format("The result type of '%1' is not registered.", functionName));
  std::vector<std::string> captured;
  TemplateToRegex(urlTemplate, captured);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i].name;
    if (name.empty()) Refuse(Format("Argument %1 of '%2' has no name.", i, functionName));
    for (std::size_t j = 0; j < i; ++j) {
      if (arguments[j].name == name) Refuse(Format("Argument '%1' of '%2' is named twice.", name, functionName));
    }
    if (RefersToUnregisteredType(arguments[i].type)) {
      Refuse(Format("The type of argument '%1' of '%2' is not registered.", name, functionName));
    }
    if (locations[i] == ArgumentLocation::kPath &&
        std::find(captured.begin(), captured.end(), name) == captured.end()) {
      Refuse(Format("Path argument '%1' of '%2' is not captured by its URL template.", name, functionName));
    }
  }
  // Every capture is bound on every request, so one without an argument would refuse them all.
  for (const std::string& parameter : captured) {
    auto argument = std::find_if(arguments.begin(), arguments.end(),
                                 [&](const ArgumentDescriptor& candidate) { return candidate.name == parameter; });
    const bool bindable =
        argument != arguments.end() && (locations[argument - arguments.begin()] == ArgumentLocation::kAny ||
                                        locations[argument - arguments.begin()] == ArgumentLocation::kPath);
    if (!bindable) {
      Refuse(Format("URL parameter '%1' of '%2' names no argument allowed in the path.", parameter, functionName));
    }
  }
}

FunctionDescriptor* RegisterEndpointFunction(BindingRegistry& registry, int32_t method, std::string_view urlTemplate,
                                             std::vector<ArgumentDescriptor> arguments,
                                             std::vector<ArgumentLocation> locations, TypeSpec returns,
                                             std::unique_ptr<ApiHandler> handler, EndpointOptions options) {
  std::string name = MakeFunctionName(method, urlTemplate);
  auto registration = std::make_unique<FunctionRegistration>();
  registration->SetUrl(urlTemplate);
  if (method == kMethodCustom) {
    registration->SetCustomMethod(options.customMethod);
  } else {
    registration->SetMethod(method);
  }
  CheckEndpoint(name, registration->UrlTemplate(), arguments, locations, returns);
  registration->SetLocations(std::move(locations));
  registration->SetHandler(std::move(handler));

  FunctionSettings settings;
  settings.returns = returns;
  settings.tags = std::move(options.tags);
  settings.nameSpace = std::move(options.nameSpace);
  settings.description = std::move(options.description);
  settings.help = std::move(options.help);
  settings.threadSafe = options.threadSafe;
  FunctionRegistration* attached = registration.get();
  settings.callable = std::move(registration);
  FunctionDescriptor* function = registry.RegisterFunction(std::move(name), std::move(arguments), std::move(settings));
  attached->AttachTo(*function);  // compiles the route, so that a refused template fails the registration
  return function;
}

}  // namespace Vela::Sdk::EndpointDetail
