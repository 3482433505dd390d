// orb-host's command line and its decode, describe and run commands, in process.
#include "devhost/orb_host_commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "devhost/host_stand_in.h"

namespace Vela::DevHost {
namespace {

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

int ServeStub(const ServeSettings& settings, std::ostream& out, std::ostream&) {
  out << settings.host << " " << settings.port << " " << settings.keepAliveSeconds << " " << settings.scenario;
  if (settings.history.bytes != kDefaultHistoryBounds.bytes || settings.history.count != kDefaultHistoryBounds.count ||
      settings.streamBacklog.bytes != kDefaultStreamBacklog.bytes ||
      settings.streamBacklog.count != kDefaultStreamBacklog.count) {
    out << " history " << settings.history.bytes << "/" << settings.history.count << " backlog "
        << settings.streamBacklog.bytes << "/" << settings.streamBacklog.count;
  }
  return 0;
}

Outcome RunOrbHost(const std::vector<std::string>& arguments, const std::string& input = {},
                   ServeFunction serve = &ServeStub) {
  std::istringstream in(input);
  std::ostringstream out, err;
  Outcome outcome;
  outcome.code = OrbHostMain(arguments, in, out, err, serve);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

std::string TempFile(const std::string& name, const std::string& bytes) {
  std::string path = (std::filesystem::temp_directory_path() / name).string();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(OrbHostDecode, EachFormatPrintsCompactJson) {
  struct Row {
    const char* format;
    std::string input;
    const char* output;
  } rows[] = {
      {"json", "{ \"b\": [1, -2, 2.5], \"a\": null }", "{\"a\":null,\"b\":[1,-2,2.5]}\n"},
      {"json", "  ", "null\n"},
      {"yaml", "a: &x [1, yes]\nb: *x\n", "{\"a\":[1,true],\"b\":[1,true]}\n"},
      {"msgpack", std::string("\x82\xA1\x62\x01\xA1\x61\x93\x01\xC0\xA1\x78", 11), "{\"a\":[1,null,\"x\"],\"b\":1}\n"},
      {"msgpack",
       std::string("\xC4\x03"
                   "abc",
                   5),
       "\"YWJj\"\n"},
  };
  for (const Row& row : rows) {
    Outcome outcome = RunOrbHost({"decode", "--format", row.format, "-"}, row.input);
    EXPECT_EQ(outcome.code, 0) << row.format << " " << outcome.err;
    EXPECT_EQ(outcome.out, row.output) << row.format;
    EXPECT_EQ(outcome.err, "");
  }
}

TEST(OrbHostDecode, ReaderFailuresPrintTheReadersMessageAndExit1) {
  struct Row {
    const char* format;
    std::string input;
    const char* message;
  } rows[] = {
      {"json", "{\"a\":1,}", "Error: Missing a name for object member. at offset 7."},
      {"json", "1 2", "Error: The document root must not be followed by other values. at offset 2."},
      {"json", std::string("[1,\0 2]", 7), "Error: Unexpected NUL character at offset 3."},
      {"yaml", "a: *nothing", "Undefined alias encountered: \"nothing\". At line: 1 col: 4"},
      {"yaml", "---\na: 1\n---\nb: 2\n", "Multi-document YAML is not supported."},
      {"msgpack", std::string("\x81\x01\x02", 3), "Invalid MessagePack data at position 2. Map keys must be strings."},
      {"msgpack", std::string("\xCD\x01", 2),
       "Invalid MessagePack data. 16-bit integer value at position 1 is truncated."},
      {"msgpack", std::string("\x01\x02", 2), "Extra MessagePack data at position 1."},
  };
  for (const Row& row : rows) {
    std::string path = TempFile("orb-decode-input", row.input);
    Outcome outcome = RunOrbHost({"decode", "--format", row.format, path});
    EXPECT_EQ(outcome.code, 1) << row.format;
    EXPECT_EQ(outcome.err, std::string(row.message) + "\n") << row.format;
    EXPECT_EQ(outcome.out, "");
    std::filesystem::remove(path);
  }
}

TEST(OrbHostCommandLine, MistakesExit2WithTheUsage) {
  struct Row {
    std::vector<std::string> arguments;
    const char* message;
  } rows[] = {
      {{}, "orb-host: no command given\n"},
      {{"frobnicate"}, "orb-host: unknown command frobnicate\n"},
      {{"decode", "--format", "xml", "-"}, "orb-host decode: --format must be json, yaml or msgpack\n"},
      {{"decode", "--format", "json"}, "orb-host decode: give one FILE, or - for standard input\n"},
      {{"decode", "-"}, "orb-host decode: --format is required\n"},
      {{"decode", "--format", "json", "/nonexistent/payload"}, "orb-host decode: cannot read /nonexistent/payload\n"},
      {{"decode", "--format"}, "orb-host decode: option --format needs a value\n"},
      {{"decode", "--format=json", "--format=yaml", "-"}, "orb-host decode: option --format given twice\n"},
      {{"serve", "--port", "1"}, "orb-host serve: unknown option --port\n"},
      {{"serve", "-p"}, "orb-host serve: unknown option -p\n"},
      {{"serve", "extra"}, "orb-host serve: unexpected operand extra\n"},
      {{"serve", "--listen", "0.0.0.0:80"},
       "orb-host serve: --listen: 0.0.0.0 is not a loopback address; orb-host serves on loopback only\n"},
      {{"serve", "--listen", "127.0.0.1:70000"}, "orb-host serve: --listen: 70000 is not a port number\n"},
      {{"serve", "--listen", "8090"}, "orb-host serve: --listen takes ADDRESS:PORT, as in 127.0.0.1:8090\n"},
      {{"serve", "--keep-alive", "0"}, "orb-host serve: --keep-alive takes seconds from 0.05 to 3600\n"},
      {{"serve", "--history-bytes", "4X"}, "orb-host serve: --history-bytes takes a size up to 1G, as in 4M\n"},
      {{"serve", "--stream-backlog-bytes", "2G"},
       "orb-host serve: --stream-backlog-bytes takes a size up to 1G, as in 4M\n"},
      {{"run", "--history-count", "-1"}, "orb-host run: --history-count takes a count up to 10000000\n"},
      {{"run", "--stream-backlog-count", "1"}, "orb-host run: unknown option --stream-backlog-count\n"},
      {{"run"}, "orb-host run: --scenario is required\n"},
      {{"describe", "--format", "yaml"}, "orb-host describe: --format must be table, full or epytext\n"},
  };
  for (const Row& row : rows) {
    Outcome outcome = RunOrbHost(row.arguments);
    EXPECT_EQ(outcome.code, 2) << outcome.err;
    EXPECT_EQ(outcome.err.substr(0, outcome.err.find('\n') + 1), row.message);
  }
  EXPECT_EQ(RunOrbHost({"serve"}, "", nullptr).err,
            "orb-host serve: this build of orb-host has no HTTP server (cpp-httplib was not found)\n");
}

TEST(OrbHostCommandLine, HelpAndServeSettings) {
  for (const char* command : {"serve", "run", "decode", "describe"}) {
    Outcome outcome = RunOrbHost({command, "--help"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.out.rfind(std::string("usage: orb-host ") + command, 0), 0u) << outcome.out;
  }
  EXPECT_EQ(RunOrbHost({"--help"}).out.rfind("usage: orb-host <command>", 0), 0u);
  EXPECT_EQ(RunOrbHost({"serve"}).out, "127.0.0.1 8090 15 ");
  EXPECT_EQ(RunOrbHost({"serve", "--listen=[::1]:0", "--keep-alive", "0.5", "--scenario", "s.yaml"}).out,
            "::1 0 0.5 s.yaml");
  EXPECT_EQ(RunOrbHost({"serve", "--listen", "localhost:65535"}).out, "localhost 65535 15 ");
  EXPECT_EQ(RunOrbHost({"serve", "--history-bytes", "512k", "--history-count", "7", "--stream-backlog-bytes=1G",
                        "--stream-backlog-count", "0"})
                .out,
            "127.0.0.1 8090 15  history 524288/7 backlog 1073741824/0");
  EXPECT_EQ(RunOrbHost({"serve", "--history-bytes", "100"}).out,
            "127.0.0.1 8090 15  history 100/10000 backlog 4194304/4096");
}

TEST(OrbHostDescribe, PrintsTheApiInEachFormat) {
  Outcome table = RunOrbHost({"describe", "--plugin", BuiltPluginPath()});
  ASSERT_EQ(table.code, 0) << table.err;
  EXPECT_NE(table.out.find("Functions (3)\n  DeleteArkSimpleDialogMessagesV1MessagesByMessageId(messageId: int64)"),
            std::string::npos)
      << table.out;
  EXPECT_NE(table.out.find("  GetArkSimpleDialogMessagesV1Messages() -> vector<ArkSimpleDialogMessagesMessage>"),
            std::string::npos);
  EXPECT_NE(table.out.find("    TerminatedInError = 13\n"), std::string::npos);
  EXPECT_NE(table.out.find("  OnJsonApiEvent: PluginResourceEvent"), std::string::npos);

  Outcome epytext = RunOrbHost({"describe", "--plugin", BuiltPluginPath(), "--format", "epytext"});
  EXPECT_NE(
      epytext.out.find("== GetArkSimpleDialogMessagesV1Messages\n@rtype: list[L{ArkSimpleDialogMessagesMessage}]\r\n"),
      std::string::npos)
      << epytext.out;
  Outcome full = RunOrbHost({"describe", "--plugin", BuiltPluginPath(), "--format", "full"});
  EXPECT_NE(full.out.find("\"name\": \"PostArkSimpleDialogMessagesV1Messages\""), std::string::npos) << full.out;
}

TEST(OrbHostDescribe, APluginThatDoesNotLoadExits2) {
  struct Row {
    std::string path;
    std::string message;
  } rows[] = {
      {"/nonexistent/plugin.so", "Plug-in file not found: /nonexistent/plugin.so"},
      {ORB_NO_ENTRY_LIBRARY, "Plug-in has no export " ORB_PLUGIN_ENTRY_NAME ": " ORB_NO_ENTRY_LIBRARY},
  };
  std::string scenario = TempFile("orb-empty-scenario.yaml", "[]");
  for (const Row& row : rows) {
    Outcome described = RunOrbHost({"describe", "--plugin", row.path});
    EXPECT_EQ(described.code, 2);
    EXPECT_EQ(described.err, "orb-host describe: " + row.message + "\n");
    Outcome ran = RunOrbHost({"run", "--plugin", row.path, "--scenario", scenario});
    EXPECT_EQ(ran.code, 2);
    EXPECT_EQ(ran.err, "orb-host run: " + row.message + "\n");
  }
  std::filesystem::remove(scenario);
}

TEST(OrbHostRun, ExitsNonZeroAtTheFirstFailedStep) {
  std::string failing = TempFile("orb-failing.yaml",
                                 "- call: GET /ark-simple-dialog-messages/v1/messages\n"
                                 "  expect: {body: []}\n"
                                 "- name: wrong\n"
                                 "  call: GET /ark-simple-dialog-messages/v1/messages\n"
                                 "  expect: {status: 404}\n"
                                 "- call: GET /never/reached\n");
  Outcome outcome = RunOrbHost({"run", "--plugin", BuiltPluginPath(), "--scenario", failing});
  EXPECT_EQ(outcome.code, 1);
  EXPECT_EQ(outcome.out, "ok step 1 (call GET /ark-simple-dialog-messages/v1/messages)\n");
  EXPECT_EQ(outcome.err, "orb-host run: " + failing +
                             ": step 2 \"wrong\" (call GET /ark-simple-dialog-messages/v1/messages): expected status "
                             "404, got 200 []\n");
  std::filesystem::remove(failing);

  std::string malformed = TempFile("orb-malformed.yaml", "- call: GET /a\n  expect: [\n");
  outcome = RunOrbHost({"run", "--plugin", BuiltPluginPath(), "--scenario", malformed});
  EXPECT_EQ(outcome.code, 2);
  EXPECT_EQ(outcome.err, "orb-host run: scenario " + malformed +
                             ": YAML parser error: did not find expected node content. At line: 2 col: 0\n");
  std::filesystem::remove(malformed);
}

}  // namespace
}  // namespace Vela::DevHost
