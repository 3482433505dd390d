// What is known about a request while its route is selected and its arguments are bound.
#pragma once

#include <cstdint>
#include <string>

#include "sdk/api/api_route.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

struct FunctionDescriptor;
class FunctionRegistration;

struct RequestContext {
  int32_t method = kMethodNone;  // see RequestMethodCode
  std::string customMethod;      // method 8 only
  std::string url;               // as delivered, query included
  // The selected route; null and empty until FindRoute selects one.
  const FunctionDescriptor* function = nullptr;
  const FunctionRegistration* registration = nullptr;
  std::string tag;
  PathParameters pathParameters = NewPathParameters();
};

}  // namespace Vela::Sdk
