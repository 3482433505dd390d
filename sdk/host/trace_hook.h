// The trace hook: where the SDK's and the service's diagnostic traces go. It discards them
// unless a hook is set, and a trace whose hook is unset costs no formatting.
#pragma once

#include "sdk/diag/log.h"

namespace Vela::Sdk {

/// Receives one formatted trace text, valid during the call only.
using TraceHook = void (*)(const char* text);

/// Sets the process-wide hook (null discards traces again); returns the previous one.
TraceHook SetTraceHook(TraceHook hook) noexcept;
TraceHook CurrentTraceHook() noexcept;

/// Formats printf-style into a 4096-byte buffer (cut at 4095 characters) and hands the text to
/// the hook.
void Trace(const char* format, ...) noexcept ORB_PRINTF_FORMAT(1, 2);

}  // namespace Vela::Sdk
