// The handler interface of a registered API function, and the request information a handler
// may ask for.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk/api/api_result.h"
#include "sdk/binding/binding_value.h"
#include "sdk/binding/static_type.h"

namespace Vela::Sdk {

class BindingRegistry;

/// What a handler may learn about the request besides its arguments. Views into the request,
/// valid during Complete only.
struct ApiRequestInfo {
  uintptr_t hostContext = 0;
  uint64_t ticks = 0;  // the time of the call in 100-nanosecond ticks of a monotonic clock
  const BindingRegistry* registry = nullptr;
  std::string_view url;
  int32_t method = 0;
  std::string_view customMethod;  // method 8 only
  /// The header pairs as delivered; pairs with a null text are left out.
  std::vector<std::pair<std::string_view, std::string_view>> headers;
};

/// Handed back by Invoke and given to Complete and Release; 0 means nothing to release.
using ApiToken = uintptr_t;

/// The two forms of request information a handler may take: the record itself (by reference)
/// or a pointer to it.
inline constexpr uint32_t kRequestInfoRecordType = StaticType::Id<ApiRequestInfo>();
inline constexpr uint32_t kRequestInfoPointerType = StaticType::Id<const ApiRequestInfo*>();

constexpr bool TakesRequestInfo(uint32_t formType) noexcept {
  return formType != 0 && (formType == kRequestInfoRecordType || formType == kRequestInfoPointerType);
}

/// One per registration, called for each request in this order: Invoke; Complete when the result
/// is still a success; Release with the token whenever it is not 0, also after a failure.
class ApiHandler {
 public:
  virtual ~ApiHandler() = default;
  /// Takes the bound argument values (one per parameter, Empty when not given) and starts the
  /// call; a refusal fails `result`.
  virtual ApiToken Invoke(ApiResult& result, std::vector<BindingValue>& arguments, uintptr_t hostContext) = 0;
  /// Finishes the call and fills `result`; `info` is null unless TakesRequestInfo(RequestInfoType()).
  virtual void Complete(ApiResult& result, const ApiRequestInfo* info, ApiToken token, uintptr_t hostContext) = 0;
  virtual void Release(ApiToken token) noexcept = 0;
  /// The static type identifier of the request information form the handler takes; 0 for none.
  virtual uint32_t RequestInfoType() const noexcept { return 0; }
};

}  // namespace Vela::Sdk
