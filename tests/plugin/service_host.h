// ServiceHost: the host stand-in playing the client core around the built plug-in, with the
// requests, events and invoke answers the service's tests need.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "devhost/host_stand_in.h"
#include "sdk/host/abi/allocation.h"

namespace Vela::DevHost {

inline constexpr char kMessagesUri[] = "/ark-simple-dialog-messages/v1/messages";
inline constexpr char kGetMessages[] = "GetArkSimpleDialogMessagesV1Messages";
inline constexpr char kPostMessages[] = "PostArkSimpleDialogMessagesV1Messages";
inline constexpr char kDeleteMessage[] = "DeleteArkSimpleDialogMessagesV1MessagesByMessageId";
inline constexpr char kMessagesEvent[] = "OnJsonApiEvent_ark-simple-dialog-messages_v1_messages";
inline constexpr char kLcdsEvent[] = "OnLcdsEvent_com_velaworks_platform_messaging_persistence_SimpleDialogMessage";
inline constexpr char kLoginDataUrl[] = "/ark-login/v1/login-data-packet";
inline constexpr char kLoginDataEvent[] = "OnJsonApiEvent_ark-login_v1_login-data-packet";
inline constexpr char kSessionUrl[] = "/ark-gameflow/v1/session";
inline constexpr char kSessionEvent[] = "OnJsonApiEvent_ark-gameflow_v1_session";
inline constexpr char kInvokeUrl[] = "/ark-login/v1/session/invoke";

/// One message as the platform or the login data packet carries it.
struct PlatformMessage {
  uint64_t accountId = 0;
  std::string msgId;
  std::string type;
  std::vector<std::string> params;
};

/// The member `name` of a structure, or null.
inline const FlatValue* FlatMemberOf(const FlatValue& value, const char* name) {
  if (value.kind != Vela::Sdk::kFlatStructure || value.payload.ref.data == nullptr) return nullptr;
  const auto* members = static_cast<const Vela::Sdk::FlatMember*>(value.payload.ref.data);
  for (uint32_t i = 0; i < value.payload.ref.count; ++i) {
    if (members[i].name != nullptr && std::strcmp(members[i].name, name) == 0) return &members[i].value;
  }
  return nullptr;
}

inline FlatValue FlatTexts(const std::vector<std::string>& texts) {
  std::vector<FlatValue> elements;
  for (const std::string& text : texts) elements.push_back(FlatText(text));
  return FlatCollection(std::move(elements));
}

class ServiceHost {
 public:
  /// What the host answers to one LCDS invoke: null for success, else the error text.
  using InvokeAnswer = std::function<const char*(const HostRequest& request)>;

  explicit ServiceHost(Vela::Sdk::Platform::LibraryLifetime lifetime = Vela::Sdk::Platform::LibraryLifetime::kProcess) {
    if (!host.Load(BuiltPluginPath(), lifetime)) ADD_FAILURE() << host.LastError();
    host.SetRequestHandler([this](const HostRequest& request, HostResponse& response) { Answer(request, response); });
  }

  /// Handshake and Initialise, with whatever resources were set before.
  void Start() {
    ASSERT_EQ(host.Handshake(), 0);
    ASSERT_TRUE(host.Initialise());
  }

  static ApiRequest Request(int32_t method, std::string url) {
    ApiRequest request;
    request.method = method;
    request.url = std::move(url);
    return request;
  }

  ApiResponse Get() { return host.Call(kGetMessages, Request(Vela::Sdk::kMethodGet, kMessagesUri)); }

  /// The visible list as text, e.g. [{"body":["a"],"id":0,"type":"t"}]; "error" when the GET fails.
  std::string List() {
    ApiResponse response = Get();
    if (!response.Error().empty()) return "error: " + response.Error();
    return FlatValueText(response.Body());
  }

  ApiResponse Post(const std::string& jsonBody) {
    ApiRequest request = Request(Vela::Sdk::kMethodPost, kMessagesUri);
    request.contentType = "application/json";
    request.body = jsonBody;
    return host.Call(kPostMessages, request);
  }

  ApiResponse Delete(int64_t id) {
    return host.Call(kDeleteMessage,
                     Request(Vela::Sdk::kMethodDelete, std::string(kMessagesUri) + "/" + std::to_string(id)));
  }

  /// Delivers one LCDS message and runs the task the plug-in schedules for it.
  void SendLcds(const PlatformMessage& message) {
    FlatValue body = FlatStructure({{"accountId", FlatUnsigned(message.accountId)},
                                    {"msgId", FlatText(message.msgId)},
                                    {"type", FlatText(message.type)},
                                    {"params", FlatTexts(message.params)}});
    SendLcdsBody(body);
  }

  void SendLcdsBody(FlatValue body) {
    OwnedFlatValue event(
        FlatStructure({{"clientId", FlatText("client")},
                       {"subtopic", FlatText("")},
                       {"typeName", FlatText("com.velaworks.platform.messaging.persistence.SimpleDialogMessage")},
                       {"body", body}}));
    EXPECT_TRUE(host.DeliverEvent(kLcdsEvent, event.Get()));
    host.RunScheduled();
  }

  static FlatValue LoginData(const std::vector<PlatformMessage>& messages) {
    std::vector<FlatValue> simple;
    for (const PlatformMessage& message : messages) {
      simple.push_back(FlatStructure({{"accountId", FlatUnsigned(message.accountId)},
                                      {"msgId", FlatText(message.msgId)},
                                      {"type", FlatText(message.type)},
                                      {"params", FlatTexts(message.params)}}));
    }
    return FlatStructure({{"simpleMessages", FlatCollection(std::move(simple))}});
  }

  static FlatValue Session(const char* phase) { return FlatStructure({{"phase", FlatText(phase)}}); }

  /// Delivers a resource event; `data` is taken over.
  void SendResource(const char* eventName, const char* uri, const char* eventType, FlatValue data) {
    OwnedFlatValue event(FlatStructure({{"uri", FlatText(uri)}, {"eventType", FlatText(eventType)}, {"data", data}}));
    EXPECT_TRUE(host.DeliverEvent(eventName, event.Get()));
  }

  /// A Delete carries no data.
  void SendSession(const char* eventType, const char* phase) {
    SendResource(kSessionEvent, kSessionUrl, eventType,
                 std::string_view(eventType) == "Delete" ? FlatValue{} : Session(phase));
  }

  void SendLoginData(const char* eventType, const std::vector<PlatformMessage>& messages) {
    SendResource(kLoginDataEvent, kLoginDataUrl, eventType, LoginData(messages));
  }

  /// The lists pushed under the message resource's own event name since the last
  /// ForgetRecords, as text.
  std::vector<std::string> Pushed() const {
    std::vector<std::string> lists;
    for (const FiredEvent& event : host.FiredEvents()) {
      if (event.name != kMessagesEvent) continue;
      const FlatValue* data = FlatMemberOf(event.data.Get(), "data");
      lists.push_back(data == nullptr ? "missing" : FlatValueText(*data));
    }
    return lists;
  }

  /// The arguments of every invoke the plug-in sent, as text.
  const std::vector<std::string>& Invokes() const { return invokes_; }

  /// Log records at `level` since the last ForgetRecords.
  std::vector<std::string> LogsAt(int32_t level) const {
    std::vector<std::string> texts;
    for (const LogRecord& record : host.Logs()) {
      if (record.level == level) texts.push_back(record.message);
    }
    return texts;
  }

  void ForgetRecords() {
    host.ClearCalls();
    host.ClearFiredEvents();
    host.ClearLogs();
    invokes_.clear();
  }

  HostStandIn host;
  /// Answers the invokes; success unless replaced.
  InvokeAnswer answer = [](const HostRequest&) -> const char* { return nullptr; };

 private:
  void Answer(const HostRequest& request, HostResponse& response) {
    std::string url = request.url == nullptr ? "" : request.url;
    if (request.method != Vela::Sdk::kMethodPost || url != kInvokeUrl) {
      response.error = const_cast<char*>("Resource not found");
      response.status = 404;
      return;
    }
    std::string arguments;
    for (uint32_t i = 0; i < request.argumentCount; ++i) {
      if (i != 0) arguments += ',';
      arguments += FlatValueText(request.arguments[i].value);
    }
    invokes_.push_back(arguments);
    const char* error = answer(request);
    if (error != nullptr) {
      response.error = Vela::Sdk::DuplicateText(error);
      response.errorOwned = 1;
      response.status = 500;
    } else {
      response.status = 200;
    }
  }

  std::vector<std::string> invokes_;
};

}  // namespace Vela::DevHost
