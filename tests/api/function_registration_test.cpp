// The template and method a function registration keeps.
#include "sdk/api/function_registration.h"

#include <gtest/gtest.h>

namespace Vela::Sdk {
namespace {

TEST(FunctionRegistration, SetUrlDropsOneTrailingSlashUnlessThatIsAll) {
  const struct {
    const char* given;
    const char* kept;
  } rows[] = {
      {"/", "/"}, {"/a/", "/a"}, {"/a//", "/a/"}, {"/a", "/a"}, {"a/", "a"}, {"", ""}, {"//", "/"},
  };
  for (const auto& row : rows) {
    FunctionRegistration registration;
    registration.SetUrl(row.given);
    EXPECT_EQ(registration.UrlTemplate(), row.kept) << row.given;
  }
}

TEST(FunctionRegistration, SetMethodForgetsTheCustomName) {
  FunctionRegistration registration;
  EXPECT_EQ(registration.Method(), kMethodNone);
  registration.SetCustomMethod("PURGE");
  EXPECT_EQ(registration.Method(), kMethodCustom);
  EXPECT_EQ(registration.CustomMethod(), "PURGE");
  registration.SetMethod(kMethodGet);
  EXPECT_EQ(registration.Method(), kMethodGet);
  EXPECT_EQ(registration.CustomMethod(), "");
}

}  // namespace
}  // namespace Vela::Sdk
