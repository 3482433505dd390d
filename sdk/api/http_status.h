// Reason texts of the HTTP status codes and the protocol text the SDK holds beside them.
#pragma once

#include <cstdint>
#include <unordered_map>

namespace Vela::Sdk {

inline constexpr char kHttpProtocolText[] = "http/1.1";

/// Status code → reason text; 46 rows, built when the library loads. Codes without a row
/// (306, 418 to 421, 506 among them) are absent.
const std::unordered_map<int32_t, const char*>& HttpStatusTexts();

/// The reason text of `code`, or null when the table has no row for it.
const char* HttpStatusText(int32_t code);

}  // namespace Vela::Sdk
