// Replies and calls.
#include "devhost/http_exchange.h"

#include "devhost/payload_codec.h"

namespace Vela::DevHost {

HttpReply JsonReply(int status, std::string json) {
  HttpReply reply;
  reply.status = status;
  reply.contentType = kJsonContentType;
  reply.body = std::move(json);
  return reply;
}

HttpReply ErrorReply(int status, std::string_view message) {
  return JsonReply(status, "{\"httpStatus\":" + std::to_string(status) + ",\"message\":" + JsonQuoted(message) + "}");
}

HttpCall MakeCall(std::string method, std::string target, std::string body, std::string contentType) {
  HttpCall call;
  call.method = std::move(method);
  call.target = std::move(target);
  call.path = call.target.substr(0, call.target.find('?'));
  call.body = std::move(body);
  call.contentType = std::move(contentType);
  if (!call.contentType.empty()) call.headers.emplace_back("content-type", call.contentType);
  return call;
}

}  // namespace Vela::DevHost
