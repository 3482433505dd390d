// Host event names of resource URLs and LCDS message types, and the URL patterns that tell
// apart the resources sharing one host event name.
#pragma once

#include <string>
#include <string_view>

namespace Vela::Sdk {

/// "OnJsonApiEvent" and the URL's non-empty segments, at most 4 items (6 when the first segment
/// is "ark-platform-config"), joined by "_": /ark-gameflow/v1/session gives
/// OnJsonApiEvent_ark-gameflow_v1_session, /a/b/c/d/e gives OnJsonApiEvent_a_b_c.
std::string ResourceEventName(std::string_view url);

/// "OnLcdsEvent_" and the type name with every "." replaced by "_".
std::string LcdsEventName(std::string_view typeName);

/// The URL with a "/" in front when it has none.
std::string RootedUrl(std::string_view url);

/// Whether `url` matches `pattern`, where "*" stands for one or more characters other than
/// "/", or for none when a "/" follows at once: /a/*/c matches /a/b/c and /a//c, not /a/b/x/c;
/// /a/* matches /a/bc, not /a/ or /a/b/c.
bool MatchesResourcePattern(std::string_view pattern, std::string_view url) noexcept;

}  // namespace Vela::Sdk
