// Selection of the route that serves a request.
#include "sdk/api/route_selection.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "sdk/api/function_registration.h"
#include "sdk/binding/function_descriptor.h"

namespace Vela::Sdk {
namespace {

// Routes over functions named after their templates, each with its own registration.
class RouteTable {
 public:
  RouteTable& Add(const std::string& urlTemplate, int32_t method = kMethodNone, std::string tag = {},
                  const char* customMethod = nullptr) {
    FunctionDescriptor& function = functions_.emplace_back();
    function.name = urlTemplate + " " + std::to_string(method);
    FunctionRegistration& registration = registrations_.emplace_back(&function);
    registration.SetUrl(urlTemplate);
    if (customMethod != nullptr) {
      registration.SetCustomMethod(customMethod);
    } else {
      registration.SetMethod(method);
    }
    routes_.emplace_back(&function, &registration, registration.UrlTemplate(), std::move(tag));
    return *this;
  }

  // The selected function's name, or "" when none was selected.
  std::string Find(RequestContext& context, bool skipMethodCheck = false) const {
    const bool found = FindRoute(context, routes_, skipMethodCheck);
    EXPECT_EQ(found, context.function != nullptr || !context.tag.empty());
    return context.function != nullptr ? context.function->name : "";
  }

  std::string Find(int32_t method, const std::string& url) const {
    RequestContext context;
    context.method = method;
    context.url = url;
    return Find(context);
  }

 private:
  std::deque<FunctionDescriptor> functions_;
  std::deque<FunctionRegistration> registrations_;
  std::vector<ApiRoute> routes_;
};

TEST(FindRoute, FewestCapturedCharactersWinsAndTiesKeepTheEarlier) {
  RouteTable table;
  table.Add("/f/{a}").Add("/f/{+rest}");
  RequestContext context;
  context.method = kMethodGet;
  context.url = "/f/x";
  EXPECT_EQ(table.Find(context), "/f/{a} 0");
  EXPECT_EQ(context.pathParameters, (PathParameters{{"a", "x"}}));

  // Decoded characters count: "%41" is one.
  RouteTable decoded;
  decoded.Add("/g/{+a}").Add("/g/{b}/c");
  EXPECT_EQ(decoded.Find(kMethodGet, "/g/%41%41/c"), "/g/{b}/c 0");
  EXPECT_EQ(decoded.Find(kMethodGet, "/g/x/d"), "/g/{+a} 0");
}

TEST(FindRoute, MatchingLiteralRouteEndsTheSearch) {
  RouteTable table;
  table.Add("/v1/{what}").Add("/v1/messages").Add("/v1/{+other}");
  // The literal replaces the earlier template route and nothing after it is considered.
  RequestContext context;
  context.method = kMethodGet;
  context.url = "/v1/messages";
  EXPECT_EQ(table.Find(context), "/v1/messages 0");
  EXPECT_TRUE(context.pathParameters.empty());
  // Not when every capture of the earlier route was empty: the totals tie.
  RouteTable empty;
  empty.Add("/v1/{what}messages").Add("/v1/messages");
  EXPECT_EQ(empty.Find(kMethodGet, "/v1/messages"), "/v1/{what}messages 0");
}

TEST(FindRoute, MethodCheck) {
  RouteTable table;
  table.Add("/m", kMethodDelete).Add("/m", kMethodPost).Add("/m", kMethodCustom, {}, "PURGE").Add("/any");
  const struct {
    int32_t method;
    const char* customMethod;
    const char* url;
    const char* selected;
  } rows[] = {
      {kMethodDelete, "", "/m", "/m 1"},
      {kMethodPost, "", "/m", "/m 6"},
      {kMethodGet, "", "/m", ""},
      {kMethodNone, "", "/m", ""},
      {kMethodCustom, "PURGE", "/m", "/m 8"},
      {kMethodCustom, "purge", "/m", ""},
      {kMethodCustom, "", "/m", ""},
      // Method 0 answers every method.
      {kMethodGet, "", "/any", "/any 0"},
      {kMethodPut, "", "/any", "/any 0"},
      {kMethodNone, "", "/any", "/any 0"},
      {kMethodCustom, "PURGE", "/any", "/any 0"},
  };
  for (const auto& row : rows) {
    RequestContext context;
    context.method = row.method;
    context.customMethod = row.customMethod;
    context.url = row.url;
    EXPECT_EQ(table.Find(context), row.selected) << row.method << " " << row.url;
  }
  RequestContext skipped;
  skipped.method = kMethodGet;
  skipped.url = "/m";
  EXPECT_EQ(table.Find(skipped, true), "/m 1");
}

TEST(FindRoute, TaggedRoutesServeOnlyGetAndHead) {
  RouteTable table;
  table.Add("/t", kMethodNone, "static");
  for (int32_t method : {kMethodGet, kMethodHead}) {
    RequestContext context;
    context.method = method;
    context.url = "/t";
    EXPECT_EQ(table.Find(context), "/t 0");
    EXPECT_EQ(context.tag, "static");
  }
  for (int32_t method : {kMethodNone, kMethodPost, kMethodDelete, kMethodCustom}) {
    RequestContext context;
    context.method = method;
    context.url = "/t";
    EXPECT_EQ(table.Find(context), "") << method;
    EXPECT_EQ(context.tag, "");
  }
}

TEST(FindRoute, TagAloneCountsAsASelection) {
  const std::vector<ApiRoute> routes{ApiRoute(nullptr, nullptr, "/t", "static")};
  RequestContext context;
  context.method = kMethodGet;
  context.url = "/t";
  EXPECT_TRUE(FindRoute(context, routes, false));
  EXPECT_EQ(context.tag, "static");
  const std::vector<ApiRoute> untagged{ApiRoute(nullptr, nullptr, "/t")};
  EXPECT_FALSE(FindRoute(context, untagged, false));
}

TEST(FindRoute, QueryDoesNotTakePartInMatching) {
  RouteTable table;
  table.Add("/v1/messages").Add("/v1/messages/{messageId}", kMethodDelete);
  EXPECT_EQ(table.Find(kMethodGet, "/v1/messages?x=1"), "/v1/messages 0");
  RequestContext context;
  context.method = kMethodDelete;
  context.url = "/v1/messages/12?force=true";
  EXPECT_EQ(table.Find(context), "/v1/messages/{messageId} 1");
  EXPECT_EQ(context.pathParameters, (PathParameters{{"messageId", "12"}}));
  EXPECT_EQ(context.url, "/v1/messages/12?force=true");  // left whole for the query
}

TEST(FindRoute, FailedSearchLeavesNoEarlierSelection) {
  RouteTable table;
  table.Add("/a/{id}");
  RequestContext context;
  context.method = kMethodGet;
  context.url = "/a/1";
  EXPECT_EQ(table.Find(context), "/a/{id} 0");
  context.url = "/b";
  EXPECT_EQ(table.Find(context), "");
  EXPECT_EQ(context.registration, nullptr);
  EXPECT_TRUE(context.pathParameters.empty());
}

}  // namespace
}  // namespace Vela::Sdk
