// HttpHost: the developer host's face towards HTTP. It runs one plug-in through the host stand-in
// (which faces the plug-in) as the client core would, answers the plug-in's own requests (the resource store, the LCDS
// invoke endpoint), plays the other plug-ins and the platform (resource and LCDS events), and turns HTTP calls into
// calls of the plug-in's API functions. Every member runs on the host loop's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "devhost/host_loop.h"
#include "devhost/host_stand_in.h"
#include "devhost/http_exchange.h"
#include "devhost/record_history.h"
#include "sdk/binding/binding_value.h"

namespace Vela::DevHost {

/// Texts the host answers with; "%1" and "%2" are filled by the SDK's formatter.
namespace HostText {
inline constexpr char kNothingStored[] = "Nothing is stored at %1";
inline constexpr char kMethodNotAllowed[] = "Method %1 is not allowed on %2";
inline constexpr char kUnknownControl[] = "No host control at %1";
inline constexpr char kLcdsInvokeFailed[] = "LCDS invocation refused: the host is set to fail invocations";
inline constexpr char kLcdsMessageShape[] = "An LCDS message needs a \"typeName\" text and a \"body\"";
inline constexpr char kSwitchShape[] = "Expected true or false";
inline constexpr char kNoHostForm[] = "The value has no host form";
inline constexpr char kResourceNotFound[] = "Resource not found";
inline constexpr char kShuttingDown[] = "The host is shutting down";
/// %1 the export's result.
inline constexpr char kHandshakeFailed[] = "Plug-in handshake failed: the export returned %1 without an entry table";
inline constexpr char kInitialiseFailed[] = "Plug-in Initialise reported failure";
inline constexpr char kTooManyStreams[] = "Too many open event streams";
inline constexpr char kEventStreamOnly[] = "The event stream is served over HTTP only";
}  // namespace HostText

inline constexpr char kLcdsMessagesPath[] = "/lcds/messages";
inline constexpr char kEventsPath[] = "/events";
inline constexpr char kHostControlPrefix[] = "/host/";
/// Status of a refused LCDS invocation, as the login plug-in answers a failed platform call.
inline constexpr int32_t kLcdsInvokeFailedStatus = 500;

/// "OKAY", "WARN", "ERROR", "ALWAYS"; the number for any other level.
std::string LogLevelName(int32_t level);

/// Headers of the replies of /host/events, /host/log and /host/lcds-invocations: how many records
/// of the kind were dropped (the first one kept has that number) and how many there were in all.
inline constexpr char kRecordsDroppedHeader[] = "Orb-Records-Dropped";
inline constexpr char kRecordsTotalHeader[] = "Orb-Records-Total";

class HttpHost {
 public:
  /// `history` bounds each kind of record kept (events, log records, invocations) on its own.
  explicit HttpHost(HostLoop& loop, RecordBounds history = kDefaultHistoryBounds);
  /// Destroys the plug-in if it is still alive.
  ~HttpHost();
  HttpHost(const HttpHost&) = delete;
  HttpHost& operator=(const HttpHost&) = delete;

  /// Loads the library and performs the handshake; false with Error() set.
  bool Load(const std::string& path);
  /// Calls Initialise; false with Error() set.
  bool Start();
  /// Calls Destroy (the plug-in removes its listeners); nothing is delivered afterwards.
  void Shutdown();
  bool IsRunning() const { return stand_.IsAlive(); }
  const std::string& Error() const { return error_; }
  const std::string& ShortName() const { return shortName_; }

  /// The whole HTTP surface except the event stream.
  HttpReply Handle(const HttpCall& call);

  // Host-side controls, also used by scenarios.

  /// Stores the value without telling anyone: the state the host starts the plug-in in.
  void PresetResource(const std::string& url, const Vela::Sdk::BindingValue& value);
  /// Stores the value and delivers Create (first time) or Update.
  HttpReply PutResource(const std::string& url, const Vela::Sdk::BindingValue& value);
  /// Removes the value and delivers Delete; 404 when nothing was stored.
  HttpReply DeleteResource(const std::string& url);
  HttpReply GetResource(const std::string& url) const;
  /// Delivers {"typeName", "body"[, "clientId", "subtopic"]} as an LCDS message and runs what the
  /// plug-in scheduled for it, so the message has been taken in when this returns.
  HttpReply DeliverLcds(const Vela::Sdk::BindingValue& message);
  /// Sends the call to the plug-in's API functions; `matched` is false when every function
  /// answered "Invalid function", and the reply is then the plug-in's own 404.
  HttpReply CallPlugin(const HttpCall& call, bool& matched);
  void SetLcdsInvokeFails(bool fails) { lcdsInvokeFails_ = fails; }
  bool LcdsInvokeFails() const { return lcdsInvokeFails_; }

  // What happened, numbered from the start so that a caller can ask for what came since; the
  // oldest records go once a history is over its bounds.

  /// Each event the plug-in fired: {"event": name} with the payload's members ("uri",
  /// "eventType", "data"), or {"event", "data"} for a payload that is not a structure.
  const RecordHistory& Events() const { return events_; }
  /// Each log record: {"level", "levelName", "message"}.
  const RecordHistory& Logs() const { return logs_; }
  /// Each LCDS invocation: {"destination", "method", "arguments", "failed"}.
  const RecordHistory& Invocations() const { return invocations_; }
  uint64_t EventCount() const { return events_.Total(); }
  uint64_t LogCount() const { return logs_.Total(); }
  uint64_t InvocationCount() const { return invocations_.Total(); }
  /// The records numbered `from` onwards that are still kept, read back from their JSON.
  std::vector<Vela::Sdk::BindingValue> EventsSince(uint64_t from) const;
  std::vector<Vela::Sdk::BindingValue> LogsSince(uint64_t from) const;
  std::vector<Vela::Sdk::BindingValue> InvocationsSince(uint64_t from) const;

  /// Called with each fired event as one line of compact JSON, the same text the history keeps.
  void SetEventSink(std::function<void(const SharedText& json)> sink) { eventSink_ = std::move(sink); }

  HostStandIn& Stand() { return stand_; }
  HostLoop& Loop() { return loop_; }

 private:
  void OnEvent(const std::string& name, const Vela::Sdk::FlatValue& data);
  void OnLog(int32_t level, const std::string& message);
  void OnPluginRequest(const Vela::Sdk::HostRequest& request, Vela::Sdk::HostResponse& response);
  HttpReply HandleControl(const HttpCall& call);
  HttpReply DeliverResourceEvent(const std::string& url, const char* eventType, const Vela::Sdk::FlatValue& data,
                                 int status);
  std::vector<std::string> Candidates(int32_t method, std::string_view path) const;
  bool InRouteSpace(std::string_view path) const;

  HostLoop& loop_;
  HostStandIn stand_;
  std::string error_;
  std::string shortName_;
  bool lcdsInvokeFails_ = false;
  RecordHistory events_;
  RecordHistory logs_;
  RecordHistory invocations_;
  std::function<void(const SharedText& json)> eventSink_;
};

}  // namespace Vela::DevHost
