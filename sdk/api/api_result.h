// ApiResult: what a handler hands back to request dispatch — the value or failure, and the
// status, text, headers and streamed body that go into the host's response.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "sdk/binding/binding_result.h"
#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

/// A response body that the host reads in chunks. Owns its context until it is moved into a
/// response; dropping one that still owns it calls its release operation.
class StreamedBody {
 public:
  StreamedBody() noexcept = default;
  StreamedBody(HostStreamReadFn read, HostStreamReleaseFn release, void* context, uint64_t sizeHint) noexcept
      : read_(read), release_(release), context_(context), sizeHint_(sizeHint) {}
  StreamedBody(StreamedBody&& other) noexcept { Take(other); }
  StreamedBody& operator=(StreamedBody&& other) noexcept {
    if (this != &other) {
      Reset();
      Take(other);
    }
    return *this;
  }
  StreamedBody(const StreamedBody&) = delete;
  StreamedBody& operator=(const StreamedBody&) = delete;
  ~StreamedBody() { Reset(); }

  bool HasBody() const noexcept { return read_ != nullptr; }
  /// Hands the read and release operations, the size hint and the context to `response`;
  /// afterwards this object owns nothing.
  void MoveInto(HostResponse& response) noexcept {
    response.streamRead = read_;
    response.streamRelease = release_;
    response.streamSizeHint = sizeHint_;
    response.streamContext = context_;
    read_ = nullptr;
    release_ = nullptr;
    context_ = nullptr;
    sizeHint_ = 0;
  }
  /// Releases the body if it still owns one.
  void Reset() noexcept {
    if (release_ != nullptr) release_(context_);
    read_ = nullptr;
    release_ = nullptr;
    context_ = nullptr;
    sizeHint_ = 0;
  }

 private:
  void Take(StreamedBody& other) noexcept {
    read_ = other.read_;
    release_ = other.release_;
    context_ = other.context_;
    sizeHint_ = other.sizeHint_;
    other.read_ = nullptr;
    other.release_ = nullptr;
    other.context_ = nullptr;
    other.sizeHint_ = 0;
  }

  HostStreamReadFn read_ = nullptr;
  HostStreamReleaseFn release_ = nullptr;
  void* context_ = nullptr;
  uint64_t sizeHint_ = 0;
};

struct ApiResult {
  BindingResult value;     // the result value, or the failure with its message
  uint8_t resultKind = 0;  // passed to the host as it stands
  int32_t format = 0;      // 1, 2 or 3 reach the host; anything else is written as 0
  int32_t status = 0;      // 0 when the handler sets none
  std::string text;        // passed to the host as it stands
  std::map<std::string, std::string> headers;
  StreamedBody stream;

  bool Ok() const noexcept { return value.Ok(); }
  void Fail(std::string_view message) { value.Fail(message); }
};

}  // namespace Vela::Sdk
