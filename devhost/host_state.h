// What the console shows beside the plug-in's list: the game-flow phase in the host's store and
// how many platform messages the plug-in is holding back. The plug-in does not expose the messages
// it holds, so the host counts them from what it delivered and what came of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "devhost/http_exchange.h"
#include "devhost/http_host.h"

namespace Vela::DevHost {

inline constexpr char kHostStatePath[] = "/host/state";
inline constexpr char kGameflowSessionUrl[] = "/ark-gameflow/v1/session";
inline constexpr char kLoginDataPacketUrl[] = "/ark-login/v1/login-data-packet";
inline constexpr char kDialogMessageClass[] = "com.velaworks.platform.messaging.persistence.SimpleDialogMessage";
/// The one message type the plug-in shows; others are dropped, not held.
inline constexpr char kShownMessageType[] = "championMastery";

/// True for the phases in which messages are held back: ReadyCheck up to PreEndOfGame.
bool IsHeldPhase(std::string_view phase);

/// Sits in front of HttpHost::Handle on the host loop's thread.
class HostStateTracker {
 public:
  /// Answers GET /host/state itself; passes every other call to the host and counts the shown
  /// platform messages it delivered while the phase holds them and that did not change the list.
  HttpReply Handle(HttpHost& host, const HttpCall& call);
  /// {"phase": the stored phase's name or null, "held": bool, "heldCount": n}.
  HttpReply State(const HttpHost& host) const;

 private:
  uint64_t heldCount_ = 0;
};

}  // namespace Vela::DevHost
