// Printed names of the value kinds.
#include "sdk/binding/value_kind.h"

namespace Vela::Sdk {

const char* ValueKindName(ValueKind kind) noexcept {
  switch (kind) {
    case ValueKind::Empty: return "empty";
    case ValueKind::Bool: return "bool";
    case ValueKind::Signed: return "signed";
    case ValueKind::Unsigned: return "unsigned";
    case ValueKind::Float: return "float";
    case ValueKind::String: return "string";
    case ValueKind::Blob: return "blob";
    case ValueKind::Enum: return "enum";
    case ValueKind::Collection: return "collection";
    case ValueKind::Structure: return "structure";
  }
  return "";
}

}  // namespace Vela::Sdk
