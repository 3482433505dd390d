// Decoding one MessagePack value into a BindingValue.
#pragma once

#include <cstddef>

#include "sdk/binding/binding_result.h"

namespace Vela::Sdk {

/// The texts the decoder fails with; %1 (and %2) the position or size, as each says.
namespace MessagePackText {
inline constexpr char kInvalidData[] = "Invalid MessagePack data at position %1.";
inline constexpr char kKeyNotString[] = "Invalid MessagePack data at position %1. Map keys must be strings.";
inline constexpr char kTooDeep[] = "Invalid MessagePack data at position %1. Nesting too deep.";
inline constexpr char kTruncated8[] = "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
inline constexpr char kTruncated16[] = "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.";
inline constexpr char kTruncated32[] = "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.";
inline constexpr char kTruncated64[] = "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.";
inline constexpr char kStringTruncated[] = "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
inline constexpr char kRawTruncated[] = "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";
}  // namespace MessagePackText

/// Deepest nesting of arrays and maps that decodes. The decoder itself keeps no call stack per
/// level, but copying, comparing and releasing a value tree recurse once per level.
inline constexpr std::size_t kMaxMessagePackDepth = 512;

/// Decodes the one MessagePack value at the start of `data`. Bytes after it are not read;
/// `consumed` (may be null) receives how many bytes the value took, so that a caller can refuse
/// trailing data. Empty input gives an Empty value. Input that ends inside an array or map gives
/// the containers as far as they were read; a truncated number, string or byte run, an unused or
/// extension type byte and a map key that is not a string fail with a message naming the
/// position; so does an array or map nested deeper than kMaxMessagePackDepth ("Invalid
/// MessagePack data at position <after its type byte>. Nesting too deep."). nil leaves its element or member Empty. A
/// key that repeats writes into the same member: scalars replace, maps merge, arrays append.
[[nodiscard]] BindingResult DecodeMessagePack(const void* data, std::size_t size, std::size_t* consumed = nullptr);

/// True when the input starts like a MessagePack map or array (fixmap, fixarray, array 16/32,
/// map 16/32), the shapes a request body takes.
bool LooksLikeMessagePack(const void* data, std::size_t size) noexcept;

}  // namespace Vela::Sdk
