// API help in the native record form and in Python epytext.
#include "sdk/binding/api_help.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/binding_result.h"
#include "sdk/binding/event_descriptor.h"
#include "sdk/binding/function_descriptor.h"
#include "sdk/binding/type_descriptor.h"
#include "sdk/binding/value_conversion.h"

namespace Vela::Sdk {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kParagraphEnd = "\r\n\r\n";
constexpr std::string_view kSeparator = ": ";
constexpr std::string_view kTagSeparator = ",";

BindingFullTypeIdentifier FullIdentifier(const TypeSpec& spec) {
  FullTypeIdentifier identifier = MakeFullTypeIdentifier(spec);
  return BindingFullTypeIdentifier{std::move(identifier.type), std::move(identifier.elementType)};
}

/// The payload of an event as a spec: enum or struct referring to the payload type.
TypeSpec EventPayloadSpec(const EventDescriptor& event) {
  if (event.dataType == nullptr) return TypeSpec{};
  return TypeSpec{event.dataType->isEnum ? kBindingEnum : kBindingStruct, kBindingNone, event.dataType};
}

/// Descriptors sorted by name, comparing names as byte strings; nulls dropped.
template <class Descriptor>
std::vector<const Descriptor*> SortedByName(std::span<Descriptor* const> list) {
  std::vector<const Descriptor*> sorted;
  sorted.reserve(list.size());
  for (const Descriptor* descriptor : list) {
    if (descriptor != nullptr) sorted.push_back(descriptor);
  }
  // std::string compares through char_traits<char>, which orders bytes as unsigned char.
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Descriptor* a, const Descriptor* b) { return a->name < b->name; });
  return sorted;
}

void AppendParagraph(std::string& text, const std::string& description) {
  if (description.empty()) return;
  text += EscapeEpytext(description);
  text += kParagraphEnd;
}

void AppendTags(std::string& text, const std::vector<std::string>& tags) {
  if (tags.empty()) return;
  text += "@tags: ";
  for (std::size_t i = 0; i < tags.size(); ++i) {
    if (i != 0) text += kTagSeparator;
    text += tags[i];
  }
  text += kLineEnd;
}

void AppendTypeLine(std::string& text, const std::string& name, const TypeSpec& spec) {
  text += "@type ";
  text += name;
  text += kSeparator;
  text += EpytextTypeName(spec);
  text += kLineEnd;
}

/// Adds one element per descriptor: its help record converted through the registered help
/// type, or Empty when that type is not registered or the conversion refuses the record.
template <class Record, class Descriptor, class Make>
void AddFullEntries(BindingValue& member, const BindingRegistry& registry, const std::vector<const Descriptor*>& list,
                    Make make) {
  if (list.empty()) return;  // an empty list leaves the member Empty
  member.MakeCollection();
  member.Reserve(list.size());
  const TypeDescriptor* helpType = registry.FindType(StaticType::Name<Record>());
  for (const Descriptor* descriptor : list) {
    BindingValue& element = member.Append();
    if (helpType == nullptr) continue;
    Record record = make(*descriptor);
    BindingResult result;
    NativeRecordToValue(result, registry, helpType, &record, element);
    if (!result.Ok()) element.Clear();
  }
}

template <class Descriptor, class Write>
void AddEpytextEntries(BindingValue& member, const std::vector<const Descriptor*>& list, Write write) {
  for (const Descriptor* descriptor : list)
    member.MemberForWriting(descriptor->name) = std::string_view(write(*descriptor));
}

}  // namespace

std::string EscapeEpytext(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (i == 0 && c == '-') {
      escaped += "E{-}";
    } else if (c == '{') {
      escaped += "E{lb}";
    } else if (c == '}') {
      escaped += "E{rb}";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

BindingFullFunctionHelp MakeFunctionHelp(const FunctionDescriptor& function) {
  BindingFullFunctionHelp help;
  help.name = function.name;
  help.nameSpace = function.nameSpace;
  help.arguments.reserve(function.arguments.size());
  for (const ArgumentDescriptor& argument : function.arguments) {
    help.arguments.push_back(
        BindingFullArgumentHelp{argument.name, argument.description, FullIdentifier(argument.type), argument.optional});
  }
  help.returns = FullIdentifier(function.returns);
  help.description = function.description;
  help.help = function.help;
  help.threadSafe = function.threadSafe;
  if (function.async && function.returns.referenced != nullptr) help.async = function.returns.referenced->name;
  help.tags = function.tags;
  return help;
}

BindingFullTypeHelp MakeTypeHelp(const TypeDescriptor& type) {
  BindingFullTypeHelp help;
  help.name = type.name;
  help.nameSpace = type.nameSpace;
  help.size = type.size;
  help.description = type.description;
  help.tags = type.tags;
  if (type.isEnum) {
    help.values.reserve(type.enumerators.size());
    for (const auto& [name, enumerator] : type.enumerators) {
      help.values.push_back(BindingFullEnumValueHelp{enumerator.name, enumerator.description, enumerator.value});
    }
  } else {
    help.fields.reserve(type.fields.size());
    for (const FieldDescriptor& field : type.fields) {
      help.fields.push_back(BindingFullFieldHelp{field.name, field.description, field.offset,
                                                 FullIdentifier(field.type), field.optional != 0});
    }
  }
  return help;
}

BindingFullEventHelp MakeEventHelp(const EventDescriptor& event) {
  return BindingFullEventHelp{event.name, event.nameSpace, FullIdentifier(EventPayloadSpec(event)), event.description,
                              event.tags};
}

std::string FunctionEpytext(const FunctionDescriptor& function) {
  std::string text;
  AppendParagraph(text, function.description);
  AppendParagraph(text, function.help);
  for (const ArgumentDescriptor& argument : function.arguments) {
    if (!argument.description.empty()) {
      text += "@param ";
      text += argument.name;
      text += kSeparator;
      if (argument.optional) text += "(optional) ";
      text += EscapeEpytext(argument.description);
      text += kLineEnd;
    }
    AppendTypeLine(text, argument.name, argument.type);
  }
  if (function.returns.type != kBindingNone) {
    text += "@rtype: ";
    text += EpytextTypeName(function.returns);
    text += kLineEnd;
  }
  AppendTags(text, function.tags);
  if (function.threadSafe) text += "@threadsafe: true\r\n";
  if (function.async) {
    text += "@async: ";
    text += EpytextTypeName(function.returns);
    text += kLineEnd;
  }
  return text;
}

std::string TypeEpytext(const TypeDescriptor& type) {
  std::string text;
  AppendParagraph(text, type.description);
  if (!type.isEnum) {
    for (const FieldDescriptor& field : type.fields) {
      text += "@ivar ";
      text += field.name;
      text += kSeparator;
      text += field.description;
      text += kLineEnd;
      AppendTypeLine(text, field.name, field.type);
    }
    AppendTags(text, type.tags);
    return text;
  }
  // By value; enumerators of equal value keep their name order.
  std::vector<const EnumValueDescriptor*> enumerators;
  enumerators.reserve(type.enumerators.size());
  for (const auto& [name, enumerator] : type.enumerators) enumerators.push_back(&enumerator);
  std::stable_sort(enumerators.begin(), enumerators.end(),
                   [](const EnumValueDescriptor* a, const EnumValueDescriptor* b) { return a->value < b->value; });
  for (const EnumValueDescriptor* enumerator : enumerators) {
    text += "@cvar ";
    text += enumerator->name;
    text += ": (";
    text += std::to_string(enumerator->value);
    text += ")";
    if (!enumerator->description.empty()) {
      text += " ";
      text += enumerator->description;
    }
    text += kLineEnd;
  }
  AppendTags(text, type.tags);
  text += "@size: ";
  text += std::to_string(type.size);
  text += kLineEnd;
  return text;
}

std::string EventEpytext(const EventDescriptor& event) {
  std::string text = EscapeEpytext(event.description);
  text += kParagraphEnd;
  AppendTags(text, event.tags);
  return text;
}

void BuildApiHelp(BindingValue& output, const BindingRegistry& registry, std::span<FunctionDescriptor* const> functions,
                  std::span<TypeDescriptor* const> types, std::span<EventDescriptor* const> events,
                  BindingHelpFormat format) {
  std::vector<const FunctionDescriptor*> sortedFunctions = SortedByName(functions);
  std::vector<const TypeDescriptor*> sortedTypes = SortedByName(types);
  std::vector<const EventDescriptor*> sortedEvents = SortedByName(events);
  // All three members exist before any is held: inserting a member may move the others.
  for (const char* name : {"functions", "types", "events"}) output.MemberForWriting(name);
  BindingValue& functionMember = output.MemberForWriting("functions");
  BindingValue& typeMember = output.MemberForWriting("types");
  BindingValue& eventMember = output.MemberForWriting("events");
  switch (format) {
    case BindingHelpFormat::Full:
      AddFullEntries<BindingFullFunctionHelp>(functionMember, registry, sortedFunctions, MakeFunctionHelp);
      AddFullEntries<BindingFullTypeHelp>(typeMember, registry, sortedTypes, MakeTypeHelp);
      AddFullEntries<BindingFullEventHelp>(eventMember, registry, sortedEvents, MakeEventHelp);
      break;
    case BindingHelpFormat::Epytext:
      AddEpytextEntries(functionMember, sortedFunctions, FunctionEpytext);
      AddEpytextEntries(typeMember, sortedTypes, TypeEpytext);
      AddEpytextEntries(eventMember, sortedEvents, EventEpytext);
      break;
    default: break;
  }
}

}  // namespace Vela::Sdk
