// Names of binding types and of TypeSpecs, as help and the host print them.
#include "sdk/binding/type_descriptor.h"

#include <gtest/gtest.h>

namespace {

using namespace Vela::Sdk;

TEST(BindingType, CodeNames) {
  struct Row {
    int32_t code;
    const char* name;
    const char* epytext;
  };
  // Only the blob and the containers differ between the two tables; unknown codes print "".
  const Row rows[] = {
      {1, "bool", "bool"},
      {2, "int8", "int8"},
      {9, "uint64", "uint64"},
      {10, "float", "float"},
      {11, "double", "double"},
      {13, "object", "object"},
      {14, "blob", "bytearray"},
      {15, "vector", "list[%1]"},
      {16, "enum", "L{%1}"},
      {17, "struct", "L{%1}"},
      {18, "callback", "callback"},
      {19, "map", "dict[%1]"},
      {0, "", ""},
      {20, "", ""},
      {-1, "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_STREQ(BindingTypeName(row.code), row.name) << row.code;
    EXPECT_STREQ(BindingTypeEpytextName(row.code), row.epytext) << row.code;
  }
  EXPECT_EQ(HostBindingTypeCode(19), 19);
  EXPECT_EQ(HostBindingTypeCode(20), 0);
  EXPECT_EQ(HostBindingTypeCode(-3), 0);
}

class TypeSpecNames : public ::testing::Test {
 protected:
  TypeSpecNames() {
    message.name = "Message";
    color.name = "Color";
    color.isEnum = true;
  }
  TypeDescriptor message;
  TypeDescriptor color;
};

TEST_F(TypeSpecNames, FullTypeIdentifier) {
  struct Row {
    TypeSpec spec;
    const char* type;
    const char* elementType;
  };
  // Containers name their element second; enums and structs name their registered type.
  const Row rows[] = {
      {{kBindingVector, kBindingStruct, &message}, "vector", "Message"},
      {{kBindingVector, kBindingInt32, nullptr}, "vector", "int32"},
      {{kBindingMap, kBindingEnum, &color}, "map", "Color"},
      {{kBindingMap, kBindingString, nullptr}, "map", "string"},
      {{kBindingInt32, kBindingNone, nullptr}, "int32", ""},
      {{kBindingStruct, kBindingNone, &message}, "Message", ""},
      {{kBindingEnum, kBindingNone, &color}, "Color", ""},
      {{kBindingStruct, kBindingNone, nullptr}, "struct", ""},
      {{kBindingEnum, kBindingNone, nullptr}, "enum", ""},
      {{static_cast<BindingType>(25), kBindingNone, nullptr}, "", ""},
  };
  for (const Row& row : rows) {
    FullTypeIdentifier identifier = MakeFullTypeIdentifier(row.spec);
    EXPECT_EQ(identifier.type, row.type) << row.type << "/" << row.elementType;
    EXPECT_EQ(identifier.elementType, row.elementType) << row.type << "/" << row.elementType;
  }
}

TEST_F(TypeSpecNames, EpytextName) {
  struct Row {
    TypeSpec spec;
    const char* name;
  };
  // Containers recurse one level; a container inside a container has no element to name.
  const Row rows[] = {
      {{kBindingMap, kBindingString, nullptr}, "dict[string]"},
      {{kBindingVector, kBindingBlob, nullptr}, "list[bytearray]"},
      {{kBindingStruct, kBindingNone, &message}, "L{Message}"},
      {{kBindingVector, kBindingStruct, &message}, "list[L{Message}]"},
      {{kBindingMap, kBindingEnum, &color}, "dict[L{Color}]"},
      {{kBindingMap, kBindingVector, nullptr}, "dict[list[]]"},
      {{kBindingBlob, kBindingNone, nullptr}, "bytearray"},
      {{kBindingNone, kBindingNone, nullptr}, ""},
  };
  for (const Row& row : rows) EXPECT_EQ(EpytextTypeName(row.spec), row.name);
}

TEST_F(TypeSpecNames, ScalarCodeIgnoresAnAttachedType) {
  EXPECT_EQ(MakeFullTypeIdentifier({kBindingInt32, kBindingNone, &message}).type, "int32");
  EXPECT_EQ(EpytextTypeName({kBindingString, kBindingNone, &message}), "string");
}

}  // namespace
