// Scenarios: how they read, how values are matched, and how a failed step is named.
#include "devhost/scenario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "devhost/http_host.h"
#include "devhost/orb_host_commands.h"
#include "devhost/payload_codec.h"

namespace Vela::DevHost {
namespace {

using Vela::Sdk::BindingValue;

BindingValue Yaml(std::string_view text) {
  Vela::Sdk::BindingResult result = DecodePayload(PayloadFormat::kYaml, text);
  EXPECT_TRUE(result.Ok()) << result.ErrorText();
  return result.Value();
}

std::string ParseError(std::string_view text) {
  Scenario scenario;
  std::string error;
  EXPECT_FALSE(ParseScenario(Yaml(text), scenario, error)) << text;
  return error;
}

TEST(Scenario, StructuralMistakesNameTheStepAndKey) {
  struct Row {
    const char* text;
    const char* error;
  } rows[] = {
      {"hello", "expected a list of steps, or a mapping with \"steps\""},
      {"{steps: [], extra: 1}", "unknown key \"extra\" (expected steps, resources, description)"},
      {"{resources: {relative/url: 1}, steps: []}", "resource \"relative/url\": a URL starts with \"/\""},
      {"[call: GET /a, 5]", "step 2: a step must be a mapping"},
      {"[{call: GET /a, expct: {}}]", "step 1: unknown key \"expct\""},
      {"[{call: GET /a, delete: /b}]", "step 1: more than one action (\"call\" and \"delete\")"},
      {"[{name: nothing}]", "step 1: no action: one of set, delete, lcds, call, host, wait"},
      {"[{call: /a}]", "step 1: \"call\" needs a method and a URL, as in \"GET /path\""},
      {"[{call: GET a}]", "step 1: \"call\" needs a method and a URL, as in \"GET /path\""},
      {"[{set: /a}]", "step 1: \"set\" needs a \"body\""},
      {"[{delete: ''}]", "step 1: \"delete\" needs a URL"},
      {"[{lcds: 5, body: {}}]", "step 1: \"lcds\" needs a type name"},
      {"[{wait: -1}]", "step 1: \"wait\" needs a number of seconds from 0 to 3600"},
      {"[{host: {lcdsInvokeFails: yes, other: 1}}]", "step 1: \"host\" takes {lcdsInvokeFails: true or false}"},
      {"[{call: GET /a, expect: [1]}]", "step 1: \"expect\" must be a mapping"},
      {"[{call: GET /a, expect: {code: 200}}]", "step 1: unknown expectation \"code\""},
      {"[{call: GET /a, expect: {status: 99}}]", "step 1: \"status\" must be an HTTP status from 100 to 599"},
      {"[{call: GET /a, expect: {events: {a: 1}}}]", "step 1: \"events\" must be a list"},
  };
  for (const Row& row : rows) EXPECT_EQ(ParseError(row.text), row.error) << row.text;
}

TEST(Scenario, ReaderFailuresKeepTheirPosition) {
  std::filesystem::path directory = std::filesystem::temp_directory_path();
  struct Row {
    const char* file;
    const char* text;
    const char* error;
  } rows[] = {
      {"orb-scenario-bad.yaml", "steps:\n  - call: GET /a\n    expect: {status: 200\n",
       "YAML parser error: did not find expected ',' or '}'. At line: 3 col: 0"},
      {"orb-scenario-bad.json", "{\"steps\": [}", "Error: Invalid value. at offset 11."},
  };
  for (const Row& row : rows) {
    std::string path = (directory / row.file).string();
    std::ofstream(path) << row.text;
    Scenario scenario;
    std::string error;
    EXPECT_FALSE(LoadScenario(path, scenario, error));
    EXPECT_EQ(error, "scenario " + path + ": " + row.error);
    std::filesystem::remove(path);
  }
  Scenario scenario;
  std::string error;
  EXPECT_FALSE(LoadScenario("/nonexistent/s.yaml", scenario, error));
  EXPECT_EQ(error, "cannot read scenario /nonexistent/s.yaml");
}

TEST(Scenario, ValuesMatchExactlyOrInPart) {
  struct Row {
    const char* expected;
    const char* actual;
    bool exact;
    bool part;
  } rows[] = {
      // Numbers by value, whatever kind the reader chose.
      {"5", "5.0", true, true},
      {"-1", "18446744073709551615", false, false},
      {"0x10", "16", true, true},
      {"'5'", "5", false, false},
      // Members: all of them, or only those expected.
      {"{a: 1}", "{a: 1, b: 2}", false, true},
      {"{a: 1, b: 2}", "{a: 1}", false, false},
      {"{a: {b: 1}}", "{a: {b: 1, c: 2}}", false, true},
      // Elements: all in order, or the expected ones in order among the rest.
      {"[1, 3]", "[1, 2, 3]", false, true},
      {"[3, 1]", "[1, 2, 3]", false, false},
      {"[1, 1]", "[1, 2]", false, false},
      {"[]", "[1]", false, true},
      {"~", "~", true, true},
      {"~", "[]", false, false},
  };
  for (const Row& row : rows) {
    BindingValue expected = Yaml(row.expected), actual = Yaml(row.actual);
    EXPECT_EQ(ValueMatches(expected, actual, false), row.exact) << row.expected << " vs " << row.actual;
    EXPECT_EQ(ValueMatches(expected, actual, true), row.part) << row.expected << " vs " << row.actual;
  }
}

TEST(Scenario, AFailedStepIsNamedWithWhatCameBack) {
  HostLoop loop;
  HttpHost host(loop);
  ASSERT_TRUE(host.Load(BuiltPluginPath())) << host.Error();
  ASSERT_TRUE(host.Start());
  struct Row {
    const char* steps;
    const char* failure;
  } rows[] = {
      {"[{name: first, call: GET /ark-simple-dialog-messages/v1/messages, expect: {status: 201}}]",
       "step 1 \"first\" (call GET /ark-simple-dialog-messages/v1/messages): expected status 201, got 200 []"},
      {"[{call: GET /ark-simple-dialog-messages/v1/messages, expect: {body: [1]}}]",
       "step 1 (call GET /ark-simple-dialog-messages/v1/messages): expected body [1], got 200 []"},
      {"[{call: POST /ark-simple-dialog-messages/v1/messages, body: {msgType: t, msgBody: []}, expect: {events: []}}]",
       "step 1 (call POST /ark-simple-dialog-messages/v1/messages): expected events [], fired "
       "[{\"data\":[{\"body\":[],\"id\":0,\"type\":\"t\"}],\"event\":\"OnJsonApiEvent_ark-simple-dialog-messages_v1_"
       "messages\","
       "\"eventType\":\"Update\",\"uri\":\"/ark-simple-dialog-messages/v1/messages\"},{\"data\":[{\"body\":[],\"id\":0,"
       "\"type\":\"t\"}],\"event\":\"OnJsonApiEvent\",\"eventType\":\"Update\",\"uri\":\"/ark-simple-dialog-messages/"
       "v1/messages\"}]"},
      {"[{delete: /nothing/here}]",
       "step 1 (delete /nothing/here): the host refused it: 404 {\"httpStatus\":404,\"message\":\"Nothing is stored at "
       "/nothing/here\"}"},
      {"[{host: {lcdsInvokeFails: false}}, {wait: 0}, {call: DELETE /ark-simple-dialog-messages/v1/messages/7, "
       "expect: {logs: [{levelName: ALWAYS}]}}]",
       "step 3 (call DELETE /ark-simple-dialog-messages/v1/messages/7): expected log records "
       "[{\"levelName\":\"ALWAYS\"}], "
       "got [{\"level\":1,\"levelName\":\"WARN\",\"message\":\"Message 7 does not exist or has already been "
       "dismissed\"}]"},
  };
  for (const Row& row : rows) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(Yaml(row.steps), scenario, error)) << error;
    EXPECT_EQ(RunScenario(scenario, host, nullptr), row.failure);
  }
}

TEST(Scenario, ShippedScenariosPass) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ORB_SCENARIO_DIR)) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCommand(BuiltPluginPath(), entry.path().string(), out, err), 0) << entry.path() << err.str();
    EXPECT_NE(out.str().find(" passed\n"), std::string::npos) << out.str();
    ++count;
  }
  EXPECT_GE(count, 4u);
}

}  // namespace
}  // namespace Vela::DevHost
