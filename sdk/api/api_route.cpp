// A route and the match of a URL against it.
#include "sdk/api/api_route.h"

#include "sdk/api/url_decode.h"

namespace Vela::Sdk {

PathParameters NewPathParameters() {
  PathParameters params;
  params.max_load_factor(1.0f);
  params.rehash(8);
  return params;
}

ApiRoute::ApiRoute(const FunctionDescriptor* served, const FunctionRegistration* servedRegistration,
                   std::string_view urlTemplate, std::string routeTag)
    : function(served), registration(servedRegistration), tag(std::move(routeTag)) {
  if (urlTemplate.find('{') == std::string_view::npos) {
    literalPath.assign(urlTemplate);
  } else {
    pattern = std::make_shared<const UrlPattern>(urlTemplate, parameterNames);
  }
}

bool MatchRoute(const ApiRoute& route, std::string_view url, PathParameters& params) {
  if (!route.pattern) return url == route.literalPath;
  std::vector<std::string_view> captures;
  if (!route.pattern->Match(url, captures)) return false;
  for (size_t i = 0; i < captures.size() && i < route.parameterNames.size(); ++i) {
    params[route.parameterNames[i]] = UrlDecode(captures[i]);
  }
  return true;
}

}  // namespace Vela::Sdk
