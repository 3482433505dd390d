// Host event names of URLs and LCDS types, and resource URL patterns.
#include "sdk/host/host_event_names.h"

#include <gtest/gtest.h>

namespace Vela::Sdk {
namespace {

TEST(HostEventNames, ResourceNameKeepsFourItemsOrSixForPlatformConfig) {
  struct Row {
    const char* url;
    const char* name;
  } rows[] = {
      {"/ark-gameflow/v1/session", "OnJsonApiEvent_ark-gameflow_v1_session"},
      {"/ark-gameflow/v1/session/extra", "OnJsonApiEvent_ark-gameflow_v1_session"},
      {"/a/b/c/d/e", "OnJsonApiEvent_a_b_c"},
      {"/", "OnJsonApiEvent"},
      {"", "OnJsonApiEvent"},
      {"a//b/", "OnJsonApiEvent_a_b"},
      {"/ark-platform-config/v1/namespaces/x/y/z", "OnJsonApiEvent_ark-platform-config_v1_namespaces_x_y"},
      // Only a first segment that is exactly the name widens the limit.
      {"/ark-platform-configs/v1/a/b", "OnJsonApiEvent_ark-platform-configs_v1_a"},
      {"/x/ark-platform-config/a/b", "OnJsonApiEvent_x_ark-platform-config_a"},
  };
  for (const Row& row : rows) EXPECT_EQ(ResourceEventName(row.url), row.name) << row.url;
}

TEST(HostEventNames, LcdsNameReplacesEveryDot) {
  EXPECT_EQ(LcdsEventName("com.velaworks.platform.messaging.persistence.SimpleDialogMessage"),
            "OnLcdsEvent_com_velaworks_platform_messaging_persistence_SimpleDialogMessage");
  EXPECT_EQ(LcdsEventName(""), "OnLcdsEvent_");
}

TEST(HostEventNames, UrlWithoutLeadingSlashGetsOne) {
  EXPECT_EQ(RootedUrl("ark-gameflow/v1/session"), "/ark-gameflow/v1/session");
  EXPECT_EQ(RootedUrl("/a"), "/a");
  EXPECT_EQ(RootedUrl(""), "/");
}

// A star stands for a run of characters within one segment; it never crosses a "/" and, at the
// end of a pattern, needs at least one character.
TEST(HostEventNames, PatternStarStaysInsideItsSegment) {
  struct Row {
    const char* pattern;
    const char* uri;
    bool matches;
  } rows[] = {
      {"/a/*/c", "/a/b/c", true},
      {"/a/*/c", "/a//c", true},
      {"/a/*/c", "/a/bcd/c", true},
      {"/a/*/c", "/a/b/x/c", false},
      {"/a/*", "/a/bc", true},
      {"/a/*", "/a/", false},
      {"/a/*", "/a/b/c", false},
      {"/a/*", "/a", false},
      {"/a/b", "/a/b", true},
      {"/a/b", "/a/bb", false},
      {"/a/b", "/a", false},
      {"/*/*", "/x/y", true},
      {"", "", true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MatchesResourcePattern(row.pattern, row.uri), row.matches) << row.pattern << " ~ " << row.uri;
  }
}

}  // namespace
}  // namespace Vela::Sdk
