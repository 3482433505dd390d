// Value conversion: every refusal message word for word, the lenient readings of texts, the
// zero value a refused target receives, and records converted both ways.
#include "sdk/binding/value_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "sdk/binding/number_text.h"
#include "sdk/binding/static_type.h"
#include "tests/binding/conversion_test_types.h"

namespace Vela::Sdk::ConversionTest {
namespace {

struct Row;

class ValueConversion : public ::testing::Test {
 public:
  /// The native value T receives from `input` under target "t", or the failure message.
  template <class T>
  std::string Convert(const BindingValue& input) {
    BindingResult result;
    T out{};
    ValueToNative(result, registry_, input, "t", out);
    if (!result.Ok()) return std::string(result.ErrorText());
    return Show(out);
  }

  void Check(const std::vector<Row>& rows);

 protected:
  void SetUp() override { RegisterTestTypes(registry_); }

  static EnumPayload PhasePayload(int32_t value) { return EnumPayload{value, StaticType::Id<Phase>()}; }

  BindingRegistry registry_;
};

struct Row {
  const char* label;
  std::function<std::string(ValueConversion&)> run;
  std::string expected;
};

void ValueConversion::Check(const std::vector<Row>& rows) {
  for (const Row& row : rows) EXPECT_EQ(row.run(*this), row.expected) << row.label;
}

template <class T>
Row Case(const char* label, BindingValue input, std::string expected) {
  return Row{label, [input](ValueConversion& test) { return test.Convert<T>(input); }, std::move(expected)};
}

}  // namespace

TEST_F(ValueConversion, BoolAcceptsBoolsAndFourExactWords) {
  Check({
      Case<bool>("bool", BindingValue(true), "true"),
      Case<bool>("one", BindingValue("1"), "true"),
      Case<bool>("true", BindingValue("true"), "true"),
      Case<bool>("zero", BindingValue("0"), "false"),
      Case<bool>("false", BindingValue("false"), "false"),
      Case<bool>("upper case", BindingValue("TRUE"),
                 "Value TRUE for 't' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", "
                 "\"0\"."),
      Case<bool>("blank", BindingValue(" 1"),
                 "Value  1 for 't' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", "
                 "\"0\"."),
      Case<bool>("signed", BindingValue(int64_t{1}),
                 "Couldn't assign value to 't' of type bool because the input is of an invalid type signed."),
      Case<bool>("float", BindingValue(1.0),
                 "Couldn't assign value to 't' of type bool because the input is of an invalid type float."),
      Case<bool>("empty", BindingValue(), "A value for 't' is required."),
  });
}

TEST_F(ValueConversion, SignedTextsFollowStrtollWithAutomaticBase) {
  Check({
      Case<int32_t>("hex", BindingValue("0x1F"), "31"),
      Case<int32_t>("octal", BindingValue("017"), "15"),
      Case<int32_t>("blanks and sign", BindingValue(" \t-42"), "-42"),
      Case<int32_t>("plus", BindingValue("+7"), "7"),
      Case<int32_t>("empty text", BindingValue(""), "0"),
      Case<int32_t>("trailing", BindingValue("12abc"), "Value 12abc for 't' of type int32 is in an incorrect format"),
      Case<int32_t>("trailing blank", BindingValue("12 "), "Value 12  for 't' of type int32 is in an incorrect format"),
      Case<int32_t>("bad octal digit", BindingValue("08"), "Value 08 for 't' of type int32 is in an incorrect format"),
      Case<int32_t>("prefix only", BindingValue("0x"), "Value 0x for 't' of type int32 is in an incorrect format"),
      Case<int32_t>("sign only", BindingValue("-"), "Value - for 't' of type int32 is in an incorrect format"),
      Case<int32_t>("blanks only", BindingValue("  "), "Value    for 't' of type int32 is in an incorrect format"),
      Case<int32_t>("zero byte", BindingValue("1\0", 2), "Value 1 for 't' of type int32 is in an incorrect format"),
      Case<int32_t>("above int32", BindingValue("3000000000"),
                    "Value 3000000000 for 't' of type int32 is out of range"),
      Case<int8_t>("below int8", BindingValue("-129"), "Value -129 for 't' of type int8 is out of range"),
      Case<int64_t>("int64 minimum", BindingValue("-9223372036854775808"), "-9223372036854775808"),
      Case<int64_t>("beyond 64 bits", BindingValue("9223372036854775808"),
                    "Value 9223372036854775808 for 't' of type int64 is out of range"),
      Case<int64_t>("far beyond 64 bits", BindingValue("0x1234567890abcdef12345"),
                    "Value 0x1234567890abcdef12345 for 't' of type int64 is out of range"),
  });
}

TEST_F(ValueConversion, SignedNumbersAreRangeCheckedExactly) {
  Check({
      Case<int8_t>("signed", BindingValue(int64_t{-128}), "-128"),
      Case<int8_t>("signed above", BindingValue(int64_t{128}), "Value 128 for 't' of type int8 is out of range"),
      Case<int64_t>("unsigned above int64", BindingValue(uint64_t{1} << 63),
                    "Value 9223372036854775808 for 't' of type int64 is out of range"),
      Case<int8_t>("float truncates", BindingValue(2.9), "2"),
      Case<int8_t>("negative float truncates", BindingValue(-2.9), "-2"),
      Case<int8_t>("float above maximum", BindingValue(127.5), "Value 127.5 for 't' of type int8 is out of range"),
      Case<int64_t>("float 2^63", BindingValue(9223372036854775808.0),
                    "Value 9.22337e+18 for 't' of type int64 is out of range"),
      Case<int32_t>("float NaN", BindingValue(std::nan("")), "Value nan for 't' of type int32 is out of range"),
      Case<int16_t>("enum", BindingValue(EnumPayload{300, 0}), "300"),
      Case<int8_t>("enum above", BindingValue(EnumPayload{300, 0}), "Value 300 for 't' of type int8 is out of range"),
      Case<int32_t>("bool", BindingValue(true),
                    "Couldn't assign value to 't' of type int32 because the input is of an invalid type bool."),
      Case<int32_t>("blob", Bytes({1}),
                    "Couldn't assign value to 't' of type int32 because the input is of an invalid type blob."),
      Case<int64_t>("collection", List({}),
                    "Couldn't assign value to 't' of type int64 because the input is of an invalid type collection."),
      Case<int16_t>("structure", Object({}),
                    "Couldn't assign value to 't' of type int16 because the input is of an invalid type structure."),
      Case<int32_t>("empty", BindingValue(), "A value for 't' is required."),
  });
}

TEST_F(ValueConversion, UnsignedTargetsRefuseEveryNegative) {
  Check({
      Case<uint32_t>("minus one text", BindingValue("-1"), "Value -1 for 't' of type uint32 is out of range"),
      Case<uint64_t>("minus after blanks", BindingValue(" -1"), "Value  -1 for 't' of type uint64 is out of range"),
      Case<uint32_t>("minus text", BindingValue("-x"), "Value -x for 't' of type uint32 is out of range"),
      Case<uint8_t>("unsigned above", BindingValue(uint64_t{300}), "Value 300 for 't' of type uint8 is out of range"),
      Case<uint8_t>("negative signed", BindingValue(int64_t{-1}), "Value -1 for 't' of type uint8 is out of range"),
      Case<uint8_t>("negative float", BindingValue(-0.5), "Value -0.5 for 't' of type uint8 is out of range"),
      Case<uint16_t>("negative enum", BindingValue(EnumPayload{-3, 0}),
                     "Value -3 for 't' of type uint16 is out of range"),
      Case<uint64_t>("largest", BindingValue("18446744073709551615"), "18446744073709551615"),
      Case<uint64_t>("beyond 64 bits", BindingValue("18446744073709551616"),
                     "Value 18446744073709551616 for 't' of type uint64 is out of range"),
      Case<uint64_t>("float 2^64", BindingValue(18446744073709551616.0),
                     "Value 1.84467e+19 for 't' of type uint64 is out of range"),
      Case<uint16_t>("hex", BindingValue("0XfFfF"), "65535"),
      Case<uint32_t>("string", BindingValue("4294967296"), "Value 4294967296 for 't' of type uint32 is out of range"),
      Case<uint32_t>("bool", BindingValue(false),
                     "Couldn't assign value to 't' of type uint32 because the input is of an invalid type bool."),
  });
}

TEST_F(ValueConversion, FloatingTargetsKeepToTheirBounds) {
  Check({
      Case<float>("1e300 into float", BindingValue(1e300), "Value 1e+300 for 't' of type float is out of range"),
      Case<double>("1e300 into double", BindingValue(1e300), "1e+300"),
      Case<double>("infinity", BindingValue(std::numeric_limits<double>::infinity()),
                   "Value inf for 't' of type double is out of range"),
      Case<float>("NaN accepted", BindingValue(std::nan("")), "nan"),
      Case<double>("signed", BindingValue(int64_t{-3}), "-3"),
      Case<float>("unsigned", BindingValue(UINT64_MAX), "1.84467e+19"),
      Case<double>("enum", BindingValue(EnumPayload{2, 0}), "2"),
      Case<double>("hexadecimal text", BindingValue("0x1p4"), "16"),
      Case<double>("leading blanks", BindingValue("  2.5"), "2.5"),
      Case<double>("trailing blank", BindingValue("2.5 "),
                   "Value 2.5  for 't' of type double is in an incorrect format"),
      Case<double>("not a number", BindingValue("abc"), "Value abc for 't' of type double is in an incorrect format"),
      Case<double>("overflow", BindingValue("1e999"), "Value 1e999 for 't' of type double is out of range"),
      Case<double>("underflow", BindingValue("1e-400"), "Value 1e-400 for 't' of type double is out of range"),
      Case<float>("above float", BindingValue("1e39"), "Value 1e39 for 't' of type float is out of range"),
      Case<double>("empty text", BindingValue(""), "0"),
      Case<float>("bool", BindingValue(true),
                  "Couldn't assign value to 't' of type float because the input is of an invalid type bool."),
      Case<double>("empty", BindingValue(), "A value for 't' is required."),
  });
}

TEST_F(ValueConversion, StringsTakeTextsAndEnumeratorNamesOnly) {
  Check({
      Case<std::string>("text with zero byte", BindingValue("a\0b", 3), "a\\0b"),
      Case<std::string>("enumerator", BindingValue(PhasePayload(1)), "Running"),
      Case<std::string>("unknown enumerator", BindingValue(PhasePayload(7)),
                        "7 is not a valid enumeration value for 't'."),
      Case<std::string>("unknown enumeration", BindingValue(EnumPayload{1, 12345}),
                        "1 is not a valid enumeration value for 't'."),
      Case<std::string>("signed", BindingValue(int64_t{5}),
                        "Couldn't assign value to 't' because the input is not a string."),
      Case<std::string>("bool", BindingValue(true), "Couldn't assign value to 't' because the input is not a string."),
      Case<std::string>("empty", BindingValue(), "A value for 't' is required."),
  });
}

TEST_F(ValueConversion, BlobsDecodeBase64UpToTheFirstPad) {
  Check({
      Case<Blob>("three bytes", BindingValue("QUJD"), "0x414243"),
      Case<Blob>("padded", BindingValue("QUI="), "0x4142"),
      Case<Blob>("two characters", BindingValue("QQ"), "0x41"),
      Case<Blob>("one character", BindingValue("Q"), "0x"),
      Case<Blob>("stops at pad", BindingValue("QQ==QUJD"), "0x41"),
      Case<Blob>("all symbols", BindingValue("+/8="), "0xfbff"),
      Case<Blob>("empty text", BindingValue(""), "0x"),
      Case<Blob>("blob", Bytes({0, 255}), "0x00ff"),
      Case<Blob>("hyphen", BindingValue("QU-J"),
                 "Couldn't assign string value to 't' of type blob because the input has invalid base64 characters."),
      Case<Blob>("zero byte", BindingValue("QU\0J", 4),
                 "Couldn't assign string value to 't' of type blob because the input has invalid base64 characters."),
      Case<Blob>("signed", BindingValue(int64_t{1}),
                 "Couldn't assign value to 't' of type blob because the input is not a blob."),
      Case<Blob>("empty", BindingValue(), "A value for 't' is required."),
  });
}

TEST_F(ValueConversion, EnumsAcceptNumbersNamesAndEnumValues) {
  Check({
      Case<Phase>("name", BindingValue("Running"), "1"),
      Case<Phase>("number text", BindingValue("1"), "1"),
      Case<Phase>("hex text", BindingValue("0x2"), "2"),
      Case<Phase>("signed", BindingValue(int64_t{1}), "1"),
      Case<Phase>("unsigned", BindingValue(uint64_t{2}), "2"),
      Case<Phase>("low 32 bits", BindingValue(int64_t{0x100000001}), "1"),
      Case<Phase>("enum of another enumeration", BindingValue(EnumPayload{2, StaticType::Id<Tiny>()}), "2"),
      Case<Phase>("lower case name", BindingValue("running"),
                  "running is not a valid Phase enumeration value for 't'."),
      Case<Phase>("text beyond 64 bits", BindingValue("99999999999999999999"),
                  "99999999999999999999 is not a valid Phase enumeration value for 't'."),
      Case<Phase>("unknown signed", BindingValue(int64_t{9}), "9 is not a valid Phase enumeration value for 't'."),
      Case<Phase>("unknown unsigned", BindingValue((uint64_t{1} << 40) + 9),
                  "1099511627785 is not a valid Phase enumeration value for 't'."),
      Case<Phase>("unknown enum", BindingValue(PhasePayload(-4)), "-4 is not a valid Phase enumeration value for 't'."),
      Case<Phase>("float", BindingValue(1.0),
                  "Couldn't assign value to 't' of enum type because the input is of an invalid type float."),
      Case<Phase>("bool", BindingValue(true),
                  "Couldn't assign value to 't' of enum type because the input is of an invalid type bool."),
      Case<Phase>("empty", BindingValue(), "A value for 't' is required."),
  });
}

TEST_F(ValueConversion, EnumsAreStoredAndReadByTheirSize) {
  struct Stored {
    Tiny tiny;
    Wide wide;
    Short shortEnum;
  };
  Stored stored{Tiny::Plus, Wide::Plus, Short::Zero};
  BindingResult result;
  ValueToNative(result, registry_, BindingValue("Minus"), "t", stored.tiny);
  ValueToNative(result, registry_, BindingValue(int64_t{-2}), "t", stored.wide);
  ValueToNative(result, registry_, BindingValue("Large"), "t", stored.shortEnum);
  ASSERT_TRUE(result.Ok()) << result.ErrorText();
  EXPECT_EQ(static_cast<int8_t>(stored.tiny), -1);
  EXPECT_EQ(static_cast<int64_t>(stored.wide), -2);  // sign-extended
  EXPECT_EQ(static_cast<uint16_t>(stored.shortEnum), 40000);

  // Read back: one and two bytes signed, eight bytes as the low signed 32 bits.
  EXPECT_EQ(NativeToValue(registry_, Tiny::Minus).Value().GetEnum(), (EnumPayload{-1, StaticType::Id<Tiny>()}));
  EXPECT_EQ(NativeToValue(registry_, Short::Large).Value().GetEnum().value, -25536);
  std::string name;
  ValueToNative(result, registry_, NativeToValue(registry_, Short::Large).Value(), "t", name);
  EXPECT_EQ(name, "Large");
  EXPECT_EQ(NativeToValue(registry_, static_cast<Wide>(0x1FFFFFFFEll)).Value().GetEnum().value, -2);
}

TEST_F(ValueConversion, RefusedTargetsReceiveTheirZeroValue) {
  Everything e = FilledEverything();
  auto refuse = [&](auto& field) {
    BindingResult result;
    ValueToNative(result, registry_, List({}), "t", field);
    EXPECT_FALSE(result.Ok());
  };
  refuse(e.flag);
  refuse(e.i32);
  refuse(e.u64);
  refuse(e.f64);
  refuse(e.text);
  refuse(e.blob);
  refuse(e.phase);
  refuse(e.tiny);
  refuse(e.maybeNumber);
  EXPECT_FALSE(e.flag);
  EXPECT_EQ(e.i32, 0);
  EXPECT_EQ(e.u64, 0u);
  EXPECT_EQ(e.f64, 0.0);
  EXPECT_EQ(e.text, "");
  EXPECT_TRUE(e.blob.bytes.empty());
  EXPECT_EQ(e.phase, Phase::None);
  EXPECT_EQ(static_cast<int8_t>(e.tiny), 0);
  EXPECT_FALSE(e.maybeNumber.has_value());
}

TEST_F(ValueConversion, FirstFailureWinsAndLaterStepsDoNothing) {
  BindingResult result;
  int32_t first = 5;
  int32_t second = 5;
  ValueToNative(result, registry_, BindingValue("x"), "first", first);
  ValueToNative(result, registry_, BindingValue(true), "second", second);
  EXPECT_EQ(result.ErrorText(), "Value x for 'first' of type int32 is in an incorrect format");
  EXPECT_EQ(second, 5);
  NativeToValue(result, registry_, Inner{1, "a"});
  EXPECT_EQ(result.ErrorText(), "Value x for 'first' of type int32 is in an incorrect format");
}

TEST_F(ValueConversion, ObjectsAreDeepCopiesOfAnyInput) {
  BindingValue source = Object({{"a", List({BindingValue(int64_t{1}), BindingValue("s")})}});
  BindingValue target("old");
  BindingResult result;
  ValueToNative(result, registry_, source, "t", target);
  EXPECT_TRUE(result.Ok());
  EXPECT_EQ(target, source);
  ValueToNative(result, registry_, BindingValue(), "t", target);
  EXPECT_TRUE(result.Ok());
  EXPECT_TRUE(target.IsEmpty());

  // A member of the target itself may be the input.
  BindingValue nested = Object({{"inner", Object({{"x", BindingValue(int64_t{2})}})}});
  ValueToNative(result, registry_, nested.Member("inner"), "t", nested);
  EXPECT_EQ(nested, Object({{"x", BindingValue(int64_t{2})}}));
}

TEST_F(ValueConversion, StructsRefuseWhatIsNotARegisteredStructure) {
  Check({
      Case<Inner>("string", BindingValue("x"),
                  "Couldn't assign value to 't' of type Inner because the input not a structure."),
      Case<Inner>("empty at the top", BindingValue(),
                  "Couldn't assign value to 't' of type Inner because the input not a structure."),
      Case<Unregistered>("unregistered", Object({}),
                         "Couldn't assign value to 't' because the input is an unregistered structure or not a "
                         "structure at all."),
      Case<Required>("no member", Object({}),
                     "Couldn't assign value to 't' of type Required because the input structure doesn't have "
                     "required field 'id'."),
      Case<Required>("empty member", Object({{"id", BindingValue()}, {"note", BindingValue("n")}}),
                     "Couldn't assign value to 't' of type Required because the input structure doesn't have "
                     "required field 'id'."),
      Case<Inner>("field target is the field name", Object({{"id", BindingValue("x")}}),
                  "Value x for 'id' of type int32 is in an incorrect format"),
      Case<std::vector<Inner>>("element target is the vector's", List({BindingValue("x")}),
                               "Couldn't assign value to 't' of type Inner because the input not a structure."),
  });
  BindingResult result;
  Everything e;
  ValueToNative(result, registry_, Object({{"inner", Object({{"name", BindingValue(int64_t{1})}})}}), "t", e);
  EXPECT_EQ(result.ErrorText(), "Couldn't assign value to 'name' because the input is not a string.");
}

TEST_F(ValueConversion, StructFieldsKeepTheirValueWhenTheMemberIsMissing) {
  Required record{3, "kept"};
  BindingResult result;
  ValueToNative(result, registry_, Object({{"id", BindingValue(int64_t{4})}, {"extra", BindingValue(true)}}), "t",
                record);
  ASSERT_TRUE(result.Ok()) << result.ErrorText();
  EXPECT_EQ(record.id, 4);
  EXPECT_EQ(record.note, "kept");
}

TEST_F(ValueConversion, StructsReachedAsElementsOrConvertersRequireAValue) {
  const TypeDescriptor* everything = registry_.FindType("Everything");
  const FieldDescriptor* maybeInner = everything->FindField("maybeInner");
  Inner inner;
  BindingResult result;
  NativeRule<Inner>::ToNative(result, registry_, nullptr, BindingValue(), "element", inner);
  EXPECT_EQ(result.ErrorText(), "A value for 'element' is required.");

  // An optional field reads Empty as absent.
  Everything e = FilledEverything();
  result.Reset();
  maybeInner->converter->ToNative(result, BindingValue(), "maybeInner", &e.maybeInner);
  EXPECT_TRUE(result.Ok());
  EXPECT_FALSE(e.maybeInner.has_value());
}

TEST_F(ValueConversion, VectorsStopAtTheFirstFailingElement) {
  Check({
      Case<std::vector<int32_t>>("empty elements stay default",
                                 List({BindingValue(int64_t{1}), BindingValue(), BindingValue("3")}), "[1,0,3]"),
      Case<std::vector<int32_t>>("not a collection", BindingValue("1"),
                                 "Couldn't assign value to 't' of type vector because the input not a collection."),
      Case<std::vector<int32_t>>("empty input", BindingValue(),
                                 "Couldn't assign value to 't' of type vector because the input not a collection."),
      Case<std::vector<bool>>("bits", List({BindingValue(true), BindingValue("0"), BindingValue("true")}),
                              "[true,false,true]"),
      Case<std::vector<bool>>("bits from empty input", BindingValue(), "A value for 't' is required."),
      Case<std::vector<bool>>("empty bit", List({BindingValue(true), BindingValue()}), "A value for 't' is required."),
      Case<std::vector<bool>>("bits from a string", BindingValue("1"),
                              "Couldn't assign value to 't' of type vector because the input not a collection."),
      Case<std::vector<Phase>>("enums", List({BindingValue("Done"), BindingValue(int64_t{1})}), "[2,1]"),
      Case<std::vector<Phase>>("bad enum", List({BindingValue("Done"), BindingValue("Gone")}),
                               "Gone is not a valid Phase enumeration value for 't'."),
  });

  std::vector<int32_t> numbers{9, 9};
  BindingResult result;
  ValueToNative(result, registry_, List({BindingValue(int64_t{1}), BindingValue("x"), BindingValue(int64_t{3})}),
                "numbers", numbers);
  EXPECT_EQ(result.ErrorText(), "Value x for 'numbers' of type int32 is in an incorrect format");
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 0, 0}));
}

TEST_F(ValueConversion, MapsTakeStructureMembersInNameOrder) {
  Check({
      Case<BindingMap<int32_t>>("members", Object({{"b", BindingValue(int64_t{2})}, {"a", BindingValue("1")}}),
                                "{a:1,b:2}"),
      Case<BindingMap<int32_t>>("empty members are left out",
                                Object({{"a", BindingValue(int64_t{1})}, {"b", BindingValue()}}), "{a:1}"),
      Case<BindingMap<std::string>>("collection", List({}),
                                    "Couldn't assign value to 't' of type map because the input not a structure."),
      Case<BindingMap<std::string>>("empty input", BindingValue(),
                                    "Couldn't assign value to 't' of type map because the input not a structure."),
      Case<BindingMap<uint8_t>>("element target is the map's", Object({{"a", BindingValue(int64_t{256})}}),
                                "Value 256 for 't' of type uint8 is out of range"),
      Case<BindingMap<Phase>>("enums", Object({{"x", BindingValue("Running")}}), "{x:1}"),
  });

  // The map is emptied first; entries up to the failing one stay.
  BindingMap<int32_t> map{{"old", 1}};
  BindingResult result;
  ValueToNative(result, registry_,
                Object({{"a", BindingValue(int64_t{1})}, {"b", BindingValue(true)}, {"c", BindingValue(int64_t{3})}}),
                "m", map);
  EXPECT_EQ(result.ErrorText(),
            "Couldn't assign value to 'm' of type int32 because the input is of an invalid type bool.");
  EXPECT_EQ(Show(map), "{a:1,b:0}");
}

TEST_F(ValueConversion, OmitEmptyLeavesOutEmptyAndZeroMembers) {
  BindingResult result = NativeToValue(registry_, Sparse{});
  ASSERT_TRUE(result.Ok());
  EXPECT_EQ(result.Value().Kind(), ValueKind::Structure);
  EXPECT_EQ(result.Value().Size(), 0u);

  // NaN is not zero.
  Sparse filled{1, std::nan(""), true, "t", {0}, Phase::Running, 5};
  result = NativeToValue(registry_, filled);
  EXPECT_EQ(result.Value().Size(), 7u);
  EXPECT_TRUE(std::isnan(result.Value()["real"].GetFloat()));

  // An optional holding 0 gives a Signed 0, which is left out like any zero.
  filled.maybe = 0;
  result = NativeToValue(registry_, filled);
  EXPECT_FALSE(result.Value().HasMember("maybe"));

  // Without the flag, zero and empty members are produced.
  result = NativeToValue(registry_, Inner{});
  EXPECT_EQ(result.Value(), Object({{"id", BindingValue(int64_t{0})}, {"name", BindingValue("")}}));
}

TEST_F(ValueConversion, UnregisteredStructsFailToConvertToValues) {
  const char* kMessage = "Couldn't convert native value because it's an unregistered structure.";
  EXPECT_EQ(NativeToValue(registry_, Unregistered{}).ErrorText(), kMessage);
  EXPECT_EQ(NativeToValue(registry_, std::vector<Unregistered>(2)).ErrorText(), kMessage);
  EXPECT_TRUE(NativeToValue(registry_, std::vector<Unregistered>()).Ok());
  BindingResult result;
  ConvertNativeToValue(result, registry_, nullptr, nullptr);
  EXPECT_EQ(result.ErrorText(), kMessage);
}

TEST_F(ValueConversion, NativeToValueProducesTheValueOfEveryKind) {
  Everything e = FilledEverything();
  BindingResult result = NativeToValue(registry_, e);
  ASSERT_TRUE(result.Ok()) << result.ErrorText();
  const BindingValue& v = result.Value();
  EXPECT_EQ(v.Size(), 34u);
  EXPECT_EQ(v["i64"].Kind(), ValueKind::Signed);
  EXPECT_EQ(v["u8"].Kind(), ValueKind::Unsigned);
  EXPECT_EQ(v["f32"], BindingValue(1.5));
  EXPECT_EQ(v["text"].GetString(), std::string_view("with\0zero", 9));
  EXPECT_EQ(v["blob"], Bytes({0, 1, 255}));
  EXPECT_EQ(v["phase"].GetEnum(), PhasePayload(2));
  EXPECT_EQ(v["bits"], List({BindingValue(true), BindingValue(false), BindingValue(true)}));
  EXPECT_EQ(v["inners"][1], Object({{"id", BindingValue(int64_t{2})}, {"name", BindingValue("two")}}));
  EXPECT_EQ(v["counts"], Object({{"a", BindingValue(uint64_t{1})}, {"b", BindingValue(uint64_t{65535})}}));
  EXPECT_EQ(v["maybeNumber"], BindingValue(int64_t{0}));
  e.maybeText.reset();
  EXPECT_TRUE(NativeToValue(registry_, e).Value()["maybeText"].IsEmpty());
}

TEST_F(ValueConversion, RecordOfEveryKindSurvivesTheRoundTrip) {
  const Everything original = FilledEverything();
  BindingResult result = NativeToValue(registry_, original);
  ASSERT_TRUE(result.Ok()) << result.ErrorText();
  Everything copy;
  copy.maybeNumber = 5;
  ValueToNative(result, registry_, result.Value(), "<value>", copy);
  ASSERT_TRUE(result.Ok()) << result.ErrorText();
  EXPECT_EQ(copy, original);
  EXPECT_EQ(NativeToValue(registry_, copy).Value(), result.Value());
}

TEST_F(ValueConversion, UntypedEntryPointsWalkTheDescriptor) {
  const TypeDescriptor* inner = registry_.FindType("Inner");
  Inner record;
  BindingResult result;
  AssignValueToNative(result, registry_, inner, Object({{"id", BindingValue("0x10")}, {"name", BindingValue("n")}}),
                      "<value>", &record);
  EXPECT_EQ(record, (Inner{16, "n"}));
  ConvertNativeToValue(result, registry_, inner, &record);
  EXPECT_EQ(result.Value(), Object({{"id", BindingValue(int64_t{16})}, {"name", BindingValue("n")}}));

  const FieldDescriptor& id = inner->fields[0];
  result.Reset();
  AssignValueToField(result, registry_, id, BindingValue("x"), &record.id);
  EXPECT_EQ(result.ErrorText(), "Value x for 'id' of type int32 is in an incorrect format");
  EXPECT_EQ(record.id, 0);
  result.Reset();
  record.id = 12;
  ConvertNativeFieldToValue(result, registry_, id, &record.id);
  EXPECT_EQ(result.Value(), BindingValue(int64_t{12}));
}

TEST_F(ValueConversion, DeeplyNestedInputIsRefusedWithoutExhaustingTheStack) {
  BindingValue root;
  BindingValue* level = &root;
  for (int i = 0; i < 1000; ++i) level = &level->MemberForWriting("children").ElementForWriting(0);
  level->MakeStructure();
  Node node;
  BindingResult result;
  ValueToNative(result, registry_, root, "t", node);
  EXPECT_EQ(result.ErrorText(), "Couldn't assign value to 'children' because the input is nested too deeply.");

  // A shallow tree converts, and the depth is counted afresh.
  result.Reset();
  ValueToNative(result, registry_, Object({{"children", List({Object({})})}}), "t", node);
  EXPECT_TRUE(result.Ok()) << result.ErrorText();
  EXPECT_EQ(node.children.size(), 1u);
}

TEST(NumberText, ParsesLikeTheCLibraryOverCountedTexts) {
  int64_t s = 1;
  uint64_t u = 1;
  double d = 1;
  EXPECT_EQ(ParseSignedText("", s), NumberTextStatus::kOk);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(ParseSignedText("-0x8000000000000000", s), NumberTextStatus::kOk);
  EXPECT_EQ(s, INT64_MIN);
  EXPECT_EQ(ParseSignedText("-0x8000000000000001", s), NumberTextStatus::kOutOfRange);
  EXPECT_EQ(ParseSignedText("99999999999999999999x", s), NumberTextStatus::kIncorrectFormat);
  EXPECT_EQ(ParseUnsignedText("01777777777777777777777", u), NumberTextStatus::kOk);
  EXPECT_EQ(u, UINT64_MAX);
  EXPECT_EQ(ParseUnsignedText("-0", u), NumberTextStatus::kOutOfRange);
  EXPECT_EQ(ParseFloatText(std::string_view("1.5\0", 4), d), NumberTextStatus::kIncorrectFormat);
  EXPECT_EQ(ParseFloatText("nan", d), NumberTextStatus::kOk);
  EXPECT_TRUE(std::isnan(d));

  BindingResult result;
  int64_t out = 0;
  EXPECT_FALSE(SignedFromText(result, "300", "yaml", "int64_t", -10, 10, out));
  EXPECT_EQ(result.ErrorText(), "Value 300 for 'yaml' of type int64_t is out of range");
}

}  // namespace Vela::Sdk::ConversionTest
