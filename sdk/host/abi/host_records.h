// Operations on the packed host records: releasing what they own and naming flat kinds.
#pragma once

#include <cstdint>

#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

/// Frees what the kind owns, recursively, and leaves the whole record zero.
void ReleaseFlatValue(FlatValue* value) noexcept;
/// "", "bool", "signed", "unsigned", "float", "string", "blob", "collection", "structure";
/// any kind outside 0..10 gives "".
const char* FlatKindName(int32_t kind) noexcept;
/// Releases the value, stores a heap copy of the message and sets the failure flag.
void SetFlatResultError(FlatResult* result, const char* message) noexcept;
/// Frees what a FlatResult owns and zeroes it.
void ReleaseFlatResult(FlatResult* result) noexcept;
/// The plug-in's release function for responses it fills.
void ReleaseHostResponse(HostResponse* response) noexcept;

}  // namespace Vela::Sdk
