// A route: one API function reachable under a URL template, and the match of a URL against it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sdk/api/url_pattern.h"

namespace Vela::Sdk {

struct FunctionDescriptor;
class FunctionRegistration;

/// Path parameter name → percent-decoded value.
using PathParameters = std::unordered_map<std::string, std::string>;

/// An empty map sized for the few parameters a route has (8 buckets, load factor 1).
PathParameters NewPathParameters();

struct ApiRoute {
  /// A template with a "{" compiles to a pattern (throwing std::regex_error if the library
  /// refuses it); any other template is a literal path.
  ApiRoute(const FunctionDescriptor* function, const FunctionRegistration* registration, std::string_view urlTemplate,
           std::string tag = {});

  const FunctionDescriptor* function;
  const FunctionRegistration* registration;
  std::string literalPath;  // empty for a template route
  /// Routes with a tag are considered for GET and HEAD only; the routes we build have none.
  std::string tag;
  std::shared_ptr<const UrlPattern> pattern;  // null for a literal route
  std::vector<std::string> parameterNames;    // in template order, one per group
};

/// Whether all of `url` matches `route`, byte for byte for a literal route. On a match of a
/// template route every capture is decoded with UrlDecode and stored in `params` under its
/// parameter name (a repeated name keeps the last). The URL is matched exactly as given: strip
/// the query first if it must not take part.
bool MatchRoute(const ApiRoute& route, std::string_view url, PathParameters& params);

}  // namespace Vela::Sdk
