// Standard base64 (RFC 4648 alphabet, "=" padding): how blobs travel inside texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Vela::Sdk {

/// Whether every character is one of A-Z, a-z, 0-9, "+", "/" and "=".
bool IsBase64Text(std::string_view text) noexcept;

/// Appends the bytes that `text` encodes. Decoding stops at the first "=" or any other character
/// outside the alphabet; a final group of two or three characters gives one or two bytes, a lone
/// final character nothing.
void DecodeBase64(std::string_view text, std::vector<uint8_t>& bytes);

/// Appends the padded encoding of `bytes` to `out`.
void AppendBase64(std::span<const uint8_t> bytes, std::string& out);

}  // namespace Vela::Sdk
