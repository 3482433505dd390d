// Function descriptor queries.
#include "sdk/binding/function_descriptor.h"

#include <algorithm>

namespace Vela::Sdk {

bool FunctionDescriptor::HasTag(std::string_view tag) const noexcept {
  return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

}  // namespace Vela::Sdk
