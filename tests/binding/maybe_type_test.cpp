// Failure and MaybeType: the error values that handlers and outgoing calls return.
#include "sdk/binding/maybe_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Vela::Sdk {
namespace {

TEST(Failure, FromTemplateKeepsTheNamedValues) {
  Failure failure = Failure::FromTemplate(404, "Error response for {method} {url}: {error}", "GET", "/a", "x");
  EXPECT_EQ(failure.Code(), 404);
  EXPECT_EQ(failure.Message(), "Error response for GET /a: x");
  ASSERT_EQ(failure.Fields().size(), 3u);
  EXPECT_EQ(failure.Fields()[0].first, "method");
  EXPECT_EQ(failure.Fields()[2].second.stringValue, "x");
}

TEST(MaybeType, HoldsEitherTheValueOrTheFailure) {
  MaybeType<Failure, std::vector<int>> good(std::vector<int>{1, 2});
  ASSERT_TRUE(good.IsOk());
  EXPECT_EQ(good.Value().size(), 2u);

  MaybeType<Failure, std::vector<int>> bad(Failure(400, "no"));
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.Error().Code(), 400);
  EXPECT_EQ(bad.Error().Message(), "no");
}

TEST(MaybeType, VoidCarriesOnlyTheFailure) {
  MaybeType<Failure, void> ok;
  EXPECT_TRUE(ok.IsOk());
  MaybeType<Failure, void> failed = Failure(0, "Stream read error");
  ASSERT_FALSE(failed.IsOk());
  EXPECT_EQ(failed.Error().Message(), "Stream read error");
}

}  // namespace
}  // namespace Vela::Sdk
