// JsonValueBuilder: the RapidJSON reading handler that builds a BindingValue from parse events.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include <rapidjson/rapidjson.h>

#include "sdk/api/json_number.h"
#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

/// Builds a value from RapidJSON's SAX events. A key repeated in one object lands in the same
/// member, so later scalars replace, later objects merge and later arrays append.
///
/// The reader recurses once per nesting level, and so do the value's own teardown and copies;
/// opening a container deeper than kMaxDepth therefore stops the parse (TooDeep() tells).
class JsonValueBuilder {
 public:
  static constexpr std::size_t kMaxDepth = 512;

  explicit JsonValueBuilder(BindingValue& root) noexcept : target_(&root) {}

  bool TooDeep() const noexcept { return tooDeep_; }
  /// Whether the parse stopped at a number beyond the double range, which RapidJSON's default
  /// conversion rounds to an infinity rather than refusing.
  bool NumberTooBig() const noexcept { return numberTooBig_; }

  bool Null() {
    Next();
    return true;
  }
  bool Bool(bool value) {
    Next().SetBool(value);
    return true;
  }
  // RapidJSON's reader needs these, though with number texts it calls RawNumber instead.
  bool Int(int value) { return Set(int64_t{value}); }
  bool Uint(unsigned value) { return Set(uint64_t{value}); }
  bool Int64(int64_t value) { return Set(value); }
  bool Uint64(uint64_t value) { return Set(value); }
  bool Double(double value) { return std::isfinite(value) ? Set(value) : RefuseNumber(); }
  /// Numbers arrive as their text (the codec parses with kParseNumbersAsStringsFlag) and are
  /// read here: RapidJSON's own conversions round some numbers one ulp off by default, and its
  /// full-precision path gives garbage for others.
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
    BindingValue& target = Next();
    return ReadJsonNumber(std::string_view(text, length), target) || RefuseNumber();
  }
  /// The whole decoded text is kept, an escaped NUL and what follows it included.
  bool String(const char* text, rapidjson::SizeType length, bool) {
    Next().SetString(std::string_view(text, length));
    return true;
  }
  bool StartObject() {
    if (open_.size() >= kMaxDepth) return Refuse();
    BindingValue& target = Next();
    target.MakeStructure();
    Push(target, false);
    return true;
  }
  bool Key(const char* name, rapidjson::SizeType length, bool) {
    target_ = &open_.back()->MemberForWriting(std::string_view(name, length));
    return true;
  }
  bool EndObject(rapidjson::SizeType) {
    Pop();
    return true;
  }
  bool StartArray() {
    if (open_.size() >= kMaxDepth) return Refuse();
    BindingValue& target = Next();
    target.MakeCollection();
    Push(target, true);
    return true;
  }
  bool EndArray(rapidjson::SizeType) {
    Pop();
    return true;
  }

 private:
  // The value the next event fills: a new element inside a collection, else the current target
  // (the root, or the member the last key chose).
  BindingValue& Next() { return inCollection_ ? open_.back()->Append() : *target_; }

  // A container's address stays put while it is open: only the innermost open container grows.
  void Push(BindingValue& container, bool collection) {
    open_.push_back(&container);
    inCollection_ = collection;
  }
  void Pop() {
    open_.pop_back();
    inCollection_ = !open_.empty() && open_.back()->Kind() == ValueKind::Collection;
  }
  bool Refuse() noexcept {
    tooDeep_ = true;
    return false;
  }
  bool RefuseNumber() noexcept {
    numberTooBig_ = true;
    return false;
  }
  template <class Number>
  bool Set(Number value) {
    Next() = value;
    return true;
  }

  BindingValue* target_;
  std::vector<BindingValue*> open_;
  bool inCollection_ = false;
  bool tooDeep_ = false;
  bool numberTooBig_ = false;
};

}  // namespace Vela::Sdk
