// Tests of assertion reports and the fatal end.
#include "sdk/diag/assertion.h"

#include <gtest/gtest.h>

#include "sdk/diag/logger.h"
#include "tests/diag/capture_log_target.h"
#include "tests/printed_text.h"

namespace Vela::Sdk {
namespace {

TEST(Assertion, ReportParts) {
  struct Row {
    const char* expression;
    const char* file;
    int32_t line;
    const char* function;
    const char* description;
    const char* expected;
  };
  const Row rows[] = {
      {nullptr, nullptr, 0, nullptr, nullptr, "Assertion failed!\n\n"},
      {"", "", 0, "", "", "Assertion failed!\n\n"},
      {"ALE-EECF0606", "", 0, "", "", "Assertion failed!\n\nExpression: ALE-EECF0606"},
      {"", "", -7, "", "", "Assertion failed!\n\nLine: -7\n\n"},
      {"", "", 0, "", "why", "Assertion failed!\n\n\n\nDescription: why"},
      {"x > 0", "a.cpp", 12, "Run", "why",
       "Assertion failed!\n\nFile: a.cpp\nLine: 12\n\nFunction: Run\n\nExpression: x > 0\n\nDescription: why"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(BuildAssertionReport(row.expression, row.file, row.line, row.function, row.description), row.expected);
  }
}

TEST(Assertion, ReportIsLoggedAsAnErrorInDbg) {
  Logger::AddReference();
  Logger::Instance().UnregisterConsoleTargets();
  Testing::CaptureLogTarget capture;
  Configure(capture, {kLogOkay, 0, 0, "#L| #G| #M"});
  ReportAssertion("ALE-6D828C10", "while awaiting", "", 0, "");
  std::vector<Testing::CapturedRecord> records = capture.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, kLogError);
  EXPECT_EQ(records[0].categoryMask, kCategoryDbg);
  EXPECT_EQ(records[0].line,
            " ERROR| DBG| Assertion failed!\n\nExpression: ALE-6D828C10\n\nDescription: while awaiting\n");
  capture.Unregister();
  Logger::Release();
  Logger::ReleaseLibraryReference();
}

TEST(AssertionDeathTest, FatalErrorPrintsThroughStandardErrorThenEnds) {
  // "<program>(<thread id as %p>):  ERROR| <report>", the id as the C library prints a pointer.
  EXPECT_DEATH(FatalError("ALE-EECF0606"),
               Testing::Printed(
                   testing::AllOf(testing::StartsWith(Platform::ExecutableFileName() + "("),
                                  testing::EndsWith("):  ERROR| Assertion failed!\n\nExpression: ALE-EECF0606\n"))));
  EXPECT_DEATH(FatalError("ALE-EECF0606", "Incompatible host"),
               Testing::Printed(testing::EndsWith("Expression: ALE-EECF0606\n\nDescription: Incompatible host\n")));
}

TEST(AssertionDeathTest, FatalErrorEndsEvenWhenTheLoggerIsDisabled) {
  EXPECT_DEATH(
      {
        Logger::Instance().SetDisabled(true);
        FatalError("ALE-EECF0606");
      },
      "^$");
}

}  // namespace
}  // namespace Vela::Sdk
