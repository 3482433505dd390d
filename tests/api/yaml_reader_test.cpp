// YamlToValue: scalar typing, tags, anchors and aliases, repeated keys, every failure text, and
// hostile input (deep nesting, alias bombs, broken UTF-8, truncation).
#include "sdk/api/yaml_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace Vela::Sdk {
namespace {

// A compact rendering that shows each kind: ~ empty, u:5 unsigned, i:-5 signed, f:5.5 float,
// 'text' string, [..] collection, {k: v} structure.
std::string Dump(const BindingValue& value) {
  switch (value.Kind()) {
    case ValueKind::Empty: return "~";
    case ValueKind::Bool: return value.GetBool() ? "true" : "false";
    case ValueKind::Signed: return "i:" + std::to_string(value.GetSigned());
    case ValueKind::Unsigned: return "u:" + std::to_string(value.GetUnsigned());
    case ValueKind::Float: {
      char text[64];
      std::snprintf(text, sizeof text, "f:%g", value.GetFloat());
      return text;
    }
    case ValueKind::String: return "'" + std::string(value.GetString()) + "'";
    case ValueKind::Collection: {
      std::string text = "[";
      for (const BindingValue& element : value.Elements()) {
        text += (text.size() > 1 ? ", " : "") + Dump(element);
      }
      return text + "]";
    }
    case ValueKind::Structure: {
      std::string text = "{";
      for (BindingValue::MemberEntry member : value.Members()) {
        text += (text.size() > 1 ? ", " : "") + std::string(member.name) + ": " + Dump(member.value);
      }
      return text + "}";
    }
    default: return "?";
  }
}

// The value's rendering, or "error: " and the message.
std::string Read(std::string_view text) {
  BindingResult result = YamlToValue(text);
  return result.Ok() ? Dump(result.Value()) : "error: " + std::string(result.ErrorText());
}

struct Case {
  const char* yaml;
  const char* expected;
};

void ExpectAll(const std::vector<Case>& cases) {
  for (const Case& row : cases) EXPECT_EQ(Read(row.yaml), row.expected) << "YAML: " << row.yaml;
}

TEST(YamlReader, PlainScalarsAreTypedByNullNumberBoolThenString) {
  ExpectAll({
      {"", "~"},
      {"~", "~"},
      {"null", "~"},
      {"NULL", "~"},
      {"'null'", "'null'"},
      {"\"5\"", "'5'"},
      {"5", "u:5"},
      {"-5", "i:-5"},
      {"+7", "u:7"},
      {"5.5", "f:5.5"},
      {"1e3", "u:1000"},
      {"1.0", "u:1"},
      {"0x1A", "u:26"},
      {"010", "u:10"},
      {"-0", "u:0"},
      {"nan", "f:nan"},
      {"yes", "true"},
      {"Off", "false"},
      {"n", "false"},
      {"hello", "'hello'"},
      {"0x", "'0x'"},
      {"1_000", "'1_000'"},
      // +infinity is not a number here; the text stays.
      {"inf", "'inf'"},
      {"1e999", "'1e999'"},
  });
}

TEST(YamlReader, IntegerTextsAreExactAndOutOfRangeWholeNumbersStayFloat) {
  ExpectAll({
      // Through a double these would lose their low bits.
      {"9007199254740993", "u:9007199254740993"},
      {"18446744073709551615", "u:18446744073709551615"},
      {"-9223372036854775808", "i:-9223372036854775808"},
      {"0xFFFFFFFFFFFFFFFF", "u:18446744073709551615"},
      {"18446744073709551616", "f:1.84467e+19"},
      {"-9223372036854775809", "f:-9.22337e+18"},
      {"1e19", "u:10000000000000000000"},
      {"1e20", "f:1e+20"},
      {"-inf", "f:-inf"},
  });
}

TEST(YamlReader, DecimalTextsReadExactlyAsStrtodReadsThem) {
  // Short decimals take a quicker path than strtod; it must round the same way every time.
  uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return state >> 33;
  };
  for (int i = 0; i < 20000; ++i) {
    std::string text =
        (next() % 4 == 0 ? "-" : "") + std::to_string(next() % 100000000) + "." + std::to_string(next() % 10000000);
    if (next() % 2 == 0) text += "e" + std::to_string(static_cast<int>(next() % 40) - 20);
    double expected = std::strtod(text.c_str(), nullptr);
    BindingResult result = YamlToValue(text);
    ASSERT_TRUE(result.Ok());
    if (result.Value().Kind() == ValueKind::Float) {
      EXPECT_EQ(result.Value().GetFloat(), expected) << text;
    } else {
      EXPECT_EQ(std::trunc(expected), expected) << text;
    }
  }
}

TEST(YamlReader, TagsChooseTheType) {
  ExpectAll({
      {"!!int 12", "u:12"},
      {"!!int -12", "i:-12"},
      {"!!int 0x10", "u:16"},
      {"!!int", "u:0"},
      {"!!float 1", "f:1"},
      {"!!float -2.5", "f:-2.5"},
      {"!!str 5", "'5'"},
      {"!!str", "''"},
      {"!!bool Yes", "true"},
      {"!!bool off", "false"},
      {"!!bool maybe", "~"},
      {"a: !!str ~", "{a: '~'}"},
  });
}

TEST(YamlReader, TagFailuresUseTheConversionTexts) {
  ExpectAll({
      {"!!binary AAAA", "error: Unsupported YAML tag 'tag:yaml.org,2002:binary'."},
      {"!local x", "error: Unsupported YAML tag '!local'."},
      {"!!int 12abc", "error: Value 12abc for 'yaml' of type uint64_t is in an incorrect format"},
      {"!!int -1x", "error: Value -1x for 'yaml' of type int64_t is in an incorrect format"},
      {"!!int 18446744073709551616", "error: Value 18446744073709551616 for 'yaml' of type uint64_t is out of range"},
      {"!!int -9223372036854775809", "error: Value -9223372036854775809 for 'yaml' of type int64_t is out of range"},
      // Past the blanks a minus sign cannot be unsigned; strtoull alone would wrap it.
      {"!!int ' -1'", "error: Value  -1 for 'yaml' of type uint64_t is out of range"},
      {"!!float abc", "error: Value abc for 'yaml' of type double is in an incorrect format"},
      {"!!float 1e999", "error: Value 1e999 for 'yaml' of type double is out of range"},
      {"!!float inf", "error: Value inf for 'yaml' of type double is out of range"},
  });
}

TEST(YamlReader, MappingsAndSequencesNest) {
  ExpectAll({
      {"a: 1\nb: [x, 2.5, ~]\nc: {d: true}", "{a: u:1, b: ['x', f:2.5, ~], c: {d: true}}"},
      {"- a: 1\n  b: 2\n- - 3\n  - 4", "[{a: u:1, b: u:2}, [u:3, u:4]]"},
      {"a:\nb: []\nc: {}", "{a: ~, b: [], c: {}}"},
      // Members come out in byte order, not in the order written.
      {"b: 1\nB: 2\na: 3", "{B: u:2, a: u:3, b: u:1}"},
      // An empty key is a key like any other and does not swap keys and values after it.
      {"'': 1\nz: 2", "{: u:1, z: u:2}"},
  });
}

// Mappings past the inline member slots and sequences past the builder's batch come out whole
// and in order.
TEST(YamlReader, LargeMappingsAndSequencesReadWhole) {
  std::string yaml = "s:\n";
  std::string expected = "{m: {";
  for (int key = 0; key < 40; ++key) expected += (key == 0 ? "k" : ", k") + std::to_string(100 + key) + ": u:1";
  expected += "}, s: [";
  for (int item = 0; item < 300; ++item) {
    yaml += "  - " + std::to_string(item) + "\n";
    expected += (item == 0 ? "u:" : ", u:") + std::to_string(item);
  }
  expected += "]}";
  yaml += "m:\n";
  for (int key = 39; key >= 0; --key) yaml += "  k" + std::to_string(100 + key) + ": 1\n";
  EXPECT_EQ(Read(yaml), expected);
}

TEST(YamlReader, RepeatedKeysReplaceScalarsAppendSequencesAndRefuseMappings) {
  ExpectAll({
      {"a: 1\na: 2", "{a: u:2}"},
      {"a: 1\na: ~", "{a: ~}"},
      {"a: [1]\na: [2]", "{a: [u:1, u:2]}"},
      {"a: {b: 1}\na: {c: 2}", "error: Unexpected start of mapping. At line: 2 col: 4"},
      {"a: [1]\na: 5", "{a: u:5}"},
      // A scalar replaces a mapping too, rather than being read as one of its keys.
      {"a: {b: 1}\na: 5\nc: 3", "{a: u:5, c: u:3}"},
  });
}

TEST(YamlReader, AliasesAreCopiesOfTheirAnchors) {
  ExpectAll({
      {"a: &x [1, 2]\nb: *x", "{a: [u:1, u:2], b: [u:1, u:2]}"},
      {"- &s hello\n- *s\n- &m {k: *s}\n- *m", "['hello', 'hello', {k: 'hello'}, {k: 'hello'}]"},
      // An anchored key names its text.
      {"&k key: 1\nother: *k", "{key: u:1, other: 'key'}"},
      // An alias of a string can stand as a key.
      {"a: &k name\n*k : 2", "{a: 'name', name: u:2}"},
      {"a: &k [1]\n*k : 2", "error: Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1"},
  });
}

TEST(YamlReader, AliasCopyIsIndependentOfItsAnchor) {
  BindingResult result = YamlToValue("a: &x [1, 2]\nb: *x");
  ASSERT_TRUE(result.Ok());
  result.Value().MemberForWriting("a").Append() = 3u;
  result.Value().MemberForWriting("a").ElementForWriting(0) = "changed";
  EXPECT_EQ(Dump(result.Value()), "{a: ['changed', u:2, u:3], b: [u:1, u:2]}");
}

TEST(YamlReader, FailuresCarryTheirTextAndPosition) {
  ExpectAll({
      {"a: 1\n---\nb: 2", "error: Multi-document YAML is not supported."},
      {"--- []\n--- []", "error: Multi-document YAML is not supported."},
      {"!!int 1: a", "error: Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1"},
      {"? [1]\n: 2", "error: Unexpected start of sequence. At line: 1 col: 3"},
      {"? {a: 1}\n: 2", "error: Unexpected start of mapping. At line: 1 col: 3"},
      {"a: &x 1\nb: &x 2", "error: Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
      {"&x a: 1\nb: &x 2", "error: Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
      {"a: 1\nb: *y", "error: Undefined alias encountered: \"y\". At line: 2 col: 4"},
      {"a: &x {b: *x}", "error: Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 11"},
      {"&r [1, *r]", "error: Cannot deserialize cyclic aliases. Alias \"r\". At line: 1 col: 8"},
      // The parser's own position counts from 0.
      {"a: [1, 2", "error: YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0"},
      {"a: b: c", "error: YAML parser error: mapping values are not allowed in this context. At line: 0 col: 4"},
      {"\xff", "error: YAML parser error: invalid leading UTF-8 octet. At line: 0 col: 0"},
  });
}

TEST(YamlReader, EmptyFirstDocumentLeavesRoomForTheNext) {
  // The null scalar closes the root; the next document must not read from an empty stack.
  ExpectAll({{"~\n--- 5", "u:5"}, {"---\n--- [1]", "[u:1]"}});
}

TEST(YamlReader, AnchorInsideAReplacedNodeIsUndefined) {
  ExpectAll({{"a: [&x 1]\na: 5\nb: *x", "error: Undefined alias encountered: \"x\". At line: 3 col: 4"}});
}

TEST(YamlReader, CountedTextReadsOnlyItsLength) {
  const char text[] = "a: 1\nb: 2";
  BindingResult result = YamlToValue(text, 4);
  ASSERT_TRUE(result.Ok());
  EXPECT_EQ(Dump(result.Value()), "{a: u:1}");
  EXPECT_TRUE(YamlToValue(nullptr, 0).Ok());
}

// ---- Hostile input ----

TEST(YamlReader, NestingDeeperThanTheBoundFails) {
  std::string deepest(kMaxYamlDepth, '[');
  EXPECT_TRUE(YamlToValue(deepest + std::string(kMaxYamlDepth, ']')).Ok());
  EXPECT_EQ(Read(std::string(1'000'000, '[')), "error: YAML nesting is too deep. At line: 1 col: 513");
  std::string block;
  for (std::size_t level = 0; level <= kMaxYamlDepth; ++level) block += std::string(level, ' ') + "k:\n";
  EXPECT_EQ(Read(block), "error: YAML nesting is too deep. At line: 513 col: 513");
}

TEST(YamlReader, AliasCopiesCannotNestPastTheBound) {
  // Each level holds two copies of the one below, so the copies grow deeper than any text.
  std::string text = "a0: &a0 [" + std::string(kMaxYamlDepth - 2, '[') + std::string(kMaxYamlDepth - 2, ']') + "]\n";
  text += "b: [[*a0]]\n";
  EXPECT_EQ(Read(text), "error: YAML nesting is too deep. At line: 2 col: 6");
}

TEST(YamlReader, AliasExpansionIsBounded) {
  // "Billion laughs": ten copies of the level below at every level.
  std::string text = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
  std::string previous = "a";
  for (char level = 'b'; level <= 'i'; ++level) {
    text += std::string(1, level) + ": &" + level + " [";
    for (int copy = 0; copy < 10; ++copy) text += (copy > 0 ? ", *" : "*") + previous;
    text += "]\n";
    previous = std::string(1, level);
  }
  EXPECT_EQ(Read(text), "error: YAML aliases expand to too many nodes. At line: 6 col: 36");
}

const char kRichDocument[] =
    "%YAML 1.1\n"
    "---\n"
    "name: \"quoted \\u00e9 text\"\n"
    "list: &l\n"
    "  - 1\n"
    "  - -2.5\n"
    "  - {inner: 'single', flag: yes}\n"
    "block: |\n"
    "  line one\n"
    "  line two\n"
    "? complex\n"
    ": !!int 0x1F\n"
    "copy: *l\n"
    "&k anchored: [a, b, ~]\n"
    "again: *k\n"
    "...\n";

TEST(YamlReader, EveryPrefixOfADocumentEndsCleanly) {
  std::string document = kRichDocument;
  ASSERT_TRUE(YamlToValue(document).Ok()) << YamlToValue(document).ErrorText();
  for (std::size_t length = 0; length <= document.size(); ++length) {
    BindingResult result = YamlToValue(document.data(), length);
    EXPECT_TRUE(result.Ok() || !result.ErrorText().empty()) << length;
  }
}

TEST(YamlReader, BrokenUtf8AtEveryPositionEndsCleanly) {
  std::string document = kRichDocument;
  for (char bad : {'\xFF', '\xC3', '\x80', '\xED', '\0'}) {
    for (std::size_t position = 0; position < document.size(); ++position) {
      std::string broken = document;
      broken[position] = bad;
      BindingResult result = YamlToValue(broken);
      EXPECT_TRUE(result.Ok() || !result.ErrorText().empty()) << position;
    }
  }
}

}  // namespace
}  // namespace Vela::Sdk
