// The plug-in object of ark-simple-dialog-messages.
#include "plugins/ark-simple-dialog-messages/simple_dialog_messages_module.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "sdk/api/register_endpoint.h"
#include "sdk/binding/static_type.h"
#include "sdk/binding/type_registration.h"
#include "sdk/diag/log.h"
#include "sdk/host/host_event_types.h"
#include "sdk/host/trace_hook.h"

namespace Vela::Client::SimpleDialogMessages::Api {

using Vela::Sdk::ArgumentLocation;
using Vela::Sdk::Failure;
using Vela::Sdk::kCategoryDbg;
using Vela::Sdk::kLogAlways;
using Vela::Sdk::kLogWarn;
using Vela::Sdk::Log;
using Vela::Sdk::PluginResourceEventType;
using Vela::Sdk::Trace;

const std::unordered_set<std::string> kAcceptedMessageTypes = {"championMastery"};

namespace {

// A request failure whose message is a printf-style text, as its log record has it.
Failure FailureOf(const char* format, long long messageId) {
  char text[256];
  std::snprintf(text, sizeof text, format, messageId);
  return Failure(kBadRequestStatus, text);
}

BindingValue ListOfTexts(const std::vector<std::string>& texts) {
  BindingValue list;
  list.MakeCollection();
  list.Reserve(texts.size());
  for (const std::string& text : texts) list.Append() = std::string_view(text);
  return list;
}

}  // namespace

bool IsHeldGameflowPhase(GameflowPhase phase) noexcept {
  return std::find(kHeldGameflowPhases.begin(), kHeldGameflowPhases.end(), phase) != kHeldGameflowPhases.end();
}

SimpleDialogMessagesModule::SimpleDialogMessagesModule() : AppModule(kShortName) {}

// Members go in reverse order: the held messages first, then the visible ones.
SimpleDialogMessagesModule::~SimpleDialogMessagesModule() = default;

void SimpleDialogMessagesModule::RegisterTypes() {
  using Vela::Sdk::RegisterEnum;
  using Vela::Sdk::RegisterStruct;
  Vela::Sdk::BindingRegistry& registry = Registry();
  const std::string& prefix = ApiNamePrefix();

  // The platform's own records keep their bare names and carry no tags.
  RegisterStruct<SimpleDialogMessage>(registry, "SimpleDialogMessage")
      .Field("accountId", &SimpleDialogMessage::accountId)
      .Field("msgId", &SimpleDialogMessage::msgId)
      .Field("type", &SimpleDialogMessage::type)
      .Field("params", &SimpleDialogMessage::params);
  RegisterStruct<SimpleDialogMessageResponse>(registry, "SimpleDialogMessageResponse")
      .Field("accountId", &SimpleDialogMessageResponse::accountId)
      .Field("msgId", &SimpleDialogMessageResponse::msgId)
      .Field("command", &SimpleDialogMessageResponse::command);
  // Known both by registered name and by the type's own name, so either lookup finds the class.
  Vela::Sdk::LcdsClassNames& classNames = LcdsClassNameMap();
  classNames["SimpleDialogMessage"] = kSimpleDialogMessageClass;
  classNames[Vela::Sdk::StaticType::Name<SimpleDialogMessage>().name] = kSimpleDialogMessageClass;
  classNames["SimpleDialogMessageResponse"] = kSimpleDialogMessageResponseClass;
  classNames[Vela::Sdk::StaticType::Name<SimpleDialogMessageResponse>().name] = kSimpleDialogMessageResponseClass;

  RegisterStruct<Message>(registry, prefix + "Message")
      .Field("id", &Message::id)
      .Field("type", &Message::type)
      .Field("body", &Message::body)
      .Tags(Tags());
  RegisterStruct<LocalMessageRequest>(registry, prefix + "LocalMessageRequest")
      .Field("msgType", &LocalMessageRequest::msgType)
      .Field("msgBody", &LocalMessageRequest::msgBody)
      .Tags(Tags());
  RegisterStruct<SimpleMessage>(registry, prefix + "SimpleMessage")
      .Field("accountId", &SimpleMessage::accountId)
      .Field("msgId", &SimpleMessage::msgId)
      .Field("type", &SimpleMessage::type)
      .Field("params", &SimpleMessage::params)
      .Tags(Tags());
  RegisterStruct<LoginDataPacket>(registry, prefix + "LoginDataPacket")
      .Field("simpleMessages", &LoginDataPacket::simpleMessages)
      .Tags(Tags());
  RegisterEnum<GameflowPhase>(registry, prefix + "GameflowPhase")
      .Value("None", GameflowPhase::None)
      .Value("Lobby", GameflowPhase::Lobby)
      .Value("Matchmaking", GameflowPhase::Matchmaking)
      .Value("CheckedIntoTournament", GameflowPhase::CheckedIntoTournament)
      .Value("ReadyCheck", GameflowPhase::ReadyCheck)
      .Value("ChampSelect", GameflowPhase::ChampSelect)
      .Value("GameStart", GameflowPhase::GameStart)
      .Value("FailedToLaunch", GameflowPhase::FailedToLaunch)
      .Value("InProgress", GameflowPhase::InProgress)
      .Value("Reconnect", GameflowPhase::Reconnect)
      .Value("WaitingForStats", GameflowPhase::WaitingForStats)
      .Value("PreEndOfGame", GameflowPhase::PreEndOfGame)
      .Value("EndOfGame", GameflowPhase::EndOfGame)
      .Value("TerminatedInError", GameflowPhase::TerminatedInError)
      .Tags(Tags());
  RegisterStruct<GameflowSession>(registry, prefix + "GameflowSession")
      .Field("phase", &GameflowSession::phase)
      .Tags(Tags());
}

void SimpleDialogMessagesModule::RegisterRoutes() {
  using Vela::Sdk::RegisterEndpoint;
  RegisterTypes();
  Vela::Sdk::BindingRegistry& registry = Registry();
  RegisterEndpoint(registry, *this, Vela::Sdk::kMethodGet, kMessagesUri, &SimpleDialogMessagesModule::GetMessages,
                   {.tags = Tags()});
  RegisterEndpoint(registry, *this, Vela::Sdk::kMethodPost, kMessagesUri,
                   &SimpleDialogMessagesModule::CreateLocalMessage, {{"messageRequest", ArgumentLocation::kBody}},
                   {.tags = Tags()});
  RegisterEndpoint(registry, *this, Vela::Sdk::kMethodDelete, kMessageUrl, &SimpleDialogMessagesModule::DismissMessage,
                   {{"messageId", ArgumentLocation::kPath}}, {.tags = Tags()});
}

bool SimpleDialogMessagesModule::Start() {
  SubscribeLcds<SimpleDialogMessage>(kSimpleDialogMessageClass,
                                     [this](const SimpleDialogMessage& message) { ReceiveMessage(message); });
  // Each read delivers the current value before the next subscription: the login data's
  // messages come in while notifications are still allowed, then the phase in force applies.
  ObserveResource<LoginDataPacket>(kLoginDataPacketUrl,
                                   [this](const ResourceEventOf<LoginDataPacket>& event) { OnLoginDataPacket(event); });
  ObserveResource<GameflowSession>(kGameflowSessionUrl,
                                   [this](const ResourceEventOf<GameflowSession>& event) { OnGameflowSession(event); });
  return true;
}

int64_t SimpleDialogMessagesModule::TakeMessageId() {
  int64_t id = nextMessageId_;
  // Unsigned, so the add wraps instead of overflowing.
  nextMessageId_ = static_cast<int64_t>(static_cast<uint64_t>(nextMessageId_) + 1u);
  return id;
}

std::vector<Message>::iterator SimpleDialogMessagesModule::FindVisible(int64_t messageId) {
  return std::find_if(messages_.begin(), messages_.end(),
                      [messageId](const Message& message) { return message.id == messageId; });
}

bool SimpleDialogMessagesModule::RemoveVisible(int64_t messageId) {
  auto found = FindVisible(messageId);
  if (found == messages_.end()) return false;
  messages_.erase(found);
  return true;
}

Maybe<std::vector<Message>> SimpleDialogMessagesModule::GetMessages() { return messages_; }

Maybe<void> SimpleDialogMessagesModule::CreateLocalMessage(const LocalMessageRequest& request) {
  Trace("creating local message with type: %s", request.msgType.c_str());
  Message message;
  message.id = TakeMessageId();
  message.type = request.msgType;
  message.body = ListOfTexts(request.msgBody);
  message.msgId = kLocalOnlyMsgId;
  message.accountId = 0;
  messages_.push_back(std::move(message));
  PublishMessages();
  return {};
}

Maybe<void> SimpleDialogMessagesModule::DismissMessage(int64_t messageId) {
  auto found = FindVisible(messageId);
  if (found == messages_.end()) {
    Log(kLogWarn, kCategoryDbg, ServiceText::kMessageNotFound, static_cast<long long>(messageId));
    return FailureOf(ServiceText::kMessageNotFound, messageId);
  }
  Maybe<void> result;
  // Copies: the acknowledgement waits, and the host may change the list meanwhile.
  std::string msgId = found->msgId;
  uint64_t accountId = found->accountId;
  if (!msgId.empty()) {
    AcknowledgeMessage(accountId, std::move(msgId));
  } else {
    Log(kLogWarn, kCategoryDbg, ServiceText::kNoPlatformMsgId, static_cast<long long>(messageId));
    result = FailureOf(ServiceText::kNoPlatformMsgId, messageId);
  }
  // Found again by id: a request handled during the wait may have dismissed it already, and
  // messages may have been added or released. The list is pushed either way, as after every
  // dismissal, even when it comes out unchanged.
  RemoveVisible(messageId);
  PublishMessages();
  return result;
}

void SimpleDialogMessagesModule::ReceiveMessage(const SimpleDialogMessage& received) {
  if (!kAcceptedMessageTypes.contains(received.type)) return;
  Trace("received message with type: %s", received.type.c_str());
  Message message;
  message.id = TakeMessageId();
  message.type = received.type;
  message.body = received.params;
  message.msgId = received.msgId;
  message.accountId = received.accountId;
  if (notificationsAllowed_) {
    messages_.push_back(std::move(message));
    PublishMessages();
  } else {
    heldMessages_.push_back(std::move(message));
  }
}

void SimpleDialogMessagesModule::OnLoginDataPacket(const ResourceEventOf<LoginDataPacket>& event) {
  if (event.eventType == PluginResourceEventType::Delete) return;
  for (const SimpleMessage& simple : event.data.simpleMessages) {
    SimpleDialogMessage message;
    message.accountId = simple.accountId;
    message.msgId = simple.msgId;
    message.type = simple.type;
    message.params = ListOfTexts(simple.params);
    ReceiveMessage(message);
  }
}

void SimpleDialogMessagesModule::OnGameflowSession(const ResourceEventOf<GameflowSession>& event) {
  switch (event.eventType) {
    case PluginResourceEventType::Create:
    case PluginResourceEventType::Update: SetNotificationsAllowed(!IsHeldGameflowPhase(event.data.phase)); break;
    case PluginResourceEventType::Delete: SetNotificationsAllowed(true); break;
  }
}

void SimpleDialogMessagesModule::SetNotificationsAllowed(bool allowed) {
  if (allowed == notificationsAllowed_) return;
  notificationsAllowed_ = allowed;
  if (allowed) {
    messages_.insert(messages_.end(), std::make_move_iterator(heldMessages_.begin()),
                     std::make_move_iterator(heldMessages_.end()));
    heldMessages_.clear();
    PublishMessages();
  }
  Trace("mastery rank up notifications set to: %s",
        allowed ? "allowed." : "disallowed. notifications will queue until next allowed.");
}

void SimpleDialogMessagesModule::AcknowledgeMessage(uint64_t accountId, std::string msgId) {
  if (msgId == kLocalOnlyMsgId) return;
  SimpleDialogMessageResponse response{accountId, std::move(msgId), kAckCommand};
  Maybe<void> outcome = Await(InvokeLcds(kAckDestination, kAckOperation, response));
  if (outcome) {
    Log(kLogAlways, kCategoryDbg, ServiceText::kAcknowledged, response.msgId.c_str());
  } else {
    Log(kLogWarn, kCategoryDbg, ServiceText::kAcknowledgeFailed, response.msgId.c_str());
  }
}

// A list that does not convert is not sent; the SDK traces it, and the next change sends the
// whole list again.
void SimpleDialogMessagesModule::PublishMessages() { (void)PublishResource(kMessagesUri, messages_); }

Vela::Sdk::AppModule* CreateSimpleDialogMessagesModule() { return new SimpleDialogMessagesModule(); }

}  // namespace Vela::Client::SimpleDialogMessages::Api
