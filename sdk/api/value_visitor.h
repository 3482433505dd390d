// The walk over a BindingValue tree that encoders are written against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Vela::Sdk {

class BindingValue;

/// Receives a value tree in document order. The operations keep this order (their slots are
/// part of how encoders are written against the SDK).
class ValueVisitor {
 public:
  virtual void Null() = 0;
  virtual void Bool(bool value) = 0;
  virtual void Signed(int64_t value) = 0;
  virtual void Unsigned(uint64_t value) = 0;
  virtual void Float(double value) = 0;
  virtual void String(std::string_view text) = 0;
  virtual void Blob(const uint8_t* bytes, std::size_t size) = 0;
  /// `enumType` is the enumeration's type identifier.
  virtual void Enum(int32_t value, uint32_t enumType) = 0;
  virtual void BeginCollection(std::size_t count) = 0;
  virtual void BeginElement(std::size_t index);
  virtual void EndElement(std::size_t index);
  virtual void EndCollection() = 0;
  virtual void BeginStructure(std::size_t count) = 0;
  virtual void BeginMember(std::string_view name) = 0;
  virtual void EndMember(std::string_view name);
  virtual void EndStructure() = 0;
  virtual ~ValueVisitor() = default;
};

/// Walks `value` into `visitor`: elements in index order, members in the structure's name order.
/// The walk keeps its own stack, so a tree of any depth is safe to visit.
void VisitValue(const BindingValue& value, ValueVisitor& visitor);

}  // namespace Vela::Sdk
