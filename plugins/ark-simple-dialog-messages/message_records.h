// The records the service exchanges with the platform, the user interface and the login and
// game-flow plug-ins. Field order is the order of the members of every converted value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/binding/binding_value.h"

namespace Vela::Client::SimpleDialogMessages::Api {

using Vela::Sdk::BindingValue;

/// A message as the platform sends it over LCDS.
struct SimpleDialogMessage {
  uint64_t accountId = 0;
  std::string msgId;
  std::string type;
  BindingValue params;
};

/// The acknowledgement of a dismissed message, sent back to the platform.
struct SimpleDialogMessageResponse {
  uint64_t accountId = 0;
  std::string msgId;
  std::string command;
};

/// A message as the service keeps and publishes it. Only id, type and body are registered: the
/// platform's msgId and accountId are needed for the acknowledgement and never shown.
struct Message {
  int64_t id = 0;
  std::string type;
  BindingValue body;
  std::string msgId;
  uint64_t accountId = 0;
};

/// Body of the request that creates a local message.
struct LocalMessageRequest {
  std::string msgType;
  std::vector<std::string> msgBody;
};

/// One message inside the login data packet.
struct SimpleMessage {
  uint64_t accountId = 0;
  std::string msgId;
  std::string type;
  std::vector<std::string> params;
};

/// The part of the login data resource the service reads.
struct LoginDataPacket {
  std::vector<SimpleMessage> simpleMessages;
};

enum class GameflowPhase : int32_t {
  None = 0,
  Lobby = 1,
  Matchmaking = 2,
  CheckedIntoTournament = 3,
  ReadyCheck = 4,
  ChampSelect = 5,
  GameStart = 6,
  FailedToLaunch = 7,
  InProgress = 8,
  Reconnect = 9,
  WaitingForStats = 10,
  PreEndOfGame = 11,
  EndOfGame = 12,
  TerminatedInError = 13,
};

/// The part of the game-flow session resource the service reads.
struct GameflowSession {
  GameflowPhase phase = GameflowPhase::None;
};

}  // namespace Vela::Client::SimpleDialogMessages::Api
