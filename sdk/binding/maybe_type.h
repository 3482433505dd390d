// MaybeType<E, T>: either a value of T or an error E (in practice a Failure); the result of every
// handler and outgoing call. MaybeType<E, void> carries only the error, if any.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "sdk/binding/failure.h"

namespace Vela::Sdk {

template <class E, class T>
class [[nodiscard]] MaybeType {
 public:
  using ValueType = T;
  using ErrorType = E;

  MaybeType() requires std::is_default_constructible_v<T> : state_(std::in_place_index<0>) {}
  MaybeType(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  MaybeType(E error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT: implicit by design

  bool IsOk() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return IsOk(); }

  T& Value() & { return std::get<0>(state_); }
  const T& Value() const& { return std::get<0>(state_); }
  T&& Value() && { return std::get<0>(std::move(state_)); }
  const E& Error() const& { return std::get<1>(state_); }
  E&& Error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, E> state_;
};

template <class E>
class [[nodiscard]] MaybeType<E, void> {
 public:
  using ValueType = void;
  using ErrorType = E;

  MaybeType() = default;
  MaybeType(E error) : error_(std::move(error)) {}  // NOLINT: implicit by design

  bool IsOk() const noexcept { return !error_.has_value(); }
  explicit operator bool() const noexcept { return IsOk(); }

  const E& Error() const& { return *error_; }
  E&& Error() && { return std::move(*error_); }

 private:
  std::optional<E> error_;
};

template <class T>
using Maybe = MaybeType<Failure, T>;

}  // namespace Vela::Sdk
