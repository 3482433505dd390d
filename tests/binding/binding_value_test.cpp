// BindingValue: kinds, reads of missing parts, member order, copies and moves, and a randomised
// run against a plain reference model.
#include "sdk/binding/binding_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "sdk/binding/page_allocator.h"
#include "sdk/binding/value_arena.h"
#include "sdk/binding/value_tree_builder.h"

namespace Vela::Sdk {
namespace {

using namespace std::string_view_literals;

std::vector<std::string> MemberNames(const BindingValue& value) {
  std::vector<std::string> names;
  for (auto [name, member] : value.Members()) names.emplace_back(name);
  return names;
}

TEST(BindingValue, KindNames) {
  const std::pair<ValueKind, const char*> rows[] = {
      {ValueKind::Empty, "empty"},         {ValueKind::Bool, "bool"},        {ValueKind::Signed, "signed"},
      {ValueKind::Unsigned, "unsigned"},   {ValueKind::Float, "float"},      {ValueKind::String, "string"},
      {ValueKind::Blob, "blob"},           {ValueKind::Enum, "enum"},        {ValueKind::Collection, "collection"},
      {ValueKind::Structure, "structure"}, {static_cast<ValueKind>(10), ""}, {static_cast<ValueKind>(255), ""},
  };
  for (auto [kind, name] : rows) EXPECT_STREQ(ValueKindName(kind), name) << static_cast<int>(kind);
}

TEST(BindingValue, MembersIterateInUnsignedByteOrderShorterPrefixFirst) {
  BindingValue value;
  for (const char* name : {"b", "a", "B", "\xC3\xA9", "ab", "a"}) value.MemberForWriting(name) = name;
  EXPECT_EQ(MemberNames(value), (std::vector<std::string>{"B", "a", "ab", "b", "\xC3\xA9"}));
  EXPECT_EQ(value.Size(), 5u);
  EXPECT_EQ(value.Member("a").GetString(), "a");

  // A structure read whole sorts its names once, by their first eight bytes where those differ.
  const std::vector<std::string> names = {"abcdefgh1", "abcdefgh", std::string("abcdefgh\0", 9), "\xFF",
                                          "abcdefg",   "b",        std::string("a\0b", 3),       "a",
                                          "abcdefgi",  "\x80"};
  BindingValue read;
  ValueTreeBuilder builder(read);
  builder.BeginStructure();
  for (const std::string& name : names) {
    builder.Key(name);
    builder.Null();
  }
  ASSERT_TRUE(builder.EndStructure());
  ASSERT_TRUE(builder.Finish());
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());  // std::string orders its bytes as unsigned
  EXPECT_EQ(MemberNames(read), sorted);
}

TEST(BindingValue, IntegersAreExtendedByTheirSignedness) {
  EXPECT_EQ(BindingValue(int32_t{-5}).GetSigned(), -5);
  EXPECT_EQ(BindingValue(uint32_t{0xFFFFFFFF}).GetUnsigned(), 0xFFFFFFFFu);
  EXPECT_EQ(BindingValue(int8_t{-1}).Kind(), ValueKind::Signed);
  EXPECT_EQ(BindingValue(uint64_t{1} << 63).GetUnsigned(), uint64_t{1} << 63);
  EXPECT_EQ(BindingValue(true).Kind(), ValueKind::Bool);
}

TEST(BindingValue, SizeByKind) {
  BindingValue collection;
  collection.ElementForWriting(2);
  BindingValue structure;
  structure.MemberForWriting("x");
  const std::pair<BindingValue, std::size_t> rows[] = {
      {BindingValue(), 0},
      {BindingValue(true), 1},
      {BindingValue(int64_t{7}), 1},
      {BindingValue(7u), 1},
      {BindingValue(2.5), 1},
      {BindingValue(EnumPayload{3, 9}), 1},
      {BindingValue("abc"), 3},
      {BindingValue("a\0b", 3), 3},
      {BindingValue(""), 0},
      {BindingValue(BindingValue::Blob{1, 2}), 2},
      {collection, 3},
      {structure, 1},
  };
  for (const auto& [value, size] : rows) EXPECT_EQ(value.Size(), size) << ValueKindName(value.Kind());
}

// A getter answers only for its own kind; anything else gives the caller's default.
TEST(BindingValue, GettersAnswerOnlyTheirOwnKind) {
  EXPECT_EQ(BindingValue(int64_t{5}).GetUnsigned(77), 77u);
  EXPECT_EQ(BindingValue(5u).GetSigned(-1), -1);
  EXPECT_EQ(BindingValue(1.0).GetSigned(3), 3);
  EXPECT_TRUE(BindingValue(int64_t{1}).GetBool(true));
  EXPECT_FALSE(BindingValue(int64_t{1}).GetBool(false));
  EXPECT_EQ(BindingValue(int64_t{1}).GetString("d"), "d");
  EXPECT_EQ(BindingValue("x").GetEnum({4, 5}), (EnumPayload{4, 5}));
  EXPECT_TRUE(BindingValue("x").GetBlob().empty());
  EXPECT_EQ(BindingValue(EnumPayload{-2, 12}).GetEnum(), (EnumPayload{-2, 12}));
}

TEST(BindingValue, MissingPartsReadAsTheSharedEmptyValue) {
  BindingValue value;
  value.MemberForWriting("a") = 1;
  EXPECT_EQ(&value.Member("b"), &BindingValue::EmptyValue());
  EXPECT_EQ(&value.Element(0), &BindingValue::EmptyValue());
  EXPECT_FALSE(value.HasMember("b"));
  EXPECT_TRUE(value.HasMember("a"));
  BindingValue list;
  list.ElementForWriting(1) = 2;
  EXPECT_EQ(&list.Element(2), &BindingValue::EmptyValue());
  EXPECT_EQ(&list.Member("a"), &BindingValue::EmptyValue());
  EXPECT_EQ(list[1].GetSigned(), 2);
  EXPECT_TRUE(BindingValue::EmptyValue().IsEmpty());
}

TEST(BindingValue, WritingAnElementPastTheEndFillsWithEmpty) {
  BindingValue value;
  value.ElementForWriting(3) = "d";
  ASSERT_EQ(value.Kind(), ValueKind::Collection);
  ASSERT_EQ(value.Size(), 4u);
  for (std::size_t index = 0; index < 3; ++index) EXPECT_TRUE(value.Element(index).IsEmpty());
  EXPECT_EQ(value.Element(3).GetString(), "d");
  for (const BindingValue& element : value.Elements()) {
    EXPECT_EQ(element.Arena(), value.Arena());
    EXPECT_FALSE(element.OwnsArena());
  }
}

TEST(BindingValue, WritingAMemberOfACollectionDiscardsItsElements) {
  BindingValue value;
  value.Append() = 1;
  value.Append() = 2;
  value.MemberForWriting("m") = true;
  EXPECT_EQ(value.Kind(), ValueKind::Structure);
  EXPECT_EQ(MemberNames(value), std::vector<std::string>{"m"});
}

TEST(BindingValue, MakeContainerKeepsAContainerOfItsKind) {
  BindingValue value;
  value.Append() = 1;
  value.MakeCollection();
  EXPECT_EQ(value.Size(), 1u);
  value.MakeStructure();
  EXPECT_EQ(value.Size(), 0u);
  value.MemberForWriting("a");
  value.MakeStructure();
  EXPECT_EQ(value.Size(), 1u);
}

TEST(BindingValue, CountsBeyondTheLimitRaiseTheLengthError) {
  BindingValue value;
  EXPECT_THROW(value.Reserve(BindingValue::kMaxElements + 1), std::length_error);
  EXPECT_THROW(value.ElementForWriting(BindingValue::kMaxElements), std::length_error);
  EXPECT_TRUE(value.IsEmpty() || value.Size() == 0);
}

TEST(BindingValue, EqualTextsInOneTreeShareOneEntry) {
  BindingValue value;
  value.MemberForWriting("x") = "shared";
  value.MemberForWriting("y") = std::string_view("shared");
  ValueArena& arena = *value.Arena();
  EXPECT_EQ(value.Member("x").GetString().data(), value.Member("y").GetString().data());
  EXPECT_EQ(arena.InternedCount(), 3u);  // "x", "y", "shared"
  value.MemberForWriting("x").Clear();
  EXPECT_EQ(value.Member("y").GetString(), "shared");
  EXPECT_EQ(arena.InternedCount(), 3u);
  value.MemberForWriting("y").Clear();
  EXPECT_EQ(arena.InternedCount(), 2u);
}

TEST(BindingValue, TextsKeepTheirZeroBytes) {
  BindingValue value;
  value.MemberForWriting("k\0a"sv) = "v\0one"sv;
  value.MemberForWriting("k") = "v";
  EXPECT_EQ(value.Size(), 2u);
  EXPECT_EQ(value.Member("k\0a"sv).GetString(), "v\0one"sv);
  EXPECT_EQ(value.Member("k").GetString(), "v");
  EXPECT_EQ(MemberNames(value), (std::vector<std::string>{"k", std::string("k\0a", 3)}));
}

TEST(BindingValue, ACopyLivesInItsOwnArena) {
  BindingValue source;
  source.MemberForWriting("list").ElementForWriting(1) = "text";
  source.MemberForWriting("blob") = BindingValue::Blob{1, 2, 3};
  BindingValue copy = source;
  EXPECT_EQ(copy, source);
  EXPECT_NE(copy.Arena(), source.Arena());
  EXPECT_EQ(copy.Member("list").Element(1).Arena(), copy.Arena());
  copy.MemberForWriting("list").ElementForWriting(1) = "changed";
  EXPECT_EQ(source.Member("list").Element(1).GetString(), "text");
  source = BindingValue();
  EXPECT_EQ(copy.Member("blob").GetBlob().size(), 3u);
}

TEST(BindingValue, MovingAMemberIntoARootCopiesItAndEmptiesTheMember) {
  BindingValue tree;
  tree.MemberForWriting("m").MemberForWriting("n") = "deep";
  BindingValue root;
  root = std::move(tree.MemberForWriting("m"));
  EXPECT_EQ(root.Member("n").GetString(), "deep");
  EXPECT_NE(root.Arena(), tree.Arena());
  EXPECT_TRUE(tree.HasMember("m"));
  EXPECT_TRUE(tree.Member("m").IsEmpty());
}

TEST(BindingValue, MovingARootIntoARootExchangesThem) {
  BindingValue source;
  source.MemberForWriting("a") = "x";
  BindingValue target;
  target.MemberForWriting("b") = "y";
  ValueArena* sourceArena = source.Arena();
  target = std::move(source);
  EXPECT_EQ(target.Arena(), sourceArena);
  EXPECT_EQ(target.Member("a").GetString(), "x");
  EXPECT_TRUE(source.IsEmpty());  // NOLINT(bugprone-use-after-move): the moved-from state is the test
  EXPECT_TRUE(source.OwnsArena());
  BindingValue constructed(std::move(target));
  EXPECT_EQ(constructed.Arena(), sourceArena);
}

// A value moved or copied into a part of its own tree must not read what it destroys.
TEST(BindingValue, MovesAndCopiesWithinOneTree) {
  BindingValue root;
  root.MemberForWriting("data").MemberForWriting("id") = 7;
  root.MemberForWriting("other") = "o";
  root = std::move(root.MemberForWriting("data"));
  EXPECT_EQ(MemberNames(root), std::vector<std::string>{"id"});

  root.MemberForWriting("self") = root;
  EXPECT_EQ(root.Member("self").Member("id").GetSigned(), 7);
  // The member is inserted before the copy is taken, so the copy holds it Empty.
  EXPECT_TRUE(root.Member("self").Member("self").IsEmpty());

  root.MemberForWriting("self").MemberForWriting("inner") = std::move(root);
  // NOLINTNEXTLINE(bugprone-use-after-move): moving a root into its own member copies it
  EXPECT_EQ(root.Member("self").Member("inner").Member("id").GetSigned(), 7);

  BindingValue list;
  list.Append() = "a";
  list.Append() = "b";
  list.ElementForWriting(0) = std::move(list.ElementForWriting(1));
  EXPECT_EQ(list.Element(0).GetString(), "b");
  EXPECT_TRUE(list.Element(1).IsEmpty());
}

TEST(BindingValue, ClearKeepsTheArenaAndReturnsItsBlocks) {
  BindingValue value;
  for (int index = 0; index < 500; ++index) value.MemberForWriting(std::to_string(index)).Append() = index;
  ValueArena* arena = value.Arena();
  EXPECT_GT(arena->PageCount(), 0u);
  value.Clear();
  EXPECT_EQ(value.Arena(), arena);
  EXPECT_EQ(arena->PageCount(), 0u);
  EXPECT_EQ(arena->InternedCount(), 0u);
  EXPECT_EQ(arena->BucketCount(), ValueArena::kInitialBuckets);
}

TEST(BindingValue, RemoveMemberReleasesTheName) {
  BindingValue value;
  value.MemberForWriting("gone") = "text";
  value.MemberForWriting("kept") = 1;
  EXPECT_TRUE(value.RemoveMember("gone"));
  EXPECT_FALSE(value.RemoveMember("gone"));
  EXPECT_EQ(value.Arena()->InternedCount(), 1u);
}

// ---- Randomised run against a reference model ----

struct Model {
  ValueKind kind = ValueKind::Empty;
  std::variant<std::monostate, bool, int64_t, uint64_t, double, std::string, BindingValue::Blob, EnumPayload> scalar;
  std::vector<Model> elements;
  std::map<std::string, Model> members;  // std::string orders bytes as unsigned, shorter first
};

::testing::AssertionResult Same(const BindingValue& value, const Model& model, const std::string& path) {
  auto fail = [&](const char* what) { return ::testing::AssertionFailure() << path << ": " << what; };
  if (value.Kind() != model.kind) return fail("kind");
  switch (model.kind) {
    case ValueKind::Bool:
      if (value.GetBool() != std::get<bool>(model.scalar)) return fail("bool");
      break;
    case ValueKind::Signed:
      if (value.GetSigned() != std::get<int64_t>(model.scalar)) return fail("signed");
      break;
    case ValueKind::Unsigned:
      if (value.GetUnsigned() != std::get<uint64_t>(model.scalar)) return fail("unsigned");
      break;
    case ValueKind::Float:
      if (value.GetFloat() != std::get<double>(model.scalar)) return fail("float");
      break;
    case ValueKind::String:
      if (value.GetString() != std::get<std::string>(model.scalar)) return fail("string");
      if (value.GetString().data()[value.Size()] != '\0') return fail("terminator");
      break;
    case ValueKind::Blob: {
      auto bytes = value.GetBlob();
      if (BindingValue::Blob(bytes.begin(), bytes.end()) != std::get<BindingValue::Blob>(model.scalar))
        return fail("blob");
      break;
    }
    case ValueKind::Enum:
      if (value.GetEnum() != std::get<EnumPayload>(model.scalar)) return fail("enum");
      break;
    case ValueKind::Collection:
      if (value.Size() != model.elements.size()) return fail("element count");
      for (std::size_t index = 0; index < model.elements.size(); ++index) {
        if (value.Element(index).Arena() != value.Arena()) return fail("element arena");
        auto same = Same(value.Element(index), model.elements[index], path + "/" + std::to_string(index));
        if (!same) return same;
      }
      break;
    case ValueKind::Structure: {
      if (value.Size() != model.members.size()) return fail("member count");
      auto expected = model.members.begin();
      for (auto [name, member] : value.Members()) {
        if (name != expected->first) return fail("member order");
        if (&value.Member(name) != &member) return fail("lookup");
        auto same = Same(member, expected->second, path + "/" + expected->first);
        if (!same) return same;
        ++expected;
      }
      break;
    }
    default: break;
  }
  return ::testing::AssertionSuccess();
}

struct Place {
  BindingValue* value;
  Model* model;
  std::vector<std::string> path;  // steps from the root, to tell ancestors apart
};

class RandomTrees {
 public:
  explicit RandomTrees(uint32_t seed) : random_(seed) {}

  int Next(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

  std::string Text() {
    static const std::string pool[] = {
        "", "a", "b", "B", "ab", "id", std::string("z\0y", 3), "\xC3\xA9", std::string(60, 'L'), std::string(300, 'H')};
    return pool[Next(10)];
  }

  Place Pick(std::size_t rootIndex) {
    Place place{&roots[rootIndex], &models[rootIndex], {std::to_string(rootIndex)}};
    while (Next(3) != 0) {
      if (place.model->kind == ValueKind::Collection && !place.model->elements.empty()) {
        std::size_t index = static_cast<std::size_t>(Next(static_cast<int>(place.model->elements.size())));
        place = {&place.value->ElementForWriting(index), &place.model->elements[index], place.path};
        place.path.push_back("#" + std::to_string(index));
      } else if (place.model->kind == ValueKind::Structure && !place.model->members.empty()) {
        auto member = std::next(place.model->members.begin(), Next(static_cast<int>(place.model->members.size())));
        place = {&place.value->MemberForWriting(member->first), &member->second, place.path};
        place.path.push_back("." + member->first);
      } else {
        break;
      }
    }
    return place;
  }

  void Mutate(Place place) {
    BindingValue& value = *place.value;
    Model& model = *place.model;
    switch (Next(12)) {
      case 0: {
        bool flag = Next(2) == 1;
        value = flag;
        model = Model{ValueKind::Bool, flag, {}, {}};
        break;
      }
      case 1: {
        int64_t number = Next(1000) - 500;
        value = number;
        model = Model{ValueKind::Signed, number, {}, {}};
        break;
      }
      case 2: {
        uint64_t number = static_cast<uint64_t>(Next(1000)) << 40;
        value = number;
        model = Model{ValueKind::Unsigned, number, {}, {}};
        break;
      }
      case 3:
        value = 0.25;
        model = Model{ValueKind::Float, 0.25, {}, {}};
        break;
      case 4: {
        std::string text = Text();
        value = std::string_view(text);
        model = Model{ValueKind::String, text, {}, {}};
        break;
      }
      case 5: {
        BindingValue::Blob bytes(static_cast<std::size_t>(Next(5)), uint8_t{7});
        value = BindingValue::Blob(bytes);
        model = Model{ValueKind::Blob, bytes, {}, {}};
        break;
      }
      case 6: {
        EnumPayload payload{Next(9) - 4, static_cast<uint32_t>(Next(3))};
        value = payload;
        model = Model{ValueKind::Enum, payload, {}, {}};
        break;
      }
      case 7: {
        std::size_t index = static_cast<std::size_t>(Next(4));
        value.ElementForWriting(index);
        if (model.kind != ValueKind::Collection) model = Model{ValueKind::Collection, {}, {}, {}};
        if (model.elements.size() <= index) model.elements.resize(index + 1);
        break;
      }
      case 8: {
        std::string name = Text();
        value.MemberForWriting(name);
        if (model.kind != ValueKind::Structure) model = Model{ValueKind::Structure, {}, {}, {}};
        model.members[name];
        break;
      }
      case 9:
        value.Clear();
        model = Model{};
        break;
      case 10: {
        std::string name = Text();
        EXPECT_EQ(value.RemoveMember(name), model.kind == ValueKind::Structure && model.members.erase(name) == 1);
        break;
      }
      default:
        if (Next(2) == 0) {
          value.MakeCollection();
          if (model.kind != ValueKind::Collection) model = Model{ValueKind::Collection, {}, {}, {}};
        } else {
          value.MakeStructure();
          if (model.kind != ValueKind::Structure) model = Model{ValueKind::Structure, {}, {}, {}};
        }
        break;
    }
  }

  void Step() {
    std::size_t target = static_cast<std::size_t>(Next(kRoots));
    std::size_t source = static_cast<std::size_t>(Next(kRoots));
    switch (Next(10)) {
      case 0: {  // copy any part into any part
        Place from = Pick(source);
        Place to = Pick(target);
        Model copy = *from.model;
        *to.value = *from.value;
        *to.model = copy;
        break;
      }
      case 1: {  // move any part into any part
        Place from = Pick(source);
        Place to = Pick(target);
        if (from.value == to.value) break;
        Model moved = *from.model;
        bool intoItsOwnPart =
            to.path.size() > from.path.size() && std::equal(from.path.begin(), from.path.end(), to.path.begin());
        *to.value = std::move(*from.value);
        if (!intoItsOwnPart) *from.model = Model{};
        *to.model = moved;
        break;
      }
      case 2:
        if (Next(8) == 0) {
          roots[target] = BindingValue();
          models[target] = Model{};
        }
        break;
      default: Mutate(Pick(target)); break;
    }
  }

  static constexpr int kRoots = 3;
  BindingValue roots[kRoots];
  Model models[kRoots];

 private:
  std::mt19937 random_;
};

// Small structures keep their members in slots, wider ones in chunks and the widest in a tree,
// whether grown member by member or read whole: order, lookup, copy, insertion and removal hold on
// every side of each change and across it (the counts straddle both limits of either pointer width).
TEST(BindingValue, MembersStayOrderedWhateverTheirCount) {
  for (int count : {3, 8, 9, 16, 17, 60, 72, 73, 288, 289}) {
    std::vector<std::string> names;
    for (int index = 0; index < count; ++index) names.push_back("m" + std::to_string((index * 37) % 1009));
    BindingValue value;
    for (const std::string& name : names) value.MemberForWriting(name).Append() = std::string_view(name);
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(MemberNames(value), sorted) << count;
    for (const std::string& name : names) EXPECT_EQ(value[name][0].GetString(), name);
    EXPECT_FALSE(value.HasMember("m"));

    BindingValue read;
    {
      ValueTreeBuilder builder(read);
      builder.BeginStructure();
      for (const std::string& name : names) {
        builder.Key(name);
        builder.BeginCollection();
        builder.String(name);
        builder.EndCollection();
      }
      ASSERT_TRUE(builder.EndStructure());
      ASSERT_TRUE(builder.Finish());
    }
    EXPECT_TRUE(read == value) << count;
    for (const std::string& name : names) EXPECT_EQ(read[name][0].GetString(), name);
    EXPECT_EQ(&read.MemberForWriting(names[0]), &read[names[0]]);
    read.MemberForWriting("m") = 1;
    EXPECT_EQ(MemberNames(read).front(), "m");
    EXPECT_EQ(read.Size(), names.size() + 1);
    for (const std::string& name : names) EXPECT_EQ(read[name][0].GetString(), name);

    BindingValue copy = value;
    EXPECT_TRUE(copy == value);
    for (std::size_t index = 0; index < names.size(); index += 2) EXPECT_TRUE(copy.RemoveMember(names[index]));
    EXPECT_FALSE(copy.RemoveMember(names[0]));
    EXPECT_EQ(copy.Size(), names.size() / 2);
    for (std::size_t index = 0; index < names.size(); ++index) EXPECT_EQ(copy.HasMember(names[index]), index % 2 == 1);
    copy.Clear();
    EXPECT_EQ(copy.Arena()->InternedCount(), 0u);
    EXPECT_EQ(copy.Arena()->PageCount(), 0u);
  }
}

TEST(BindingValue, RandomisedTreesFollowTheReferenceModel) {
  std::size_t pagesBefore = PageAllocator::Instance().LivePageCount();
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    {
      RandomTrees trees(seed);
      for (int step = 0; step < 3000; ++step) {
        trees.Step();
        for (int root = 0; root < RandomTrees::kRoots; ++root) {
          ASSERT_TRUE(
              Same(trees.roots[root], trees.models[root],
                   "seed " + std::to_string(seed) + " step " + std::to_string(step) + " root " + std::to_string(root)));
        }
      }
      for (BindingValue& root : trees.roots) {
        root.Clear();
        if (root.Arena() == nullptr) continue;
        EXPECT_EQ(root.Arena()->InternedCount(), 0u);
        EXPECT_EQ(root.Arena()->PageCount(), 0u);
      }
    }
    EXPECT_EQ(PageAllocator::Instance().LivePageCount(), pagesBefore);
  }
}

}  // namespace
}  // namespace Vela::Sdk
