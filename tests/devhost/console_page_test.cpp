// The embedded console: every file the page refers to is served, with its own content type.
#include "devhost/console_page.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace Vela::DevHost {
namespace {

TEST(ConsolePage, ServesThePageAndEveryFileItRefersTo) {
  std::optional<ConsoleAsset> page = FindConsoleAsset("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->contentType, "text/html; charset=utf-8");
  std::string html(page->body);
  std::regex reference(R"((?:src|href)="(/console/[^"]+)\")");
  int references = 0;
  for (std::sregex_iterator it(html.begin(), html.end(), reference), end; it != end; ++it, ++references) {
    std::string path = (*it)[1];
    std::optional<ConsoleAsset> asset = FindConsoleAsset(path);
    ASSERT_TRUE(asset) << path;
    EXPECT_FALSE(asset->body.empty()) << path;
    EXPECT_NE(asset->contentType, "application/octet-stream") << path;
  }
  EXPECT_GE(references, 3);
  // Scripts run only from files: the policy sent with the page forbids inline ones.
  EXPECT_EQ(html.find("<script>"), std::string::npos);
}

TEST(ConsolePage, OtherPathsAreNotTheConsoles) {
  for (const char* path : {"/console/", "/console/missing.js", "/index.html", "/events", "/console"}) {
    EXPECT_FALSE(FindConsoleAsset(path)) << path;
  }
}

}  // namespace
}  // namespace Vela::DevHost
