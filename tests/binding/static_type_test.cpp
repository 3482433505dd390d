// Static type records: one per native type, stable identifiers, names, and collision refusal.
#include "sdk/binding/static_type.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace Outside {
struct Message {};
}  // namespace Outside

namespace Vela::Sdk {
struct InternalRecord {};
}  // namespace Vela::Sdk

namespace {

using Vela::Sdk::StaticType;
using Vela::Sdk::StaticTypeRecord;

TEST(StaticType, OneRecordPerTypeWhateverTheQualifiers) {
  const StaticTypeRecord& record = StaticType::Name<Outside::Message>();
  EXPECT_EQ(&record, &StaticType::Name<const Outside::Message&>());
  EXPECT_EQ(&record, &StaticType::Name<volatile Outside::Message>());
  EXPECT_EQ(record.id, StaticType::Id<Outside::Message>());
  EXPECT_EQ(record.reserved[0], 0u);
  EXPECT_EQ(record.reserved[1], 0u);
}

TEST(StaticType, DistinctTypesHaveDistinctIdentifiers) {
  // Types a conversion could mix up: same size, signedness, template arguments.
  std::vector<uint32_t> ids = {
      StaticType::Id<int32_t>(),
      StaticType::Id<uint32_t>(),
      StaticType::Id<float>(),
      StaticType::Id<std::string>(),
      StaticType::Id<std::vector<int>>(),
      StaticType::Id<std::vector<unsigned>>(),
      StaticType::Id<Outside::Message>(),
      StaticType::Id<Vela::Sdk::InternalRecord>(),
      StaticType::Id<int*>(),
  };
  for (std::size_t i = 0; i < ids.size(); ++i) {
    for (std::size_t j = i + 1; j < ids.size(); ++j) EXPECT_NE(ids[i], ids[j]) << i << " and " << j;
  }
}

TEST(StaticType, NamesOutsideTypesBySpellingAndSdkTypesByIdentifier) {
  EXPECT_STREQ(StaticType::Name<Outside::Message>().name, "Outside::Message");
  EXPECT_STREQ(StaticType::Name<int>().name, "int");

  const StaticTypeRecord& internal = StaticType::Name<Vela::Sdk::InternalRecord>();
  char expected[16];
  std::snprintf(expected, sizeof(expected), "#%08X", static_cast<unsigned>(internal.id));
  EXPECT_STREQ(internal.name, expected);
  // A container of an SDK type is not itself the SDK's.
  EXPECT_FALSE(Vela::Sdk::IsSdkOwnType<std::vector<Vela::Sdk::InternalRecord>>::value);
}

TEST(StaticType, VoidHasTheReservedRecord) {
  EXPECT_EQ(&StaticType::Name<void>(), &StaticType::Void());
  EXPECT_EQ(StaticType::Void().id, 0u);
  EXPECT_STREQ(StaticType::Void().name, "void");
}

TEST(StaticType, ClaimRefusesASecondRecordForOneIdentifier) {
  const StaticTypeRecord& real = StaticType::Name<Outside::Message>();
  static const StaticTypeRecord impostor{real.id, "Impostor", {0, 0}};
  static const StaticTypeRecord voidImpostor{0, "NotVoid", {0, 0}};
  EXPECT_TRUE(Vela::Sdk::StaticTypeDetail::Claim(real));
  EXPECT_FALSE(Vela::Sdk::StaticTypeDetail::Claim(impostor));
  EXPECT_FALSE(Vela::Sdk::StaticTypeDetail::Claim(voidImpostor));
}

TEST(StaticTypeDeathTest, CollisionEndsTheProcessNamingBothTypes) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const StaticTypeRecord& real = StaticType::Name<Outside::Message>();
  static const StaticTypeRecord impostor{real.id, "Impostor", {0, 0}};
  EXPECT_DEATH(Vela::Sdk::StaticTypeDetail::Enrol(impostor, "Other::Impostor"),
               "of 'Other::Impostor' is already held by 'Outside::Message'");
}

}  // namespace
