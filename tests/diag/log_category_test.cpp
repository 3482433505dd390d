// Tests of the category table. The table is process-wide, so one test owns the registrations.
#include "sdk/diag/log_category.h"

#include <gtest/gtest.h>

#include <string>

namespace Vela::Sdk {
namespace {

std::string NameOf(int index) {
  char name[4];
  CategoryName(index, name);
  return name;
}

TEST(LogCategory, BuiltInNamesAndRegistration) {
  const char* builtIn[] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST", "LOC"};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(NameOf(i), builtIn[i]);
    EXPECT_EQ(CategoryMaskFromName(builtIn[i]), uint64_t{1} << i) << builtIn[i];
  }
  EXPECT_EQ(CategoryMaskFromName("DBGX"), kCategoryDbg) << "only three letters count";
  EXPECT_EQ(NameOf(9), "???");
  EXPECT_EQ(NameOf(32), "???");

  EXPECT_EQ(CategoryMaskFromName("HST"), uint64_t{1} << 9);
  EXPECT_EQ(CategoryMaskFromName("HST"), uint64_t{1} << 9);
  EXPECT_EQ(CategoryMaskFromName("HSTLONG"), uint64_t{1} << 9);
  EXPECT_EQ(NameOf(9), "HST");
  EXPECT_EQ(CategoryMaskFromName("AB"), uint64_t{1} << 10);
  EXPECT_NE(CategoryMaskFromName("ABC"), uint64_t{1} << 10);
  EXPECT_EQ(CategoryMaskFromName(""), 0u);
  EXPECT_EQ(CategoryMaskFromName(nullptr), 0u);

  // Slots end at 32; a name past them has no category.
  for (int i = static_cast<int>(12); i < kMaxCategories; ++i) {
    std::string name = "Q" + std::to_string(i);
    EXPECT_EQ(CategoryMaskFromName(name.c_str()), uint64_t{1} << i) << name;
  }
  EXPECT_EQ(CategoryMaskFromName("ZZZ"), 0u);
  EXPECT_EQ(CategoryMaskFromName("Q31"), uint64_t{1} << 31);

  char joined[16];
  EXPECT_EQ(FormatCategories(kCategoryDbg | kCategoryNet | (uint64_t{1} << 9), joined, sizeof joined), 11u);
  EXPECT_STREQ(joined, "DBG;NET;HST");
  EXPECT_EQ(FormatCategories(0xff, joined, 6), 5u);
  EXPECT_STREQ(joined, "DBG;G");
}

}  // namespace
}  // namespace Vela::Sdk
