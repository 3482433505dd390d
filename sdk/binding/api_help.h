// API help: a description of registered functions, types and events, either as values of the
// native help records (BindingHelpFormat::Full) or as Python epytext texts (Epytext).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "sdk/binding/binding_value.h"
#include "sdk/binding/builtin_types.h"

namespace Vela::Sdk {

class BindingRegistry;
struct EventDescriptor;
struct FunctionDescriptor;
struct TypeDescriptor;

/// Fills `output` with the members "functions", "types" and "events", each list sorted by name
/// byte-wise. Full: each member is a Collection of help records converted through the help types
/// registered in `registry` (an element stays Empty when its help type is not registered).
/// Epytext: each member is a Structure from name to epytext text. An empty list, and any other
/// format, leaves its member Empty. Null descriptors in the lists are skipped.
void BuildApiHelp(BindingValue& output, const BindingRegistry& registry, std::span<FunctionDescriptor* const> functions,
                  std::span<TypeDescriptor* const> types, std::span<EventDescriptor* const> events,
                  BindingHelpFormat format);

/// The native help record of each kind of descriptor.
BindingFullFunctionHelp MakeFunctionHelp(const FunctionDescriptor& function);
/// Enumerators in name order, fields in declaration order.
BindingFullTypeHelp MakeTypeHelp(const TypeDescriptor& type);
BindingFullEventHelp MakeEventHelp(const EventDescriptor& event);

/// The epytext of each kind of descriptor; lines end in CR LF.
std::string FunctionEpytext(const FunctionDescriptor& function);
std::string TypeEpytext(const TypeDescriptor& type);
std::string EventEpytext(const EventDescriptor& event);

/// A leading "-" becomes "E{-}", every "{" "E{lb}" and every "}" "E{rb}".
std::string EscapeEpytext(std::string_view text);

}  // namespace Vela::Sdk
