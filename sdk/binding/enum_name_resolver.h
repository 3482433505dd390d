// What turning an enum value into text needs from the type registry, and nothing more, so that
// values and encoders need not know the registry itself.
#pragma once

#include <cstdint>

namespace Vela::Sdk {

class EnumNameResolver {
 public:
  virtual ~EnumNameResolver() = default;
  /// The name of the enumerator `value` of the enumeration `typeId`; null when the enumeration
  /// or the value is unknown. The text stays valid as long as the resolver's descriptors do.
  virtual const char* EnumeratorName(uint32_t typeId, int32_t value) const = 0;
};

}  // namespace Vela::Sdk
