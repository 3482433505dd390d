// One HTTP exchange as the developer host handles it, free of any server library: the call as
// it arrived and the reply to send.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Vela::DevHost {

struct HttpCall {
  std::string method;  // upper case, as received
  std::string path;    // percent-decoded, without the query
  std::string target;  // path and query as received, for the plug-in, which decodes it itself
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string contentType;
  std::string body;
};

struct HttpReply {
  int status = 200;
  std::string contentType;  // empty when there is no body
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

inline constexpr char kJsonContentType[] = "application/json";

/// A reply with a JSON body.
HttpReply JsonReply(int status, std::string json);
/// {"httpStatus": status, "message": message}, the shape of every error the host answers.
HttpReply ErrorReply(int status, std::string_view message);
/// A call built from a method and a target ("/path?query"), for scenarios and tests.
HttpCall MakeCall(std::string method, std::string target, std::string body = {}, std::string contentType = {});

}  // namespace Vela::DevHost
