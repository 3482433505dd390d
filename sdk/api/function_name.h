// API function names derived from a method and a URL template.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Vela::Sdk {

/// CamelCase name of the function served under `method` and `urlTemplate`: GET on
/// "/ark-simple-dialog-messages/v1/messages" is "GetArkSimpleDialogMessagesV1Messages", "{x}" reads
/// "ByX". Custom methods and method 0 add no method word.
std::string MakeFunctionName(int32_t method, std::string_view urlTemplate);

/// The same transformation with no method word: a plug-in's short name becomes its API name
/// prefix ("ark-simple-dialog-messages" → "ArkSimpleDialogMessages").
std::string MakeFunctionName(std::string_view text);

}  // namespace Vela::Sdk
