// The trace hook.
#include "sdk/host/trace_hook.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace Vela::Sdk {

namespace {

std::atomic<TraceHook> traceHook{nullptr};

}  // namespace

TraceHook SetTraceHook(TraceHook hook) noexcept { return traceHook.exchange(hook, std::memory_order_acq_rel); }

TraceHook CurrentTraceHook() noexcept { return traceHook.load(std::memory_order_acquire); }

void Trace(const char* format, ...) noexcept {
  TraceHook hook = CurrentTraceHook();
  if (hook == nullptr || format == nullptr) return;
  char text[kLogBufferSize];
  va_list arguments;
  va_start(arguments, format);
  int written = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (written < 0) text[0] = '\0';
  hook(text);
}

}  // namespace Vela::Sdk
