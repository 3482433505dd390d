// API help: epytext texts byte for byte, escaping, name order, the Full records and the formats
// that produce nothing.
#include "sdk/binding/api_help.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/builtin_types.h"
#include "sdk/binding/type_registration.h"

namespace Vela::Sdk {
namespace {

enum class Letter : int32_t { A = 1, B = 2 };

struct Note {
  std::string text;
  int64_t id = 0;
};

FunctionDescriptor* AddFunction(BindingRegistry& registry, std::string name, std::vector<ArgumentDescriptor> arguments,
                                FunctionSettings settings) {
  return registry.RegisterFunction(std::move(name), std::move(arguments), std::move(settings));
}

ArgumentDescriptor Argument(std::string name, TypeSpec type, std::string description, bool optional) {
  ArgumentDescriptor argument;
  argument.name = std::move(name);
  argument.type = type;
  argument.description = std::move(description);
  argument.optional = optional;
  return argument;
}

class ApiHelp : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.Initialise();
    RegisterEnum<Letter>(registry_, "Letter").Value("B", Letter::B, "Second").Value("A", Letter::A);
    RegisterStruct<Note>(registry_, "Note")
        .Description("A {short} note")
        .Tags({"app"})
        .Field("text", &Note::text, 0, "Its {text}")
        .Field("id", &Note::id);
  }

  TypeDescriptor* Type(const char* name) { return registry_.FindType(name); }

  BindingRegistry registry_;
};

// Escaping: only a first "-" is escaped; every brace is.
TEST(EpytextEscape, EscapesLeadingHyphenAndBraces) {
  struct Row {
    const char* text;
    const char* escaped;
  };
  const Row rows[] = {
      {"Sets {x}", "Sets E{lb}xE{rb}"},
      {"-1 means none", "E{-}1 means none"},
      {"a-b", "a-b"},
      {"--", "E{-}-"},
      {"}{", "E{rb}E{lb}"},
      {"", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(EscapeEpytext(row.text), row.escaped) << row.text;
}

TEST_F(ApiHelp, FunctionEpytextListsEveryPartInOrder) {
  FunctionSettings settings;
  settings.returns = TypeSpecOf<std::vector<Note>>(registry_);
  settings.description = "Sets {x}";
  settings.help = "-1 means none";
  settings.tags = {"Plugins", "Plugin x"};
  settings.threadSafe = true;
  settings.async = true;
  FunctionDescriptor* function =
      AddFunction(registry_, "Set",
                  {Argument("count", TypeSpec{kBindingInt32}, "How {many}", true),
                   Argument("quiet", TypeSpec{kBindingBool}, "", true),
                   Argument("letters", TypeSpecOf<BindingMap<Letter>>(registry_), "a-b", false)},
                  std::move(settings));
  EXPECT_EQ(FunctionEpytext(*function),
            "Sets E{lb}xE{rb}\r\n\r\n"
            "E{-}1 means none\r\n\r\n"
            "@param count: (optional) How E{lb}manyE{rb}\r\n"
            "@type count: int32\r\n"
            "@type quiet: bool\r\n"
            "@param letters: a-b\r\n"
            "@type letters: dict[L{Letter}]\r\n"
            "@rtype: list[L{Note}]\r\n"
            "@tags: Plugins,Plugin x\r\n"
            "@threadsafe: true\r\n"
            "@async: list[L{Note}]\r\n");
}

TEST_F(ApiHelp, FunctionWithoutResultHasNoRtype) {
  FunctionSettings settings;
  settings.tags = {"t"};
  settings.threadSafe = true;
  FunctionDescriptor* function = AddFunction(registry_, "Run", {}, std::move(settings));
  EXPECT_EQ(FunctionEpytext(*function), "@tags: t\r\n@threadsafe: true\r\n");
  EXPECT_EQ(FunctionEpytext(*AddFunction(registry_, "Bare", {}, {})), "");
}

TEST_F(ApiHelp, StructEpytextKeepsFieldDescriptionsUnescaped) {
  EXPECT_EQ(TypeEpytext(*Type("Note")),
            "A E{lb}shortE{rb} note\r\n\r\n"
            "@ivar text: Its {text}\r\n"
            "@type text: string\r\n"
            "@ivar id: \r\n"
            "@type id: int64\r\n"
            "@tags: app\r\n");
}

TEST_F(ApiHelp, EnumEpytextListsEnumeratorsByValueThenSize) {
  EXPECT_EQ(TypeEpytext(*Type("Letter")),
            "@cvar A: (1)\r\n"
            "@cvar B: (2) Second\r\n"
            "@size: 4\r\n");
  EXPECT_EQ(TypeEpytext(*Type("BindingHelpFormat")),
            "Help format for binding functions and types.\r\n\r\n"
            "@cvar Full: (1) Native help format\r\n"
            "@cvar Epytext: (2) Python epytext format\r\n"
            "@tags: $builtin,help\r\n"
            "@size: 4\r\n");
}

TEST_F(ApiHelp, EventEpytextAlwaysStartsWithItsParagraph) {
  EXPECT_EQ(EventEpytext(*registry_.FindEvent("OnCallback")),
            "Fired when a callback is invoked.\r\n\r\n@tags: $builtin\r\n");
  EventBuilder bare = registry_.GetOrCreateEvent("OnBare", Type("Note"));
  EXPECT_EQ(EventEpytext(*bare.descriptor), "\r\n\r\n");
}

TEST_F(ApiHelp, ListsSortByteWiseInBothFormats) {
  registry_.BeginType("b", 4, StaticType::Void(), false);
  registry_.BeginType("A", 4, StaticType::Void(), false);
  std::vector<TypeDescriptor*> types = {Type("b"), Type("A")};
  BindingValue epytext;
  BuildApiHelp(epytext, registry_, {}, types, {}, BindingHelpFormat::Epytext);
  std::vector<std::string> names;
  for (const auto& member : epytext["types"].Members()) names.emplace_back(member.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b"}));

  BindingValue full;
  BuildApiHelp(full, registry_, {}, types, {}, BindingHelpFormat::Full);
  ASSERT_EQ(full["types"].Size(), 2u);
  EXPECT_EQ(full["types"][0]["name"].GetString(), "A");
  EXPECT_EQ(full["types"][1]["name"].GetString(), "b");
}

TEST_F(ApiHelp, FullEventOfCallbackPayloadNamesItsType) {
  std::vector<EventDescriptor*> events = {registry_.FindEvent("OnCallback")};
  BindingValue help;
  BuildApiHelp(help, registry_, {}, {}, events, BindingHelpFormat::Full);
  const BindingValue& event = help["events"][0];
  EXPECT_EQ(event["name"].GetString(), "OnCallback");
  EXPECT_EQ(event["nameSpace"].GetString(), "");
  EXPECT_EQ(event["type"]["type"].GetString(), "BindingCallbackEvent");
  EXPECT_EQ(event["type"]["elementType"].GetString(), "");
  EXPECT_EQ(event["description"].GetString(), "Fired when a callback is invoked.");
  ASSERT_EQ(event["tags"].Size(), 1u);
  EXPECT_EQ(event["tags"][0].GetString(), "$builtin");
}

TEST_F(ApiHelp, FullRecordsCarryFunctionsAndTypes) {
  FunctionSettings settings;
  settings.returns = TypeSpecOf<Note>(registry_);
  settings.async = true;
  AddFunction(registry_, "Get", {Argument("ids", TypeSpecOf<std::vector<int64_t>>(registry_), "Ids", true)},
              std::move(settings));
  std::vector<FunctionDescriptor*> functions = registry_.SnapshotFunctions();
  std::vector<TypeDescriptor*> types = {Type("Letter"), Type("Note")};
  BindingValue help;
  BuildApiHelp(help, registry_, functions, types, {}, BindingHelpFormat::Full);

  const BindingValue& function = help["functions"][0];
  EXPECT_EQ(function["name"].GetString(), "Get");
  EXPECT_EQ(function["async"].GetString(), "Note");
  EXPECT_EQ(function["returns"]["type"].GetString(), "Note");
  EXPECT_EQ(function["arguments"][0]["type"]["type"].GetString(), "vector");
  EXPECT_EQ(function["arguments"][0]["type"]["elementType"].GetString(), "int64");
  EXPECT_TRUE(function["arguments"][0]["optional"].GetBool());

  const BindingValue& letter = help["types"][0];
  EXPECT_EQ(letter["size"].GetUnsigned(), 4u);
  EXPECT_EQ(letter["fields"].Size(), 0u);
  ASSERT_EQ(letter["values"].Size(), 2u);
  EXPECT_EQ(letter["values"][0]["name"].GetString(), "A");  // name order
  EXPECT_EQ(letter["values"][1]["value"].GetSigned(), 2);
  const BindingValue& note = help["types"][1];
  EXPECT_EQ(note["fields"][1]["name"].GetString(), "id");
  EXPECT_EQ(note["fields"][1]["offset"].GetUnsigned(), offsetof(Note, id));
  EXPECT_EQ(note["fields"][1]["type"]["type"].GetString(), "int64");
}

TEST(ApiHelpWithoutHelpTypes, FullEntriesStayEmpty) {
  BindingRegistry registry;  // not initialised: no help types
  TypeDescriptor* type = registry.BeginType("T", 4, StaticType::Void(), false).descriptor;
  std::vector<TypeDescriptor*> types = {type};
  BindingValue help;
  BuildApiHelp(help, registry, {}, types, {}, BindingHelpFormat::Full);
  ASSERT_EQ(help["types"].Kind(), ValueKind::Collection);
  ASSERT_EQ(help["types"].Size(), 1u);
  EXPECT_TRUE(help["types"][0].IsEmpty());
}

// Other formats still give the three members, all Empty; so do empty lists in any format.
TEST_F(ApiHelp, OtherFormatsAndEmptyListsGiveEmptyMembers) {
  std::vector<TypeDescriptor*> types = {Type("Note")};
  for (int32_t format : {0, 3, -1}) {
    BindingValue help;
    BuildApiHelp(help, registry_, {}, types, {}, static_cast<BindingHelpFormat>(format));
    ASSERT_EQ(help.Size(), 3u) << format;
    for (const char* member : {"functions", "types", "events"}) {
      ASSERT_TRUE(help.HasMember(member)) << member;
      EXPECT_TRUE(help[member].IsEmpty()) << member;
    }
  }
  for (BindingHelpFormat format : {BindingHelpFormat::Full, BindingHelpFormat::Epytext}) {
    BindingValue help;
    BuildApiHelp(help, registry_, {}, {}, {}, format);
    ASSERT_EQ(help.Size(), 3u);
    EXPECT_TRUE(help["functions"].IsEmpty());
  }
}

}  // namespace
}  // namespace Vela::Sdk
