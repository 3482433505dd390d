// Failure reports and value comparison for the fuzz targets.
#include "fuzz/fuzz_check.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <utility>

#include "sdk/api/json_codec.h"
#include "sdk/binding/binding_value.h"

namespace Vela::Fuzz {
namespace {

std::string& InputName() {
  static std::string name = "the fuzzer's current input";
  return name;
}

bool IsInteger(Sdk::ValueKind kind) { return kind == Sdk::ValueKind::Signed || kind == Sdk::ValueKind::Unsigned; }

// Integers compared by value across the two kinds: negative Signed values never equal an Unsigned.
std::pair<bool, uint64_t> IntegerValue(const Sdk::BindingValue& value) {
  if (value.Kind() == Sdk::ValueKind::Unsigned) return {false, value.GetUnsigned()};
  int64_t number = value.GetSigned();
  return {number < 0, static_cast<uint64_t>(number)};
}

}  // namespace

void SetInputName(std::string name) { InputName() = std::move(name); }

void PropertyFailed(const char* property, std::string_view detail) {
  std::fprintf(stderr, "\nFuzz property failed: %s\n  input: %s\n", property, InputName().c_str());
  if (!detail.empty()) std::fprintf(stderr, "  %.*s\n", static_cast<int>(detail.size()), detail.data());
  std::fflush(stderr);
  std::abort();
}

bool SameValue(const Sdk::BindingValue& before, const Sdk::BindingValue& after, Leniency leniency) {
  using Sdk::ValueKind;
  if (before.Kind() == ValueKind::Float && leniency.nonFiniteAsNull && !std::isfinite(before.GetFloat())) {
    return after.IsEmpty();
  }
  if (leniency.integersByValue && IsInteger(before.Kind()) && IsInteger(after.Kind())) {
    return IntegerValue(before) == IntegerValue(after);
  }
  if (before.Kind() != after.Kind()) return false;
  switch (before.Kind()) {
    case ValueKind::Float: {
      double left = before.GetFloat();
      double right = after.GetFloat();
      return left == right || (std::isnan(left) && std::isnan(right));
    }
    case ValueKind::Collection: {
      std::span<const Sdk::BindingValue> left = before.Elements();
      std::span<const Sdk::BindingValue> right = after.Elements();
      if (left.size() != right.size()) return false;
      for (std::size_t i = 0; i < left.size(); ++i) {
        if (!SameValue(left[i], right[i], leniency)) return false;
      }
      return true;
    }
    case ValueKind::Structure: {
      if (before.Size() != after.Size()) return false;
      for (auto [name, member] : before.Members()) {
        const Sdk::BindingValue* other = after.FindMember(name);
        if (other == nullptr || !SameValue(member, *other, leniency)) return false;
      }
      return true;
    }
    default: return before == after;
  }
}

std::string Describe(const Sdk::BindingValue& value) {
  constexpr std::size_t kLongest = 600;
  std::string text = Sdk::ValueToJson(value);
  if (text.size() > kLongest) text = text.substr(0, kLongest) + "...";
  return std::string(Sdk::ValueKindName(value.Kind())) + " " + text;
}

}  // namespace Vela::Fuzz
