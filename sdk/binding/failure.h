// Failure: the error value of handlers, outgoing calls and conversions — a numeric code, the
// message text and the named values that formatted it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "sdk/diag/field_template.h"

namespace Vela::Sdk {

class Failure {
 public:
  Failure() = default;
  Failure(int32_t code, std::string message, FieldList fields = {})
      : code_(code), message_(std::move(message)), fields_(std::move(fields)) {}

  /// A failure whose message is a named-placeholder template filled with `args`:
  /// Failure::FromTemplate(404, "Error response for {method} {url}: {error}", "GET", "/a", "x").
  template <class... Args>
  static Failure FromTemplate(int32_t code, const char* templateText, const Args&... args) {
    FormattedMessage formatted = FormatFields(templateText, args...);
    return Failure(code, std::move(formatted.text), std::move(formatted.fields));
  }

  int32_t Code() const noexcept { return code_; }
  const std::string& Message() const noexcept { return message_; }
  const FieldList& Fields() const noexcept { return fields_; }

  bool operator==(const Failure& other) const = default;

 private:
  int32_t code_ = 0;
  std::string message_;
  FieldList fields_;
};

}  // namespace Vela::Sdk
