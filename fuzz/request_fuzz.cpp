// The request path through the exported entry: the built plug-in, loaded once by the host stand-in
// and kept across inputs, receives requests with a fuzzed function record, method, URL, headers,
// content type and body.
//
// Properties, for every response:
// - its status is 0 or a code of the status table, its format 0 or a known one;
// - its error text, text, header names and values are terminated, and its body is well formed
//   (known kinds, owned texts terminated at their count, member names present);
// - its release function leaves it all zero.
// And after every input the plug-in still answers a GET of the message list with a list.
#include <cstring>
#include <string>
#include <vector>

#include "devhost/host_stand_in.h"
#include "fuzz/fuzz_check.h"
#include "sdk/api/http_status.h"
#include "sdk/host/abi/allocation.h"

namespace Vela::Fuzz {
namespace {

using DevHost::ApiRequest;
using DevHost::ApiResponse;
using Sdk::FlatValue;

constexpr char kMessagesUri[] = "/ark-simple-dialog-messages/v1/messages";
constexpr char kGetMessages[] = "GetArkSimpleDialogMessagesV1Messages";
constexpr char kDeleteMessage[] = "DeleteArkSimpleDialogMessagesV1MessagesByMessageId";
constexpr char kInvokeUrl[] = "/ark-login/v1/session/invoke";
// Posted messages stay; past this many the list is emptied, so a long run stays fast.
constexpr uint32_t kMostKeptMessages = 64;

const char* const kContentTypes[] = {"",
                                     "application/json",
                                     "application/x-msgpack",
                                     "application/yaml",
                                     "text/plain",
                                     "application/json; charset=utf-8"};
const char* const kUrls[] = {kMessagesUri, "/ark-simple-dialog-messages/v1/messages/",
                             "/ark-simple-dialog-messages/v1/messages/0",
                             "/ark-simple-dialog-messages/v1/messages/1?x=1", "/"};

DevHost::HostStandIn& Host() {
  static DevHost::HostStandIn* host = [] {
    auto* made = new DevHost::HostStandIn();
    if (!made->Load(DevHost::BuiltPluginPath())) PropertyFailed("the plug-in loads", made->LastError());
    made->SetRecording(false);
    // Acknowledgements of dismissed platform messages are invoked on the host; they succeed.
    made->SetRequestHandler([](const Sdk::HostRequest& request, Sdk::HostResponse& response) {
      bool invoke =
          request.method == Sdk::kMethodPost && request.url != nullptr && std::strcmp(request.url, kInvokeUrl) == 0;
      response.status = invoke ? 200 : 404;
      if (!invoke) response.error = const_cast<char*>("Resource not found");
    });
    Require(made->Handshake() == 0 && made->Initialise(), "the plug-in starts");
    return made;
  }();
  return *host;
}

// strlen reads up to the terminator; without one, the sanitizer build reports the read past the
// allocation.
bool Terminated(const char* text) { return text == nullptr || std::strlen(text) != static_cast<std::size_t>(-1); }

void CheckBody(const FlatValue& flat, std::size_t depth) {
  Require(depth <= 600, "a response body is not nested without bound");
  const void* data = flat.payload.ref.data;
  const uint32_t count = flat.payload.ref.count;
  switch (flat.kind) {
    case Sdk::kFlatEmpty:
    case Sdk::kFlatBool:
    case Sdk::kFlatSigned:
    case Sdk::kFlatUnsigned:
    case Sdk::kFlatFloat: return;
    case Sdk::kFlatStringBorrowed:
    case Sdk::kFlatStringOwned:
      Require(data != nullptr && std::strlen(static_cast<const char*>(data)) == count,
              "a response text is terminated at its count");
      return;
    case Sdk::kFlatBlobBorrowed:
    case Sdk::kFlatBlobOwned: Require(data != nullptr || count == 0, "a response blob has its bytes"); return;
    case Sdk::kFlatCollection:
      Require(data != nullptr || count == 0, "a response collection has its elements");
      for (uint32_t i = 0; i < count; ++i) CheckBody(static_cast<const FlatValue*>(data)[i], depth + 1);
      return;
    case Sdk::kFlatStructure:
      Require(data != nullptr || count == 0, "a response structure has its members");
      for (uint32_t i = 0; i < count; ++i) {
        const auto& member = static_cast<const Sdk::FlatMember*>(data)[i];
        Require(member.name != nullptr && Terminated(member.name), "a response member has a name");
        CheckBody(member.value, depth + 1);
      }
      return;
    default: PropertyFailed("a response body has known kinds only", std::to_string(flat.kind));
  }
}

void CheckResponse(ApiResponse& response, const std::string& what) {
  const Sdk::HostResponse& r = response.Get();
  Require(r.status == 0 || Sdk::HttpStatusText(r.status) != nullptr, "a response status is in the table",
          what + ": status " + std::to_string(r.status));
  Require(r.format == Sdk::kResponseFormatUnset ||
              (r.format >= Sdk::kResponseFormatFirst && r.format <= Sdk::kResponseFormatLast),
          "a response format is a known one", what);
  Require(Terminated(r.error) && Terminated(r.text), "response texts are terminated", what);
  Require(r.headers != nullptr || r.headerCount == 0, "response headers are there", what);
  for (uint32_t i = 0; i < r.headerCount; ++i) {
    Require(r.headers[i].name != nullptr && Terminated(r.headers[i].name) && Terminated(r.headers[i].value),
            "response headers are terminated", what);
  }
  CheckBody(r.body, 0);
  response.Release();
  const auto* bytes = reinterpret_cast<const uint8_t*>(&response.Get());
  for (std::size_t i = 0; i < sizeof(Sdk::HostResponse); ++i) {
    Require(bytes[i] == 0, "a released response is all zero", what);
  }
}

// The list still answers; returns the ids it holds.
std::vector<int64_t> CheckList(DevHost::HostStandIn& host) {
  ApiRequest request;
  request.method = Sdk::kMethodGet;
  request.url = kMessagesUri;
  ApiResponse response = host.Call(kGetMessages, request);
  const FlatValue& body = response.Body();
  Require(response.Get().error == nullptr && (response.Status() == 0 || response.Status() == 200) &&
              body.kind == Sdk::kFlatCollection,
          "the plug-in still answers a GET of its list with a list",
          "status " + std::to_string(response.Status()) + " " + response.Error());
  std::vector<int64_t> ids;
  for (uint32_t i = 0; i < body.payload.ref.count; ++i) {
    const FlatValue& message = static_cast<const FlatValue*>(body.payload.ref.data)[i];
    if (message.kind != Sdk::kFlatStructure) continue;
    for (uint32_t m = 0; m < message.payload.ref.count; ++m) {
      const auto& member = static_cast<const Sdk::FlatMember*>(message.payload.ref.data)[m];
      if (std::strcmp(member.name, "id") != 0) continue;
      // Read by value: the packed record leaves the number unaligned.
      const int64_t id = member.value.payload.i64;
      if (member.value.kind == Sdk::kFlatSigned || member.value.kind == Sdk::kFlatUnsigned) ids.push_back(id);
    }
  }
  CheckResponse(response, "GET of the list");
  return ids;
}

}  // namespace

int CheckOne(const uint8_t* data, std::size_t size) {
  DevHost::HostStandIn& host = Host();
  const std::vector<std::string> functions = host.FunctionNames();
  FuzzInput input(data, size);

  const std::string& function = functions[input.Number(static_cast<uint32_t>(functions.size()))];
  ApiRequest request;
  request.method = static_cast<int32_t>(input.Number(Sdk::kMethodCustom + 2));  // one code beyond the table
  if (request.method == Sdk::kMethodCustom) request.customMethod = input.Text(16);
  const uint8_t urlChoice = input.Byte();
  request.url = urlChoice < 128 ? kUrls[urlChoice % (sizeof kUrls / sizeof kUrls[0])] : input.Text(200);
  if ((urlChoice & 1) != 0 && urlChoice < 128) request.url += input.Text(32);
  for (uint32_t i = input.Number(4); i > 0; --i) {
    std::string name = input.Text(24);
    request.headers.emplace_back(name, input.Text(48));
  }
  const uint8_t typeChoice = input.Byte();
  request.contentType =
      typeChoice < 200 ? kContentTypes[typeChoice % (sizeof kContentTypes / sizeof kContentTypes[0])] : input.Text(48);
  request.body = input.Rest();

  ApiResponse response = host.Call(function, request);
  CheckResponse(response, function + " " + request.url);
  host.RunScheduled();

  std::vector<int64_t> ids = CheckList(host);
  if (ids.size() > kMostKeptMessages) {
    for (int64_t id : ids) {
      ApiRequest dismiss;
      dismiss.method = Sdk::kMethodDelete;
      dismiss.url = std::string(kMessagesUri) + "/" + std::to_string(id);
      ApiResponse answer = host.Call(kDeleteMessage, dismiss);
      CheckResponse(answer, "DELETE " + dismiss.url);
      host.RunScheduled();
    }
  }
  return 0;
}

}  // namespace Vela::Fuzz
