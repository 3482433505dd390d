// The value walk: operation order around elements and members, and trees deeper than any
// reasonable call stack.
#include "sdk/api/value_visitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {
namespace {

class Recorder final : public ValueVisitor {
 public:
  std::string events;

  void Null() override { events += "null "; }
  void Bool(bool value) override { events += value ? "true " : "false "; }
  void Signed(int64_t value) override { events += "s" + std::to_string(value) + " "; }
  void Unsigned(uint64_t value) override { events += "u" + std::to_string(value) + " "; }
  void Float(double value) override { events += "f" + std::to_string(value) + " "; }
  void String(std::string_view text) override { events += "'" + std::string(text) + "' "; }
  void Blob(const uint8_t*, std::size_t size) override { events += "blob" + std::to_string(size) + " "; }
  void Enum(int32_t value, uint32_t enumType) override {
    events += "enum" + std::to_string(value) + "/" + std::to_string(enumType) + " ";
  }
  void BeginCollection(std::size_t count) override { events += "[" + std::to_string(count) + " "; }
  void BeginElement(std::size_t index) override { events += "<" + std::to_string(index) + " "; }
  void EndElement(std::size_t index) override { events += std::to_string(index) + "> "; }
  void EndCollection() override { events += "] "; }
  void BeginStructure(std::size_t count) override { events += "{" + std::to_string(count) + " "; }
  void BeginMember(std::string_view name) override { events += std::string(name) + ": "; }
  void EndMember(std::string_view name) override { events += "/" + std::string(name) + " "; }
  void EndStructure() override { events += "} "; }
};

TEST(ValueVisitor, VisitsInDocumentOrderWithMembersByName) {
  BindingValue value;
  BindingValue& list = value.MemberForWriting("list");
  list.Append() = int64_t{-1};
  list.Append();
  list.Append().MakeCollection();
  list.Append() = BindingValue::Blob{1, 2};
  value.MemberForWriting("b") = EnumPayload{3, 9};
  value.MemberForWriting("a").MemberForWriting("x") = uint64_t{7};
  value.MemberForWriting("B") = "t";

  Recorder recorder;
  VisitValue(value, recorder);
  EXPECT_EQ(recorder.events,
            "{4 B: 't' /B a: {1 x: u7 /x } /a b: enum3/9 /b "
            "list: [4 <0 s-1 0> <1 null 1> <2 [0 ] 2> <3 blob2 3> ] /list } ");
}

TEST(ValueVisitor, ScalarsAtTheRootAreVisitedAlone) {
  Recorder recorder;
  VisitValue(BindingValue(), recorder);
  VisitValue(BindingValue(true), recorder);
  VisitValue(BindingValue(2.5), recorder);
  BindingValue empty;
  empty.MakeStructure();
  VisitValue(empty, recorder);
  EXPECT_EQ(recorder.events, "null true f2.500000 {0 } ");
}

TEST(ValueVisitor, WalksDeepTreesWithItsOwnStack) {
  // Deeper than the readers allow, but values can be built by hand; the walk must not recurse.
  constexpr int kDepth = 200000;
  BindingValue value;
  std::vector<BindingValue*> levels = {&value};
  for (int i = 0; i < kDepth; ++i) levels.push_back(&levels.back()->Append());
  *levels.back() = "leaf";

  class Counter final : public ValueVisitor {
   public:
    int open = 0;
    int deepest = 0;
    void Null() override {}
    void Bool(bool) override {}
    void Signed(int64_t) override {}
    void Unsigned(uint64_t) override {}
    void Float(double) override {}
    void String(std::string_view) override { deepest = open; }
    void Blob(const uint8_t*, std::size_t) override {}
    void Enum(int32_t, uint32_t) override {}
    void BeginCollection(std::size_t) override { ++open; }
    void EndCollection() override { --open; }
    void BeginStructure(std::size_t) override {}
    void BeginMember(std::string_view) override {}
    void EndStructure() override {}
  } counter;
  VisitValue(value, counter);
  EXPECT_EQ(counter.deepest, kDepth);
  EXPECT_EQ(counter.open, 0);
  // The value's teardown recurses; take the tree apart from the bottom.
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) (*level)->Clear();
}

}  // namespace
}  // namespace Vela::Sdk
