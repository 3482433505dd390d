// BindingResult: a value with a success flag, the return form of every conversion and decoder.
#pragma once

#include <string_view>
#include <utility>

#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

class [[nodiscard]] BindingResult {
 public:
  /// Empty and ok.
  BindingResult() noexcept = default;
  /// A copy of the value, ok.
  explicit BindingResult(const BindingValue& value) : value_(value) {}
  /// The value moved in, ok.
  explicit BindingResult(BindingValue&& value) noexcept : value_(std::move(value)) {}
  BindingResult(const BindingResult& other) = default;
  BindingResult(BindingResult&& other) noexcept : value_(std::move(other.value_)), ok_(other.ok_) {}
  BindingResult& operator=(const BindingResult& other) = default;
  BindingResult& operator=(BindingResult&& other) noexcept {
    value_ = std::move(other.value_);
    ok_ = other.ok_;
    return *this;
  }

  /// Drops any earlier content: the value becomes {"error": message} and ok false.
  void Fail(std::string_view message);
  /// Empty and ok again.
  void Reset() noexcept {
    value_.Clear();
    ok_ = true;
  }

  bool Ok() const noexcept { return ok_; }
  explicit operator bool() const noexcept { return ok_; }
  /// "" when ok; else the "error" member when it is a String, else "". NUL-terminated.
  std::string_view ErrorText() const noexcept;

  BindingValue& Value() noexcept { return value_; }
  const BindingValue& Value() const noexcept { return value_; }

 private:
  BindingValue value_;
  bool ok_ = true;
};

}  // namespace Vela::Sdk
