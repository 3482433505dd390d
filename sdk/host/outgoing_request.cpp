// Typed arguments in flat form and reading the host's responses.
#include "sdk/host/outgoing_request.h"

#include <algorithm>

#include "sdk/api/json_codec.h"
#include "sdk/api/method_text.h"
#include "sdk/binding/flat_value_conversion.h"

namespace Vela::Sdk {

RequestArguments::~RequestArguments() {
  for (HostArgument& argument : arguments_) ReleaseFlatValue(&argument.value);
}

void RequestArguments::Fail(std::string_view message) {
  error_ = message.empty() ? std::string(OutgoingText::kFlatArgumentError) : std::string(message);
}

void RequestArguments::AddValue(const BindingValue& value, const EnumNameResolver* resolver) {
  if (!Ok()) return;
  HostArgument argument{};
  if (!ValueToFlat(value, &argument.value, resolver)) return Fail(OutgoingText::kFlatArgumentError);
  arguments_.push_back(argument);
}

void RequestArguments::AddNamed(const NamedParameters& parameters, const EnumNameResolver* resolver) {
  if (!Ok()) return;
  BindingValue structure;
  structure.MakeStructure();
  for (const auto& [name, value] : parameters) structure.MemberForWriting(name) = value;
  AddValue(structure, resolver);
}

Maybe<void> CheckResponse(const HostResponse& response, int32_t method, const std::string& url) {
  if (response.error == nullptr) return {};
  return Failure::FromTemplate(response.status, OutgoingText::kErrorResponse, MethodText(method), url,
                               static_cast<const char*>(response.error));
}

namespace {

// False when the host's read fails or claims more bytes than the buffer holds.
bool ReadStream(HostResponse& response, std::string& text, const std::function<void()>& yield) {
  uint8_t more = 0;
  do {
    char buffer[kStreamChunkSize];
    uint32_t length = kStreamChunkSize;
    more = 0;
    if (response.streamRead(response.streamContext, buffer, &length, &more) == 0 || length > kStreamChunkSize) {
      return false;
    }
    text.append(buffer, length);
    if (length < kStreamChunkSize) {
      if (more == 0) break;
      if (yield) yield();
    }
  } while (more != 0);
  return true;
}

}  // namespace

Maybe<BindingValue> ReadResponseBody(HostResponse& response, int32_t method, const std::string& url,
                                     const std::function<void()>& yield) {
  if (response.streamRead != nullptr) {
    std::string text;
    uint64_t hint = response.streamSizeHint;  // a packed field: read it by value
    text.reserve(static_cast<std::size_t>(std::min(hint, kStreamReserveLimit)));
    bool read = ReadStream(response, text, yield);
    if (response.streamRelease != nullptr) response.streamRelease(response.streamContext);
    if (!read)
      return Failure::FromTemplate(0, OutgoingText::kStreamedResponse, MethodText(method), url,
                                   OutgoingText::kStreamReadError);
    BindingResult parsed = JsonToValue(text);
    if (!parsed.Ok()) {
      return Failure::FromTemplate(0, OutgoingText::kStreamedResponse, MethodText(method), url, parsed.ErrorText());
    }
    return std::move(parsed.Value());
  }
  BindingResult converted;
  FlatToValue(response.body, "<result>", converted);
  if (!converted.Ok()) {
    return Failure::FromTemplate(0, OutgoingText::kConvertResponse, MethodText(method), url, converted.ErrorText());
  }
  return std::move(converted.Value());
}

void ReleaseResponse(HostResponse& response) noexcept {
  if (response.release != nullptr) response.release(&response);
}

}  // namespace Vela::Sdk
