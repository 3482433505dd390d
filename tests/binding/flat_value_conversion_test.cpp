// Flat conversion: round trips, what the host receives, and hostile host input.
#include "sdk/binding/flat_value_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sdk/host/abi/allocation.h"

namespace Vela::Sdk {
namespace {

using namespace std::string_view_literals;

class Colours : public EnumNameResolver {
 public:
  const char* EnumeratorName(uint32_t typeId, int32_t value) const override {
    return typeId == 7 && value == 1 ? "Red" : nullptr;
  }
};

uint64_t LiveAllocations() {
  MemoryStatisticsRecord counters = ReadMemoryStatistics();
  return counters.allocationCount - counters.freeCount;
}

FlatValue Reference(int32_t kind, const void* data, uint32_t count) {
  FlatValue flat{};
  flat.kind = kind;
  flat.payload.ref.data = const_cast<void*>(data);
  flat.payload.ref.count = count;
  return flat;
}

std::string ReadError(const FlatValue& flat) {
  BindingResult result;
  FlatToValue(flat, "body", result);
  EXPECT_FALSE(result.Ok());
  return std::string(result.ErrorText());
}

BindingValue SampleTree() {
  BindingValue tree;
  tree.MemberForWriting("b") = true;
  tree.MemberForWriting("s") = int64_t{-3};
  tree.MemberForWriting("u") = uint64_t{1} << 40;
  tree.MemberForWriting("f") = 1.5;
  tree.MemberForWriting("text") = "hello";
  tree.MemberForWriting("blob") = BindingValue::Blob{0, 1, 255};
  tree.MemberForWriting("none");
  BindingValue& list = tree.MemberForWriting("list");
  list.Append() = "x";
  list.Append().MemberForWriting("deep") = 2u;
  list.Append().MakeCollection();
  tree.MemberForWriting("empty").MakeStructure();
  return tree;
}

TEST(FlatValueConversion, RoundTripKeepsTheTree) {
  BindingValue tree = SampleTree();
  uint64_t before = LiveAllocations();
  FlatValue flat{};
  ASSERT_TRUE(ValueToFlat(tree, &flat, nullptr));
  {
    BindingResult back;
    FlatToValue(flat, "<result>", back);
    ASSERT_TRUE(back.Ok()) << back.ErrorText();
    EXPECT_EQ(back.Value(), tree);
  }
  ReleaseFlatValue(&flat);
  EXPECT_EQ(+flat.kind, 0);
  // Everything the host was handed came from the counting allocator and went back to it.
  EXPECT_EQ(LiveAllocations(), before);
}

// Packed record fields are compared through unary plus, as values: a reference to one would be
// misaligned.
TEST(FlatValueConversion, WhatTheHostReceives) {
  BindingValue tree;
  tree.MemberForWriting("z") = "cut\0here"sv;
  tree.MemberForWriting("a") = BindingValue::Blob{9, 8};
  tree.MemberForWriting("known") = EnumPayload{1, 7};
  tree.MemberForWriting("unknown") = EnumPayload{2, 7};
  FlatValue flat{};
  Colours colours;
  ASSERT_TRUE(ValueToFlat(tree, &flat, &colours));
  ASSERT_EQ(+flat.kind, kFlatStructure);
  ASSERT_EQ(+flat.payload.ref.count, 4u);
  auto* members = static_cast<FlatMember*>(flat.payload.ref.data);
  const char* names[] = {"a", "known", "unknown", "z"};
  for (int index = 0; index < 4; ++index) {
    EXPECT_STREQ(members[index].name, names[index]);
    EXPECT_EQ(+members[index].ownsName, 1);
  }
  EXPECT_EQ(+members[0].value.kind, kFlatBlobOwned);
  EXPECT_EQ(+members[0].value.payload.ref.count, 2u);
  EXPECT_EQ(+members[1].value.kind, kFlatStringOwned);
  EXPECT_STREQ(static_cast<const char*>(members[1].value.payload.ref.data), "Red");
  EXPECT_EQ(+members[2].value.kind, kFlatSigned);
  EXPECT_EQ(+members[2].value.payload.i64, 2);
  EXPECT_EQ(+members[3].value.kind, kFlatStringOwned);
  EXPECT_EQ(+members[3].value.payload.ref.count, 3u);
  EXPECT_STREQ(static_cast<const char*>(members[3].value.payload.ref.data), "cut");
  ReleaseFlatValue(&flat);

  ASSERT_TRUE(ValueToFlat(BindingValue(EnumPayload{1, 7}), &flat, nullptr));
  EXPECT_EQ(+flat.kind, kFlatSigned);
  EXPECT_EQ(+flat.payload.i64, 1);
}

TEST(FlatValueConversion, BorrowedTextsAreReadUpToTheirZeroByteAndNeverPastTheCount) {
  const char withZero[] = {'a', 'b', '\0', 'c'};
  auto unterminated = std::make_unique<char[]>(3);
  std::memcpy(unterminated.get(), "xyz", 3);
  const std::pair<FlatValue, const char*> rows[] = {
      {Reference(kFlatStringBorrowed, withZero, 4), "ab"},
      {Reference(kFlatStringBorrowed, unterminated.get(), 3), "xyz"},
      {Reference(kFlatStringOwned, nullptr, 0), ""},
  };
  for (const auto& [flat, text] : rows) {
    BindingResult result;
    FlatToValue(flat, "t", result);
    ASSERT_TRUE(result.Ok()) << result.ErrorText();
    EXPECT_EQ(result.Value().GetString(), text);
  }
}

// Every malformed host value is refused with a message, and nothing is read through it.
TEST(FlatValueConversion, HostileInputIsRefused) {
  FlatValue element = Reference(99, nullptr, 0);
  FlatMember unnamed{nullptr, Reference(kFlatSigned, nullptr, 0), 0};
  const std::pair<FlatValue, std::string> rows[] = {
      {Reference(11, nullptr, 0),
       "Couldn't assign value to 'body' of type object because the input is of an incompatible type ''."},
      {Reference(-1, nullptr, 0),
       "Couldn't assign value to 'body' of type object because the input is of an incompatible type ''."},
      {Reference(kFlatCollection, &element, 1),
       "Couldn't assign value to 'body' of type object because the input is of an incompatible type ''."},
      {Reference(kFlatStringBorrowed, nullptr, 4),
       "Couldn't assign value to 'body' because the input of type 'string' is malformed."},
      {Reference(kFlatBlobOwned, nullptr, 1),
       "Couldn't assign value to 'body' because the input of type 'blob' is malformed."},
      {Reference(kFlatCollection, nullptr, 2),
       "Couldn't assign value to 'body' because the input of type 'collection' is malformed."},
      {Reference(kFlatStructure, nullptr, 1),
       "Couldn't assign value to 'body' because the input of type 'structure' is malformed."},
      {Reference(kFlatStructure, &unnamed, 1),
       "Couldn't assign value to 'body' because the input of type 'structure' is malformed."},
      {Reference(kFlatCollection, &element, 0x10000000),
       "Couldn't assign value to 'body' because the input of type 'collection' is malformed."},
      {Reference(kFlatStringBorrowed, "x", 0x10000000),
       "Couldn't assign value to 'body' because the input of type 'string' is malformed."},
  };
  for (const auto& [flat, message] : rows) EXPECT_EQ(ReadError(flat), message) << +flat.kind;
}

// Nesting is bounded so that host input cannot exhaust the stack.
TEST(FlatValueConversion, NestingIsBoundedInBothDirections) {
  std::vector<FlatValue> chain(kMaxFlatDepth + 1);
  auto link = [&chain](std::size_t levels) {
    for (std::size_t index = 0; index < levels; ++index) {
      chain[index] = index + 1 < levels ? Reference(kFlatCollection, &chain[index + 1], 1)
                                        : Reference(kFlatCollection, nullptr, 0);
    }
    return chain[0];
  };
  BindingResult deepest;
  FlatToValue(link(kMaxFlatDepth), "body", deepest);
  EXPECT_TRUE(deepest.Ok()) << deepest.ErrorText();
  EXPECT_EQ(ReadError(link(kMaxFlatDepth + 1)),
            "Couldn't assign value to 'body' because the input is nested deeper than 512 levels.");

  FlatValue flat{};
  EXPECT_TRUE(ValueToFlat(deepest.Value(), &flat, nullptr));
  ReleaseFlatValue(&flat);
  BindingValue tooDeep;
  tooDeep.Append() = deepest.Value();
  EXPECT_FALSE(ValueToFlat(tooDeep, &flat, nullptr));
  EXPECT_EQ(+flat.kind, 0);
  EXPECT_EQ(static_cast<void*>(flat.payload.ref.data), nullptr);
}

TEST(FlatValueConversion, AFailureReachesTheFlatResultAndTheFirstFailureWins) {
  FlatResult error{};
  BindingValue target("old");
  EXPECT_FALSE(FlatToValue(Reference(12, nullptr, 0), "arg", target, &error));
  EXPECT_TRUE(target.IsEmpty());
  EXPECT_EQ(+error.failed, 1);
  EXPECT_STREQ(error.error,
               "Couldn't assign value to 'arg' of type object because the input is of an incompatible type ''.");
  ReleaseFlatResult(&error);

  BindingResult result;
  result.Fail("first");
  FlatToValue(Reference(kFlatSigned, nullptr, 0), "x", result);
  EXPECT_EQ(result.ErrorText(), "first");
}

TEST(FlatValueConversion, DuplicateMemberNamesKeepTheLast) {
  char name[] = "k";
  FlatMember members[2] = {{name, Reference(kFlatSigned, nullptr, 0), 0}, {name, Reference(kFlatBool, nullptr, 0), 0}};
  members[0].value.payload.i64 = 4;
  members[1].value.payload.boolean = 1;
  BindingResult result;
  FlatToValue(Reference(kFlatStructure, members, 2), "t", result);
  ASSERT_TRUE(result.Ok());
  EXPECT_EQ(result.Value().Size(), 1u);
  EXPECT_TRUE(result.Value().Member("k").GetBool());
}

}  // namespace
}  // namespace Vela::Sdk
