// ApiRegistration: route, locations and handler of an API function, and the table of live handles.
#include "sdk/api/api_registration.h"

#include <string>
#include <unordered_set>

namespace Vela::Sdk {

namespace {

/// Handles of the registrations alive now. A handle the host sends back after its registration
/// was destroyed (the registry reset) or a handle that was never ours is then refused instead of
/// followed.
struct LiveHandles {
  std::mutex mutex;
  std::unordered_set<const void*> handles;
};

LiveHandles& Live() {
  // Never destroyed: registrations owned by static objects may outlive any static table.
  static LiveHandles* live = new LiveHandles;
  return *live;
}

}  // namespace

ApiRegistration::ApiRegistration() {
  LiveHandles& live = Live();
  std::lock_guard lock(live.mutex);
  live.handles.insert(this);
}

ApiRegistration::~ApiRegistration() {
  LiveHandles& live = Live();
  std::lock_guard lock(live.mutex);
  live.handles.erase(this);
}

ApiRegistration* ApiRegistration::FromHandle(const void* handle) noexcept {
  if (handle == nullptr) return nullptr;
  LiveHandles& live = Live();
  std::lock_guard lock(live.mutex);
  if (live.handles.count(handle) == 0) return nullptr;
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
