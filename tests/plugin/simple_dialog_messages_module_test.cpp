// The service through the built plug-in: the host stand-in sends the requests, delivers the LCDS
// messages and resource events, answers the acknowledgements and records what was pushed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugin/service_host.h"

namespace Vela::DevHost {
namespace {

using Vela::Sdk::FlatTypeRecord;

constexpr int32_t kWarn = 1;
constexpr int32_t kAlways = 3;

const PlatformMessage kMastery{42, "m-1", "championMastery", {"aurel", "7"}};

std::string Element(int64_t id, const std::string& type, const std::string& body) {
  return "{\"body\":" + body + ",\"id\":" + std::to_string(id) + ",\"type\":\"" + type + "\"}";
}

std::string Ack(uint64_t accountId, const std::string& msgId) {
  return "\"clientFacadeService\",\"callPersistenceMessaging\",[{\"__class\":\"com.velaworks.platform.messaging."
         "persistence.SimpleDialogMessageResponse\",\"accountId\":" +
         std::to_string(accountId) + ",\"command\":\"ack\",\"msgId\":\"" + msgId + "\"}]";
}

class Service : public ::testing::Test {
 protected:
  void SetUp() override {
    service.Start();
    service.ForgetRecords();
  }
  ServiceHost service;
};

// ---- Store and routes ----

TEST_F(Service, StartsEmpty) { EXPECT_EQ(service.List(), "[]"); }

const FlatTypeRecord* FindType(const HostStandIn& host, const std::string& name) {
  const FlatTypeRecord* type = host.Api()->types;
  for (uint32_t i = 0; type != nullptr && i < host.Api()->typeCount; ++i, type = type->next) {
    if (type->name != nullptr && name == type->name) return type;
  }
  return nullptr;
}

// The platform's records keep their bare names and no tags; the service's own carry the
// plug-in's prefix and tags, as do its functions.
TEST_F(Service, PrefixesAndTagsItsOwnTypesAndFunctions) {
  const std::string tags = "Plugins,Plugin ark-simple-dialog-messages";
  auto tagsOf = [](const char* const* list, uint32_t count) {
    std::string text;
    for (uint32_t i = 0; i < count; ++i) text += (i == 0 ? "" : ",") + std::string(list[i]);
    return text;
  };
  for (const char* bare : {"SimpleDialogMessage", "SimpleDialogMessageResponse"}) {
    const FlatTypeRecord* type = FindType(service.host, bare);
    ASSERT_NE(type, nullptr) << bare;
    EXPECT_EQ(type->tagCount, 0u) << bare;
  }
  const FlatTypeRecord* message = FindType(service.host, "ArkSimpleDialogMessagesMessage");
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(tagsOf(message->tags, message->tagCount), tags);
  EXPECT_EQ(FindType(service.host, "Message"), nullptr);
  for (const char* name : {kGetMessages, kPostMessages, kDeleteMessage}) {
    const FlatFunctionRecord* record = service.host.FindFunction(name);
    ASSERT_NE(record, nullptr) << name;
    EXPECT_EQ(tagsOf(record->tags, record->tagCount), tags) << name;
  }
}

// A message shows id, type and body only, in that order, whatever it came with.
TEST_F(Service, ListShowsOnlyIdTypeAndBody) {
  ASSERT_EQ(service.Post(R"({"msgType":"hello","msgBody":["a","b"]})").Error(), "");
  service.SendLcds(kMastery);
  EXPECT_EQ(service.List(),
            "[" + Element(0, "hello", R"(["a","b"])") + "," + Element(1, "championMastery", R"(["aurel","7"])") + "]");
}

TEST_F(Service, EveryChangePushesTheWholeListOnceUnderBothNames) {
  ASSERT_EQ(service.Post(R"({"msgType":"x","msgBody":[]})").Error(), "");
  const std::vector<FiredEvent>& fired = service.host.FiredEvents();
  ASSERT_EQ(fired.size(), 2u);
  EXPECT_EQ(fired[0].name, kMessagesEvent);
  EXPECT_EQ(fired[1].name, "OnJsonApiEvent");
  for (const FiredEvent& event : fired) {
    EXPECT_EQ(FlatValueText(event.data.Get()),
              "{\"data\":[" + Element(0, "x", "[]") + "],\"eventType\":\"Update\",\"uri\":\"" + kMessagesUri + "\"}");
  }
  ASSERT_EQ(service.Delete(0).Error(), "");
  EXPECT_EQ(service.Pushed(), (std::vector<std::string>{"[" + Element(0, "x", "[]") + "]", "[]"}));
}

// Local messages are shown whatever their type and whatever the phase, with a list of texts as body.
TEST_F(Service, LocalMessageKeepsAnyTypeAndAnEmptyBody) {
  service.SendSession("Update", "ChampSelect");
  ASSERT_EQ(service.Post(R"({"msgType":"notAPlatformType","msgBody":[]})").Error(), "");
  EXPECT_EQ(service.List(), "[" + Element(0, "notAPlatformType", "[]") + "]");
  EXPECT_EQ(service.Pushed().size(), 1u);
}

TEST_F(Service, IdsAreNeverReusedAfterADismissal) {
  ASSERT_EQ(service.Post(R"({"msgType":"a","msgBody":[]})").Error(), "");
  ASSERT_EQ(service.Post(R"({"msgType":"b","msgBody":[]})").Error(), "");
  ASSERT_EQ(service.Delete(1).Error(), "");
  ASSERT_EQ(service.Post(R"({"msgType":"c","msgBody":[]})").Error(), "");
  EXPECT_EQ(service.List(), "[" + Element(0, "a", "[]") + "," + Element(2, "c", "[]") + "]");
}

// Dismissing what is not visible changes nothing, pushes nothing and names the id in decimal.
TEST_F(Service, DismissingAnUnknownIdFails) {
  ASSERT_EQ(service.Post(R"({"msgType":"a","msgBody":[]})").Error(), "");
  ASSERT_EQ(service.Delete(0).Error(), "");
  service.ForgetRecords();
  struct Row {
    int64_t id;
    const char* text;
  } rows[] = {
      {0, "Message 0 does not exist or has already been dismissed"},  // already dismissed
      {17, "Message 17 does not exist or has already been dismissed"},
      {-3, "Message -3 does not exist or has already been dismissed"},
      {9007199254740993, "Message 9007199254740993 does not exist or has already been dismissed"},
  };
  std::vector<std::string> texts;
  for (const Row& row : rows) {
    ApiResponse response = service.Delete(row.id);
    EXPECT_EQ(response.Status(), 400) << row.id;
    EXPECT_EQ(response.Error(), row.text);
    texts.push_back(row.text);
  }
  EXPECT_EQ(service.LogsAt(kWarn), texts);
  EXPECT_TRUE(service.Pushed().empty());
  EXPECT_TRUE(service.Invokes().empty());
  EXPECT_EQ(service.List(), "[]");
}

TEST_F(Service, DismissingALocalMessageSendsNoAcknowledgement) {
  ASSERT_EQ(service.Post(R"({"msgType":"a","msgBody":["x"]})").Error(), "");
  service.ForgetRecords();
  ApiResponse response = service.Delete(0);
  EXPECT_EQ(response.Error(), "");
  EXPECT_TRUE(service.Invokes().empty());
  EXPECT_TRUE(service.host.Logs().empty());
  EXPECT_EQ(service.Pushed(), std::vector<std::string>{"[]"});
}

// ---- Platform intake ----

TEST_F(Service, AcceptedLcdsMessageIsShownAndPushed) {
  service.SendLcds(kMastery);
  EXPECT_EQ(service.Pushed(), std::vector<std::string>{"[" + Element(0, "championMastery", R"(["aurel","7"])") + "]"});
  service.SendLcds(kMastery);  // the same platform id again is a second message
  EXPECT_EQ(service.List(), "[" + Element(0, "championMastery", R"(["aurel","7"])") + "," +
                                Element(1, "championMastery", R"(["aurel","7"])") + "]");
}

// Only the exact type is taken in; anything else is dropped without a trace in the store.
TEST_F(Service, OtherTypesChangeNothing) {
  for (const char* type : {"ChampionMastery", "championmastery", "championMastery ", "", "eogTally"}) {
    service.SendLcds(PlatformMessage{1, "m", type, {}});
  }
  service.SendLoginData("Update", {{1, "m", "CHAMPIONMASTERY", {}}});
  EXPECT_TRUE(service.Pushed().empty());
  EXPECT_EQ(service.List(), "[]");
  ASSERT_EQ(service.Post(R"({"msgType":"a","msgBody":[]})").Error(), "");
  EXPECT_EQ(service.List(), "[" + Element(0, "a", "[]") + "]");  // the dropped ones took no id
}

TEST_F(Service, UnconvertibleLcdsBodyIsDropped) {
  service.SendLcdsBody(FlatText("not a message"));
  service.SendLcdsBody(FlatStructure({{"accountId", FlatText("minus one")}, {"type", FlatText("championMastery")}}));
  EXPECT_EQ(service.List(), "[]");
  EXPECT_TRUE(service.Pushed().empty());
}

TEST_F(Service, LoginDataAddsItsAcceptedMessagesEveryTime) {
  std::vector<PlatformMessage> packet = {
      {1, "a", "championMastery", {"x", "y"}}, {1, "b", "somethingElse", {"z"}}, {1, "c", "championMastery", {}}};
  service.SendLoginData("Update", packet);
  std::string first = Element(0, "championMastery", R"(["x","y"])");
  std::string second = Element(1, "championMastery", "[]");
  EXPECT_EQ(service.Pushed(), (std::vector<std::string>{"[" + first + "]", "[" + first + "," + second + "]"}));
  service.SendLoginData("Update", packet);
  std::string all = service.List();
  EXPECT_EQ(all, "[" + first + "," + second + "," + Element(2, "championMastery", R"(["x","y"])") + "," +
                     Element(3, "championMastery", "[]") + "]");
  service.ForgetRecords();
  service.SendResource(kLoginDataEvent, kLoginDataUrl, "Delete", FlatValue{});
  EXPECT_TRUE(service.Pushed().empty());
  EXPECT_EQ(service.List(), all);
}

// ---- Acknowledgement ----

TEST_F(Service, DismissalAcknowledgesWithOneResponse) {
  service.SendLcds(kMastery);
  service.ForgetRecords();
  ApiResponse response = service.Delete(0);
  EXPECT_EQ(response.Error(), "");
  EXPECT_EQ(service.Invokes(), std::vector<std::string>{Ack(42, "m-1")});
  EXPECT_EQ(service.LogsAt(kAlways), std::vector<std::string>{"Acknowledged SimpleDialogMessage with msgId m-1"});
  EXPECT_EQ(service.Pushed(), std::vector<std::string>{"[]"});
}

TEST_F(Service, FailedAcknowledgementStillDismisses) {
  service.SendLcds(kMastery);
  service.ForgetRecords();
  service.answer = [](const HostRequest&) -> const char* { return "platform unreachable"; };
  ApiResponse response = service.Delete(0);
  EXPECT_EQ(response.Error(), "");
  EXPECT_EQ(service.LogsAt(kWarn),
            std::vector<std::string>{"Failed to acknowledge SimpleDialogMessage with msgId m-1"});
  EXPECT_TRUE(service.LogsAt(kAlways).empty());
  EXPECT_EQ(service.List(), "[]");
}

TEST_F(Service, MessageWithoutPlatformIdIsDismissedWithAFailure) {
  service.SendLcds(PlatformMessage{5, "", "championMastery", {}});
  service.SendLcds(kMastery);
  service.ForgetRecords();
  ApiResponse response = service.Delete(0);
  EXPECT_EQ(response.Status(), 400);
  EXPECT_EQ(response.Error(), "Message 0 has no platform msgId to ack");
  EXPECT_EQ(service.LogsAt(kWarn), std::vector<std::string>{"Message 0 has no platform msgId to ack"});
  EXPECT_TRUE(service.Invokes().empty());
  std::string rest = "[" + Element(1, "championMastery", R"(["aurel","7"])") + "]";
  EXPECT_EQ(service.Pushed(), std::vector<std::string>{rest});
  EXPECT_EQ(service.List(), rest);
}

// A platform message that happens to carry the local id is not acknowledged either.
TEST_F(Service, PlatformMessageWithTheLocalIdIsNotAcknowledged) {
  service.SendLcds(PlatformMessage{5, "local-only-message", "championMastery", {}});
  service.ForgetRecords();
  EXPECT_EQ(service.Delete(0).Error(), "");
  EXPECT_TRUE(service.Invokes().empty());
  EXPECT_TRUE(service.host.Logs().empty());
  EXPECT_EQ(service.List(), "[]");
}

// ---- Game-flow gating ----

// Each row: a session event and what follows it for a platform message received then.
struct PhaseRow {
  const char* eventType;
  const char* phase;
  bool held;
};

// Every phase from ReadyCheck to PreEndOfGame holds messages back; the rest, and a deleted
// session, let them through.
TEST_F(Service, PhasesThatHoldMessagesBack) {
  const PhaseRow rows[] = {
      {"Update", "None", false},
      {"Update", "Lobby", false},
      {"Update", "Matchmaking", false},
      {"Update", "CheckedIntoTournament", false},
      {"Update", "ReadyCheck", true},
      {"Update", "ChampSelect", true},
      {"Update", "GameStart", true},
      {"Update", "FailedToLaunch", true},
      {"Create", "InProgress", true},
      {"Update", "Reconnect", true},
      {"Update", "WaitingForStats", true},
      {"Update", "PreEndOfGame", true},
      {"Update", "EndOfGame", false},
      {"Create", "TerminatedInError", false},
      {"Delete", "", false},
  };
  for (const PhaseRow& row : rows) {
    ServiceHost fresh;
    fresh.Start();
    fresh.SendSession(row.eventType, row.phase);
    fresh.ForgetRecords();
    fresh.SendLcds(kMastery);
    EXPECT_EQ(fresh.Pushed().size(), row.held ? 0u : 1u) << row.eventType << " " << row.phase;
    EXPECT_EQ(fresh.List() == "[]", row.held) << row.eventType << " " << row.phase;
  }
}

TEST_F(Service, HeldMessagesAreReleasedInArrivalOrderWithTheirIds) {
  service.SendSession("Update", "ChampSelect");
  service.SendLcds(PlatformMessage{1, "a", "championMastery", {"1"}});
  service.SendLcds(PlatformMessage{1, "b", "championMastery", {"2"}});
  service.SendSession("Update", "InProgress");  // still held: no change, no push
  ASSERT_EQ(service.Post(R"({"msgType":"local","msgBody":[]})").Error(), "");
  service.SendLcds(PlatformMessage{1, "c", "championMastery", {"3"}});
  EXPECT_EQ(service.Delete(0).Error(), "Message 0 does not exist or has already been dismissed");
  std::string local = Element(2, "local", "[]");
  EXPECT_EQ(service.Pushed(), std::vector<std::string>{"[" + local + "]"});
  service.ForgetRecords();
  service.SendSession("Update", "EndOfGame");
  std::string released = "[" + local + "," + Element(0, "championMastery", R"(["1"])") + "," +
                         Element(1, "championMastery", R"(["2"])") + "," + Element(3, "championMastery", R"(["3"])") +
                         "]";
  EXPECT_EQ(service.Pushed(), std::vector<std::string>{released});
  service.SendSession("Update", "Lobby");  // allowed already: nothing
  EXPECT_EQ(service.Pushed().size(), 1u);
  EXPECT_EQ(service.List(), released);
}

// Each row: the phases in turn and how many pushes the last one makes.
TEST_F(Service, OnlyAChangeToAllowedPushes) {
  struct Row {
    std::vector<const char*> phases;
    std::size_t pushes;
  } rows[] = {
      {{"Lobby", "Matchmaking"}, 0},
      {{"ChampSelect", "InProgress"}, 0},
      {{"PreEndOfGame", "EndOfGame"}, 1},  // released, even with nothing held
      {{"ReadyCheck", "TerminatedInError"}, 1},
      {{"FailedToLaunch", "FailedToLaunch"}, 0},
      {{"EndOfGame", "Lobby"}, 0},
  };
  for (const Row& row : rows) {
    ServiceHost fresh;
    fresh.Start();
    for (std::size_t i = 0; i + 1 < row.phases.size(); ++i) fresh.SendSession("Update", row.phases[i]);
    fresh.ForgetRecords();
    fresh.SendSession("Update", row.phases.back());
    EXPECT_EQ(fresh.Pushed(), std::vector<std::string>(row.pushes, "[]")) << row.phases.back();
  }
}

TEST_F(Service, DeletedSessionReleasesHeldMessages) {
  service.SendSession("Update", "GameStart");
  service.SendLcds(kMastery);
  service.SendResource(kSessionEvent, kSessionUrl, "Delete", FlatValue{});
  EXPECT_EQ(service.Pushed(), std::vector<std::string>{"[" + Element(0, "championMastery", R"(["aurel","7"])") + "]"});
}

// A session the service can't read leaves the state as it was.
TEST_F(Service, UnreadableSessionChangesNothing) {
  service.SendSession("Update", "ChampSelect");
  service.SendResource(kSessionEvent, kSessionUrl, "Update", FlatStructure({{"phase", FlatText("Bogus")}}));
  service.SendResource(kSessionEvent, kSessionUrl, "Update", FlatText("no session"));
  service.SendLcds(kMastery);
  EXPECT_EQ(service.List(), "[]");
  EXPECT_TRUE(service.Pushed().empty());
}

// ---- Start-up ----

// The login data is read before the session, so its messages are shown although the phase in
// force would hold them; messages arriving afterwards are held.
TEST(ServiceStart, LoginDataIsTakenInBeforeTheSessionApplies) {
  ServiceHost service;
  service.host.SetResource(
      kLoginDataUrl,
      OwnedFlatValue(ServiceHost::LoginData({{7, "boot", "championMastery", {"1"}}, {7, "x", "other", {}}})));
  service.host.SetResource(kSessionUrl, OwnedFlatValue(ServiceHost::Session("InProgress")));
  service.Start();
  std::string first = "[" + Element(0, "championMastery", R"(["1"])") + "]";
  EXPECT_EQ(service.List(), first);
  EXPECT_EQ(service.Pushed(), std::vector<std::string>{first});
  service.SendLcds(kMastery);
  EXPECT_EQ(service.List(), first);
  service.SendSession("Update", "EndOfGame");
  EXPECT_EQ(service.List(), "[" + Element(0, "championMastery", R"(["1"])") + "," +
                                Element(1, "championMastery", R"(["aurel","7"])") + "]");
}

TEST(ServiceStart, SubscribesInOrderAndStartsWithoutResources) {
  ServiceHost service;
  service.Start();
  std::vector<std::string> added;
  for (const HostCall& call : service.host.CallsOf(3)) added.push_back(call.arguments[0]);
  std::vector<std::string> ours;
  for (const std::string& name : added) {
    if (name == kLcdsEvent || name == kLoginDataEvent || name == kSessionEvent) ours.push_back(name);
  }
  EXPECT_EQ(ours, (std::vector<std::string>{kLcdsEvent, kLoginDataEvent, kSessionEvent}));
  EXPECT_EQ(service.List(), "[]");
}

// ---- Waiting for the acknowledgement ----

// While the host answers the acknowledgement it hands the plug-in a second dismissal of the
// same message, a new message and a session change that releases a held one. The outer
// dismissal must remove by id afterwards, not by a position it took before, and still push the
// list, which it finds unchanged.
TEST_F(Service, HostReenteringDuringTheAcknowledgementKeepsTheListConsistent) {
  service.SendLcds(PlatformMessage{1, "first", "championMastery", {}});   // id 0
  service.SendLcds(PlatformMessage{1, "second", "championMastery", {}});  // id 1
  service.SendSession("Update", "ChampSelect");
  service.SendLcds(PlatformMessage{1, "held", "championMastery", {}});  // id 2, held
  int depth = 0;
  ApiResponse inner;
  service.answer = [&](const HostRequest&) -> const char* {
    if (++depth == 1) {
      inner = service.Delete(0);
      service.SendLcds(PlatformMessage{1, "late", "championMastery", {}});  // id 3, held
      service.SendSession("Update", "EndOfGame");
      service.SendLcds(PlatformMessage{1, "new", "championMastery", {}});  // id 4
    }
    --depth;
    return nullptr;
  };
  service.ForgetRecords();
  ApiResponse outer = service.Delete(0);
  EXPECT_EQ(outer.Error(), "");
  EXPECT_EQ(inner.Error(), "");
  EXPECT_EQ(service.Invokes().size(), 2u);
  const std::string final = "[" + Element(1, "championMastery", "[]") + "," + Element(2, "championMastery", "[]") +
                            "," + Element(3, "championMastery", "[]") + "," + Element(4, "championMastery", "[]") + "]";
  EXPECT_EQ(service.List(), final);
  // The inner dismissal, the release, the new message, then the outer dismissal.
  std::vector<std::string> pushed = service.Pushed();
  ASSERT_EQ(pushed.size(), 4u);
  EXPECT_EQ(pushed[2], final);
  EXPECT_EQ(pushed[3], final);
  EXPECT_EQ(service.Delete(0).Error(), "Message 0 does not exist or has already been dismissed");
}

// ---- Volume ----

TEST(ServiceVolume, HundredThousandMessagesComeAndGo) {
  ServiceHost service;
  service.Start();
  Vela::Sdk::MemoryStatisticsRecord before = service.host.MemoryStatistics();
  constexpr int kTotal = 100000;
  constexpr int kBatch = 2;
  int64_t expected = 0;
  for (int sent = 0; sent < kTotal; sent += kBatch) {
    for (int i = 0; i < kBatch; ++i) {
      service.SendLcds(PlatformMessage{1, "m" + std::to_string(sent + i), "championMastery", {"p"}});
    }
    for (int i = 0; i < kBatch; ++i, ++expected) {
      ApiResponse response = service.Delete(expected);
      if (!response.Error().empty()) {
        FAIL() << "message " << expected << ": " << response.Error();
      }
    }
    if (sent % 10000 == 0) service.ForgetRecords();  // keeps the host's records small
  }
  EXPECT_EQ(service.List(), "[]");
  service.ForgetRecords();
  ASSERT_EQ(service.Post(R"({"msgType":"after","msgBody":[]})").Error(), "");
  EXPECT_EQ(service.List(), "[" + Element(kTotal, "after", "[]") + "]");
  ASSERT_EQ(service.Delete(kTotal).Error(), "");
  Vela::Sdk::MemoryStatisticsRecord after = service.host.MemoryStatistics();
  uint64_t liveBefore = before.totalBytesAllocated - before.totalBytesFreed;
  uint64_t liveAfter = after.totalBytesAllocated - after.totalBytesFreed;
  EXPECT_LT(liveAfter, liveBefore + 64 * 1024) << "live bytes grew from " << liveBefore << " to " << liveAfter;
}

}  // namespace
}  // namespace Vela::DevHost
