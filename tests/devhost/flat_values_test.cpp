// Host-side FlatValues: deep copies own everything they hold.
#include "devhost/flat_values.h"

#include <gtest/gtest.h>

#include "sdk/host/abi/allocation.h"

namespace Vela::DevHost {
namespace {

using Vela::Sdk::FlatMember;

TEST(FlatValues, CopyOwnsWhatTheOriginalBorrowed) {
  // A structure whose name and text are borrowed from the caller.
  char name[] = "title";
  char text[] = "hello world";
  FlatMember member{};
  member.name = name;
  member.value.kind = Vela::Sdk::kFlatStringBorrowed;
  member.value.payload.ref.data = text;
  member.value.payload.ref.count = 5;  // "hello": a borrowed text need not end at its length
  FlatValue structure{};
  structure.kind = Vela::Sdk::kFlatStructure;
  structure.payload.ref.data = &member;
  structure.payload.ref.count = 1;

  OwnedFlatValue copy(CopyFlatValue(structure));
  name[0] = 'X';
  text[0] = 'X';
  const auto* copied = static_cast<const FlatMember*>(copy.Get().payload.ref.data);
  EXPECT_NE(copied, &member);
  EXPECT_EQ(+copied->ownsName, 1);
  EXPECT_EQ(+copied->value.kind, Vela::Sdk::kFlatStringOwned);
  EXPECT_EQ(FlatValueText(copy.Get()), "{\"title\":\"hello\"}");
}

TEST(FlatValues, TextRendersEveryKind) {
  struct Row {
    FlatValue value;
    const char* text;
  } rows[] = {
      {FlatValue{}, "null"},
      {FlatBool(false), "false"},
      {FlatSigned(-3), "-3"},
      {FlatUnsigned(18446744073709551615ull), "18446744073709551615"},
      {FlatFloat(0.5), "0.5"},
      {FlatText("a\"b\n"), "\"a\\\"b\\u000a\""},
      {FlatCollection({FlatSigned(1), FlatCollection({})}), "[1,[]]"},
      {FlatStructure({{"b", FlatBool(true)}, {"a", FlatValue{}}}), "{\"b\":true,\"a\":null}"},
  };
  for (Row& row : rows) {
    OwnedFlatValue owned(row.value);
    EXPECT_EQ(FlatValueText(owned.Get()), row.text);
  }
}

TEST(FlatValues, MovedFromValueReleasesNothing) {
  Vela::Sdk::MemoryStatisticsRecord before = Vela::Sdk::ReadMemoryStatistics();
  {
    OwnedFlatValue first(FlatText("moved"));
    OwnedFlatValue second(std::move(first));
    EXPECT_EQ(+first.Get().kind, 0);  // NOLINT(bugprone-use-after-move): the moved-from state is the test
    OwnedFlatValue third;
    third = std::move(second);
    EXPECT_EQ(FlatValueText(third.Get()), "\"moved\"");
  }
  Vela::Sdk::MemoryStatisticsRecord after = Vela::Sdk::ReadMemoryStatistics();
  EXPECT_EQ(after.allocationCount - before.allocationCount, 1u);
  EXPECT_EQ(after.freeCount - before.freeCount, 1u);
}

}  // namespace
}  // namespace Vela::DevHost
