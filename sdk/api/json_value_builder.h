// JsonValueBuilder: the RapidJSON reading handler that builds a BindingValue from parse events.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include <rapidjson/rapidjson.h>

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
  /// number path rounds to an infinity rather than refusing.
  bool NumberTooBig() const noexcept { return numberTooBig_; }

  bool Null() {
    Next();
    return true;
  }
  bool Bool(bool value) {
    Next().SetBool(value);
    return true;
  }
  bool Int(int value) {
    Next().SetSigned(value);
    return true;
  }
  bool Uint(unsigned value) {
    Next().SetUnsigned(value);
    return true;
  }
  bool Int64(int64_t value) {
    Next().SetSigned(value);
    return true;
  }
  bool Uint64(uint64_t value) {
    Next().SetUnsigned(value);
    return true;
  }
  bool Double(double value) {
    if (!std::isfinite(value)) {
      numberTooBig_ = true;
      return false;
    }
    Next().SetFloat(value);
    return true;
  }
  /// Only reached with number-as-string parsing, which the codec does not ask for.
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
    Next().SetString(std::string_view(text, length));
    return true;
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

  BindingValue* target_;
  std::vector<BindingValue*> open_;
  bool inCollection_ = false;
  bool tooDeep_ = false;
  bool numberTooBig_ = false;
};

}  // namespace Vela::Sdk
