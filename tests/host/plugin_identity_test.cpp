// Full names of plug-ins by kind.
#include "sdk/host/plugin_identity.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace Vela::Sdk {
namespace {

TEST(PluginIdentity, KindChoosesThePrefix) {
  struct Row {
    PluginKind kind;
    const char* fullName;
  } rows[] = {
      {kBackendKind, "orb-be-ark-simple-dialog-messages"},
      {kFrontendKind, "orb-fe-ark-simple-dialog-messages"},
      {PluginKind{"sidecar", "x"}, "orb-xx-ark-simple-dialog-messages"},
      {PluginKind{"Backend", ""}, "orb-xx-ark-simple-dialog-messages"},
  };
  for (const Row& row : rows) {
    testing::internal::CaptureStderr();
    PluginIdentity identity = MakePluginIdentity("ark-simple-dialog-messages", row.kind);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(identity.fullName, row.fullName);
    EXPECT_EQ(identity.shortName, "ark-simple-dialog-messages");
    EXPECT_EQ(identity.kindName, row.kind.name);
    EXPECT_EQ(identity.kindQualifier, row.kind.qualifier);
  }
}

TEST(PluginIdentity, UnknownKindIsReportedKnownKindsAreNot) {
  testing::internal::CaptureStderr();
  MakePluginIdentity("ark-simple-dialog-messages", kBackendKind);
  MakePluginIdentity("ark-simple-dialog-messages", kFrontendKind);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  testing::internal::CaptureStderr();
  MakePluginIdentity("ark-simple-dialog-messages", PluginKind{"sidecar", ""});
  // One error line; the logger's own prefix (program and thread) comes before the level.
  EXPECT_THAT(testing::internal::GetCapturedStderr(),
              testing::EndsWith(" ERROR|             Plugin Manager| GetFullNameFromShortNameAndType("
                                "\"ark-simple-dialog-messages\", \"sidecar\") called with an unknown type\n"));
}

}  // namespace
}  // namespace Vela::Sdk
