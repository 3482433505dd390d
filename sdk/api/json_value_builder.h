// JsonValueBuilder: the RapidJSON reading handler that builds a BindingValue from parse events,
// and the same handler over the tree builder, which JsonToValue reads with first.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <rapidjson/rapidjson.h>

#include "sdk/api/json_number.h"
#include "sdk/binding/binding_value.h"
#include "sdk/binding/value_tree_builder.h"

namespace Vela::Sdk {

/// RapidJSON's reading events into a sink from sdk/binding/value_tree_builder.h:
/// - ValueEventWriter writes each event into the tree at once, so a key repeated in one object
///   lands in the same member: later scalars replace, later objects merge, later arrays append.
/// - ValueTreeBuilder makes each container once, at its end. It cannot replay a repeated key: the
///   parse then stops and KeyRepeated() tells, and the text is to be read again with the former.
///
/// Numbers arrive as their texts (the codec parses with kParseNumbersAsStringsFlag) and are read
/// by ReadJsonNumber: RapidJSON's own conversions round some numbers one ulp off by default, and
/// its full-precision path gives garbage for others.
///
/// The reader recurses once per nesting level, and so do the value's own teardown and copies;
/// opening a container deeper than kMaxDepth therefore stops the parse (TooDeep() tells).
template <class Sink>
class JsonEventHandler {
 public:
  static constexpr std::size_t kMaxDepth = 512;

  explicit JsonEventHandler(BindingValue& root) noexcept : sink_(root) {}

  bool TooDeep() const noexcept { return tooDeep_; }
  /// Whether the parse stopped at a number beyond the double range.
  bool NumberTooBig() const noexcept { return numberTooBig_; }
  bool KeyRepeated() const noexcept { return keyRepeated_; }
  /// Hands what was read to the root; false as EndObject for a repeated key.
  [[nodiscard]] bool Finish() { return sink_.Finish(); }

  bool Null() {
    sink_.Null();
    return true;
  }
  bool Bool(bool value) {
    sink_.Bool(value);
    return true;
  }
  // RapidJSON's reader needs these, though with number texts it calls RawNumber instead.
  bool Int(int value) { return Int64(value); }
  bool Uint(unsigned value) { return Uint64(value); }
  bool Int64(int64_t value) {
    sink_.Signed(value);
    return true;
  }
  bool Uint64(uint64_t value) {
    sink_.Unsigned(value);
    return true;
  }
  bool Double(double value) {
    if (!std::isfinite(value)) return RefuseNumber();
    sink_.Float(value);
    return true;
  }
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
    JsonNumber number;
    if (!ReadJsonNumber(std::string_view(text, length), number)) return RefuseNumber();
    if (number.kind == ValueKind::Unsigned) return Uint64(number.unsignedValue);
    if (number.kind == ValueKind::Signed) return Int64(number.signedValue);
    return Double(number.floatValue);
  }
  /// The whole decoded text is kept, an escaped NUL and what follows it included.
  bool String(const char* text, rapidjson::SizeType length, bool) {
    sink_.String(std::string_view(text, length));
    return true;
  }
  bool StartObject() {
    if (sink_.Depth() >= kMaxDepth) return Refuse();
    sink_.BeginStructure();
    return true;
  }
  bool Key(const char* name, rapidjson::SizeType length, bool) {
    sink_.Key(std::string_view(name, length));
    return true;
  }
  bool EndObject(rapidjson::SizeType) {
    if (sink_.EndStructure()) return true;
    keyRepeated_ = true;
    return false;
  }
  bool StartArray() {
    if (sink_.Depth() >= kMaxDepth) return Refuse();
    sink_.BeginCollection();
    return true;
  }
  bool EndArray(rapidjson::SizeType) {
    sink_.EndCollection();
    return true;
  }

 private:
  bool Refuse() noexcept {
    tooDeep_ = true;
    return false;
  }
  bool RefuseNumber() noexcept {
    numberTooBig_ = true;
    return false;
  }

  Sink sink_;
  bool tooDeep_ = false;
  bool numberTooBig_ = false;
  bool keyRepeated_ = false;
};

/// The reading handler that replays repeated keys.
using JsonValueBuilder = JsonEventHandler<ValueEventWriter>;
/// The reading handler JsonToValue tries first.
using JsonTreeHandler = JsonEventHandler<ValueTreeBuilder>;

}  // namespace Vela::Sdk
