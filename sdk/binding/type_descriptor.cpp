// Type descriptor queries and the texts that name a TypeSpec.
#include "sdk/binding/type_descriptor.h"

namespace Vela::Sdk {

namespace {

/// The TypeSpec of the element of a vector or map, which shares the container's referenced type.
TypeSpec ElementSpec(const TypeSpec& spec) { return TypeSpec{spec.element, kBindingNone, spec.referenced}; }

/// Replaces the "%1" of an epytext pattern.
std::string FillPattern(const char* pattern, const std::string& argument) {
  std::string text = pattern;
  std::size_t at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

}  // namespace

const EnumValueDescriptor* TypeDescriptor::FindEnumerator(int32_t value) const noexcept {
  for (const auto& entry : enumerators) {
    if (entry.second.value == value) return &entry.second;
  }
  return nullptr;
}

const FieldDescriptor* TypeDescriptor::FindField(std::string_view fieldName) const noexcept {
  for (const FieldDescriptor& field : fields) {
    if (field.name == fieldName) return &field;
  }
  return nullptr;
}

std::string TypeSpecName(const TypeSpec& spec) {
  if ((spec.type == kBindingEnum || spec.type == kBindingStruct) && spec.referenced != nullptr) {
    return spec.referenced->name;
  }
  return BindingTypeName(spec.type);
}

FullTypeIdentifier MakeFullTypeIdentifier(const TypeSpec& spec) {
  if (spec.type == kBindingVector || spec.type == kBindingMap) {
    return {BindingTypeName(spec.type), TypeSpecName(ElementSpec(spec))};
  }
  return {TypeSpecName(spec), std::string()};
}

std::string EpytextTypeName(const TypeSpec& spec) {
  switch (spec.type) {
    case kBindingVector:
    case kBindingMap: {
      // An element spec has no element of its own, so this recurses once at most.
      return FillPattern(BindingTypeEpytextName(spec.type), EpytextTypeName(ElementSpec(spec)));
    }
    case kBindingEnum:
    case kBindingStruct: return FillPattern(BindingTypeEpytextName(spec.type), TypeSpecName(spec));
    default: return BindingTypeEpytextName(spec.type);
  }
}

}  // namespace Vela::Sdk
