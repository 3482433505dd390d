// Descriptors of registered native records and enumerations: their fields with the converters
// that move each field to and from a BindingValue, and their enumerators.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/binding/binding_type.h"
#include "sdk/binding/static_type.h"

namespace Vela::Sdk {

class BindingResult;
class BindingValue;
class BindingRegistry;

/// Moves one field between its native representation and a BindingValue. Each step does
/// nothing once the result has failed.
class FieldConverter {
 public:
  virtual ~FieldConverter() = default;
  /// Assigns `value` to the native field at `field`; `targetName` names it in messages.
  virtual void ToNative(BindingResult& result, const BindingValue& value, const char* targetName,
                        void* field) const = 0;
  /// Puts the value of the native field at `field` into result's value.
  virtual void ToValue(BindingResult& result, const void* field) const = 0;
};

enum FieldFlags : uint8_t {
  kFieldOmitEmpty = 1,  // leave the member out of produced values when empty or zero
  kFieldRequired = 2,   // refuse an assigned structure without the member
};

struct FieldDescriptor {
  std::string name;
  uint32_t nameHash = 0;  // Fnv1a(name)
  std::string description;
  const StaticTypeRecord* staticType = nullptr;
  uint32_t offset = 0;   // in the native record
  TypeSpec type;         // used by help and conversions
  TypeSpec hostType;     // when its code is not 0, reported in the flat API description instead
  uint8_t flags = 0;     // FieldFlags
  uint8_t optional = 0;  // 1: the native type is optional; converted only through the converter
  std::unique_ptr<FieldConverter> converter;

  /// The TypeSpec the flat API description reports.
  const TypeSpec& ReportedType() const noexcept { return hostType.type != kBindingNone ? hostType : type; }
};

struct EnumValueDescriptor {
  std::string name;
  int32_t value = 0;
  std::string description;
};

/// One registered struct or enum. Filled only by the thread that registered it, before use, and
/// unchanged afterwards until the registry is reset.
struct TypeDescriptor {
  uint32_t size = 0;  // of the native record; 1, 2, 4 or 8 for an enum
  bool isEnum = false;
  std::string name;  // key in the registry
  uint32_t staticId = 0;
  const StaticTypeRecord* staticType = nullptr;
  std::string nameSpace;
  std::string description;
  std::vector<std::string> tags;
  std::vector<FieldDescriptor> fields;                     // structs, declaration order
  std::map<std::string, EnumValueDescriptor> enumerators;  // enums, byte-wise name order
  BindingRegistry* registry = nullptr;

  /// The first enumerator in name order with that value, or null.
  const EnumValueDescriptor* FindEnumerator(int32_t value) const noexcept;
  bool HasEnumerator(int32_t value) const noexcept { return FindEnumerator(value) != nullptr; }
  /// The field of that name, or null.
  const FieldDescriptor* FindField(std::string_view fieldName) const noexcept;
};

/// The {type, elementType} texts that describe a TypeSpec to help and the host.
struct FullTypeIdentifier {
  std::string type;
  std::string elementType;
};

/// vector: "vector" and the element's type text; map: "map" and the value's type text; enum and
/// struct: the referenced type's name ("enum" / "struct" when none) and ""; others: the code's
/// name and "".
FullTypeIdentifier MakeFullTypeIdentifier(const TypeSpec& spec);

/// The epytext name: "list[%1]", "dict[%1]" and "L{%1}" filled one level deep, "bytearray" for
/// blob, the plain name otherwise.
std::string EpytextTypeName(const TypeSpec& spec);

/// The name a TypeSpec prints as: the referenced type's name for struct and enum, otherwise the
/// code's name.
std::string TypeSpecName(const TypeSpec& spec);

}  // namespace Vela::Sdk
