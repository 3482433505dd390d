// BindingRegistry: registration, lookup and lifecycle of the registered descriptors.
#include "sdk/binding/binding_registry.h"

#include <utility>

#include "sdk/binding/builtin_types.h"

namespace Vela::Sdk {

namespace {

constexpr std::size_t kInitialBuckets = 8;

template <class Map>
void Prepare(Map& map) {
  map.max_load_factor(1.0f);
  map.rehash(kInitialBuckets);
}

template <class Map>
auto Find(const Map& map, std::string_view name) -> decltype(map.begin()->second.get()) {
  auto found = map.find(name);
  return found == map.end() ? nullptr : found->second.get();
}

template <class Map>
auto Snapshot(const Map& map) {
  std::vector<decltype(map.begin()->second.get())> copy;
  copy.reserve(map.size());
  for (const auto& entry : map) copy.push_back(entry.second.get());
  return copy;
}

void Append(std::vector<std::string>& to, std::initializer_list<std::string_view> tags) {
  for (std::string_view tag : tags) to.emplace_back(tag);
}

}  // namespace

TypeBuilder& TypeBuilder::AddField(FieldDescriptor field) {
  if (existed) return *this;
  field.nameHash = Fnv1a(field.name);
  descriptor->fields.push_back(std::move(field));
  return *this;
}

TypeBuilder& TypeBuilder::AddField(std::string name, std::string description, uint32_t offset,
                                   const StaticTypeRecord& staticType, TypeSpec type, TypeSpec hostType, uint8_t flags,
                                   std::unique_ptr<FieldConverter> converter, uint8_t optional) {
  if (existed) return *this;
  FieldDescriptor field;
  field.name = std::move(name);
  field.description = std::move(description);
  field.staticType = &staticType;
  field.offset = offset;
  field.type = type;
  field.hostType = hostType;
  field.flags = flags;
  field.optional = optional;
  field.converter = std::move(converter);
  return AddField(std::move(field));
}

TypeBuilder& TypeBuilder::AddEnumerator(std::string name, int32_t value, std::string description) {
  if (existed) return *this;
  EnumValueDescriptor& enumerator = descriptor->enumerators[name];
  enumerator.name = std::move(name);
  enumerator.value = value;
  enumerator.description = std::move(description);
  return *this;
}

TypeBuilder& TypeBuilder::SetDescription(std::string description) {
  if (!existed) descriptor->description = std::move(description);
  return *this;
}

TypeBuilder& TypeBuilder::SetNameSpace(std::string nameSpace) {
  if (!existed) descriptor->nameSpace = std::move(nameSpace);
  return *this;
}

TypeBuilder& TypeBuilder::AppendTags(std::initializer_list<std::string_view> tags) {
  if (!existed) Append(descriptor->tags, tags);
  return *this;
}

EventBuilder& EventBuilder::SetDescription(std::string description) {
  if (!existed) descriptor->description = std::move(description);
  return *this;
}

EventBuilder& EventBuilder::SetNameSpace(std::string nameSpace) {
  if (!existed) descriptor->nameSpace = std::move(nameSpace);
  return *this;
}

EventBuilder& EventBuilder::AppendTags(std::initializer_list<std::string_view> tags) {
  if (!existed) Append(descriptor->tags, tags);
  return *this;
}

BindingRegistry::BindingRegistry() { PrepareMaps(); }

BindingRegistry::~BindingRegistry() = default;

void BindingRegistry::PrepareMaps() {
  Prepare(functions_);
  Prepare(events_);
  Prepare(types_);
  Prepare(typesById_);
}

void BindingRegistry::Initialise() {
  Reset();
  RegisterBuiltinTypes(*this);
  std::lock_guard lock(mutex_);
  initialised_ = true;
}

void BindingRegistry::Reset() {
  ByName<FunctionDescriptor> functions;
  ByName<EventDescriptor> events;
  ByName<TypeDescriptor> types;
  std::vector<std::unique_ptr<FunctionDescriptor>> retired;
  {
    std::lock_guard lock(mutex_);
    if (!initialised_) return;
    functions.swap(functions_);
    events.swap(events_);
    types.swap(types_);
    retired.swap(retiredFunctions_);
    typesById_.clear();
    PrepareMaps();
    initialised_ = false;
  }
  // Destroyed outside the lock: a callable's destructor may well look something up.
}

bool BindingRegistry::IsInitialised() const {
  std::lock_guard lock(mutex_);
  return initialised_;
}

TypeBuilder BindingRegistry::BeginType(std::string_view name, uint32_t size, const StaticTypeRecord& staticType,
                                       bool isEnum) {
  auto descriptor = std::make_unique<TypeDescriptor>();
  descriptor->size = size;
  descriptor->isEnum = isEnum;
  descriptor->name = name;
  descriptor->staticId = staticType.id;
  descriptor->staticType = &staticType;
  descriptor->registry = this;

  std::lock_guard lock(mutex_);
  if (TypeDescriptor* existing = Find(types_, name)) return TypeBuilder{this, existing, true};
  TypeDescriptor* created = descriptor.get();
  types_.emplace(created->name, std::move(descriptor));
  // Every function without a result shares the void record, so it identifies no type. A native
  // type registered under a second name stays identified as the first.
  if (staticType.id != StaticType::Void().id) typesById_.try_emplace(staticType.id, created);
  return TypeBuilder{this, created, false};
}

EventBuilder BindingRegistry::GetOrCreateEvent(std::string_view name, TypeDescriptor* dataType) {
  auto descriptor = std::make_unique<EventDescriptor>();
  descriptor->name = name;
  descriptor->dataType = dataType;
  descriptor->registry = this;

  std::lock_guard lock(mutex_);
  if (EventDescriptor* existing = Find(events_, name)) return EventBuilder{this, existing, true};
  EventDescriptor* created = descriptor.get();
  events_.emplace(created->name, std::move(descriptor));
  return EventBuilder{this, created, false};
}

FunctionDescriptor* BindingRegistry::RegisterFunction(std::string name, std::vector<ArgumentDescriptor> arguments,
                                                      FunctionSettings settings, bool unlisted) {
  auto descriptor = std::make_unique<FunctionDescriptor>();
  descriptor->name = std::move(name);
  descriptor->arguments = std::move(arguments);
  for (ArgumentDescriptor& argument : descriptor->arguments) argument.nameHash = Fnv1a(argument.name);
  descriptor->returns = settings.returns;
  descriptor->hostReturns = settings.hostReturns;
  descriptor->tags = std::move(settings.tags);
  descriptor->nameSpace = std::move(settings.nameSpace);
  descriptor->description = std::move(settings.description);
  descriptor->help = std::move(settings.help);
  descriptor->threadSafe = settings.threadSafe;
  descriptor->async = settings.async;
  descriptor->callable = std::move(settings.callable);
  descriptor->registry = this;
  FunctionDescriptor* created = descriptor.get();

  std::lock_guard lock(mutex_);
  if (unlisted) {
    retiredFunctions_.push_back(std::move(descriptor));
    return created;
  }
  auto [entry, inserted] = functions_.try_emplace(created->name, nullptr);
  // The replaced function may still be running or be named in a flat description.
  if (!inserted) retiredFunctions_.push_back(std::move(entry->second));
  entry->second = std::move(descriptor);
  return created;
}

TypeDescriptor* BindingRegistry::FindType(const StaticTypeRecord& staticType) const {
  return FindTypeById(staticType.id);
}

TypeDescriptor* BindingRegistry::FindTypeById(uint32_t staticId) const {
  std::lock_guard lock(mutex_);
  auto found = typesById_.find(staticId);
  return found == typesById_.end() ? nullptr : found->second;
}

TypeDescriptor* BindingRegistry::FindType(std::string_view name) const {
  std::lock_guard lock(mutex_);
  return Find(types_, name);
}

FunctionDescriptor* BindingRegistry::FindFunction(std::string_view name) const {
  std::lock_guard lock(mutex_);
  return Find(functions_, name);
}

EventDescriptor* BindingRegistry::FindEvent(std::string_view name) const {
  std::lock_guard lock(mutex_);
  return Find(events_, name);
}

std::size_t BindingRegistry::FunctionCount() const {
  std::lock_guard lock(mutex_);
  return functions_.size();
}

std::vector<FunctionDescriptor*> BindingRegistry::SnapshotFunctions() const {
  std::lock_guard lock(mutex_);
  return Snapshot(functions_);
}

std::vector<TypeDescriptor*> BindingRegistry::SnapshotTypes() const {
  std::lock_guard lock(mutex_);
  return Snapshot(types_);
}

std::vector<EventDescriptor*> BindingRegistry::SnapshotEvents() const {
  std::lock_guard lock(mutex_);
  return Snapshot(events_);
}

const char* BindingRegistry::EnumeratorName(uint32_t enumId, int32_t value) const {
  const TypeDescriptor* type = FindTypeById(enumId);
  if (type == nullptr || !type->isEnum) return nullptr;
  const EnumValueDescriptor* enumerator = type->FindEnumerator(value);
  return enumerator == nullptr ? nullptr : enumerator->name.c_str();
}

}  // namespace Vela::Sdk
