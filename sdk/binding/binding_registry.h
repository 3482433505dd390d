// BindingRegistry: the plug-in's registered types, functions and events, looked up by name or
// by static type record from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sdk/binding/binding_type.h"
#include "sdk/binding/enum_name_resolver.h"
#include "sdk/binding/event_descriptor.h"
#include "sdk/binding/fnv1a.h"
#include "sdk/binding/function_descriptor.h"
#include "sdk/binding/static_type.h"
#include "sdk/binding/type_descriptor.h"

namespace Vela::Sdk {

/// Describes a type begun with BeginType. When the type existed already every step does nothing:
/// a type is described once, by whoever registers it first.
struct TypeBuilder {
  BindingRegistry* registry = nullptr;
  TypeDescriptor* descriptor = nullptr;
  bool existed = false;

  /// Appends a field; its nameHash is computed here.
  TypeBuilder& AddField(FieldDescriptor field);
  TypeBuilder& AddField(std::string name, std::string description, uint32_t offset, const StaticTypeRecord& staticType,
                        TypeSpec type, TypeSpec hostType, uint8_t flags, std::unique_ptr<FieldConverter> converter,
                        uint8_t optional = 0);
  /// Adds an enumerator; an existing name takes the new value and description.
  TypeBuilder& AddEnumerator(std::string name, int32_t value, std::string description = {});
  TypeBuilder& SetDescription(std::string description);
  TypeBuilder& SetNameSpace(std::string nameSpace);
  TypeBuilder& AppendTags(std::initializer_list<std::string_view> tags);
};

/// An event from GetOrCreateEvent; as with TypeBuilder, steps do nothing when it existed.
struct EventBuilder {
  BindingRegistry* registry = nullptr;
  EventDescriptor* descriptor = nullptr;
  bool existed = false;

  EventBuilder& SetDescription(std::string description);
  EventBuilder& SetNameSpace(std::string nameSpace);
  EventBuilder& AppendTags(std::initializer_list<std::string_view> tags);
};

/// Owns every descriptor in it. Any thread may register or look up; one mutex guards the maps
/// and is held only for the map operation. Descriptor pointers stay valid until Reset.
class BindingRegistry : public EnumNameResolver {
 public:
  BindingRegistry();
  ~BindingRegistry() override;
  BindingRegistry(const BindingRegistry&) = delete;
  BindingRegistry& operator=(const BindingRegistry&) = delete;

  /// Reset, register the SDK's own types and events, then mark initialised.
  void Initialise();
  /// When initialised: destroys every event, type and function (and their callables) and clears
  /// the flag. Does nothing otherwise.
  void Reset();
  bool IsInitialised() const;

  /// Begins a type, or finds the one of that name (existed = true). A new type is found by
  /// identifier too unless its record is the void record.
  TypeBuilder BeginType(std::string_view name, uint32_t size, const StaticTypeRecord& staticType, bool isEnum);
  /// The event of that name, or a new one with that payload type.
  EventBuilder GetOrCreateEvent(std::string_view name, TypeDescriptor* dataType);
  /// Creates a function. Unless unlisted it is found by name, in place of any earlier function of
  /// that name; the registry keeps the replaced or unlisted descriptor alive until Reset, so a
  /// caller holding it never dangles.
  FunctionDescriptor* RegisterFunction(std::string name, std::vector<ArgumentDescriptor> arguments,
                                       FunctionSettings settings, bool unlisted = false);

  TypeDescriptor* FindType(const StaticTypeRecord& staticType) const;
  TypeDescriptor* FindTypeById(uint32_t staticId) const;
  TypeDescriptor* FindType(std::string_view name) const;
  FunctionDescriptor* FindFunction(std::string_view name) const;
  EventDescriptor* FindEvent(std::string_view name) const;
  /// Number of functions found by name.
  std::size_t FunctionCount() const;

  /// Copies of the maps, in the maps' own order, for help and the flat API description.
  std::vector<FunctionDescriptor*> SnapshotFunctions() const;
  std::vector<TypeDescriptor*> SnapshotTypes() const;
  std::vector<EventDescriptor*> SnapshotEvents() const;

  /// The name of the first enumerator in name order with that value of the enum with that
  /// identifier; null when the enum or the value is unknown. Valid until Reset.
  const char* EnumeratorName(uint32_t enumId, int32_t value) const override;

 private:
  template <class T>
  using ByName = std::unordered_map<std::string, std::unique_ptr<T>, Fnv1aTextHasher, std::equal_to<>>;
  using ById = std::unordered_map<uint32_t, TypeDescriptor*, Fnv1aWordHasher>;

  void PrepareMaps();

  mutable std::mutex mutex_;
  ByName<FunctionDescriptor> functions_;
  ByName<EventDescriptor> events_;
  ByName<TypeDescriptor> types_;
  ById typesById_;
  std::vector<std::unique_ptr<FunctionDescriptor>> retiredFunctions_;  // replaced or unlisted
  bool initialised_ = false;
};

}  // namespace Vela::Sdk
