// Text form and compatibility rule of the plug-in API version.
#include "sdk/host/plugin_api_version.h"

#include <gtest/gtest.h>

namespace Vela::Sdk {
namespace {

TEST(PluginApiVersion, TextAddsPreReleaseAndBuildOnlyWhenPresent) {
  struct Row {
    PluginApiVersion version;
    const char* text;
  } rows[] = {
      {{18, 0, 0, "", ""}, "18.0.0"},
      {{18, 2, 5, "rc.1", ""}, "18.2.5-rc.1"},
      {{18, 2, 5, "", "a1b2"}, "18.2.5+a1b2"},
      {{4294967295u, 10, 200, "beta", "7"}, "4294967295.10.200-beta+7"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.version.ToText(), row.text);
}

TEST(PluginApiVersion, SdkSpeaksEighteen) { EXPECT_EQ(PluginApiVersionOfSdk().ToText(), "18.0.0"); }

TEST(PluginApiVersion, HostMustShareTheMajorAndNotBeOlder) {
  struct Row {
    PluginApiVersion plugin;
    PluginApiVersion host;
    bool compatible;
  } rows[] = {
      {{18, 0, 0, {}, {}}, {18, 0, 0, {}, {}}, true},
      {{18, 0, 0, {}, {}}, {18, 3, 7, {}, {}}, true},
      {{18, 0, 0, {}, {}}, {17, 9, 9, {}, {}}, false},
      {{18, 0, 0, {}, {}}, {19, 0, 0, {}, {}}, false},
      // Minor and patch compare as a pair: a newer minor accepts any patch.
      {{18, 2, 5, {}, {}}, {18, 2, 4, {}, {}}, false},
      {{18, 2, 5, {}, {}}, {18, 2, 5, {}, {}}, true},
      {{18, 2, 5, {}, {}}, {18, 3, 0, {}, {}}, true},
      {{18, 2, 5, {}, {}}, {18, 1, 9, {}, {}}, false},
      // Unsigned: a huge minor is newer, not negative.
      {{18, 2, 5, {}, {}}, {18, 0x80000000u, 0, {}, {}}, true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsCompatibleHost(row.plugin, row.host), row.compatible)
        << "plug-in " << row.plugin.ToText() << ", host " << row.host.ToText();
  }
}

}  // namespace
}  // namespace Vela::Sdk
