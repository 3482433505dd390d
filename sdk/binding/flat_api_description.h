// FlatApiStorage: the flat API description handed to the host, built from registry snapshots and
// owning every record and text in it.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/host/abi/host_abi.h"

namespace Vela::Sdk {

class BindingRegistry;
struct FunctionDescriptor;
struct TypeDescriptor;
struct EventDescriptor;
struct TypeSpec;

/// Records are linked through `next` and each list is also one contiguous array. The request
/// callback and context of every function record are left null for the handshake to fill.
class FlatApiStorage {
 public:
  static std::unique_ptr<FlatApiStorage> Build(const BindingRegistry& registry);
  static std::unique_ptr<FlatApiStorage> Build(std::vector<FunctionDescriptor*> functions,
                                               std::vector<TypeDescriptor*> types,
                                               std::vector<EventDescriptor*> events);

  FlatApiDescription* Description() noexcept { return &description_; }
  /// The descriptor behind each function record, in record order.
  const std::vector<FunctionDescriptor*>& Functions() const noexcept { return functions_; }

  FlatApiStorage(const FlatApiStorage&) = delete;
  FlatApiStorage& operator=(const FlatApiStorage&) = delete;

 private:
  FlatApiStorage() = default;
  const char* Text(std::string_view text);
  const char** Tags(const std::vector<std::string>& tags);
  template <class Record>
  Record* NewList(std::size_t count);
  /// Writes typeCode, elementCode and typeName of an argument or field record.
  template <class Record>
  void WriteType(Record& record, const TypeSpec& spec);
  void WriteFunction(FlatFunctionRecord& record, const FunctionDescriptor& function);
  void WriteTypeRecord(FlatTypeRecord& record, const TypeDescriptor& type);
  void WriteEvent(FlatEventRecord& record, const EventDescriptor& event);

  FlatApiDescription description_{};
  std::vector<FunctionDescriptor*> functions_;
  std::deque<std::string> texts_;  // a deque never moves its strings
  std::vector<std::unique_ptr<const char*[]>> tagArrays_;
  std::vector<std::shared_ptr<void>> lists_;
};

}  // namespace Vela::Sdk
