// Host-side FlatValues: building, deep copying and owning them. Everything here allocates with
// the host's own allocator and is released with the host's ReleaseFlatValue.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk/host/abi/host_records.h"

namespace Vela::DevHost {

using Vela::Sdk::FlatValue;

/// Owns one FlatValue and releases it when destroyed.
class OwnedFlatValue {
 public:
  OwnedFlatValue() noexcept : value_{} {}
  /// Takes over `value`; the caller's copy must no longer be released.
  explicit OwnedFlatValue(FlatValue value) noexcept : value_(value) {}
  OwnedFlatValue(OwnedFlatValue&& other) noexcept;
  OwnedFlatValue& operator=(OwnedFlatValue&& other) noexcept;
  OwnedFlatValue(const OwnedFlatValue&) = delete;
  OwnedFlatValue& operator=(const OwnedFlatValue&) = delete;
  ~OwnedFlatValue();

  const FlatValue& Get() const noexcept { return value_; }
  FlatValue& Get() noexcept { return value_; }
  /// A deep copy with owned kinds only.
  OwnedFlatValue Copy() const;

 private:
  FlatValue value_;
};

/// Deep copy of any FlatValue; borrowed texts and blobs become owned ones.
FlatValue CopyFlatValue(const FlatValue& value);

FlatValue FlatBool(bool value);
FlatValue FlatSigned(int64_t value);
FlatValue FlatUnsigned(uint64_t value);
FlatValue FlatFloat(double value);
/// An owned text (kind 6).
FlatValue FlatText(std::string_view text);
/// Takes over the elements.
FlatValue FlatCollection(std::vector<FlatValue> elements);
/// Takes over the member values; the names are copied and owned.
FlatValue FlatStructure(std::vector<std::pair<std::string, FlatValue>> members);

/// A readable rendering for logs and test messages: JSON-like, members in record order.
std::string FlatValueText(const FlatValue& value);

}  // namespace Vela::DevHost
