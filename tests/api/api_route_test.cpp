// Routes built from templates and the match of one URL against one route.
#include "sdk/api/api_route.h"

#include <gtest/gtest.h>

#include <string>

namespace Vela::Sdk {
namespace {

TEST(ApiRoute, LiteralTemplateNeverCompiles) {
  const ApiRoute route(nullptr, nullptr, "/v1/messages");
  EXPECT_EQ(route.pattern, nullptr);
  EXPECT_EQ(route.literalPath, "/v1/messages");
  EXPECT_TRUE(route.parameterNames.empty());
  // Braces that close nothing do not make a template.
  EXPECT_EQ(ApiRoute(nullptr, nullptr, "/a}b").pattern, nullptr);
}

TEST(ApiRoute, TemplateCompilesOnceAndCopiesShareIt) {
  const ApiRoute route(nullptr, nullptr, "/m/{id}/{+rest}", "tag");
  ASSERT_NE(route.pattern, nullptr);
  EXPECT_EQ(route.literalPath, "");
  EXPECT_EQ(route.parameterNames, (std::vector<std::string>{"id", "rest"}));
  EXPECT_EQ(route.tag, "tag");
  const ApiRoute copy = route;
  EXPECT_EQ(copy.pattern, route.pattern);
  EXPECT_EQ(route.pattern.use_count(), 2);
}

TEST(MatchRoute, LiteralRouteMatchesOnlyTheSameBytes) {
  const ApiRoute route(nullptr, nullptr, "/v1/messages");
  for (const char* url : {"/v1/messages/", "/v1/message", "/V1/messages", "/v1/messages?x=1", ""}) {
    PathParameters params;
    EXPECT_FALSE(MatchRoute(route, url, params)) << url;
  }
  PathParameters params;
  EXPECT_TRUE(MatchRoute(route, "/v1/messages", params));
  EXPECT_TRUE(params.empty());
}

TEST(MatchRoute, CapturesAreDecodedUnderTheirNames) {
  const struct {
    const char* urlTemplate;
    const char* url;
    bool matches;
    PathParameters params;
  } rows[] = {
      {"/m/{id}", "/m/", true, {{"id", ""}}},
      {"/m/{id}", "/m/a%20b+c", true, {{"id", "a b c"}}},
      {"/m/{id}", "/m/a%2Fb", true, {{"id", "a/b"}}},
      {"/m/{id}", "/m/%4", true, {{"id", "4"}}},
      {"/m/{id}", "/m/%zz", true, {{"id", "\x10"}}},
      {"/m/{id}", "/m/a/b", false, {}},
      {"/m/{id}", "/m", false, {}},
      {"/m/{id}", "/mx/a", false, {}},
      {"/m/{+rest}", "/m/a/b", true, {{"rest", "a/b"}}},
      {"/d{#part}", "/d#x/y", true, {{"part", "x/y"}}},
      {"/d{#part}", "/dx", false, {}},
      {"/a.{id}", "/ab1", false, {}},
      {"/a.{id}", "/a.1", true, {{"id", "1"}}},
      // A repeated name keeps the last value.
      {"/{id}/{id}", "/first/second", true, {{"id", "second"}}},
      // The URL is matched as given: a query is part of the last capture.
      {"/m/{id}", "/m/5?x=1", true, {{"id", "5?x=1"}}},
  };
  for (const auto& row : rows) {
    const ApiRoute route(nullptr, nullptr, row.urlTemplate);
    PathParameters params;
    EXPECT_EQ(MatchRoute(route, row.url, params), row.matches) << row.urlTemplate << " " << row.url;
    EXPECT_EQ(params, row.params) << row.urlTemplate << " " << row.url;
  }
}

TEST(MatchRoute, MegabyteUrlDecodesWithoutCrashing) {
  const ApiRoute route(nullptr, nullptr, "/m/{+rest}");
  std::string url = "/m/";
  for (int i = 0; i < (1 << 18); ++i) url += "a%20";
  PathParameters params;
  ASSERT_TRUE(MatchRoute(route, url, params));
  EXPECT_EQ(params["rest"].size(), 2u << 18);
  EXPECT_EQ(params["rest"].substr(0, 4), "a a ");
}

}  // namespace
}  // namespace Vela::Sdk
