// ApiRegistration: route, locations and handler of an API function, and the table of live handles.
#include "sdk/api/api_registration.h"

#include <string>
#include <unordered_set>

namespace Vela::Sdk {

namespace {

/// Handles of the registrations alive now. A handle the host sends back after its registration
/// was destroyed (the registry reset) or a handle that was never ours is then refused instead of
/// followed. The set exists only while registrations do, so unloading the library leaves nothing
/// behind, whatever order static objects are destroyed in.
constinit std::mutex liveMutex;
std::unordered_set<const void*>* liveHandles = nullptr;
}  // namespace

ApiRegistration::ApiRegistration() {
  std::lock_guard lock(liveMutex);
  if (liveHandles == nullptr) liveHandles = new std::unordered_set<const void*>;
  liveHandles->insert(this);
}

ApiRegistration::~ApiRegistration() {
  std::lock_guard lock(liveMutex);
  liveHandles->erase(this);
  if (liveHandles->empty()) {
    delete liveHandles;
    liveHandles = nullptr;
  }
}

ApiRegistration* ApiRegistration::FromHandle(const void* handle) noexcept {
  if (handle == nullptr) return nullptr;
  std::lock_guard lock(liveMutex);
  if (liveHandles == nullptr || liveHandles->count(handle) == 0) return nullptr;
  return static_cast<ApiRegistration*>(const_cast<void*>(handle));
}

ApiRegistration* ApiRegistration::Of(const FunctionDescriptor& function) noexcept {
  auto found = function.auxiliary.find(std::string_view(kApiRegistrationKey));
  return found == function.auxiliary.end() ? nullptr : static_cast<ApiRegistration*>(found->second);
}

void ApiRegistration::AttachTo(FunctionDescriptor& function) {
  function.auxiliary[kApiRegistrationKey] = this;
  SetFunction(&function);
}

const ApiRoute& ApiRegistration::Route() const {
  std::call_once(routeBuilt_, [this] {
    const FunctionDescriptor* function = Function();
    std::string_view urlTemplate = UrlTemplate();
    if (urlTemplate.empty() && function != nullptr) urlTemplate = function->name;
    route_ = std::make_unique<ApiRoute>(function, this, urlTemplate);
  });
  return *route_;
}

}  // namespace Vela::Sdk
