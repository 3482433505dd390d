// JSON text to BindingValue and back: number classes, repeated keys, RapidJSON's error texts and
// offsets, nesting bounds, hostile input and round trips.
#include "sdk/api/json_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "sdk/api/json_value_builder.h"
#include "sdk/api/json_value_writer.h"
#include "sdk/api/value_visitor.h"
#include "sdk/binding/enum_name_resolver.h"

namespace Vela::Sdk {
namespace {

BindingValue Collection(std::initializer_list<BindingValue> elements) {
  BindingValue value;
  value.MakeCollection();
  for (const BindingValue& element : elements) value.Append() = element;
  return value;
}

struct ReadCase {
  const char* text;
  BindingValue expected;
};

TEST(JsonCodec, ReadsNumbersAsRapidJsonClassifiesThem) {
  // Non-negative integers are Unsigned, negative ones Signed, fractions, exponents and integers
  // beyond 64 bits Float.
  const ReadCase cases[] = {
      {"5", BindingValue(uint64_t{5})},
      {"-5", BindingValue(int64_t{-5})},
      {"5.0", BindingValue(5.0)},
      {"5e0", BindingValue(5.0)},
      {"-0", BindingValue(int64_t{0})},
      {"4294967296", BindingValue(uint64_t{4294967296})},
      {"-2147483649", BindingValue(int64_t{-2147483649})},
      {"18446744073709551615", BindingValue(std::numeric_limits<uint64_t>::max())},
      {"18446744073709551616", BindingValue(18446744073709551616.0)},
      {"-9223372036854775808", BindingValue(std::numeric_limits<int64_t>::min())},
      {"-9223372036854775809", BindingValue(-9223372036854775809.0)},
      // Each number is the double nearest to it: a reader that rounds twice lands one ulp off.
      {"1e23", BindingValue(1e23)},
      {"48e88", BindingValue(48e88)},
      {"-8e-50", BindingValue(-8e-50)},
      {"123456789012345678901234567890", BindingValue(123456789012345678901234567890.0)},
      {"18446744073709551615.5", BindingValue(18446744073709551616.0)},
      {"0.00000000000000000000000", BindingValue(0.0)},
      {"-1e-400", BindingValue(-0.0)},
      {" true ", BindingValue(true)},
      {"\t\r\nfalse", BindingValue(false)},
      {"\"a\\u00e9\\ud83d\\ude00\"", BindingValue("a\xC3\xA9\xF0\x9F\x98\x80")},
      {"[null,1]", Collection({BindingValue(), BindingValue(uint64_t{1})})},
      {"[[],{}]", Collection({Collection({}),
                              [] {
                                BindingValue object;
                                object.MakeStructure();
                                return object;
                              }()})},
  };
  for (const ReadCase& test : cases) {
    BindingResult result = JsonToValue(test.text);
    ASSERT_TRUE(result.Ok()) << test.text << ": " << result.ErrorText();
    EXPECT_EQ(result.Value().Kind(), test.expected.Kind()) << test.text;
    EXPECT_TRUE(result.Value() == test.expected) << test.text;
  }
}

TEST(JsonCodec, BlankTextReadsAsEmptyValue) {
  const char* blanks[] = {"", " ", " \t\r\n "};
  for (const char* text : blanks) {
    BindingResult result = JsonToValue(text);
    EXPECT_TRUE(result.Ok()) << '"' << text << '"';
    EXPECT_TRUE(result.Value().IsEmpty());
  }
  EXPECT_TRUE(JsonToValue(nullptr).Ok());
  EXPECT_TRUE(JsonToValue(std::string()).Value().IsEmpty());
}

TEST(JsonCodec, RepeatedKeysWriteIntoTheSameMember) {
  BindingResult arrays = JsonToValue(R"({"a":[1],"a":[2]})");
  ASSERT_TRUE(arrays.Ok());
  EXPECT_TRUE(arrays.Value()["a"] == Collection({BindingValue(uint64_t{1}), BindingValue(uint64_t{2})}));

  BindingResult scalars = JsonToValue(R"({"a":1,"a":2})");
  ASSERT_TRUE(scalars.Ok());
  EXPECT_EQ(scalars.Value().Size(), 1u);
  EXPECT_EQ(scalars.Value()["a"].GetUnsigned(), 2u);

  BindingResult objects = JsonToValue(R"({"a":{"x":1},"b":0,"a":{"y":2}})");
  ASSERT_TRUE(objects.Ok());
  EXPECT_EQ(objects.Value()["a"].Size(), 2u);
  EXPECT_EQ(objects.Value()["a"]["y"].GetUnsigned(), 2u);

  // A later null leaves the earlier value, a later scalar replaces a container.
  BindingResult mixed = JsonToValue(R"({"a":[1],"a":null,"b":{"c":1},"b":"s"})");
  ASSERT_TRUE(mixed.Ok());
  EXPECT_EQ(mixed.Value()["a"].Size(), 1u);
  EXPECT_EQ(mixed.Value()["b"].GetString(), "s");
}

// Objects are gathered and sorted once at their end, small ones and large ones alike, long
// arrays are gathered in batches, and a key repeated deep inside a document still writes into
// its member.
TEST(JsonCodec, ObjectsOfAnySizeReadInNameOrder) {
  for (int count : {3, 8, 9, 17, 40}) {
    std::string text = "[{";
    std::string sorted = "[{";
    for (int key = count - 1; key >= 0; --key) {
      text += "\"k" + std::to_string(100 + key) + "\":[" + std::to_string(key) + "]" + (key == 0 ? "" : ",");
    }
    for (int key = 0; key < count; ++key) {
      sorted += "\"k" + std::to_string(100 + key) + "\":[" + std::to_string(key) + "]" + (key + 1 == count ? "" : ",");
    }
    text += "},1]";
    sorted += "},1]";
    BindingResult read = JsonToValue(text);
    ASSERT_TRUE(read.Ok()) << read.ErrorText();
    EXPECT_EQ(ValueToJson(read.Value()), sorted);
  }
  // Long arrays move their elements off the scratch stack in batches, nested ones included.
  std::string longArrays = "{\"a\":[";
  for (int index = 0; index < 700; ++index) longArrays += (index == 0 ? "[" : ",[") + std::to_string(index) + ",\"t\"]";
  longArrays += "],\"b\":[[";
  for (int index = 0; index < 600; ++index) longArrays += (index == 0 ? "" : ",") + std::to_string(index);
  longArrays += "]]}";
  BindingResult longRead = JsonToValue(longArrays);
  ASSERT_TRUE(longRead.Ok());
  EXPECT_EQ(ValueToJson(longRead.Value()), longArrays);
  // Elements moved off the stack belong to the tree even when nothing before needed its arena.
  std::string numbers = "[0";
  for (int index = 1; index < 300; ++index) numbers += ",1";
  BindingResult numbersRead = JsonToValue(numbers + "]");
  ASSERT_TRUE(numbersRead.Ok());
  EXPECT_EQ(numbersRead.Value()[299].Arena(), numbersRead.Value().Arena());

  BindingResult nested = JsonToValue(R"([{"x":1},{"y":{"a":[1],"b":2,"a":[2]}}])");
  ASSERT_TRUE(nested.Ok());
  EXPECT_EQ(ValueToJson(nested.Value()), R"([{"x":1},{"y":{"a":[1,2],"b":2}}])");
}

TEST(JsonCodec, StringsKeepEscapedNulAndUncheckedBytes) {
  BindingResult nul = JsonToValue(R"(["a\u0000b"])");
  ASSERT_TRUE(nul.Ok());
  EXPECT_EQ(nul.Value()[0].GetString(), std::string_view("a\0b", 3));

  // The encoding is not checked: invalid UTF-8 passes through as bytes and back out unchanged.
  BindingResult invalid = JsonToValue("{\"\xFF\":\"\xC3\x28\xF0\x80\"}");
  ASSERT_TRUE(invalid.Ok()) << invalid.ErrorText();
  EXPECT_EQ(invalid.Value()["\xFF"].GetString(), "\xC3\x28\xF0\x80");
  EXPECT_EQ(ValueToJson(invalid.Value()), "{\"\xFF\":\"\xC3\x28\xF0\x80\"}");

  // A string object is read up to its first NUL.
  EXPECT_EQ(JsonToValue(std::string("7\0garbage", 9)).Value().GetUnsigned(), 7u);
}

struct ErrorCase {
  const char* text;
  const char* message;
};

TEST(JsonCodec, SyntaxErrorsCarryRapidJsonTextAndOffset) {
  const ErrorCase cases[] = {
      {"1 2", "Error: The document root must not be followed by other values. at offset 2."},
      {"{} \n x", "Error: The document root must not be followed by other values. at offset 5."},
      {"nul", "Error: Invalid value. at offset 3."},
      {"[1,tru]", "Error: Invalid value. at offset 6."},
      {"}", "Error: Invalid value. at offset 0."},
      {"[1,]", "Error: Invalid value. at offset 3."},
      {"NaN", "Error: Invalid value. at offset 0."},
      {"// c\n1", "Error: Invalid value. at offset 0."},
      {"{\"a\":1,}", "Error: Missing a name for object member. at offset 7."},
      {"{1:2}", "Error: Missing a name for object member. at offset 1."},
      {"{\"a\" 1}", "Error: Missing a colon after a name of object member. at offset 5."},
      {"{\"a\":1 \"b\":2}", "Error: Missing a comma or '}' after an object member. at offset 7."},
      {"{\"a\":1", "Error: Missing a comma or '}' after an object member. at offset 6."},
      {"[1 2]", "Error: Missing a comma or ']' after an array element. at offset 3."},
      {"[1,2", "Error: Missing a comma or ']' after an array element. at offset 4."},
      {"\"\\u12G4\"", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
      {"\"\\uD800\"", "Error: The surrogate pair in string is invalid. at offset 1."},
      {"\"\\uD800\\u0041\"", "Error: The surrogate pair in string is invalid. at offset 1."},
      {"\"\\q\"", "Error: Invalid escape character in string. at offset 1."},
      {"\"abc", "Error: Missing a closing quotation mark in string. at offset 4."},
      {"\"a\x01\"", "Error: Invalid escape character in string. at offset 2."},
      {"1e400", "Error: Number too big to be stored in double. at offset 0."},
      // Exponents small enough to pass RapidJSON's own test, values still beyond the range.
      {"[1,2e308]", "Error: Number too big to be stored in double. at offset 3."},
      {"{\"a\":-1.8e308}", "Error: Number too big to be stored in double. at offset 5."},
      {"1.", "Error: Miss fraction part in number. at offset 2."},
      {"1.e5", "Error: Miss fraction part in number. at offset 2."},
      {"1e", "Error: Miss exponent in number. at offset 2."},
      {"-", "Error: Invalid value. at offset 1."},
  };
  for (const ErrorCase& test : cases) {
    BindingResult result = JsonToValue(test.text);
    EXPECT_FALSE(result.Ok()) << test.text;
    EXPECT_EQ(result.ErrorText(), test.message) << test.text;
    // Nothing of the partly built value survives beside the message.
    EXPECT_EQ(result.Value().Size(), 1u) << test.text;
  }
}

TEST(JsonCodec, NestingIsBoundedWithoutExhaustingTheStack) {
  const std::size_t limit = JsonValueBuilder::kMaxDepth;
  std::string deepest = std::string(limit, '[') + std::string(limit, ']');
  BindingResult accepted = JsonToValue(deepest);
  ASSERT_TRUE(accepted.Ok()) << accepted.ErrorText();

  std::string tooDeep = std::string(limit + 1, '[') + std::string(limit + 1, ']');
  EXPECT_EQ(JsonToValue(tooDeep).ErrorText(), "Error: Nesting too deep at offset 512.");

  // A million open brackets: an error, not a crash.
  EXPECT_EQ(JsonToValue(std::string(1000000, '[')).ErrorText(), "Error: Nesting too deep at offset 512.");

  std::string objects;
  for (std::size_t i = 0; i < 200000; ++i) objects += "{\"k\":";
  EXPECT_EQ(JsonToValue(objects).ErrorText(), "Error: Nesting too deep at offset 2560.");
}

// The deliberately varied document used for the prefix and corruption sweeps.
const char kSample[] = R"({"accountId":18446744073709551615,"msgId":"0f8fad5b-d9cb-469f-a165-70867728950e",)"
                       R"("type":"championMastery","params":["a","\u00e9\n",-12,0.5,1e-7,true,null,{"x":[[]]}],)"
                       R"("nested":{"deep":{"deeper":[1,2,{"z":false}]}},"empty":"","neg":-9223372036854775808})";

TEST(JsonCodec, EveryPrefixOfADocumentReadsOrFailsCleanly) {
  std::string document = kSample;
  ASSERT_TRUE(JsonToValue(document).Ok());
  for (std::size_t length = 0; length < document.size(); ++length) {
    BindingResult result = JsonToValue(document.substr(0, length));
    if (!result.Ok()) {
      EXPECT_EQ(result.ErrorText().substr(0, 7), "Error: ") << length;
    }
  }
}

TEST(JsonCodec, CorruptedDocumentsNeverCrash) {
  std::string document = kSample;
  uint32_t seed = 7;
  for (int round = 0; round < 20000; ++round) {
    std::string corrupted = document;
    for (int flips = 0; flips < 2; ++flips) {
      seed = seed * 1664525u + 1013904223u;
      corrupted[(seed >> 8) % corrupted.size()] = static_cast<char>(seed >> 24);
    }
    BindingResult result = JsonToValue(corrupted);
    if (!result.Ok()) {
      EXPECT_EQ(result.ErrorText().substr(0, 7), "Error: ");
    }
  }
}

class TestEnumNames final : public EnumNameResolver {
 public:
  const char* EnumeratorName(uint32_t typeId, int32_t value) const override {
    if (typeId == 77 && value == 1) return "Running";
    return nullptr;
  }
};

struct WriteCase {
  BindingValue value;
  const char* json;
};

TEST(JsonCodec, WritesEveryKindCompactly) {
  BindingValue structure;
  structure.MemberForWriting("b") = uint64_t{1};
  structure.MemberForWriting("a") = "x";
  structure.MemberForWriting("B").MakeCollection();
  structure.MemberForWriting("n");

  const WriteCase cases[] = {
      {BindingValue(), ""},
      {BindingValue(true), "true"},
      {BindingValue(std::numeric_limits<int64_t>::min()), "-9223372036854775808"},
      {BindingValue(std::numeric_limits<uint64_t>::max()), "18446744073709551615"},
      {BindingValue(0.0), "0.0"},
      {BindingValue(-1.5), "-1.5"},
      {BindingValue(0.1), "0.1"},
      {BindingValue(1e300), "1e300"},
      {BindingValue(5e-324), "5e-324"},
      {BindingValue(std::nan("")), "null"},
      {Collection({BindingValue(std::numeric_limits<double>::infinity()), BindingValue(uint64_t{1})}), "[null,1]"},
      {BindingValue("q\"\\\n\x01/"), R"("q\"\\\n\u0001/")"},
      {BindingValue("a\0b", 3), R"("a\u0000b")"},
      {BindingValue(BindingValue::Blob{'a', 'b', 'c'}), "\"YWJj\""},
      {BindingValue(BindingValue::Blob{'a', 'b'}), "\"YWI=\""},
      {BindingValue(BindingValue::Blob{'a'}), "\"YQ==\""},
      {BindingValue(BindingValue::Blob{0xFB, 0xFF, 0x00, 0x3E}), "\"+/8APg==\""},
      {BindingValue(BindingValue::Blob{}), "\"\""},
      {BindingValue(EnumPayload{1, 77}), "1"},
      {BindingValue(EnumPayload{-3, 77}), "-3"},
      {Collection({BindingValue(), Collection({})}), "[null,[]]"},
      {structure, R"({"B":[],"a":"x","b":1,"n":null})"},
  };
  for (const WriteCase& test : cases) {
    EXPECT_EQ(ValueToJson(test.value), test.json);
    if (test.value.IsEmpty()) continue;
    JsonValueWriter visitor;  // the visitor writes alike
    VisitValue(test.value, visitor);
    EXPECT_EQ(visitor.Text(), test.json);
  }
}

TEST(JsonCodec, EnumsAreNamedWhenTheResolverKnowsThem) {
  TestEnumNames names;
  BindingValue value = Collection(
      {BindingValue(EnumPayload{1, 77}), BindingValue(EnumPayload{2, 77}), BindingValue(EnumPayload{1, 78})});
  EXPECT_EQ(ValueToJson(value, &names), R"(["Running",2,1])");
}

TEST(JsonCodec, IndentedOutputUsesTheGivenNewline) {
  BindingValue value;
  value.MemberForWriting("a") = Collection({BindingValue(uint64_t{1}), BindingValue(true)});
  value.MemberForWriting("b").MakeStructure();
  value.MemberForWriting("c") = "line\nbreak";

  const char* expected =
      "{\n    \"a\": [\n        1,\n        true\n    ],\n    \"b\": {},\n    \"c\": \"line\\nbreak\"\n}";
  EXPECT_EQ(ValueToJson(value, nullptr, "\n"), expected);
  JsonValueWriter visitor(nullptr, true);
  VisitValue(value, visitor);
  EXPECT_EQ(visitor.Text(), expected);

  std::string crlf = ValueToJson(value, nullptr, "\r\n");
  std::string expectedCrlf;
  for (const char* c = expected; *c != '\0'; ++c) {
    if (*c == '\n') expectedCrlf += '\r';
    expectedCrlf += *c;
  }
  EXPECT_EQ(crlf, expectedCrlf);

  EXPECT_EQ(ValueToJson(value, nullptr, ""), R"({"a":[1,true],"b":{},"c":"line\nbreak"})");
  EXPECT_EQ(ValueToJson(value, nullptr, "<br>"),
            "{<br>    \"a\": [<br>        1,<br>        true<br>    ],<br>"
            "    \"b\": {},<br>    \"c\": \"line\\nbreak\"<br>}");
}

TEST(JsonCodec, ValuesSurviveTheRoundTrip) {
  // Non-negative integers come back Unsigned, so the value uses Unsigned for them.
  BindingValue value;
  value.MemberForWriting("u") = std::numeric_limits<uint64_t>::max();
  value.MemberForWriting("s") = std::numeric_limits<int64_t>::min();
  BindingValue& floats = value.MemberForWriting("f");
  const double doubles[] = {0.1,          -0.0, 1.0 / 3.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
                            123456789.125};
  for (double number : doubles) floats.Append() = number;
  value.MemberForWriting("t") = "tab\t quote\" \xE2\x82\xAC \x7F";
  value.MemberForWriting("nul") = std::string_view("a\0b", 3);
  BindingValue& nested = value.MemberForWriting("nested").Append().MemberForWriting("x");
  nested.Append();
  nested.Append() = false;
  value.MemberForWriting("").MakeStructure();

  const char* newlines[] = {nullptr, "\n", "\r\n"};
  for (const char* newline : newlines) {
    std::string json = ValueToJson(value, nullptr, newline);
    BindingResult back = JsonToValue(json);
    ASSERT_TRUE(back.Ok()) << back.ErrorText();
    EXPECT_TRUE(back.Value() == value) << json;
    EXPECT_EQ(ValueToJson(back.Value(), nullptr, newline), json);
  }
  EXPECT_TRUE(std::signbit(JsonToValue(ValueToJson(value)).Value()["f"][1].GetFloat(1.0)));
}

TEST(JsonCodec, CanonicalTextsSurviveTheRoundTrip) {
  // Members come out in name order, so text already in that order is reproduced exactly.
  const char* texts[] = {
      R"({"a":1,"b":[-1,0.5,"x",null,true,{}],"c":{"d":[]}})",
      R"([[[[1]]],[],{"":""}])",
      R"("\u0000\u001F\"\\")",
      "1.7976931348623157e308",
      "-9223372036854775808",
  };
  for (const char* text : texts) EXPECT_EQ(ValueToJson(JsonToValue(text).Value()), text);
}

}  // namespace
}  // namespace Vela::Sdk
