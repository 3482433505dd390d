// Building the flat API description the host reads.
#include "sdk/binding/flat_api_description.h"

#include "sdk/binding/binding_registry.h"

namespace Vela::Sdk {

namespace {

/// The name the host reads beside a type code: the referenced type's, for the codes that can
/// refer to one.
const std::string& ReferencedName(const TypeSpec& spec) {
  static const std::string kNone;
  switch (spec.type) {
    case kBindingVector:
    case kBindingEnum:
    case kBindingStruct:
    case kBindingMap: return spec.referenced != nullptr ? spec.referenced->name : kNone;
    default: return kNone;
  }
}

}  // namespace

const char* FlatApiStorage::Text(std::string_view text) { return texts_.emplace_back(text).c_str(); }

const char** FlatApiStorage::Tags(const std::vector<std::string>& tags) {
  if (tags.empty()) return nullptr;
  auto array = std::make_unique<const char*[]>(tags.size());
  for (std::size_t i = 0; i < tags.size(); ++i) array[i] = Text(tags[i]);
  return tagArrays_.emplace_back(std::move(array)).get();
}

template <class Record>
Record* FlatApiStorage::NewList(std::size_t count) {
  if (count == 0) return nullptr;
  std::shared_ptr<Record[]> list(new Record[count]());
  for (std::size_t i = 0; i + 1 < count; ++i) list[i].next = &list[i + 1];
  Record* first = list.get();
  lists_.push_back(std::move(list));
  return first;
}

template <class Record>
void FlatApiStorage::WriteType(Record& record, const TypeSpec& spec) {
  record.typeCode = HostBindingTypeCode(spec.type);
  record.elementCode = HostBindingTypeCode(spec.element);
  record.typeName = Text(ReferencedName(spec));
}

std::unique_ptr<FlatApiStorage> FlatApiStorage::Build(const BindingRegistry& registry) {
  return Build(registry.SnapshotFunctions(), registry.SnapshotTypes(), registry.SnapshotEvents());
}

void FlatApiStorage::WriteFunction(FlatFunctionRecord& record, const FunctionDescriptor& function) {
  record.name = Text(function.name);
  record.nameSpace = Text(function.nameSpace);
  record.arguments = NewList<FlatArgumentRecord>(function.arguments.size());
  record.argumentCount = static_cast<uint32_t>(function.arguments.size());
  for (std::size_t a = 0; a < function.arguments.size(); ++a) {
    const ArgumentDescriptor& argument = function.arguments[a];
    FlatArgumentRecord& flat = record.arguments[a];
    flat.name = Text(argument.name);
    flat.description = Text(argument.description);
    WriteType(flat, argument.ReportedType());
    flat.optional = argument.optional ? 1 : 0;
  }
  const TypeSpec& returns = function.ReportedReturns();
  record.returnTypeCode = HostBindingTypeCode(returns.type);
  record.returnElementCode = HostBindingTypeCode(returns.element);
  record.returnTypeName = Text(ReferencedName(returns));
  record.description = Text(function.description);
  record.help = Text(function.help);
  record.threadSafe = function.threadSafe ? 1 : 0;
  // The async result is named even when the host is shown a plainer spec without the type.
  const TypeDescriptor* asyncType = returns.referenced != nullptr ? returns.referenced : function.returns.referenced;
  record.async = Text(function.async && asyncType != nullptr ? asyncType->name : std::string());
  record.tags = Tags(function.tags);
  record.tagCount = static_cast<uint32_t>(function.tags.size());
}

void FlatApiStorage::WriteTypeRecord(FlatTypeRecord& record, const TypeDescriptor& type) {
  record.name = Text(type.name);
  record.nameSpace = Text(type.nameSpace);
  record.size = type.size;
  record.description = Text(type.description);
  record.tags = Tags(type.tags);
  record.tagCount = static_cast<uint32_t>(type.tags.size());
  if (!type.fields.empty()) {
    record.fields = NewList<FlatFieldRecord>(type.fields.size());
    record.count = static_cast<uint32_t>(type.fields.size());
    for (std::size_t f = 0; f < type.fields.size(); ++f) {
      const FieldDescriptor& field = type.fields[f];
      FlatFieldRecord& flat = record.fields[f];
      flat.name = Text(field.name);
      flat.description = Text(field.description);
      flat.offset = field.offset;
      WriteType(flat, field.ReportedType());
      flat.optional = field.optional;
    }
    return;
  }
  record.enumerators = NewList<FlatEnumeratorRecord>(type.enumerators.size());
  record.count = static_cast<uint32_t>(type.enumerators.size());
  std::size_t e = 0;
  for (const auto& [name, enumerator] : type.enumerators) {
    FlatEnumeratorRecord& flat = record.enumerators[e++];
    flat.name = Text(enumerator.name);
    flat.description = Text(enumerator.description);
    flat.value = enumerator.value;
  }
}

void FlatApiStorage::WriteEvent(FlatEventRecord& record, const EventDescriptor& event) {
  record.name = Text(event.name);
  record.nameSpace = Text(event.nameSpace);
  record.payloadTypeName = Text(event.dataType != nullptr ? event.dataType->name : std::string());
  record.description = Text(event.description);
  record.tags = Tags(event.tags);
  record.tagCount = static_cast<uint32_t>(event.tags.size());
}

std::unique_ptr<FlatApiStorage> FlatApiStorage::Build(std::vector<FunctionDescriptor*> functions,
                                                      std::vector<TypeDescriptor*> types,
                                                      std::vector<EventDescriptor*> events) {
  std::unique_ptr<FlatApiStorage> storage(new FlatApiStorage());
  FlatApiStorage& s = *storage;
  FlatApiDescription& d = s.description_;
  d.functions = s.NewList<FlatFunctionRecord>(functions.size());
  d.functionCount = static_cast<uint32_t>(functions.size());
  for (std::size_t i = 0; i < functions.size(); ++i) s.WriteFunction(d.functions[i], *functions[i]);
  s.functions_ = std::move(functions);
  d.types = s.NewList<FlatTypeRecord>(types.size());
  d.typeCount = static_cast<uint32_t>(types.size());
  for (std::size_t i = 0; i < types.size(); ++i) s.WriteTypeRecord(d.types[i], *types[i]);
  d.events = s.NewList<FlatEventRecord>(events.size());
  d.eventCount = static_cast<uint32_t>(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) s.WriteEvent(d.events[i], *events[i]);
  return storage;
}

}  // namespace Vela::Sdk
