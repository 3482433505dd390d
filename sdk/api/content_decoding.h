// The one place where a content type, or the look of a text, chooses the reader of a request's
// body or of a parameter text, and where that reader is called.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sdk/binding/binding_result.h"

namespace Vela::Sdk {

enum class ContentReader : uint8_t { kNone, kMessagePack, kJson, kYaml, kBlob };

/// Where a text arrives. The two places know different content types: only a body takes
/// "application/vnd.api+json" and "application/x-yaml", only a parameter "text/x-yaml" and
/// "application/octet-stream".
enum class ContentPlace : uint8_t { kBody, kParameter };

/// The reader `contentType` names at `place`, compared by prefix without case (so
/// "application/x-msgpack-ext" and "Application/JSON; charset=utf-8" count); kNone otherwise.
ContentReader ContentReaderOf(std::string_view contentType, ContentPlace place) noexcept;

/// What a structured parameter that came without a content type looks like: MessagePack when its
/// first byte opens a map or an array (0x80-0x9F, 0xDC-0xDF), JSON when its first character after
/// blanks is "{" or "[", YAML when it starts with "---" after blanks; kNone otherwise.
ContentReader ContentReaderOfText(std::string_view text) noexcept;

/// Reads `bytes` with `reader`: MessagePack reads one value and tells in `consumed` how many bytes
/// it took; JSON reads up to the first NUL, as a terminated text is read; YAML reads all of it.
/// kBlob gives a Blob of the bytes and kNone a String of them. Failures carry the reader's own
/// message.
[[nodiscard]] BindingResult DecodeContent(ContentReader reader, std::string_view bytes,
                                          std::size_t* consumed = nullptr);

}  // namespace Vela::Sdk
