// Tests of log line rendering and the date texts.
#include "sdk/diag/log_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "sdk/diag/logger.h"

namespace Vela::Sdk {
namespace {

LogRecord MakeRecord(const char* message, int32_t level = kLogWarn, uint64_t mask = 0) {
  return LogRecord{{2024, 3, 5, 14, 7, 9, 42}, level, mask, message};
}

std::string Render(const char* lineFormat, const LogRecord& record) {
  char line[kLogBufferSize];
  std::size_t length = RenderLogLine(lineFormat, record, line, sizeof line);
  EXPECT_EQ(length, std::string(line).size());
  return line;
}

TEST(LogLine, EveryCode) {
  Logger::Instance();
  char thread[32];
  std::snprintf(thread, sizeof thread, "%p", reinterpret_cast<void*>(Platform::CurrentThreadId()));
  const LogRecord record = MakeRecord("the message", kLogError, kCategoryDbg | kCategoryNet);
  // The file name alone, as the system gives it ("log_line_test.exe" on Windows).
  const std::string program = Platform::ExecutableFileName();
  ASSERT_EQ(program.rfind("log_line_test", 0), 0u) << program;
  struct Row {
    const char* lineFormat;
    std::string expected;
  };
  const Row rows[] = {
      {"#D", "2024-03-05T14:07:09.042\n"},
      {"#E", program + "\n"},
      {"#G", "DBG;NET\n"},
      {"#L", " ERROR\n"},
      {"#M", "the message\n"},
      {"#T", std::string(thread) + "\n"},
      {"##", "#\n"},
      {"#X|#m", "X|m\n"},
      {"ends in #", "ends in #\n"},
      {"no message", "no message\n"},
      {"", "\n"},
      {"#D| #L| #G| #M", "2024-03-05T14:07:09.042|  ERROR| DBG;NET| the message\n"},
      {"#M\n", "the message\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(Render(row.lineFormat, record), row.expected) << row.lineFormat;
  EXPECT_TRUE(std::regex_match(Render("#H", record), std::regex("[0-9]{6}\\.[0-9]{3}\n")));
}

TEST(LogLine, LevelAndCategoryTexts) {
  const struct {
    int32_t level;
    const char* text;
  } levels[] = {{0, "  OKAY"}, {1, "  WARN"}, {2, " ERROR"}, {3, "ALWAYS"}, {4, "   ???"}, {-1, "   ???"}};
  for (const auto& row : levels) EXPECT_STREQ(LevelText(row.level), row.text) << row.level;

  EXPECT_EQ(Render("#G", MakeRecord("", kLogWarn, 0)), "\n");
  EXPECT_EQ(Render("#G", MakeRecord("", kLogWarn, 0xff)), "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST\n");
  EXPECT_EQ(Render("#G", MakeRecord("", kLogWarn, kCategoryLoc | (uint64_t{1} << 31))), "LOC;???\n");
}

TEST(LogLine, LongLinesAreCutAndStillEndInALineFeed) {
  std::string message(5000, 'm');
  std::string line = Render("#M", MakeRecord(message.c_str()));
  ASSERT_EQ(line.size(), 4095u);
  EXPECT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), 4094u);

  std::string ending(4094, 'm');
  ending += '\n';
  line = Render("#M", MakeRecord(ending.c_str()));
  EXPECT_EQ(line.size(), 4095u);
  EXPECT_EQ(line.find('\n'), 4094u);

  char tiny[3];
  EXPECT_EQ(RenderLogLine("#M", MakeRecord("abc"), tiny, sizeof tiny), 2u);
  EXPECT_STREQ(tiny, "a\n");
  EXPECT_EQ(RenderLogLine("#M", MakeRecord("abc"), tiny, 2), 1u);
  EXPECT_STREQ(tiny, "\n");
  EXPECT_EQ(RenderLogLine("#M", MakeRecord("abc"), tiny, 1), 0u);
  EXPECT_STREQ(tiny, "");
}

TEST(LogLine, Dates) {
  const Platform::LocalTime time{987, 1, 2, 3, 4, 5, 6};
  char text[32];
  EXPECT_EQ(FormatLogDate(time, text, sizeof text), 23u);
  EXPECT_STREQ(text, "0987-01-02T03:04:05.006");
  EXPECT_EQ(FormatFileNameDate(time, text, sizeof text), 19u);
  EXPECT_STREQ(text, "0987-01-02T03-04-05");
  EXPECT_EQ(FormatFileNameDate(time, text, 5), 4u);
  EXPECT_STREQ(text, "0987");
}

}  // namespace
}  // namespace Vela::Sdk
