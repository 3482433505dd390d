// What every fuzz target shares: the check it exports, the reading of structured input from the
// fuzzer's bytes, the failure report and the comparison of values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Vela::Sdk {
class BindingValue;
}

namespace Vela::Fuzz {

/// The target's check of one input: returns 0, or ends the process through PropertyFailed. Both
/// the libFuzzer entry and the replay runner call it.
int CheckOne(const uint8_t* data, std::size_t size);

/// Name of the input being checked (the corpus file when replaying), for failure reports.
void SetInputName(std::string name);

/// Reports which property failed on which input, with `detail`, and aborts.
[[noreturn]] void PropertyFailed(const char* property, std::string_view detail = {});

/// Checks `condition`; reports `property` and `detail` when it does not hold.
inline void Require(bool condition, const char* property, std::string_view detail = {}) {
  if (!condition) PropertyFailed(property, detail);
}

/// What a comparison forgives, each for a documented reason the target names.
struct Leniency {
  /// A float that is not finite in `before` stands as Empty in `after` (the JSON writer's null).
  bool nonFiniteAsNull = false;
  /// A Signed and an Unsigned of the same value are equal (JSON text has no signedness).
  bool integersByValue = false;
};

/// Deep equality of two values, with the given leniency. Floats are equal when their values are,
/// and NaN equals NaN.
bool SameValue(const Vela::Sdk::BindingValue& before, const Vela::Sdk::BindingValue& after, Leniency leniency = {});

/// The value as JSON for messages, cut to a readable length.
std::string Describe(const Vela::Sdk::BindingValue& value);

/// Reads structured choices from the fuzzer's bytes; past the end every read gives zero or "".
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t Remaining() const { return size_ - position_; }
  uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
  uint32_t Number(uint32_t bound) {  // in [0, bound)
    if (bound <= 1) return 0;
    uint32_t value = 0;
    for (uint32_t span = bound - 1; span != 0; span >>= 8) value = (value << 8) | Byte();
    return value % bound;
  }
  uint64_t Word() {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | Byte();
    return value;
  }
  /// A text of at most `longest` bytes: one length byte, then the bytes.
  std::string Text(std::size_t longest = 255) {
    std::size_t length = Byte();
    if (length > longest) length = longest;
    return Bytes(length);
  }
  std::string Bytes(std::size_t length) {
    if (length > Remaining()) length = Remaining();
    std::string text(reinterpret_cast<const char*>(data_ + position_), length);
    position_ += length;
    return text;
  }
  /// Everything not read yet.
  std::string Rest() { return Bytes(Remaining()); }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

}  // namespace Vela::Fuzz
