// The platform class names of registered records, and marking values with them before they are
// sent over LCDS, whose servers pick the class of an object by its "__class" member.
#pragma once

#include <map>
#include <string>

#include "sdk/binding/binding_type.h"
#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

/// Member that names a value's platform class.
inline constexpr char kLcdsClassMember[] = "__class";

/// Registered type name -> platform class name.
using LcdsClassNames = std::map<std::string, std::string>;

/// Sets "__class" on every structure of `value` whose registered record has a class name: the
/// value itself, each element of a vector, each value of a map, and so on through the fields of
/// every record reached. `spec` is the type the value was converted from.
void AnnotateLcdsClasses(BindingValue& value, const TypeSpec& spec, const LcdsClassNames& classNames);

}  // namespace Vela::Sdk
