// Selection of the route that serves a request.
#include "sdk/api/route_selection.h"

#include <string_view>

#include "sdk/api/function_registration.h"

namespace Vela::Sdk {
namespace {

bool MethodAccepts(const RequestContext& context, const FunctionRegistration* registration) {
  if (registration == nullptr || registration->Method() == kMethodNone) return true;
  return context.method == registration->Method() && context.customMethod == registration->CustomMethod();
}

size_t CapturedLength(const PathParameters& params) {
  size_t total = 0;
  for (const auto& [name, value] : params) total += value.size();
  return total;
}

}  // namespace

bool FindRoute(RequestContext& context, std::span<const ApiRoute> routes, bool skipMethodCheck) {
  context.function = nullptr;
  context.registration = nullptr;
  context.tag.clear();
  context.pathParameters = NewPathParameters();

  const std::string_view url = context.url;
  const std::string_view path = url.substr(0, url.find('?'));
  const bool safeMethod = context.method == kMethodGet || context.method == kMethodHead;
  bool selected = false;
  size_t selectedLength = 0;
  for (const ApiRoute& route : routes) {
    if (!route.tag.empty() && !safeMethod) continue;
    PathParameters params = NewPathParameters();
    if (!MatchRoute(route, path, params)) continue;
    if (!skipMethodCheck && !MethodAccepts(context, route.registration)) continue;
    // Fewer captured characters means more of the URL was literal: the more specific route.
    const size_t length = CapturedLength(params);
    if (selected && length >= selectedLength) continue;
    selected = true;
    selectedLength = length;
    context.function = route.function;
    context.registration = route.registration;
    context.tag = route.tag;
    context.pathParameters = std::move(params);
    if (route.parameterNames.empty()) break;
  }
  return context.function != nullptr || !context.tag.empty();
}

}  // namespace Vela::Sdk
