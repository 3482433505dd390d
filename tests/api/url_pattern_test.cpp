// Template translation and the matcher, checked against the regex library's own matcher.
#include "sdk/api/url_pattern.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

namespace Vela::Sdk {
namespace {

using Names = std::vector<std::string>;

TEST(TemplateToRegex, TranslatesParametersAndEscapesRegexSyntax) {
  const struct {
    std::string urlTemplate;
    std::string pattern;
    Names names;
  } rows[] = {
      {"/v1/messages/{messageId}", "/v1/messages/([^/]*)", {"messageId"}},
      {"/files/{+path}", "/files/(.*)", {"path"}},
      {"/doc{#section}", "/doc#(.*)", {"section"}},
      {"/x.y/{id}", "/x\\.y/([^/]*)", {"id"}},
      {"/{a}/{b}-{+c}", "/([^/]*)/([^/]*)-(.*)", {"a", "b", "c"}},
      {"/a.b", "/a\\.b", {}},
      // Each of the twelve regex characters outside braces is escaped; nothing else is.
      {"^", "\\^", {}},
      {"$", "\\$", {}},
      {".", "\\.", {}},
      {"*", "\\*", {}},
      {"+", "\\+", {}},
      {"?", "\\?", {}},
      {"(", "\\(", {}},
      {")", "\\)", {}},
      {"[", "\\[", {}},
      {"]", "\\]", {}},
      {"|", "\\|", {}},
      {"\\", "\\\\", {}},
      {"/-_~!#&'=,;:@ aZ09", "/-_~!#&'=,;:@ aZ09", {}},
      // Inside braces everything after the first character belongs to the name.
      {"/{a+b#c.d}", "/([^/]*)", {"a+b#c.d"}},
      {"/{++x}", "/(.*)", {"+x"}},
      {"/{}/{+}", "/([^/]*)/(.*)", {"", ""}},
      // Unbalanced braces: a stray "}" is literal, "{" inside a name is part of it, and an
      // unclosed name is closed at the end. One name per group in every case.
      {"/a}/{id}", "/a\\}/([^/]*)", {"id"}},
      {"/{a{b}", "/([^/]*)", {"a{b"}},
      {"/{id", "/([^/]*)", {"id"}},
      {"/{+rest", "/(.*)", {"rest"}},
      {"/{", "/([^/]*)", {""}},
  };
  for (const auto& row : rows) {
    Names names{"earlier"};
    EXPECT_EQ(TemplateToRegex(row.urlTemplate, names), row.pattern) << row.urlTemplate;
    Names expected{"earlier"};
    expected.insert(expected.end(), row.names.begin(), row.names.end());
    EXPECT_EQ(names, expected) << row.urlTemplate;
  }
}

TEST(UrlPattern, EscapedCharactersMatchOnlyThemselves) {
  for (char c : std::string("^$.*+?()[]|\\}")) {
    const std::string literal = std::string("/") + c + "/";
    Names names;
    const UrlPattern pattern(literal + "{id}", names);
    const std::string url = literal + "v";
    std::vector<std::string_view> captures;
    EXPECT_TRUE(pattern.Match(url, captures)) << c;
    EXPECT_EQ(captures, std::vector<std::string_view>{"v"});
    EXPECT_FALSE(pattern.Match("/x/v", captures)) << c;
    EXPECT_FALSE(pattern.Match("//v", captures)) << c;
  }
}

// The matcher must find exactly the full match, and the captures, of the regex library.
std::vector<std::string> LibraryMatch(const UrlPattern& pattern, const std::string& url, bool& matched) {
  std::smatch match;
  matched = std::regex_match(url, match, *pattern.Regex());
  std::vector<std::string> captures;
  if (matched) {
    for (size_t i = 1; i < match.size(); ++i) captures.push_back(match[i].str());
  }
  return captures;
}

TEST(UrlPattern, AgreesWithTheRegexLibraryOnShortInputs) {
  std::mt19937 random(20240531);
  const std::string templatePieces[] = {"/", "a", "b", ".", "#", "{x}", "{+y}", "{#z}", "ab/"};
  const std::string urlAlphabet = "/ab.#\n\r";
  int matches = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string urlTemplate;
    const int pieces = 1 + static_cast<int>(random() % 5);
    for (int i = 0; i < pieces; ++i) urlTemplate += templatePieces[random() % std::size(templatePieces)];
    Names names;
    const UrlPattern pattern(urlTemplate, names);
    ASSERT_EQ(names.size(), pattern.GroupCount());
    for (int probe = 0; probe < 20; ++probe) {
      std::string url;
      const size_t length = random() % 9;
      for (size_t i = 0; i < length; ++i) url += urlAlphabet[random() % urlAlphabet.size()];
      bool expected = false;
      const std::vector<std::string> expectedCaptures = LibraryMatch(pattern, url, expected);
      std::vector<std::string_view> captures;
      ASSERT_EQ(pattern.Match(url, captures), expected) << urlTemplate << " on " << url;
      if (!expected) continue;
      ++matches;
      ASSERT_EQ(std::vector<std::string>(captures.begin(), captures.end()), expectedCaptures)
          << urlTemplate << " on " << url;
    }
  }
  EXPECT_GT(matches, 1000);  // the comparison covered matches, not only failures
}

TEST(UrlPattern, GreedyGroupsLeaveTheRestToLaterGroups) {
  const struct {
    std::string urlTemplate;
    std::string url;
    std::vector<std::string_view> captures;
  } rows[] = {
      {"/{+a}/{+b}", "/x/y/z", {"x/y", "z"}},
      {"/{+a}{+b}", "/xyz", {"xyz", ""}},
      {"/{a}.{b}", "/x.y.z", {"x.y", "z"}},
      {"/{+a}/{b}/{+c}", "/1/2/3/4", {"1/2", "3", "4"}},
      // "." stops at line breaks, "[^/]" does not.
      {"/{a}", "/x\ny", {"x\ny"}},
  };
  for (const auto& row : rows) {
    Names names;
    const UrlPattern pattern(row.urlTemplate, names);
    std::vector<std::string_view> captures;
    ASSERT_TRUE(pattern.Match(row.url, captures)) << row.urlTemplate;
    EXPECT_EQ(captures, row.captures) << row.urlTemplate;
  }
  Names names;
  std::vector<std::string_view> captures;
  EXPECT_FALSE(UrlPattern("/{+a}", names).Match("/x\ny", captures));
}

TEST(UrlPattern, MatchesAMegabyteUrlWithoutRecursion) {
  const std::string body(1 << 20, 'a');
  const std::string url = "/m/" + body + "/" + body.substr(0, 1000);
  const struct {
    std::string urlTemplate;
    bool matches;
    size_t firstCapture;
  } rows[] = {
      {"/m/{+rest}", true, url.size() - 3},
      {"/m/{+a}/{b}", true, body.size()},
      {"/m/{+a}/{+b}", true, body.size()},
      {"/m/{a}/{+b}", true, body.size()},
      {"/m/{id}", false, 0},
      {"/m/{+rest}/x", false, 0},
  };
  for (const auto& row : rows) {
    Names names;
    const UrlPattern pattern(row.urlTemplate, names);
    std::vector<std::string_view> captures;
    ASSERT_EQ(pattern.Match(url, captures), row.matches) << row.urlTemplate;
    if (row.matches) {
      EXPECT_EQ(captures[0].size(), row.firstCapture) << row.urlTemplate;
    }
  }
}

TEST(UrlPattern, CompilesPatternsUpToTheLimit) {
  // Escaped dots double in the pattern, so this one is exactly at the limit.
  const std::string dots((kLongestCompiledPattern - 7) / 2, '.');
  Names names;
  const UrlPattern pattern(dots + "{id}", names);
  ASSERT_LE(pattern.Pattern().size(), kLongestCompiledPattern);
  ASSERT_GT(pattern.Pattern().size(), kLongestCompiledPattern - 2);
  ASSERT_NE(pattern.Regex(), nullptr);
  std::vector<std::string_view> captures;
  EXPECT_TRUE(pattern.Match(dots + "x", captures));
  EXPECT_FALSE(pattern.Match(std::string(dots.size(), 'a') + "x", captures));
}

TEST(UrlPattern, HandlesLongTemplates) {
  std::string urlTemplate;
  std::string url;
  for (int i = 0; i < 400; ++i) {
    urlTemplate += "/s" + std::to_string(i) + "/{p" + std::to_string(i) + "}";
    url += "/s" + std::to_string(i) + "/v" + std::to_string(i);
  }
  Names names;
  const UrlPattern pattern(urlTemplate, names);
  EXPECT_EQ(pattern.Regex(), nullptr);  // the library's compiler would overflow the stack
  ASSERT_EQ(names.size(), 400u);
  std::vector<std::string_view> captures;
  ASSERT_TRUE(pattern.Match(url, captures));
  ASSERT_EQ(captures.size(), 400u);
  EXPECT_EQ(captures[399], "v399");
  EXPECT_FALSE(pattern.Match(url + "/", captures));
}

}  // namespace
}  // namespace Vela::Sdk
