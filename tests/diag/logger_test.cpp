// Tests of the logger: filtering, targets, configuration and the function table.
#include "sdk/diag/logger.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/diag/logger_api.h"
#include "tests/diag/capture_log_target.h"

namespace Vela::Sdk {
namespace {

using Testing::CaptureLogTarget;

std::vector<std::string> debuggerLines;
void CollectDebuggerOutput(const char* text) { debuggerLines.push_back(text); }

// Every test gets a logger of its own: beside the library's own reference, the one taken here is
// the only one, so releasing both destroys the logger with whatever the test did to it.
class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Logger::AddReference();
    debuggerLines.clear();
    Platform::SetDebuggerSink(&CollectDebuggerOutput);
  }
  void TearDown() override {
    Platform::SetDebuggerSink(nullptr);
    Logger::Release();
    Logger::ReleaseLibraryReference();
  }
};

TEST_F(LoggerTest, DefaultsFilterAtTheLogger) {
  CaptureLogTarget capture;
  capture.SetMinimumLevel(kLogOkay);
  capture.Register();
  testing::internal::CaptureStderr();
  Log(kLogOkay, 0, "dropped: level 0");
  Log(kLogWarn, kCategoryXtr, "dropped: XTR is muted");
  Log(kLogWarn, 0, "mask %d reaches every target", 0);
  std::string standardError = testing::internal::GetCapturedStderr();

  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Records()[0].message, "mask 0 reaches every target");
  EXPECT_EQ(
      standardError, Platform::ExecutableFileName() + "(" + [] {
        char thread[32];
        std::snprintf(thread, sizeof thread, "%p", reinterpret_cast<void*>(Platform::CurrentThreadId()));
        return std::string(thread);
      }() + "):   WARN| mask 0 reaches every target\n");
  ASSERT_EQ(debuggerLines.size(), 1u);
  EXPECT_EQ(debuggerLines[0], standardError);
}

TEST_F(LoggerTest, BuiltInTargets) {
  Logger& logger = Logger::Instance();
  struct Row {
    LogTarget& target;
    const char* name;
    const char* lineFormat;
    uint64_t accepted;
    uint64_t muted;
    bool registered;
  };
  const Row rows[] = {
      {logger.StdErrTarget(), "StdErrLogTarget", "#E(#T): #L| #M", kCategoryDbg, kCategoryGen, true},
      {logger.StdOutTarget(), "StdOutLogTarget", "#M", kCategoryGen, kCategoryDbg, false},
      {logger.DebuggerTarget(), "DebuggerConsoleLogTarget", "#E(#T): #L| #M", kCategoryDbg, 0, true},
  };
  for (const Row& row : rows) {
    EXPECT_STREQ(row.target.Name(), row.name);
    EXPECT_EQ(row.target.LineFormat(), row.lineFormat) << row.name;
    EXPECT_EQ(row.target.MinimumLevel(), kLogWarn) << row.name;
    EXPECT_EQ(row.target.AcceptedMask(), row.accepted) << row.name;
    EXPECT_EQ(row.target.MutedMask(), row.muted) << row.name;
    EXPECT_EQ(row.target.IsRegistered(), row.registered) << row.name;
  }
  EXPECT_EQ(logger.MinimumLevel(), kLogWarn);
  EXPECT_EQ(logger.MutedCategories(), kCategoryXtr);
  // The file name alone, as the system gives it ("logger_test.exe" on Windows).
  EXPECT_EQ(std::string(logger.ExecutableName()).rfind("logger_test", 0), 0u) << logger.ExecutableName();
}

TEST_F(LoggerTest, TargetsFilterByLevelAndCategories) {
  Logger::Instance().UnregisterConsoleTargets();
  Logger::Instance().SetMinimumLevel(kLogOkay);
  Logger::Instance().SetMutedCategories(0);
  struct Row {
    int32_t targetLevel;
    uint64_t accepted;
    uint64_t muted;
    int32_t level;
    uint64_t mask;
    bool delivered;
  };
  // A record without categories passes every mask; otherwise the muted mask refuses and a
  // non-zero accepted mask must share a bit.
  const Row rows[] = {
      {1, 0, 0, 0, 0, false},
      {1, 0, 0, 1, 0, true},
      {1, 0, 0, 3, kCategoryNet, true},
      {0, kCategoryDbg, 0, 0, 0, true},
      {0, kCategoryDbg, 0, 0, kCategoryDbg | kCategoryNet, true},
      {0, kCategoryDbg, 0, 0, kCategoryNet, false},
      {0, 0, kCategoryNet, 0, kCategoryNet | kCategoryDbg, false},
      {0, kCategoryDbg, kCategoryNet, 0, kCategoryDbg, true},
      {0, kCategoryDbg, kCategoryDbg, 0, 0, true},
  };
  for (const Row& row : rows) {
    CaptureLogTarget capture;
    Configure(capture, {row.targetLevel, row.accepted, row.muted, "#M"});
    Log(row.level, row.mask, "x");
    EXPECT_EQ(capture.Count(), row.delivered ? 1u : 0u) << "target " << row.targetLevel << "/" << row.accepted << "/"
                                                        << row.muted << " record " << row.level << "/" << row.mask;
  }
}

TEST_F(LoggerTest, LoggerWideSwitches) {
  Logger& logger = Logger::Instance();
  logger.UnregisterConsoleTargets();
  CaptureLogTarget capture;
  Configure(capture, {kLogOkay, 0, 0, "#M"});

  logger.SetDisabled(true);
  Log(kLogAlways, 0, "disabled");
  logger.SetDisabled(false);
  logger.SetMinimumLevel(kLogError);
  Log(kLogWarn, 0, "below the minimum");
  logger.SetMutedCategories(kCategoryNet);
  Log(kLogError, kCategoryNet | kCategoryDbg, "muted");
  Log(kLogError, kCategoryDbg, "passes");
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Records()[0].message, "passes");
}

TEST_F(LoggerTest, ConfigureReplacesSettingsAndRegistersOnce) {
  Logger::Instance().UnregisterConsoleTargets();
  CaptureLogTarget capture;
  Configure(capture, {kLogWarn, kCategoryDbg, 0, "first #M"});
  Configure(capture, {kLogError, 0, kCategoryNet, "#L| #M"});
  EXPECT_TRUE(capture.IsRegistered());
  EXPECT_EQ(capture.MinimumLevel(), kLogError);
  EXPECT_EQ(capture.AcceptedMask(), 0u);
  EXPECT_EQ(capture.MutedMask(), kCategoryNet);
  Log(kLogError, kCategoryGen, "once %s", "only");
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Records()[0].line, " ERROR| once only\n");
}

TEST_F(LoggerTest, RecordsCarryLevelMaskAndCutMessage) {
  Logger& logger = Logger::Instance();
  logger.UnregisterConsoleTargets();
  CaptureLogTarget capture;
  Configure(capture, {kLogOkay, 0, 0, "#M"});
  std::string long5000(5000, 'z');
  Log(kLogError, kCategoryNet, "%s", long5000.c_str());
  Log(kLogWarn, 0, "%s", "");
  Log(kLogWarn, 0, nullptr);
  std::vector<Testing::CapturedRecord> records = capture.Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].level, kLogError);
  EXPECT_EQ(records[0].categoryMask, kCategoryNet);
  EXPECT_EQ(records[0].message, std::string(4095, 'z'));
  EXPECT_EQ(records[1].line, "\n");
  EXPECT_EQ(records[2].message, "");
  EXPECT_EQ(logger.WarningCount(), 2u);
  EXPECT_EQ(logger.ErrorCount(), 1u);
}

// The host glue installs its target this way: only when none of that name is registered, in
// place of the consoles, with the logger opened to level 0.
TEST_F(LoggerTest, ReplacingTheConsoleTargets) {
  Logger& logger = Logger::Instance();
  EXPECT_EQ(logger.FindTarget("PluginLogTarget"), nullptr);
  EXPECT_EQ(logger.FindTarget("StdErrLogTarget"), logger.StdErrTarget().Interface());
  logger.UnregisterConsoleTargets();
  logger.SetMinimumLevel(kLogOkay);
  logger.SetMutedCategories(kCategoryXtr);
  CaptureLogTarget plugin("PluginLogTarget");
  Configure(plugin, {logger.MinimumLevel(), 0, 0, "#D| #L| #G| #M"});
  EXPECT_EQ(logger.FindTarget("PluginLogTarget"), plugin.Interface());
  EXPECT_EQ(logger.FindTarget("StdErrLogTarget"), nullptr);

  testing::internal::CaptureStderr();
  Log(kLogOkay, kCategoryDbg, "bare %d", 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(debuggerLines.empty());
  ASSERT_EQ(plugin.Count(), 1u);
  EXPECT_EQ(plugin.Records()[0].message, "bare 1");
}

// The library's reference keeps the logger while any plug-in object comes and goes; the last
// reference, dropped when the library is unloaded, takes the targets along.
TEST_F(LoggerTest, TargetsLeaveOnDestructionAndOnTheLastRelease) {
  Logger& logger = Logger::Instance();
  LogTargetInterface* gone;
  {
    CaptureLogTarget scoped;
    scoped.Register();
    gone = scoped.Interface();
    EXPECT_TRUE(logger.HasTarget(gone));
  }
  EXPECT_FALSE(logger.HasTarget(gone));

  CaptureLogTarget survivor;
  survivor.Register();
  Logger::AddReference();
  Logger::Release();
  Logger::Release();
  EXPECT_TRUE(survivor.IsRegistered()) << "the library's reference is left";
  Logger::ReleaseLibraryReference();
  EXPECT_EQ(Logger::Current(), nullptr);
  EXPECT_FALSE(survivor.IsRegistered());
  Logger::AddReference();  // for TearDown
  EXPECT_FALSE(survivor.IsRegistered());
  EXPECT_EQ(Logger::Instance().MinimumLevel(), kLogWarn) << "a new logger starts from the defaults";
}

// A table a module fills without any class, as a module across a library boundary would.
struct ForeignTarget {
  LogTargetInterface table;
  int32_t level = kLogOkay;
  std::vector<std::string> messages;
};
ForeignTarget* Foreign(LogTargetInterface* self) { return static_cast<ForeignTarget*>(self->context); }

TEST_F(LoggerTest, FunctionTable) {
  const LoggerApi& api = GetLoggerApi();
  EXPECT_EQ(api.interfaceVersion(), 1);
  api.setMinimumLevel(kLogOkay);
  EXPECT_EQ(api.getMinimumLevel(), kLogOkay);
  api.setMutedCategories(kCategoryNet);
  EXPECT_EQ(api.getMutedCategories(), kCategoryNet);
  EXPECT_STREQ(api.stdErrTarget()->name(api.stdErrTarget()), "StdErrLogTarget");
  EXPECT_STREQ(api.stdOutTarget()->lineFormat(api.stdOutTarget()), "#M");
  EXPECT_EQ(api.debuggerTarget()->interfaceVersion(api.debuggerTarget()), 1);
  EXPECT_EQ(api.categoryMaskFromName("NET"), kCategoryNet);
  EXPECT_STREQ(api.levelText(3), "ALWAYS");
  EXPECT_STREQ(api.executableName(), Logger::Instance().ExecutableName());
  char text[32];
  EXPECT_EQ(api.formatCategories(kCategoryDbg | kCategoryTst, text, sizeof text), 7u);
  EXPECT_STREQ(text, "DBG;TST");
  Platform::LocalTime time{2001, 2, 3, 4, 5, 6, 7};
  api.formatDate(&time, text, sizeof text);
  EXPECT_STREQ(text, "2001-02-03T04:05:06.007");
  api.formatFileNameDate(&time, text, sizeof text);
  EXPECT_STREQ(text, "2001-02-03T04-05-06");
  LogRecord record{time, kLogWarn, 0, "m"};
  api.formatLine("#L|#M", &record, text, sizeof text);
  EXPECT_STREQ(text, "  WARN|m\n");

  api.stdErrTarget()->unregister(api.stdErrTarget());
  api.debuggerTarget()->unregister(api.debuggerTarget());
  EXPECT_FALSE(api.stdErrTarget()->isRegistered(api.stdErrTarget()));

  ForeignTarget foreign;
  foreign.table = {
      [](LogTargetInterface*) { return 1; },
      [](LogTargetInterface* self, int32_t level) { Foreign(self)->level = level; },
      [](LogTargetInterface* self) { return Foreign(self)->level; },
      [](LogTargetInterface*, uint64_t, uint64_t) {},
      [](LogTargetInterface*) -> uint64_t { return 0; },
      [](LogTargetInterface*) -> uint64_t { return kCategoryDbg; },
      [](LogTargetInterface*) { return "Foreign"; },
      [](LogTargetInterface*) { return "#M"; },
      [](LogTargetInterface* self) { GetLoggerApi().addTarget(self); },
      [](LogTargetInterface* self) { GetLoggerApi().removeTarget(self); },
      [](LogTargetInterface*) { return false; },
      [](LogTargetInterface* self, const LogRecord* written) {
        Foreign(self)->messages.push_back(written->message);
        return true;
      },
      &foreign,
  };
  api.addTarget(&foreign.table);
  api.addTarget(&foreign.table);
  EXPECT_EQ(api.findTarget("Foreign"), &foreign.table);
  api.log(kLogOkay, 0, "via %s", "table");
  api.log(kLogOkay, kCategoryDbg, "muted by the target");
  api.log(kLogOkay, kCategoryNet, "muted by the logger");
  api.setDisabled();
  api.log(kLogAlways, 0, "disabled");
  api.clearDisabled();
  EXPECT_EQ(foreign.messages, std::vector<std::string>{"via table"});
  api.removeTarget(&foreign.table);
  EXPECT_EQ(api.findTarget("Foreign"), nullptr);
}

}  // namespace
}  // namespace Vela::Sdk
