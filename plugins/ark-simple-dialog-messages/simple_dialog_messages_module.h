// The plug-in object of ark-simple-dialog-messages: the message store, its routes, the intake
// from the platform with its acknowledgement, and the game-flow gating.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "plugins/ark-simple-dialog-messages/message_records.h"
#include "sdk/binding/maybe_type.h"
#include "sdk/host/app_module.h"
#include "sdk/host/host_event_types.h"

namespace Vela::Client::SimpleDialogMessages::Api {

using Vela::Sdk::Maybe;
using Vela::Sdk::ResourceEventOf;

/// The plug-in's short name; its full name adds the back-end prefix.
inline constexpr char kShortName[] = "ark-simple-dialog-messages";

/// Route of the message list and URI of the resource pushed on every change.
inline constexpr char kMessagesUri[] = "/ark-simple-dialog-messages/v1/messages";
inline constexpr char kMessageUrl[] = "/ark-simple-dialog-messages/v1/messages/{messageId}";
/// The msgId of messages created locally; they are never acknowledged.
inline constexpr char kLocalOnlyMsgId[] = "local-only-message";
/// The platform message types the service keeps.
extern const std::unordered_set<std::string> kAcceptedMessageTypes;
/// Phases in which platform messages are held back instead of shown.
inline constexpr std::array<GameflowPhase, 8> kHeldGameflowPhases = {
    GameflowPhase::ReadyCheck,      GameflowPhase::ChampSelect, GameflowPhase::GameStart,
    GameflowPhase::FailedToLaunch,  GameflowPhase::InProgress,  GameflowPhase::Reconnect,
    GameflowPhase::WaitingForStats, GameflowPhase::PreEndOfGame};

/// Platform class names of the two records exchanged over LCDS.
inline constexpr char kSimpleDialogMessageClass[] = "com.velaworks.platform.messaging.persistence.SimpleDialogMessage";
inline constexpr char kSimpleDialogMessageResponseClass[] =
    "com.velaworks.platform.messaging.persistence.SimpleDialogMessageResponse";
inline constexpr char kLoginDataPacketUrl[] = "/ark-login/v1/login-data-packet";
inline constexpr char kGameflowSessionUrl[] = "/ark-gameflow/v1/session";

/// Log texts (category DBG), printf-style, and the reply texts of a failed dismissal.
namespace ServiceText {
inline constexpr char kMessageNotFound[] = "Message %lli does not exist or has already been dismissed";
inline constexpr char kNoPlatformMsgId[] = "Message %lli has no platform msgId to ack";
inline constexpr char kAcknowledged[] = "Acknowledged SimpleDialogMessage with msgId %s";
inline constexpr char kAcknowledgeFailed[] = "Failed to acknowledge SimpleDialogMessage with msgId %s";
}  // namespace ServiceText
// The acknowledgement: an LCDS call of the platform's messaging service.
inline constexpr char kAckDestination[] = "clientFacadeService";
inline constexpr char kAckOperation[] = "callPersistenceMessaging";
inline constexpr char kAckCommand[] = "ack";
/// Status of the service's own request failures.
inline constexpr int32_t kBadRequestStatus = 400;

class SimpleDialogMessagesModule final : public Vela::Sdk::AppModule {
 public:
  SimpleDialogMessagesModule();
  ~SimpleDialogMessagesModule() override;

  /// Registers the service's records, then its three message routes.
  void RegisterRoutes() override;
  /// Subscribes to the platform's messages, the login data and the game-flow session.
  bool Start() override;

  /// Registers the eight records of the service in dependency order.
  void RegisterTypes();

  // Route handlers.
  Maybe<std::vector<Message>> GetMessages();
  Maybe<void> CreateLocalMessage(const LocalMessageRequest& request);
  Maybe<void> DismissMessage(int64_t messageId);

  // Intake and gating.
  void ReceiveMessage(const SimpleDialogMessage& message);
  void OnLoginDataPacket(const ResourceEventOf<LoginDataPacket>& event);
  void OnGameflowSession(const ResourceEventOf<GameflowSession>& event);
  void SetNotificationsAllowed(bool allowed);
  /// Tells the platform a message was dismissed. Takes its own copies: the host may change the
  /// lists while this waits for the answer.
  void AcknowledgeMessage(uint64_t accountId, std::string msgId);

  /// Pushes the whole visible list as an Update of kMessagesUri.
  void PublishMessages();

  const std::vector<Message>& Messages() const { return messages_; }
  const std::vector<Message>& HeldMessages() const { return heldMessages_; }
  bool NotificationsAllowed() const { return notificationsAllowed_; }

 private:
  /// The next id; ids are never reused within a run.
  int64_t TakeMessageId();
  /// The first visible message with that id, or the end of the list.
  std::vector<Message>::iterator FindVisible(int64_t messageId);
  /// Removes the visible message with that id, if it is still there.
  bool RemoveVisible(int64_t messageId);

  int64_t nextMessageId_ = 0;
  std::vector<Message> messages_;      // visible, oldest first
  std::vector<Message> heldMessages_;  // held back by the game-flow phase, oldest first
  bool notificationsAllowed_ = true;
};

/// Builds the plug-in object for the export.
Vela::Sdk::AppModule* CreateSimpleDialogMessagesModule();

/// True when platform messages are held back in `phase`.
bool IsHeldGameflowPhase(GameflowPhase phase) noexcept;

}  // namespace Vela::Client::SimpleDialogMessages::Api
