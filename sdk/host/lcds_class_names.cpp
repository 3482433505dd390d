// Marking values with their platform class names.
#include "sdk/host/lcds_class_names.h"

#include <string>
#include <vector>

#include "sdk/binding/type_descriptor.h"

namespace Vela::Sdk {

namespace {

void AnnotateRecord(BindingValue& value, const TypeDescriptor* record, const LcdsClassNames& classNames);

void AnnotateSpec(BindingValue& value, const TypeSpec& spec, const LcdsClassNames& classNames) {
  if (spec.type == kBindingVector) {
    if (spec.element != kBindingStruct) return;
    for (BindingValue& element : value.Elements()) AnnotateRecord(element, spec.referenced, classNames);
  } else if (spec.type == kBindingMap) {
    if (spec.element != kBindingStruct || value.Kind() != ValueKind::Structure) return;
    std::vector<std::string> names;
    for (const BindingValue::MemberEntry& member : value.Members()) names.emplace_back(member.name);
    for (const std::string& name : names) AnnotateRecord(value.MemberForWriting(name), spec.referenced, classNames);
  } else if (spec.type == kBindingStruct) {
    AnnotateRecord(value, spec.referenced, classNames);
  }
}

void AnnotateRecord(BindingValue& value, const TypeDescriptor* record, const LcdsClassNames& classNames) {
  if (record == nullptr || record->isEnum || value.Kind() != ValueKind::Structure) return;
  for (const FieldDescriptor& field : record->fields) {
    if (value.FindMember(field.name) != nullptr)
      AnnotateSpec(value.MemberForWriting(field.name), field.type, classNames);
  }
  auto found = classNames.find(record->name);
  if (found != classNames.end()) value.MemberForWriting(kLcdsClassMember) = std::string_view(found->second);
}

}  // namespace

void AnnotateLcdsClasses(BindingValue& value, const TypeSpec& spec, const LcdsClassNames& classNames) {
  AnnotateSpec(value, spec, classNames);
}

}  // namespace Vela::Sdk
