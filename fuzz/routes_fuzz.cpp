// Routes: fuzzed URL templates registered as functions, and fuzzed URLs matched against them.
// Input: a route count, then per route a method byte and a length-prefixed template; the rest is
// the URL.
//
// Properties:
// - Registration keeps the template less one trailing "/" (unless that is all), and every template
//   translates to a pattern the regex library compiles, with one parameter name per group.
// - UrlPattern::Match agrees with std::regex_match on the compiled pattern, captures included,
//   for URLs and patterns short enough for the library's recursive matcher, and with few
//   enough groups for its backtracking: with many groups it takes seconds on a 64-byte URL
//   (UrlPattern::Match stays linear in the URL for each group).
// - MatchRoute stores the percent-decoded capture under each name, the last one for a repeated
//   name; UrlDecode agrees with its documented rules.
// - FindRoute selects only a route that matches the URL's path and accepts the method, and
//   no matching, accepting route captures fewer characters.
#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "sdk/api/api_route.h"
#include "sdk/api/function_registration.h"
#include "sdk/api/request_context.h"
#include "sdk/api/route_selection.h"
#include "sdk/api/url_decode.h"
#include "sdk/binding/function_descriptor.h"

namespace Vela::Fuzz {
namespace {

// The library's matcher recurses per character and per pattern element.
constexpr std::size_t kLongestRegexUrl = 64;
constexpr std::size_t kLongestRegexPattern = 256;
constexpr std::size_t kMostRegexGroups = 4;

unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  return 16;
}

// UrlDecode's documented rules, written from its description.
std::string DecodeAsDocumented(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] != '%') {
      out += text[i];
    } else if (i + 2 < text.size()) {
      // "%zz" and "%1z" are both 0x10: the high digit's 16 leaves the byte.
      out += static_cast<char>(((HexValue(text[i + 1]) << 4) & 0xFFu) | HexValue(text[i + 2]));
      i += 2;
    }
  }
  return out;
}

void CheckAgainstRegex(const Sdk::UrlPattern& pattern, std::string_view url) {
  const std::regex* regex = pattern.Regex();
  if (regex == nullptr || url.size() > kLongestRegexUrl || pattern.Pattern().size() > kLongestRegexPattern ||
      regex->mark_count() > kMostRegexGroups) {
    return;
  }
  std::match_results<std::string_view::const_iterator> match;
  bool expected = std::regex_match(url.begin(), url.end(), match, *regex);
  std::vector<std::string_view> captures;
  bool matched = pattern.Match(url, captures);
  Require(matched == expected, "UrlPattern::Match agrees with std::regex_match",
          "pattern " + pattern.Pattern() + (expected ? " matches" : " does not match"));
  if (!matched) return;
  Require(captures.size() == pattern.GroupCount() && match.size() == captures.size() + 1,
          "a match captures every group");
  for (std::size_t i = 0; i < captures.size(); ++i) {
    Require(captures[i] == std::string_view(match[i + 1].first, static_cast<std::size_t>(match[i + 1].length())),
            "UrlPattern::Match captures what std::regex_match captures",
            "pattern " + pattern.Pattern() + ", group " + std::to_string(i + 1));
  }
}

void CheckMatch(const Sdk::ApiRoute& route, std::string_view url) {
  Sdk::PathParameters params = Sdk::NewPathParameters();
  bool matched = Sdk::MatchRoute(route, url, params);
  if (!route.pattern) {
    Require(matched == (url == route.literalPath), "a literal route matches its path byte for byte");
    return;
  }
  Require(route.parameterNames.size() == route.pattern->GroupCount(), "a template has one name per group");
  CheckAgainstRegex(*route.pattern, url);
  std::vector<std::string_view> captures;
  Require(matched == route.pattern->Match(url, captures), "MatchRoute matches as its pattern does");
  if (!matched) return;
  Sdk::PathParameters expected;
  for (std::size_t i = 0; i < captures.size(); ++i) expected[route.parameterNames[i]] = Sdk::UrlDecode(captures[i]);
  Require(params == expected, "MatchRoute stores each decoded capture under its name, the last for a repeated one");
}

std::size_t CapturedLength(const Sdk::PathParameters& params) {
  std::size_t total = 0;
  for (const auto& [name, value] : params) total += value.size();
  return total;
}

}  // namespace

int CheckOne(const uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const uint32_t routeCount = 1 + input.Number(3);
  std::vector<std::unique_ptr<Sdk::FunctionDescriptor>> functions;
  std::vector<std::unique_ptr<Sdk::FunctionRegistration>> registrations;
  std::vector<Sdk::ApiRoute> routes;
  for (uint32_t i = 0; i < routeCount; ++i) {
    const int32_t method = static_cast<int32_t>(input.Number(Sdk::kMethodPut + 1));
    const std::string urlTemplate = input.Text(96);
    auto function = std::make_unique<Sdk::FunctionDescriptor>();
    function->name = "Fuzzed" + std::to_string(i);
    auto registration = std::make_unique<Sdk::FunctionRegistration>();
    registration->SetUrl(urlTemplate);
    registration->SetMethod(method);
    const bool trimmed = urlTemplate.size() > 1 && urlTemplate.back() == '/';
    Require(registration->UrlTemplate() == (trimmed ? urlTemplate.substr(0, urlTemplate.size() - 1) : urlTemplate),
            "registration drops one trailing slash from a template longer than \"/\"");
    try {
      registration->AttachTo(*function);
    } catch (const std::regex_error& error) {
      PropertyFailed("every template translates to a pattern the library compiles", error.what());
    }
    routes.push_back(*registration->Route());
    functions.push_back(std::move(function));
    registrations.push_back(std::move(registration));
  }
  const int32_t requestMethod = static_cast<int32_t>(input.Number(Sdk::kMethodPut + 1));
  const std::string url = input.Rest();

  Require(Sdk::UrlDecode(url) == DecodeAsDocumented(url), "UrlDecode follows its documented rules");
  for (const Sdk::ApiRoute& route : routes) CheckMatch(route, url);

  Sdk::RequestContext context;
  context.method = requestMethod;
  context.url = url;
  const bool found = Sdk::FindRoute(context, routes, false);
  const std::string_view path = std::string_view(url).substr(0, url.find('?'));
  std::size_t fewest = static_cast<std::size_t>(-1);
  for (const Sdk::ApiRoute& route : routes) {
    Sdk::PathParameters params = Sdk::NewPathParameters();
    const int32_t method = route.registration->Method();
    if (!Sdk::MatchRoute(route, path, params) || (method != Sdk::kMethodNone && method != context.method)) continue;
    fewest = std::min(fewest, CapturedLength(params));
  }
  Require(found == (fewest != static_cast<std::size_t>(-1)), "FindRoute selects a route when one matches and accepts");
  if (found) {
    Sdk::PathParameters params = Sdk::NewPathParameters();
    Require(Sdk::MatchRoute(*context.registration->Route(), path, params) && params == context.pathParameters,
            "FindRoute selects a matching route with its parameters");
    Require(CapturedLength(params) == fewest, "FindRoute selects the route that captures the fewest characters");
  }
  return 0;
}

}  // namespace Vela::Fuzz
