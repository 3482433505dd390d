// BindingResult: the failure form and its error text.
#include "sdk/binding/binding_result.h"

#include <gtest/gtest.h>

namespace Vela::Sdk {
namespace {

TEST(BindingResult, StartsOkAndEmpty) {
  BindingResult result;
  EXPECT_TRUE(result.Ok());
  EXPECT_TRUE(result.Value().IsEmpty());
  EXPECT_EQ(result.ErrorText(), "");
}

TEST(BindingResult, FailReplacesTheValueWithTheErrorStructure) {
  BindingResult result(BindingValue("earlier"));
  result.Fail("A value for 'id' is required.");
  EXPECT_FALSE(result.Ok());
  EXPECT_EQ(result.ErrorText(), "A value for 'id' is required.");
  ASSERT_EQ(result.Value().Kind(), ValueKind::Structure);
  EXPECT_EQ(result.Value().Size(), 1u);
  EXPECT_EQ(result.Value().Member("error").GetString(), "A value for 'id' is required.");
  // Failing again with its own text must not read the text it replaces.
  result.Fail(result.ErrorText());
  EXPECT_EQ(result.ErrorText(), "A value for 'id' is required.");
  result.Reset();
  EXPECT_TRUE(result.Ok());
  EXPECT_TRUE(result.Value().IsEmpty());
}

TEST(BindingResult, ErrorTextIsEmptyWhenOkOrWhenTheErrorIsNoString) {
  BindingResult result;
  result.Value().MemberForWriting("error") = "not a failure";
  EXPECT_EQ(result.ErrorText(), "");
  result.Fail("x");
  result.Value().MemberForWriting("error") = 5;
  EXPECT_EQ(result.ErrorText(), "");
}

TEST(BindingResult, CopiesAndMovesCarryTheFlag) {
  BindingResult failed;
  failed.Fail("broken");
  BindingResult copy = failed;
  EXPECT_FALSE(copy.Ok());
  EXPECT_EQ(copy.ErrorText(), "broken");
  BindingResult moved;
  moved = std::move(copy);
  EXPECT_FALSE(moved.Ok());
  EXPECT_EQ(moved.ErrorText(), "broken");
}

}  // namespace
}  // namespace Vela::Sdk
