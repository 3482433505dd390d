// Listing and help of a flat API description.
#include "devhost/api_description.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "sdk/binding/api_help.h"
#include "sdk/binding/binding_registry.h"
#include "sdk/binding/event_descriptor.h"
#include "sdk/binding/function_descriptor.h"
#include "sdk/binding/type_descriptor.h"

namespace Vela::DevHost {

using Vela::Sdk::BindingValue;
using Vela::Sdk::FlatApiDescription;
using Vela::Sdk::TypeSpec;

namespace {

std::string Text(const char* text) { return text == nullptr ? std::string() : std::string(text); }

std::vector<std::string> Tags(const char* const* tags, uint32_t count) {
  std::vector<std::string> out;
  for (uint32_t i = 0; tags != nullptr && i < count; ++i) out.push_back(Text(tags[i]));
  return out;
}

// The flat records walked as lists: each record starts with the next one, and the count bounds
// the walk even when a list is not terminated.
template <class Record, class Visit>
void Walk(const Record* first, uint32_t count, Visit visit) {
  const Record* record = first;
  for (uint32_t i = 0; record != nullptr && i < count; ++i, record = record->next) visit(*record);
}

// Descriptors mirroring the flat records, so the SDK's help generator can describe them.
class Mirror {
 public:
  explicit Mirror(const FlatApiDescription& api) {
    registry_.Initialise();
    Walk(api.types, api.typeCount, [&](const Vela::Sdk::FlatTypeRecord& record) {
      auto type = std::make_unique<Vela::Sdk::TypeDescriptor>();
      type->name = Text(record.name);
      type->nameSpace = Text(record.nameSpace);
      type->size = record.size;
      type->description = Text(record.description);
      type->tags = Tags(record.tags, record.tagCount);
      type->isEnum = record.fields == nullptr && record.enumerators != nullptr;
      byName_[type->name] = type.get();
      types_.push_back(std::move(type));
    });
    // Fields may refer to any type, so they are read once every type has its descriptor.
    std::size_t index = 0;
    Walk(api.types, api.typeCount, [&](const Vela::Sdk::FlatTypeRecord& record) {
      Vela::Sdk::TypeDescriptor& type = *types_[index++];
      if (record.fields != nullptr) {
        Walk(record.fields, record.count, [&](const Vela::Sdk::FlatFieldRecord& field) {
          Vela::Sdk::FieldDescriptor descriptor;
          descriptor.name = Text(field.name);
          descriptor.description = Text(field.description);
          descriptor.offset = field.offset;
          descriptor.type = Spec(field.typeCode, field.elementCode, field.typeName);
          descriptor.optional = field.optional;
          type.fields.push_back(std::move(descriptor));
        });
      } else {
        Walk(record.enumerators, record.count, [&](const Vela::Sdk::FlatEnumeratorRecord& enumerator) {
          std::string name = Text(enumerator.name);
          type.enumerators[name] = {name, enumerator.value, Text(enumerator.description)};
        });
      }
    });
    Walk(api.functions, api.functionCount, [&](const Vela::Sdk::FlatFunctionRecord& record) {
      auto function = std::make_unique<Vela::Sdk::FunctionDescriptor>();
      function->name = Text(record.name);
      function->nameSpace = Text(record.nameSpace);
      function->description = Text(record.description);
      function->help = Text(record.help);
      function->threadSafe = record.threadSafe != 0;
      function->async = record.async != nullptr && record.async[0] != '\0';
      function->tags = Tags(record.tags, record.tagCount);
      function->returns = Spec(record.returnTypeCode, record.returnElementCode, record.returnTypeName);
      Walk(record.arguments, record.argumentCount, [&](const Vela::Sdk::FlatArgumentRecord& argument) {
        Vela::Sdk::ArgumentDescriptor descriptor;
        descriptor.name = Text(argument.name);
        descriptor.description = Text(argument.description);
        descriptor.optional = argument.optional != 0;
        descriptor.type = Spec(argument.typeCode, argument.elementCode, argument.typeName);
        function->arguments.push_back(std::move(descriptor));
      });
      functions_.push_back(std::move(function));
    });
    Walk(api.events, api.eventCount, [&](const Vela::Sdk::FlatEventRecord& record) {
      auto event = std::make_unique<Vela::Sdk::EventDescriptor>();
      event->name = Text(record.name);
      event->nameSpace = Text(record.nameSpace);
      event->description = Text(record.description);
      event->tags = Tags(record.tags, record.tagCount);
      event->dataType = Find(record.payloadTypeName);
      events_.push_back(std::move(event));
    });
  }

  BindingValue Help(Vela::Sdk::BindingHelpFormat format) const {
    BindingValue help;
    help.MakeStructure();
    Vela::Sdk::BuildApiHelp(help, registry_, Pointers(functions_), Pointers(types_), Pointers(events_), format);
    return help;
  }

  const std::vector<std::unique_ptr<Vela::Sdk::FunctionDescriptor>>& Functions() const { return functions_; }
  const std::vector<std::unique_ptr<Vela::Sdk::TypeDescriptor>>& Types() const { return types_; }
  const std::vector<std::unique_ptr<Vela::Sdk::EventDescriptor>>& Events() const { return events_; }

 private:
  Vela::Sdk::TypeDescriptor* Find(const char* name) const {
    auto found = byName_.find(Text(name));
    return found == byName_.end() ? nullptr : found->second;
  }

  TypeSpec Spec(int32_t code, int32_t elementCode, const char* typeName) const {
    TypeSpec spec;
    spec.type = static_cast<Vela::Sdk::BindingType>(Vela::Sdk::HostBindingTypeCode(code));
    spec.element = static_cast<Vela::Sdk::BindingType>(Vela::Sdk::HostBindingTypeCode(elementCode));
    bool refers = spec.type == Vela::Sdk::kBindingEnum || spec.type == Vela::Sdk::kBindingStruct ||
                  spec.element == Vela::Sdk::kBindingEnum || spec.element == Vela::Sdk::kBindingStruct;
    if (refers) spec.referenced = Find(typeName);
    return spec;
  }

  template <class T>
  static std::vector<T*> Pointers(const std::vector<std::unique_ptr<T>>& owned) {
    std::vector<T*> pointers;
    for (const std::unique_ptr<T>& item : owned) pointers.push_back(item.get());
    return pointers;
  }

  Vela::Sdk::BindingRegistry registry_;
  std::vector<std::unique_ptr<Vela::Sdk::TypeDescriptor>> types_;
  std::vector<std::unique_ptr<Vela::Sdk::FunctionDescriptor>> functions_;
  std::vector<std::unique_ptr<Vela::Sdk::EventDescriptor>> events_;
  std::map<std::string, Vela::Sdk::TypeDescriptor*> byName_;
};

std::string SpecText(const TypeSpec& spec) {
  Vela::Sdk::FullTypeIdentifier identifier = Vela::Sdk::MakeFullTypeIdentifier(spec);
  if (spec.type == Vela::Sdk::kBindingVector) return "vector<" + identifier.elementType + ">";
  if (spec.type == Vela::Sdk::kBindingMap) return "map<string, " + identifier.elementType + ">";
  return identifier.type;
}

std::string TagText(const std::vector<std::string>& tags) {
  if (tags.empty()) return {};
  std::string text = "  [";
  for (std::size_t i = 0; i < tags.size(); ++i) text += (i == 0 ? "" : ", ") + tags[i];
  return text + "]";
}

template <class T>
std::vector<const T*> ByName(const std::vector<std::unique_ptr<T>>& items) {
  std::vector<const T*> sorted;
  for (const std::unique_ptr<T>& item : items) sorted.push_back(item.get());
  std::sort(sorted.begin(), sorted.end(), [](const T* a, const T* b) { return a->name < b->name; });
  return sorted;
}

}  // namespace

std::string DescribeApi(const FlatApiDescription& api) {
  Mirror mirror(api);
  std::string out;
  out += "Functions (" + std::to_string(mirror.Functions().size()) + ")\n";
  for (const auto* function : ByName(mirror.Functions())) {
    out += "  " + function->name + "(";
    for (std::size_t i = 0; i < function->arguments.size(); ++i) {
      const Vela::Sdk::ArgumentDescriptor& argument = function->arguments[i];
      out += (i == 0 ? "" : ", ") + argument.name + (argument.optional ? "?: " : ": ") + SpecText(argument.type);
    }
    out += ")";
    if (function->returns.type != Vela::Sdk::kBindingNone) out += " -> " + SpecText(function->returns);
    out += TagText(function->tags) + "\n";
    if (!function->description.empty()) out += "      " + function->description + "\n";
  }
  out += "Types (" + std::to_string(mirror.Types().size()) + ")\n";
  for (const auto* type : ByName(mirror.Types())) {
    out += "  " + type->name + (type->isEnum ? " enum" : " struct") + ", " + std::to_string(type->size) + " bytes" +
           TagText(type->tags) + "\n";
    for (const Vela::Sdk::FieldDescriptor& field : type->fields) {
      out += "    " + field.name + ": " + SpecText(field.type) + "\n";
    }
    std::multimap<int32_t, std::string> byValue;
    for (const auto& [name, enumerator] : type->enumerators) byValue.emplace(enumerator.value, name);
    for (const auto& [value, name] : byValue) out += "    " + name + " = " + std::to_string(value) + "\n";
  }
  out += "Events (" + std::to_string(mirror.Events().size()) + ")\n";
  for (const auto* event : ByName(mirror.Events())) {
    out += "  " + event->name + ": " + (event->dataType == nullptr ? std::string("?") : event->dataType->name) +
           TagText(event->tags) + "\n";
    if (!event->description.empty()) out += "      " + event->description + "\n";
  }
  return out;
}

BindingValue ApiHelp(const FlatApiDescription& api, Vela::Sdk::BindingHelpFormat format) {
  return Mirror(api).Help(format);
}

std::string EpytextListing(const BindingValue& help) {
  std::string out;
  for (const char* section : {"functions", "types", "events"}) {
    const BindingValue& entries = help.Member(section);
    out += std::string(section) + " (" + std::to_string(entries.Size()) + ")\n";
    for (const auto& entry : entries.Members()) {
      out += "== " + std::string(entry.name) + "\n";
      out += std::string(entry.value.GetString());
    }
  }
  return out;
}

}  // namespace Vela::DevHost
