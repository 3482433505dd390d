// Marking converted values with the platform class names of their records.
#include "sdk/host/lcds_class_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/api/json_codec.h"
#include "sdk/binding/binding_registry.h"
#include "sdk/binding/type_registration.h"

namespace Vela::Sdk {
namespace {

struct Inner {
  int32_t n = 0;
};

struct Outer {
  Inner inner;
  std::vector<Inner> list;
  BindingMap<Inner> byName;
  int32_t plain = 0;
};

struct Fixture {
  BindingRegistry registry;
  LcdsClassNames classNames{{"LcdsInner", "c.Inner"}};

  Fixture() {
    registry.Initialise();
    RegisterStruct<Inner>(registry, "LcdsInner").Field("n", &Inner::n);
    RegisterStruct<Outer>(registry, "LcdsOuter")
        .Field("inner", &Outer::inner)
        .Field("list", &Outer::list)
        .Field("byName", &Outer::byName)
        .Field("plain", &Outer::plain);
  }

  template <class T>
  std::string Annotated(const T& native) {
    BindingResult converted = NativeToValue(registry, native);
    EXPECT_TRUE(converted.Ok());
    AnnotateLcdsClasses(converted.Value(), TypeSpecOf<T>(registry), classNames);
    return ValueToJson(converted.Value());
  }
};

// Through fields, vector elements and map values into every record reached; a record without a
// class name is walked but left unmarked.
TEST(LcdsClassNames, EveryListedRecordGetsItsClass) {
  Fixture fixture;
  Outer outer{{1}, {{2}, {3}}, {{"k", {4}}}, 5};
  EXPECT_EQ(fixture.Annotated(outer),
            "{\"byName\":{\"k\":{\"__class\":\"c.Inner\",\"n\":4}},\"inner\":{\"__class\":\"c.Inner\",\"n\":1},"
            "\"list\":[{\"__class\":\"c.Inner\",\"n\":2},{\"__class\":\"c.Inner\",\"n\":3}],\"plain\":5}");
  EXPECT_EQ(fixture.Annotated(std::vector<Inner>{{6}}), "[{\"__class\":\"c.Inner\",\"n\":6}]");
  EXPECT_EQ(fixture.Annotated(BindingMap<Inner>{{"a", {7}}}), "{\"a\":{\"__class\":\"c.Inner\",\"n\":7}}");
  EXPECT_EQ(fixture.Annotated(int32_t{8}), "8");
}

TEST(LcdsClassNames, ListedOuterRecordIsMarkedToo) {
  Fixture fixture;
  fixture.classNames = {{"LcdsOuter", "c.Outer"}};
  EXPECT_EQ(fixture.Annotated(Outer{}),
            "{\"__class\":\"c.Outer\",\"byName\":{},\"inner\":{\"n\":0},\"list\":[],\"plain\":0}");
}

}  // namespace
}  // namespace Vela::Sdk
