// Type registration from C++ types: field offsets, specs, converters, enumerators and argument
// specs derived from member and argument types.
#include "sdk/binding/type_registration.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "tests/binding/conversion_test_types.h"

namespace Vela::Sdk::ConversionTest {
namespace {

class TypeRegistration : public ::testing::Test {
 protected:
  void SetUp() override { RegisterTestTypes(registry_); }

  const FieldDescriptor& FieldOf(const char* type, const char* field) {
    const TypeDescriptor* descriptor = registry_.FindType(type);
    EXPECT_NE(descriptor, nullptr) << type;
    const FieldDescriptor* found = descriptor->FindField(field);
    EXPECT_NE(found, nullptr) << field;
    return *found;
  }

  BindingRegistry registry_;
};

/// A record whose member types need an offset beyond the first and padding between fields.
struct Padded {
  uint8_t small = 0;
  double big = 0;
  std::optional<Phase> maybePhase;
};

TEST_F(TypeRegistration, FieldsTakeSpecAndOffsetFromTheMember) {
  const TypeDescriptor* inner = registry_.FindType("Inner");
  const TypeDescriptor* phase = registry_.FindType("Phase");
  struct Expected {
    const char* field;
    std::size_t offset;
    BindingType type;
    BindingType element;
    const TypeDescriptor* referenced;
    uint8_t optional;
  };
  const Expected rows[] = {
      {"flag", offsetof(Everything, flag), kBindingBool, kBindingNone, nullptr, 0},
      {"u16", offsetof(Everything, u16), kBindingUint16, kBindingNone, nullptr, 0},
      {"i64", offsetof(Everything, i64), kBindingInt64, kBindingNone, nullptr, 0},
      {"f32", offsetof(Everything, f32), kBindingFloat, kBindingNone, nullptr, 0},
      {"object", offsetof(Everything, object), kBindingObject, kBindingNone, nullptr, 0},
      {"blob", offsetof(Everything, blob), kBindingBlob, kBindingNone, nullptr, 0},
      {"phase", offsetof(Everything, phase), kBindingEnum, kBindingNone, phase, 0},
      {"inner", offsetof(Everything, inner), kBindingStruct, kBindingNone, inner, 0},
      {"bits", offsetof(Everything, bits), kBindingVector, kBindingBool, nullptr, 0},
      {"inners", offsetof(Everything, inners), kBindingVector, kBindingStruct, inner, 0},
      {"phaseMap", offsetof(Everything, phaseMap), kBindingMap, kBindingEnum, phase, 0},
      {"labels", offsetof(Everything, labels), kBindingMap, kBindingString, nullptr, 0},
      {"maybeNumber", offsetof(Everything, maybeNumber), kBindingInt32, kBindingNone, nullptr, 1},
      {"maybeInner", offsetof(Everything, maybeInner), kBindingStruct, kBindingNone, inner, 1},
  };
  for (const Expected& row : rows) {
    const FieldDescriptor& field = FieldOf("Everything", row.field);
    EXPECT_EQ(field.offset, row.offset) << row.field;
    EXPECT_EQ(field.type.type, row.type) << row.field;
    EXPECT_EQ(field.type.element, row.element) << row.field;
    EXPECT_EQ(field.type.referenced, row.referenced) << row.field;
    EXPECT_EQ(field.optional, row.optional) << row.field;
    EXPECT_NE(field.converter, nullptr) << row.field;
  }
  EXPECT_EQ(registry_.FindType("Everything")->size, sizeof(Everything));
  EXPECT_EQ(FieldOf("Required", "id").flags, kFieldRequired);
}

TEST_F(TypeRegistration, TheFirstDescriptionOfANameStays) {
  StructRegistration<Inner> again = RegisterStruct<Inner>(registry_, "Inner");
  again.Field("name", &Inner::name).Description("second").Tags({"t"});
  EXPECT_TRUE(again.Existed());
  const TypeDescriptor* inner = registry_.FindType("Inner");
  ASSERT_EQ(inner->fields.size(), 2u);
  EXPECT_EQ(inner->fields[0].name, "id");
  EXPECT_TRUE(inner->description.empty());
  EXPECT_TRUE(inner->tags.empty());
}

TEST_F(TypeRegistration, EnumsKeepTheirSizeAndEnumerators) {
  const TypeDescriptor* tiny = registry_.FindType("Tiny");
  ASSERT_NE(tiny, nullptr);
  EXPECT_TRUE(tiny->isEnum);
  EXPECT_EQ(tiny->size, 1u);
  EXPECT_EQ(tiny->enumerators.at("Minus").value, -1);
  EXPECT_EQ(registry_.FindType("Wide")->size, 8u);
  EXPECT_EQ(registry_.EnumeratorName(StaticType::Id<Phase>(), 2), std::string("Done"));
}

TEST_F(TypeRegistration, TagsComeFromAnyListOfTexts) {
  std::vector<std::string> tags{"Plugins", "Plugin x"};
  RegisterStruct<Padded>(registry_, "Padded").Field("small", &Padded::small).Tags(tags).Description("d");
  const TypeDescriptor* padded = registry_.FindType("Padded");
  EXPECT_EQ(padded->tags, tags);
  EXPECT_EQ(padded->description, "d");
}

TEST_F(TypeRegistration, ReferentsRegisteredLaterAreFoundWhenConverting) {
  struct Holder {
    Padded padded;
    std::vector<Padded> list;
  };
  RegisterStruct<Holder>(registry_, "Holder").Field("padded", &Holder::padded).Field("list", &Holder::list);
  EXPECT_EQ(FieldOf("Holder", "padded").type.referenced, nullptr);
  RegisterStruct<Padded>(registry_, "Padded")
      .Field("small", &Padded::small)
      .Field("big", &Padded::big)
      .Field("maybePhase", &Padded::maybePhase);
  EXPECT_EQ(FieldOf("Padded", "big").offset, offsetof(Padded, big));

  Holder holder{{3, 0.5, Phase::Done}, {Padded{}}};
  BindingResult result = NativeToValue(registry_, holder);
  ASSERT_TRUE(result.Ok()) << result.ErrorText();
  Holder copy;
  ValueToNative(result, registry_, result.Value(), "t", copy);
  ASSERT_TRUE(result.Ok()) << result.ErrorText();
  EXPECT_EQ(copy.padded.big, 0.5);
  EXPECT_EQ(copy.padded.maybePhase, Phase::Done);
  EXPECT_EQ(copy.list.size(), 1u);
}

TEST_F(TypeRegistration, SignaturesTakeTheirSpecsFromCppTypes) {
  EXPECT_EQ(TypeSpecOf<void>(registry_).type, kBindingNone);
  TypeSpec list = TypeSpecOf<std::vector<Inner>>(registry_);
  EXPECT_EQ(list.type, kBindingVector);
  EXPECT_EQ(list.element, kBindingStruct);
  EXPECT_EQ(list.referenced, registry_.FindType("Inner"));
  EXPECT_EQ(TypeSpecOf<long long>(registry_).type, kBindingInt64);
  EXPECT_EQ(TypeSpecOf<unsigned char>(registry_).type, kBindingUint8);
  EXPECT_EQ(TypeSpecOf<const std::string&>(registry_).type, kBindingString);

  ArgumentDescriptor id = ArgumentOf<std::optional<int64_t>>(registry_, "messageId");
  EXPECT_EQ(id.name, "messageId");
  EXPECT_EQ(id.nameHash, Fnv1a("messageId"));
  EXPECT_TRUE(id.optional);
  EXPECT_EQ(id.type.type, kBindingInt64);
  EXPECT_FALSE(ArgumentOf<Inner>(registry_, "body").optional);
}

}  // namespace
}  // namespace Vela::Sdk::ConversionTest
