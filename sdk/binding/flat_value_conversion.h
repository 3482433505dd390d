// Conversion between BindingValue trees and the FlatValue records that cross the host boundary.
// Every byte handed out in a FlatValue comes from Allocate/DuplicateText and is freed by
// ReleaseFlatValue. Flat input is untrusted: anything malformed is a failure, never a crash.
#pragma once

#include <cstddef>
#include <string_view>

#include "sdk/binding/binding_result.h"
#include "sdk/binding/binding_value.h"
#include "sdk/binding/conversion_text.h"
#include "sdk/binding/enum_name_resolver.h"
#include "sdk/host/abi/host_records.h"

namespace Vela::Sdk {

/// Largest element, member or byte count accepted in either direction.
inline constexpr std::size_t kMaxFlatCount = 0x0FFFFFFF;
/// Deepest nesting of collections and structures converted in either direction; both walks
/// recurse, so this bounds their stack use.
inline constexpr std::size_t kMaxFlatDepth = 512;

/// Writes `value` into `*out`, which must hold nothing (zero or released). Strings become kind 6
/// (text up to the first zero byte), blobs kind 8, enums kind 6 with the enumerator's name when
/// the resolver knows it, else kind 2; structures list their members in name order with owned
/// names. False on the first failure (memory, a count or depth beyond the limits), with `*out`
/// left released.
bool ValueToFlat(const BindingValue& value, FlatValue* out, const EnumNameResolver* resolver) noexcept;

/// Converts a host value into `result`'s value, replacing it. Does nothing when `result` has
/// failed already; on failure `result` holds the message.
void FlatToValue(const FlatValue& flat, std::string_view targetName, BindingResult& result) noexcept;

/// As above, writing into `target` (left Empty on failure) and reporting a failure as
/// `error`'s error text (SetFlatResultError) when `error` is not null.
bool FlatToValue(const FlatValue& flat, std::string_view targetName, BindingValue& target, FlatResult* error) noexcept;

}  // namespace Vela::Sdk
