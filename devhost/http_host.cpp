// The developer host.
#include "devhost/http_host.h"

#include <algorithm>
#include <optional>

#include "devhost/api_description.h"
#include "devhost/payload_codec.h"
#include "sdk/api/function_name.h"
#include "sdk/api/method_text.h"
#include "sdk/api/request_dispatch.h"
#include "sdk/diag/format.h"
#include "sdk/host/abi/allocation.h"
#include "sdk/host/app_module.h"
#include "sdk/host/host_event_names.h"
#include "sdk/host/telemetry_sink.h"

namespace Vela::DevHost {

using Vela::Sdk::BindingValue;
using Vela::Sdk::FlatValue;
using Vela::Sdk::HostRequest;
using Vela::Sdk::HostResponse;

namespace {

/// A streamed body larger than this is cut off: the plug-in may not make the host grow at will.
constexpr std::size_t kMaxStreamedBody = 64u << 20;

/// How the names of a method's functions begin ("Get"); "" for none and for custom methods.
std::string MethodWord(int32_t code) {
  return code == Vela::Sdk::kMethodCustom ? "" : Vela::Sdk::MakeFunctionName(code, "");
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::vector<BindingValue> Values(const RecordHistory& history, uint64_t from) {
  std::vector<BindingValue> values;
  for (const SharedText& json : history.Since(from)) {
    Vela::Sdk::BindingResult decoded = DecodePayload(PayloadFormat::kJson, *json);
    values.push_back(decoded.Ok() ? std::move(decoded.Value()) : BindingValue());
  }
  return values;
}

// "since=N" in the query of a listing: the first record wanted; 0 (all kept) when absent.
uint64_t SinceOf(std::string_view target) {
  std::size_t query = target.find('?');
  if (query == std::string_view::npos) return 0;
  std::string_view rest = target.substr(query + 1);
  while (!rest.empty()) {
    std::string_view pair = rest.substr(0, rest.find('&'));
    rest = pair.size() < rest.size() ? rest.substr(pair.size() + 1) : std::string_view();
    if (!StartsWith(pair, "since=")) continue;
    uint64_t value = 0;
    for (char c : pair.substr(6)) {
      if (c < '0' || c > '9' || value > UINT64_MAX / 10 - 1) return value;
      value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
  }
  return 0;
}

void SetError(HostResponse& response, const char* text, int32_t status) {
  response.error = Vela::Sdk::DuplicateText(text);
  response.errorOwned = 1;
  response.status = status;
}

std::string StreamedBody(const HostResponse& response) {
  std::string body;
  char buffer[4096];
  uint8_t more = 1;
  while (more != 0 && body.size() < kMaxStreamedBody) {
    uint32_t length = sizeof buffer;
    more = 0;
    if (response.streamRead(response.streamContext, buffer, &length, &more) == 0) break;
    body.append(buffer, std::min<std::size_t>(length, sizeof buffer));
    if (length == 0 && more != 0) break;  // a stream that never advances would spin forever
  }
  return body;
}

// The plug-in's response as the HTTP reply the issue of each function gets.
HttpReply ReplyOf(const ApiResponse& answer) {
  const HostResponse& response = answer.Get();
  int32_t status = response.status;
  if (response.error != nullptr) {
    if (response.streamRelease != nullptr) response.streamRelease(response.streamContext);
    if (status == 0) status = 400;
    if (status < 100 || status > 599) status = 500;
    return ErrorReply(status, response.error);
  }
  HttpReply reply;
  if (response.streamRead != nullptr) {
    reply.body = StreamedBody(response);
    reply.contentType = kJsonContentType;
  } else if (response.body.kind != Vela::Sdk::kFlatEmpty) {
    reply.body = FlatToJson(response.body);
    reply.contentType = kJsonContentType;
  }
  if (response.streamRelease != nullptr) response.streamRelease(response.streamContext);
  reply.status = status != 0 ? status : reply.body.empty() ? 204 : 200;
  if (reply.status < 100 || reply.status > 599) return ErrorReply(500, "Status " + std::to_string(status));
  for (uint32_t i = 0; response.headers != nullptr && i < response.headerCount; ++i) {
    const Vela::Sdk::HostHeader& header = response.headers[i];
    if (header.name != nullptr && header.value != nullptr) reply.headers.emplace_back(header.name, header.value);
  }
  return reply;
}

std::optional<bool> SwitchValue(const HttpCall& call) {
  Vela::Sdk::BindingResult decoded = DecodePayload(PayloadFormatOfContentType(call.contentType), call.body);
  if (!decoded.Ok()) return std::nullopt;
  const BindingValue& value = decoded.Value();
  if (value.Kind() == Vela::Sdk::ValueKind::Bool) return value.GetBool();
  if (value.GetString() == "true") return true;
  if (value.GetString() == "false") return false;
  return std::nullopt;
}

}  // namespace

std::string LogLevelName(int32_t level) {
  constexpr const char* kNames[] = {"OKAY", "WARN", "ERROR", "ALWAYS"};
  return level >= 0 && level < 4 ? kNames[level] : std::to_string(level);
}

HttpHost::HttpHost(HostLoop& loop, RecordBounds history)
    : loop_(loop), events_(history), logs_(history), invocations_(history) {
  stand_.SetRecording(false);
  stand_.SetScheduleHandler([this](const ScheduledTask& task) {
    HostTaskCallback callback = task.callback;
    void* context = task.context;
    if (callback == nullptr) return;
    // A task still queued when the plug-in is destroyed must not run into the dead object.
    loop_.Post(
        [this, callback, context] {
          if (stand_.IsAlive()) callback(context);
        },
        task.delaySeconds);
  });
  stand_.SetYieldHandler([this] { loop_.RunDue(); });
  stand_.SetEventObserver([this](const std::string& name, const FlatValue& data) { OnEvent(name, data); });
  stand_.SetLogObserver([this](int32_t level, const std::string& message) { OnLog(level, message); });
  stand_.SetRequestHandler(
      [this](const HostRequest& request, HostResponse& response) { OnPluginRequest(request, response); });
}

HttpHost::~HttpHost() { Shutdown(); }

bool HttpHost::Load(const std::string& path) {
  error_.clear();
  if (!stand_.Load(path)) {
    error_ = stand_.LastError();
    return false;
  }
  int result = stand_.Handshake();
  if (!stand_.IsAlive()) {
    error_ = Vela::Sdk::Format(HostText::kHandshakeFailed, result);
    return false;
  }
  const char* shortName = stand_.HandshakeRecord().shortName;
  shortName_ = shortName == nullptr ? std::string() : shortName;
  return true;
}

bool HttpHost::Start() {
  if (!stand_.Initialise()) {
    error_ = HostText::kInitialiseFailed;
    return false;
  }
  return true;
}

void HttpHost::Shutdown() { stand_.Destroy(); }

// Observation

// An event may carry the plug-in's whole list, and one comes with every change of it: it is
// written to JSON once, straight from the host value, and that one text goes to the history and
// to every reader of the stream.
void HttpHost::OnEvent(const std::string& name, const FlatValue& data) {
  FlatJsonWriter writer;
  std::string json;
  if (writer.WriteStructureWith(data, "event", name)) {
    json = writer.Text();
  } else {
    FlatJsonWriter payload;
    bool readable = data.kind != Vela::Sdk::kFlatStructure && payload.Write(data);
    json = "{\"data\":" + (readable ? std::string(payload.Text()) : std::string("null")) +
           ",\"event\":" + JsonQuoted(name) + "}";
  }
  auto shared = std::make_shared<const std::string>(std::move(json));
  if (eventSink_) eventSink_(shared);
  events_.Add(std::move(shared));
}

void HttpHost::OnLog(int32_t level, const std::string& message) {
  BindingValue record;
  record.MemberForWriting("level") = level;
  record.MemberForWriting("levelName") = std::string_view(LogLevelName(level));
  record.MemberForWriting("message") = std::string_view(message);
  logs_.Add(ToJson(record));
}

std::vector<BindingValue> HttpHost::EventsSince(uint64_t from) const { return Values(events_, from); }
std::vector<BindingValue> HttpHost::LogsSince(uint64_t from) const { return Values(logs_, from); }
std::vector<BindingValue> HttpHost::InvocationsSince(uint64_t from) const { return Values(invocations_, from); }

// Requests of the plug-in that the resource store does not answer.

void HttpHost::OnPluginRequest(const HostRequest& request, HostResponse& response) {
  std::string_view url = request.url == nullptr ? std::string_view() : std::string_view(request.url);
  if (request.method == Vela::Sdk::kMethodPost && url == Vela::Sdk::kLcdsInvokeUrl) {
    BindingValue record;
    const char* names[] = {"destination", "method", "arguments"};
    for (uint32_t i = 0; request.arguments != nullptr && i < request.argumentCount && i < 3; ++i) {
      record.MemberForWriting(names[i]) = FlatToBinding(request.arguments[i].value);
    }
    record.MemberForWriting("failed") = lcdsInvokeFails_;
    invocations_.Add(ToJson(record));
    if (lcdsInvokeFails_) {
      SetError(response, HostText::kLcdsInvokeFailed, kLcdsInvokeFailedStatus);
    } else {
      response.status = 200;
    }
    return;
  }
  if (request.method == Vela::Sdk::kMethodPost && StartsWith(url, Vela::Sdk::kTelemetryEventsUrl)) {
    response.status = 204;  // taken and dropped, as a host without telemetry would
    return;
  }
  SetError(response, HostText::kResourceNotFound, 404);
}

// The HTTP surface

HttpReply HttpHost::Handle(const HttpCall& call) {
  if (!stand_.IsAlive()) return ErrorReply(503, HostText::kShuttingDown);
  if (StartsWith(call.path, kHostControlPrefix)) return HandleControl(call);
  if (call.path == kLcdsMessagesPath) {
    if (call.method != "POST") {
      return ErrorReply(405, Vela::Sdk::Format(HostText::kMethodNotAllowed, call.method, call.path));
    }
    Vela::Sdk::BindingResult decoded = DecodePayload(PayloadFormatOfContentType(call.contentType), call.body);
    if (!decoded.Ok()) return ErrorReply(400, decoded.ErrorText());
    return DeliverLcds(decoded.Value());
  }
  if (call.path == kEventsPath) return ErrorReply(404, HostText::kEventStreamOnly);

  bool matched = false;
  HttpReply reply = CallPlugin(call, matched);
  if (matched || InRouteSpace(call.path)) return reply;

  if (call.method == "GET" || call.method == "HEAD") return GetResource(call.path);
  if (call.method == "PUT") {
    Vela::Sdk::BindingResult decoded = DecodePayload(PayloadFormatOfContentType(call.contentType), call.body);
    if (!decoded.Ok()) return ErrorReply(400, decoded.ErrorText());
    return PutResource(call.path, decoded.Value());
  }
  if (call.method == "DELETE") return DeleteResource(call.path);
  return ErrorReply(405, Vela::Sdk::Format(HostText::kMethodNotAllowed, call.method, call.path));
}

HttpReply HttpHost::HandleControl(const HttpCall& call) {
  std::string_view control = std::string_view(call.path).substr(std::string_view(kHostControlPrefix).size());
  bool get = call.method == "GET" || call.method == "HEAD";
  if (control == "lcds-invoke-fails") {
    if (call.method == "PUT") {
      std::optional<bool> fails = SwitchValue(call);
      if (!fails) return ErrorReply(400, HostText::kSwitchShape);
      lcdsInvokeFails_ = *fails;
    } else if (!get) {
      return ErrorReply(405, Vela::Sdk::Format(HostText::kMethodNotAllowed, call.method, call.path));
    }
    return JsonReply(200, lcdsInvokeFails_ ? "true" : "false");
  }
  struct Listing {
    const char* name;
    const RecordHistory* records;
  } listings[] = {{"log", &logs_}, {"lcds-invocations", &invocations_}, {"events", &events_}};
  for (const Listing& listing : listings) {
    if (control != listing.name) continue;
    if (!get) return ErrorReply(405, Vela::Sdk::Format(HostText::kMethodNotAllowed, call.method, call.path));
    HttpReply reply = JsonReply(200, listing.records->JsonSince(SinceOf(call.target)));
    reply.headers.emplace_back(kRecordsDroppedHeader, std::to_string(listing.records->Dropped()));
    reply.headers.emplace_back(kRecordsTotalHeader, std::to_string(listing.records->Total()));
    return reply;
  }
  if (control == "api") {
    if (!get) return ErrorReply(405, Vela::Sdk::Format(HostText::kMethodNotAllowed, call.method, call.path));
    return JsonReply(200, ToJson(ApiHelp(*stand_.Api(), Vela::Sdk::BindingHelpFormat::Full)));
  }
  return ErrorReply(404, Vela::Sdk::Format(HostText::kUnknownControl, call.path));
}

// Resources and LCDS

void HttpHost::PresetResource(const std::string& url, const BindingValue& value) {
  stand_.SetResource(url, OwnedFlatValue(BindingToFlat(value)));
}

HttpReply HttpHost::PutResource(const std::string& url, const BindingValue& value) {
  FlatValue flat = BindingToFlat(value);
  if (flat.kind == Vela::Sdk::kFlatEmpty && !value.IsEmpty()) return ErrorReply(400, HostText::kNoHostForm);
  bool existed = stand_.FindResource(url) != nullptr;
  stand_.SetResource(url, OwnedFlatValue(flat));
  return DeliverResourceEvent(url, existed ? "Update" : "Create", stand_.FindResource(url)->Get(), existed ? 200 : 201);
}

HttpReply HttpHost::DeleteResource(const std::string& url) {
  if (stand_.FindResource(url) == nullptr) return ErrorReply(404, Vela::Sdk::Format(HostText::kNothingStored, url));
  stand_.RemoveResource(url);
  return DeliverResourceEvent(url, "Delete", FlatValue{}, 200);
}

HttpReply HttpHost::GetResource(const std::string& url) const {
  const OwnedFlatValue* stored = stand_.FindResource(url);
  if (stored == nullptr) return ErrorReply(404, Vela::Sdk::Format(HostText::kNothingStored, url));
  return JsonReply(200, FlatToJson(stored->Get()));
}

HttpReply HttpHost::DeliverResourceEvent(const std::string& url, const char* eventType, const FlatValue& data,
                                         int status) {
  std::string name = Vela::Sdk::ResourceEventName(url);
  OwnedFlatValue payload(
      FlatStructure({{"uri", FlatText(url)}, {"eventType", FlatText(eventType)}, {"data", CopyFlatValue(data)}}));
  bool delivered = stand_.DeliverEvent(name, payload.Get());
  return JsonReply(status, "{\"delivered\":" + std::string(delivered ? "true" : "false") +
                               ",\"event\":" + JsonQuoted(name) + ",\"eventType\":" + JsonQuoted(eventType) +
                               ",\"uri\":" + JsonQuoted(url) + "}");
}

HttpReply HttpHost::DeliverLcds(const BindingValue& message) {
  const BindingValue& typeName = message.Member("typeName");
  if (typeName.Kind() != Vela::Sdk::ValueKind::String || typeName.Size() == 0 || !message.HasMember("body")) {
    return ErrorReply(400, HostText::kLcdsMessageShape);
  }
  FlatValue body = BindingToFlat(message.Member("body"));
  if (body.kind == Vela::Sdk::kFlatEmpty && !message.Member("body").IsEmpty()) {
    return ErrorReply(400, HostText::kNoHostForm);
  }
  std::string name = Vela::Sdk::LcdsEventName(typeName.GetString());
  OwnedFlatValue payload(FlatStructure({{"clientId", FlatText(message.Member("clientId").GetString("orb-host"))},
                                        {"subtopic", FlatText(message.Member("subtopic").GetString())},
                                        {"typeName", FlatText(typeName.GetString())},
                                        {"body", body}}));
  bool delivered = stand_.DeliverEvent(name, payload.Get());
  // The plug-in takes LCDS messages in through a task it schedules; running it now means the
  // message is in the store (or held) by the time the caller hears back.
  loop_.RunUntilIdle();
  return JsonReply(
      200, "{\"delivered\":" + std::string(delivered ? "true" : "false") + ",\"event\":" + JsonQuoted(name) + "}");
}

// The plug-in's functions

bool HttpHost::InRouteSpace(std::string_view path) const {
  if (shortName_.empty()) return false;
  std::string root = "/" + shortName_;
  return path == root || StartsWith(path, root + "/");
}

std::vector<std::string> HttpHost::Candidates(int32_t method, std::string_view path) const {
  // The plug-in alone knows its URL templates; names only order the tries. The name a literal
  // path would have goes first, then every function of the same method, then those whose name
  // starts with no method word. Functions of another method could never match.
  std::string exact = Vela::Sdk::MakeFunctionName(method, path);
  std::string word = MethodWord(method);
  std::vector<std::string> first, same, unmarked;
  for (const std::string& name : stand_.FunctionNames()) {
    bool marked = false;
    for (int32_t code = Vela::Sdk::kMethodDelete; code <= Vela::Sdk::kMethodPut; ++code) {
      marked = marked || StartsWith(name, MethodWord(code));
    }
    if (name == exact) {
      first.push_back(name);
    } else if (!word.empty() && StartsWith(name, word)) {
      same.push_back(name);
    } else if (!marked) {
      unmarked.push_back(name);
    }
  }
  first.insert(first.end(), same.begin(), same.end());
  first.insert(first.end(), unmarked.begin(), unmarked.end());
  return first;
}

HttpReply HttpHost::CallPlugin(const HttpCall& call, bool& matched) {
  matched = false;
  // HEAD is a GET whose body is not sent; the server library drops the body.
  int32_t method = call.method == "HEAD" ? Vela::Sdk::kMethodGet : Vela::Sdk::MethodCodeOf(call.method);
  ApiRequest request;
  request.method = method;
  request.url = call.target;
  request.headers = call.headers;
  request.contentType = call.contentType;
  request.body = call.body;
  if (method == Vela::Sdk::kMethodCustom) request.customMethod = call.method;

  std::vector<std::string> candidates = Candidates(method, call.path);
  if (candidates.empty() && InRouteSpace(call.path)) {
    // Nothing can match; the plug-in's own answer to that comes from any of its functions.
    std::vector<std::string> all = stand_.FunctionNames();
    if (!all.empty()) candidates.push_back(all.front());
  }
  std::optional<HttpReply> notFound;
  for (const std::string& name : candidates) {
    ApiResponse answer = stand_.Call(name, request);
    if (answer.Status() == Vela::Sdk::kInvalidFunctionStatus &&
        answer.Error() == Vela::Sdk::DispatchText::kInvalidFunction) {
      notFound = ReplyOf(answer);
      continue;
    }
    matched = true;
    return ReplyOf(answer);
  }
  return notFound ? std::move(*notFound)
                  : ErrorReply(Vela::Sdk::kInvalidFunctionStatus, Vela::Sdk::DispatchText::kInvalidFunction);
}

}  // namespace Vela::DevHost
