// Tests of named-placeholder templates.
#include "sdk/diag/field_template.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/diag/text_rows.h"

namespace Vela::Sdk {
namespace {

using Testing::ExpectRows;

struct Expansion {
  const char* templateText;
  std::vector<FieldValue> values;
  const char* formatText;
  std::vector<std::string> fieldNames;
};

TEST(FieldTemplate, ExpandsIntoPositionalFormatTexts) {
  const FieldValue s = FieldValue::String("v");
  const FieldValue one = FieldValue::Signed(1);
  const FieldValue zero = FieldValue::Signed(0);
  const Expansion rows[] = {
      {"Error response for {method} {url}: {error}",
       {s, s, s},
       "Error response for %1 %2: %3",
       {"method", "url", "error"}},
      {"{count:5d} items", {one}, "%1$5d items", {"count"}},
      {"Saved {name!} now", {s}, "Saved now", {"name"}},
      {"Saved   \t{name!}", {s}, "Saved", {"name"}},
      {"{#count}", {one}, "%1", {"count_int"}},
      {"{#count}", {FieldValue::Unsigned(1)}, "%1", {"count_int"}},
      {"{#flag}", {FieldValue::Bool(true)}, "%1", {"flag_bool"}},
      {"{#ratio}", {FieldValue::Float(0.5)}, "%1", {"ratio_float"}},
      {"{#who}", {s}, "%1", {"who_str"}},
      {"{#when_time} {#peer_ip} {#total_long}", {s, s, one}, "%1 %2 %3", {"when_time", "peer_ip", "total_long"}},
      {"{{literal}} }} }", {}, "{literal} } }", {}},
      {"100%% {a}", {s}, "100%% %1", {"a"}},
      {"%s and {name}", {s, s}, "%s and %2", {"name"}},
      {"%-5d|{name}", {one, s}, "%-5d|%2", {"name"}},
      {"{a?none} {b?none}", {zero, one}, "none %2", {"b"}},
      {"{a?none}", {FieldValue::Bool(false)}, "none", {}},
      {"{a?none}", {FieldValue::Float(0.0)}, "none", {}},
      {"{a?none}", {FieldValue::String("")}, "none", {}},
      {"{a?50%}", {zero}, "50%%", {}},
      {"{a}{b}", {s}, "%1", {"a"}},
      {"{}", {s}, "%1", {}},
      {"{na\\:me}", {s}, "%1", {"na:me"}},
      {"{a{b}", {s}, "%1", {"ab"}},
      {"x {a", {s}, "x ", {}},
      {"{a}5 {b}$", {s, s}, "%1$s5 %2$s$", {"a", "b"}},
      {"{a} {b!}7", {s, s}, "%1$s7", {"a", "b"}},
  };
  for (const Expansion& row : rows) {
    std::string formatText;
    FieldList fields;
    ExpandFieldTemplate(row.templateText, row.values.data(), row.values.size(), formatText, fields);
    EXPECT_EQ(formatText, row.formatText) << row.templateText;
    std::vector<std::string> names;
    for (const auto& field : fields) names.push_back(field.first);
    EXPECT_EQ(names, row.fieldNames) << row.templateText;
  }
}

TEST(FieldTemplate, FormatFieldsGivesTextAndTypedFields) {
  FormattedMessage message = FormatFields("Error response for {method} {url}: {error}", "GET", std::string("/a"), "x");
  EXPECT_EQ(message.text, "Error response for GET /a: x");
  FieldList expected = {
      {"method", FieldValue::String("GET")}, {"url", FieldValue::String("/a")}, {"error", FieldValue::String("x")}};
  EXPECT_EQ(message.fields, expected);

  ExpectRows({
      {"spec", FormatFields("{count:5d} items", 3).text, "    3 items"},
      {"hidden", FormatFields("Saved {name!} now", "n").text, "Saved now"},
      {"alternative", FormatFields("{n?no} items", 0u).text, "no items"},
      {"digit after a placeholder", FormatFields("{a}5", 1).text, "15"},
      {"dollar after a placeholder", FormatFields("{a}$", 2).text, "2$"},
      {"mixed with printf", FormatFields("%s={value}", "k", 2.5).text, "k=2.5"},
  });

  FormattedMessage typed = FormatFields("{#a} {#b} {#c} {#d}", true, int64_t{-2}, 7u, 'z');
  FieldList expectedTyped = {{"a_bool", FieldValue::Bool(true)},
                             {"b_int", FieldValue::Signed(-2)},
                             {"c_int", FieldValue::Unsigned(7)},
                             {"d_str", FieldValue::String("z")}};
  EXPECT_EQ(typed.fields, expectedTyped);
  EXPECT_EQ(typed.text, "1 -2 7 z");
}

TEST(FieldTemplate, ValuesAsText) {
  ExpectRows({
      {"bool", FieldValue::Bool(false).ToText(), "false"},
      {"signed", FieldValue::Signed(-9).ToText(), "-9"},
      {"unsigned", FieldValue::Unsigned(18446744073709551615u).ToText(), "18446744073709551615"},
      {"float", FieldValue::Float(0.25).ToText(), "0.25"},
      {"string", FieldValue::String("s").ToText(), "s"},
  });
}

}  // namespace
}  // namespace Vela::Sdk
