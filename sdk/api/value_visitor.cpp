// The walk over a BindingValue tree, kept on an explicit stack: readers accept nesting that the
// call stack could not.
#include "sdk/api/value_visitor.h"

#include <vector>

#include "sdk/binding/binding_value.h"

namespace Vela::Sdk {

void ValueVisitor::BeginElement(std::size_t) {}
void ValueVisitor::EndElement(std::size_t) {}
void ValueVisitor::EndMember(std::string_view) {}

namespace {

struct OpenContainer {
  const BindingValue* container;
  std::size_t nextIndex;                    // collections
  BindingValue::MemberIterator nextMember;  // structures
  BindingValue::MemberIterator endMember;
  std::string_view memberName;  // of the member being visited
  bool childOpen;
};

// Emits a scalar, or opens a container and pushes it.
void Enter(const BindingValue& value, ValueVisitor& visitor, std::vector<OpenContainer>& open) {
  switch (value.Kind()) {
    case ValueKind::Bool: visitor.Bool(value.GetBool()); return;
    case ValueKind::Signed: visitor.Signed(value.GetSigned()); return;
    case ValueKind::Unsigned: visitor.Unsigned(value.GetUnsigned()); return;
    case ValueKind::Float: visitor.Float(value.GetFloat()); return;
    case ValueKind::String: visitor.String(value.GetString()); return;
    case ValueKind::Blob: {
      std::span<const uint8_t> bytes = value.GetBlob();
      visitor.Blob(bytes.data(), bytes.size());
      return;
    }
    case ValueKind::Enum: {
      EnumPayload payload = value.GetEnum();
      visitor.Enum(payload.value, payload.typeId);
      return;
    }
    case ValueKind::Collection:
      visitor.BeginCollection(value.Size());
      open.push_back({&value, 0, {}, {}, {}, false});
      return;
    case ValueKind::Structure: {
      visitor.BeginStructure(value.Size());
      BindingValue::MemberRange members = value.Members();
      open.push_back({&value, 0, members.begin(), members.end(), {}, false});
      return;
    }
    case ValueKind::Empty:
    default: visitor.Null(); return;
  }
}

}  // namespace

void VisitValue(const BindingValue& value, ValueVisitor& visitor) {
  std::vector<OpenContainer> open;
  Enter(value, visitor, open);
  while (!open.empty()) {
    OpenContainer& top = open.back();
    const BindingValue* next = nullptr;
    if (top.container->Kind() == ValueKind::Collection) {
      if (top.childOpen) {
        visitor.EndElement(top.nextIndex);
        ++top.nextIndex;
        top.childOpen = false;
      }
      std::span<const BindingValue> elements = top.container->Elements();
      if (top.nextIndex < elements.size()) {
        visitor.BeginElement(top.nextIndex);
        top.childOpen = true;
        next = &elements[top.nextIndex];
      }
    } else {
      if (top.childOpen) {
        visitor.EndMember(top.memberName);
        ++top.nextMember;
        top.childOpen = false;
      }
      if (!(top.nextMember == top.endMember)) {
        BindingValue::MemberEntry member = *top.nextMember;
        top.memberName = member.name;
        visitor.BeginMember(member.name);
        top.childOpen = true;
        next = &member.value;
      }
    }
    if (next != nullptr) {
      Enter(*next, visitor, open);  // may reallocate `open`; `top` is not used after this
      continue;
    }
    bool collection = top.container->Kind() == ValueKind::Collection;
    open.pop_back();
    if (collection) {
      visitor.EndCollection();
    } else {
      visitor.EndStructure();
    }
  }
}

}  // namespace Vela::Sdk
