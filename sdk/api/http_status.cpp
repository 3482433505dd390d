// The HTTP status reason table.
#include "sdk/api/http_status.h"

namespace Vela::Sdk {

namespace {

std::unordered_map<int32_t, const char*> BuildTable() {
  return {
      {100, "Continue"},
      {101, "Switching Protocols"},
      {102, "Processing"},
      {200, "OK"},
      {201, "Created"},
      {202, "Accepted"},
      {203, "Non-Authoritative Information"},
      {204, "No Content"},
      {205, "Reset Content"},
      {206, "Partial Content"},
      {207, "207 Multi-Status"},  // the only text that carries its number
      {300, "Multiple Choices"},
      {301, "Moved Permanently"},
      {302, "Found"},
      {303, "See Other"},
      {304, "Not Modified"},
      {305, "Use Proxy"},
      {307, "Temporary Redirect"},
      {400, "Bad Request"},
      {401, "Unauthorized"},
      {402, "Payment Required"},
      {403, "Forbidden"},
      {404, "Not Found"},
      {405, "Method Not Allowed"},
      {406, "Not Acceptable"},
      {407, "Proxy Authentication Required"},
      {408, "Request Timeout"},
      {409, "Conflict"},
      {410, "Gone"},
      {411, "Length Required"},
      {412, "Precondition Failed"},
      {413, "Request Entity Too Large"},
      {414, "Request-URI Too Long"},
      {415, "Unsupported Media Type"},
      {416, "Requested Range Not Satisfiable"},
      {417, "Expectation Failed"},
      {422, "Unprocessable Entity"},
      {423, "Locked"},
      {424, "Failed Dependency"},
      {500, "Internal Server Error"},
      {501, "Not Implemented"},
      {502, "Bad Gateway"},
      {503, "Service Unavailable"},
      {504, "Gateway Timeout"},
      {505, "HTTP Version Not Supported"},
      {507, "Insufficient Storage"},
  };
}

}  // namespace

const std::unordered_map<int32_t, const char*>& HttpStatusTexts() {
  static const std::unordered_map<int32_t, const char*> table = BuildTable();
  return table;
}

namespace {
// Built when the library loads, like the other process-wide constants; the function-local table
// also serves callers from other files' static initialisers.
[[maybe_unused]] const auto& kBuiltAtLoad = HttpStatusTexts();
}  // namespace

const char* HttpStatusText(int32_t code) {
  const auto& table = HttpStatusTexts();
  auto found = table.find(code);
  return found == table.end() ? nullptr : found->second;
}

}  // namespace Vela::Sdk
