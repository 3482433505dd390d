// Host-side FlatValues: deep copies own everything they hold.
#include "devhost/flat_values.h"

#include <gtest/gtest.h>

#include <vector>

#include "devhost/payload_codec.h"
#include "sdk/binding/flat_value_conversion.h"
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

FlatValue Borrowed(int32_t kind, void* data, uint32_t count) {
  FlatValue value{};
  value.kind = kind;
  value.payload.ref.data = data;
  value.payload.ref.count = count;
  return value;
}

// The host writes the plug-in's values to JSON without the SDK's generic value in between; the
// text must be the one the SDK's reader and writer give, refusals included.
TEST(FlatValues, JsonIsTheTextTheSdkGives) {
  char nul[] = {'a', '\0', 'b'};
  uint8_t bytes[] = {1, 2, 3, 250};
  FlatValue broken = Borrowed(Vela::Sdk::kFlatCollection, nullptr, 2);  // no elements behind it
  FlatValue inList[] = {broken};
  char name[] = "b";
  FlatMember replaced[] = {{name, Borrowed(Vela::Sdk::kFlatCollection, inList, 1), 0}, {name, FlatSigned(1), 0}};
  FlatValue deep = FlatCollection({});
  for (std::size_t depth = 0; depth < Vela::Sdk::kMaxFlatDepth; ++depth) deep = FlatCollection({deep});

  std::vector<OwnedFlatValue> owned;
  owned.emplace_back(FlatStructure({{"type", FlatText("x")},
                                    {"id", FlatSigned(INT64_MIN)},
                                    {"body", FlatCollection({FlatText("é\t\"\\/\x01\x1f\x7f\b\f\n\r\xff")})},
                                    {"ke\"y\n", FlatCollection({FlatFloat(0.1), FlatFloat(-0.0), FlatFloat(5e-324),
                                                                FlatFloat(1e300), FlatFloat(123456789.0)})}}));
  owned.emplace_back(
      FlatStructure({{"b", FlatSigned(1)}, {"a", FlatValue{}}, {"b", FlatStructure({{"z", FlatFloat(0.25)}})}}));
  owned.emplace_back(FlatCollection({Borrowed(Vela::Sdk::kFlatStringBorrowed, nul, 3),
                                     Borrowed(Vela::Sdk::kFlatBlobBorrowed, bytes, 4), FlatFloat(1e300 * 1e300),
                                     FlatUnsigned(18446744073709551615ull), FlatBool(true), FlatStructure({})}));
  owned.emplace_back(deep);
  std::vector<FlatValue> rows = {Borrowed(Vela::Sdk::kFlatStructure, replaced, 2),
                                 Borrowed(Vela::Sdk::kFlatCollection, inList, 1)};
  for (const OwnedFlatValue& value : owned) rows.push_back(value.Get());
  for (const FlatValue& row : rows) EXPECT_EQ(FlatToJson(row), ToJson(FlatToBinding(row))) << FlatValueText(row);
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
