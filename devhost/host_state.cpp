// Counting held messages from the host's side.
#include "devhost/host_state.h"

#include <algorithm>
#include <array>

#include "devhost/payload_codec.h"
#include "sdk/diag/format.h"

namespace Vela::DevHost {

using Vela::Sdk::BindingValue;
using Vela::Sdk::ValueKind;

namespace {

// In the order of the enumeration, so a phase stored by number reads as its name.
constexpr std::array<std::string_view, 14> kPhases = {"None",
                                                      "Lobby",
                                                      "Matchmaking",
                                                      "CheckedIntoTournament",
                                                      "ReadyCheck",
                                                      "ChampSelect",
                                                      "GameStart",
                                                      "FailedToLaunch",
                                                      "InProgress",
                                                      "Reconnect",
                                                      "WaitingForStats",
                                                      "PreEndOfGame",
                                                      "EndOfGame",
                                                      "TerminatedInError"};
constexpr std::size_t kFirstHeld = 4;  // ReadyCheck
constexpr std::size_t kLastHeld = 11;  // PreEndOfGame

// Empty when no session is stored or its phase is not one of the enumeration.
std::string StoredPhase(const HttpHost& host) {
  HttpReply stored = host.GetResource(kGameflowSessionUrl);
  if (stored.status != 200) return {};
  Vela::Sdk::BindingResult session = DecodePayload(PayloadFormat::kJson, stored.body);
  if (!session.Ok()) return {};
  const BindingValue& phase = session.Value().Member("phase");
  if (phase.Kind() == ValueKind::String) return std::string(phase.GetString());
  if (phase.Kind() == ValueKind::Signed || phase.Kind() == ValueKind::Unsigned) {
    uint64_t index = phase.Kind() == ValueKind::Signed ? static_cast<uint64_t>(phase.GetSigned()) : phase.GetUnsigned();
    if (index < kPhases.size()) return std::string(kPhases[static_cast<std::size_t>(index)]);
  }
  return {};
}

bool IsShown(const BindingValue& message) { return message.Member("type").GetString() == kShownMessageType; }

// How many shown messages the call handed to the plug-in.
uint64_t ShownMessagesIn(const HttpCall& call) {
  bool lcds = call.method == "POST" && call.path == kLcdsMessagesPath;
  bool packet = call.method == "PUT" && call.path == kLoginDataPacketUrl;
  if (!lcds && !packet) return 0;
  Vela::Sdk::BindingResult decoded = DecodePayload(PayloadFormatOfContentType(call.contentType), call.body);
  if (!decoded.Ok()) return 0;
  const BindingValue& value = decoded.Value();
  if (lcds) {
    return value.Member("typeName").GetString() == kDialogMessageClass && IsShown(value.Member("body")) ? 1 : 0;
  }
  std::span<const BindingValue> messages = value.Member("simpleMessages").Elements();
  return static_cast<uint64_t>(std::count_if(messages.begin(), messages.end(), IsShown));
}

bool ListChangedSince(const HttpHost& host, uint64_t from) {
  std::string listUrl = "/" + host.ShortName() + "/v1/messages";
  for (const BindingValue& event : host.EventsSince(from)) {
    if (event.Member("uri").GetString() == listUrl) return true;
  }
  return false;
}

}  // namespace

bool IsHeldPhase(std::string_view phase) {
  auto found = std::find(kPhases.begin(), kPhases.end(), phase);
  auto index = static_cast<std::size_t>(found - kPhases.begin());
  return index >= kFirstHeld && index <= kLastHeld;
}

HttpReply HostStateTracker::Handle(HttpHost& host, const HttpCall& call) {
  if (call.path == kHostStatePath) {
    if (call.method == "GET" || call.method == "HEAD") return State(host);
    return ErrorReply(405, Vela::Sdk::Format(HostText::kMethodNotAllowed, call.method, call.path));
  }
  uint64_t eventsBefore = host.EventCount();
  HttpReply reply = host.Handle(call);
  if (reply.status >= 300) return reply;
  if (!IsHeldPhase(StoredPhase(host))) {
    heldCount_ = 0;  // leaving the held phases releases everything
  } else if (!ListChangedSince(host, eventsBefore)) {
    heldCount_ += ShownMessagesIn(call);
  }
  return reply;
}

HttpReply HostStateTracker::State(const HttpHost& host) const {
  std::string phase = StoredPhase(host);
  bool held = IsHeldPhase(phase);
  return JsonReply(200, "{\"phase\":" + (phase.empty() ? std::string("null") : JsonQuoted(phase)) +
                            ",\"held\":" + (held ? "true" : "false") +
                            ",\"heldCount\":" + std::to_string(held ? heldCount_ : 0) + "}");
}

}  // namespace Vela::DevHost
