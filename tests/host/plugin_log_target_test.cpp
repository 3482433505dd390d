// The log target that forwards records to the host, installed by Initialise.
#include "sdk/host/plugin_log_target.h"

#include <gtest/gtest.h>

#include "sdk/diag/log.h"
#include "sdk/diag/logger.h"
#include "tests/host/glue_test_module.h"

namespace Vela::Sdk::GlueTest {
namespace {

// The logger is process-wide: every test starts from the console targets a fresh one has.
void RestoreConsoleTargets() {
  Logger& logger = Logger::Instance();
  logger.StdErrTarget().Register();
  logger.DebuggerTarget().Register();
  logger.SetMinimumLevel(kLogWarn);
}

TEST(PluginLogTarget, InitialiseReplacesTheConsoleTargets) {
  RestoreConsoleTargets();
  GlueHost glue;
  Logger& logger = Logger::Instance();
  PluginLogTarget* target = glue.module->LogTargetInstalled();
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(logger.FindTarget("PluginLogTarget"), target->Interface());
  EXPECT_FALSE(logger.StdErrTarget().IsRegistered());
  EXPECT_FALSE(logger.DebuggerTarget().IsRegistered());
  EXPECT_EQ(logger.MinimumLevel(), kLogOkay);
  EXPECT_EQ(logger.MutedCategories(), 4u);
  EXPECT_EQ(target->MinimumLevel(), kLogOkay);
  EXPECT_EQ(target->AcceptedMask(), 0u);
  EXPECT_EQ(target->MutedMask(), 0u);
  EXPECT_EQ(target->LineFormat(), "#D| #L| #G| #M");
}

// The host gets the level number and the bare message, not the rendered line.
TEST(PluginLogTarget, RecordsReachTheHostAsLevelAndMessage) {
  RestoreConsoleTargets();
  GlueHost glue;
  Log(kLogWarn, 0, "m %d", 5);
  Log(kLogOkay, 1, "okay");
  Log(kLogError, 4, "muted");
  ASSERT_EQ(glue.host.Logs().size(), 2u);
  EXPECT_EQ(glue.host.Logs()[0].level, 1);
  EXPECT_EQ(glue.host.Logs()[0].message, "m 5");
  EXPECT_EQ(glue.host.Logs()[1].level, 0);
  EXPECT_EQ(glue.host.Logs()[1].message, "okay");
  for (const DevHost::HostCall& call : glue.host.CallsOf(9)) EXPECT_EQ(call.table, glue.host.Table());
}

TEST(PluginLogTarget, RegisteredTargetOfThatNameIsKept) {
  RestoreConsoleTargets();
  struct Named final : LogTarget {
    ~Named() override { Detach(); }
    const char* Name() const override { return "PluginLogTarget"; }
    bool Write(const LogRecord&) override { return true; }
  } other;
  other.Register();
  GlueHost glue;
  EXPECT_EQ(glue.module->LogTargetInstalled(), nullptr);
  EXPECT_TRUE(Logger::Instance().StdErrTarget().IsRegistered());
  EXPECT_TRUE(Logger::Instance().DebuggerTarget().IsRegistered());
  EXPECT_EQ(Logger::Instance().FindTarget("PluginLogTarget"), other.Interface());
}

// Several plug-in objects may live in one process; the logger must not keep a target whose
// object is gone.
TEST(PluginLogTarget, DestroyTakesTheTargetAway) {
  RestoreConsoleTargets();
  GlueHost glue;
  ASSERT_NE(Logger::Instance().FindTarget("PluginLogTarget"), nullptr);
  glue.host.Destroy();
  EXPECT_EQ(Logger::Instance().FindTarget("PluginLogTarget"), nullptr);
  Log(kLogError, 0, "after");
  EXPECT_TRUE(glue.host.Logs().empty());
  GlueHost next;
  EXPECT_NE(next.module->LogTargetInstalled(), nullptr);
}

}  // namespace
}  // namespace Vela::Sdk::GlueTest
