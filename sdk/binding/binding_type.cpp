// Names of the binding type codes.
#include "sdk/binding/binding_type.h"

namespace Vela::Sdk {

namespace {

constexpr const char* kTypeNames[] = {
    "",      "bool",   "int8",   "uint8",  "int16", "uint16", "int32", "uint32", "int64",    "uint64",
    "float", "double", "string", "object", "blob",  "vector", "enum",  "struct", "callback", "map",
};

constexpr const char* kEpytextNames[] = {
    "",      "bool",   "int8",   "uint8",  "int16",     "uint16",   "int32", "uint32", "int64",    "uint64",
    "float", "double", "string", "object", "bytearray", "list[%1]", "L{%1}", "L{%1}",  "callback", "dict[%1]",
};

static_assert(sizeof(kTypeNames) / sizeof(kTypeNames[0]) == kBindingMap + 1);
static_assert(sizeof(kEpytextNames) / sizeof(kEpytextNames[0]) == kBindingMap + 1);

}  // namespace

const char* BindingTypeName(int32_t code) noexcept { return kTypeNames[HostBindingTypeCode(code)]; }

const char* BindingTypeEpytextName(int32_t code) noexcept { return kEpytextNames[HostBindingTypeCode(code)]; }

}  // namespace Vela::Sdk
