// FunctionRegistration: route, locations and handler of an API function, and the table of live
// handles.
#include "sdk/api/function_registration.h"

#include <mutex>
#include <unordered_set>

namespace Vela::Sdk {

namespace {

/// Handles of the registrations alive now. A handle the host sends back after its registration
/// was destroyed (the registry reset) or a handle that was never ours is then refused instead of
/// followed. The set exists only while registrations do, so unloading the library leaves nothing
/// behind, whatever order static objects are destroyed in.
std::unordered_set<const void*>* liveHandles = nullptr;

// A function's static: std::mutex is not constant-initialised with every thread library.
std::mutex& LiveMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

FunctionRegistration::FunctionRegistration(const FunctionDescriptor* function) : function_(function) {
  std::lock_guard lock(LiveMutex());
  if (liveHandles == nullptr) liveHandles = new std::unordered_set<const void*>;
  liveHandles->insert(this);
}

FunctionRegistration::~FunctionRegistration() {
  std::lock_guard lock(LiveMutex());
  liveHandles->erase(this);
  if (liveHandles->empty()) {
    delete liveHandles;
    liveHandles = nullptr;
  }
}

void FunctionRegistration::SetUrl(std::string_view urlTemplate) {
  if (urlTemplate.size() > 1 && urlTemplate.back() == '/') urlTemplate.remove_suffix(1);
  urlTemplate_.assign(urlTemplate);
}

void FunctionRegistration::SetMethod(int32_t code) {
  method_ = code;
  customMethod_.clear();
}

void FunctionRegistration::SetCustomMethod(std::string_view name) {
  method_ = kMethodCustom;
  customMethod_.assign(name);
}

void FunctionRegistration::AttachTo(FunctionDescriptor& function) {
  function.auxiliary[kFunctionRegistrationKey] = this;
  function_ = &function;
  std::string_view urlTemplate = urlTemplate_.empty() ? std::string_view(function.name) : urlTemplate_;
  route_ = std::make_unique<ApiRoute>(function_, this, urlTemplate);
}

FunctionRegistration* FunctionRegistration::FromHandle(const void* handle) noexcept {
  if (handle == nullptr) return nullptr;
  std::lock_guard lock(LiveMutex());
  if (liveHandles == nullptr || liveHandles->count(handle) == 0) return nullptr;
  return static_cast<FunctionRegistration*>(const_cast<void*>(handle));
}

FunctionRegistration* FunctionRegistration::Of(const FunctionDescriptor& function) noexcept {
  auto found = function.auxiliary.find(std::string_view(kFunctionRegistrationKey));
  return found == function.auxiliary.end() ? nullptr : static_cast<FunctionRegistration*>(found->second);
}

}  // namespace Vela::Sdk
