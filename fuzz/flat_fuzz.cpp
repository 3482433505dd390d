// Host records: FlatValue trees built from the fuzzer's bytes, as a careless or hostile host might
// send them (every kind and kinds beyond them, texts with and without their terminator, null data
// under a count, member names missing, deep nesting), converted to values and back.
//
// Properties:
// - FlatToValue fails exactly on what is malformed (null data under a count, a member without a
//   name, an unknown kind, nesting deeper than kMaxFlatDepth), with a message; otherwise the value
//   is the one the records describe: texts up to their first zero and never beyond their count,
//   and for a repeated member name the last member.
// - ValueToFlat of that value succeeds and writes owned records only: texts terminated at their
//   count with no zero before, member names owned and in strictly increasing order.
// - Those records read back as the same value, and ReleaseFlatValue frees them all (the leak check
//   of the sanitizer build) and leaves the record zero.
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "sdk/binding/binding_result.h"
#include "sdk/binding/flat_value_conversion.h"
#include "sdk/host/abi/host_records.h"

namespace Vela::Fuzz {
namespace {

using Sdk::FlatMember;
using Sdk::FlatValue;

// Owns every byte and record of a fuzzed tree; sized exactly, so a read past a count is caught.
struct Storage {
  std::deque<std::unique_ptr<uint8_t[]>> blocks;
  void* Take(std::size_t size) {
    blocks.push_back(std::make_unique<uint8_t[]>(size == 0 ? 1 : size));
    return blocks.back().get();
  }
};

// Builds one FlatValue from the input and, beside it, the value it must read as; false in
// `expectedOk` when reading it must fail.
void Build(FuzzInput& input, Storage& storage, FlatValue& flat, Sdk::BindingValue& expected, bool& expectedOk,
           std::size_t depth) {
  std::memset(static_cast<void*>(&flat), 0, sizeof flat);
  const uint8_t kind = input.Byte();
  flat.kind = kind % 12 == 11 ? static_cast<int32_t>(input.Word()) : kind % 12;
  switch (flat.kind) {
    case Sdk::kFlatEmpty: expected.Clear(); return;
    case Sdk::kFlatBool:
      flat.payload.boolean = input.Byte();
      expected.SetBool(flat.payload.boolean != 0);
      return;
    case Sdk::kFlatSigned:
      flat.payload.u64 = input.Word();
      expected.SetSigned(flat.payload.i64);
      return;
    case Sdk::kFlatUnsigned:
      flat.payload.u64 = input.Word();
      expected.SetUnsigned(flat.payload.u64);
      return;
    case Sdk::kFlatFloat:
      flat.payload.u64 = input.Word();
      expected.SetFloat(flat.payload.f64);
      return;
    case Sdk::kFlatStringBorrowed:
    case Sdk::kFlatStringOwned:
    case Sdk::kFlatBlobBorrowed:
    case Sdk::kFlatBlobOwned: {
      const uint8_t shape = input.Byte();
      const std::string bytes = input.Text(64);
      if ((shape & 3) == 0 && !bytes.empty()) {  // null data under a count
        flat.payload.ref.count = static_cast<uint32_t>(bytes.size());
        expectedOk = false;
        return;
      }
      const bool terminated = (shape & 4) != 0;
      auto* copy = static_cast<char*>(storage.Take(bytes.size() + (terminated ? 1 : 0)));
      std::memcpy(copy, bytes.data(), bytes.size());
      flat.payload.ref.data = bytes.empty() && (shape & 8) != 0 ? nullptr : copy;
      flat.payload.ref.count = static_cast<uint32_t>(bytes.size());
      if (flat.kind == Sdk::kFlatStringBorrowed || flat.kind == Sdk::kFlatStringOwned) {
        expected.SetString(std::string_view(bytes.c_str()));
      } else {
        expected.SetBlob(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
      }
      return;
    }
    case Sdk::kFlatCollection:
    case Sdk::kFlatStructure: {
      const bool collection = flat.kind == Sdk::kFlatCollection;
      const uint32_t count = input.Number(collection ? 9 : 6);
      if (count != 0 && input.Number(16) == 0) {  // null data under a count
        flat.payload.ref.count = count;
        expectedOk = false;
        return;
      }
      if (depth >= Sdk::kMaxFlatDepth) expectedOk = false;
      flat.payload.ref.count = count;
      if (collection) {
        expected.MakeCollection();
        auto* elements = static_cast<FlatValue*>(storage.Take(count * sizeof(FlatValue)));
        flat.payload.ref.data = count == 0 ? nullptr : elements;
        for (uint32_t i = 0; i < count && expectedOk; ++i) {
          Build(input, storage, elements[i], expected.Append(), expectedOk, depth + 1);
        }
      } else {
        expected.MakeStructure();
        auto* members = static_cast<FlatMember*>(storage.Take(count * sizeof(FlatMember)));
        flat.payload.ref.data = count == 0 ? nullptr : members;
        for (uint32_t i = 0; i < count && expectedOk; ++i) {
          const std::string name = input.Text(8);
          members[i].ownsName = input.Byte();
          if (name == "~") {  // a member without a name
            members[i].name = nullptr;
            expectedOk = false;
            break;
          }
          members[i].name = static_cast<char*>(storage.Take(name.size() + 1));
          std::memcpy(members[i].name, name.c_str(), name.size() + 1);
          // A repeated name: the last member replaces the earlier one whole.
          Sdk::BindingValue& member = expected.MemberForWriting(std::string_view(members[i].name));
          member.Clear();
          Build(input, storage, members[i].value, member, expectedOk, depth + 1);
        }
      }
      return;
    }
    default: expectedOk = false; return;
  }
}

// The records ValueToFlat writes: owned kinds, terminated texts, sorted owned names.
void CheckWritten(const FlatValue& flat) {
  switch (flat.kind) {
    case Sdk::kFlatStringBorrowed:
    case Sdk::kFlatBlobBorrowed: PropertyFailed("ValueToFlat writes owned texts and blobs only"); break;
    case Sdk::kFlatStringOwned: {
      const auto* text = static_cast<const char*>(flat.payload.ref.data);
      Require(text != nullptr && std::strlen(text) == flat.payload.ref.count,
              "ValueToFlat terminates each text at its count");
      break;
    }
    case Sdk::kFlatCollection: {
      const auto* elements = static_cast<const FlatValue*>(flat.payload.ref.data);
      for (uint32_t i = 0; i < flat.payload.ref.count; ++i) CheckWritten(elements[i]);
      break;
    }
    case Sdk::kFlatStructure: {
      const auto* members = static_cast<const FlatMember*>(flat.payload.ref.data);
      for (uint32_t i = 0; i < flat.payload.ref.count; ++i) {
        Require(members[i].name != nullptr && members[i].ownsName == 1, "ValueToFlat writes owned member names");
        Require(i == 0 || std::strcmp(members[i - 1].name, members[i].name) < 0,
                "ValueToFlat lists members in strictly increasing name order");
        CheckWritten(members[i].value);
      }
      break;
    }
    default: break;
  }
}

bool AllZero(const FlatValue& flat) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&flat);
  for (std::size_t i = 0; i < sizeof flat; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

}  // namespace

int CheckOne(const uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  Storage storage;
  FlatValue flat;
  Sdk::BindingValue expected;
  bool expectedOk = true;
  Build(input, storage, flat, expected, expectedOk, 0);

  Sdk::BindingResult read;
  Sdk::FlatToValue(flat, "fuzzed", read);
  Require(read.Ok() == expectedOk,
          expectedOk ? "FlatToValue reads well-formed records" : "FlatToValue refuses malformed records",
          std::string(read.ErrorText()));
  if (!read.Ok()) {
    Require(!read.ErrorText().empty(), "FlatToValue's failure has a message");
    Sdk::FlatResult error{};
    Sdk::BindingValue target(1);
    Require(!Sdk::FlatToValue(flat, "fuzzed", target, &error) && target.IsEmpty() && error.failed == 1 &&
                error.error != nullptr && error.error[0] != '\0',
            "FlatToValue into a target reports the failure in the result and leaves the target Empty");
    Sdk::ReleaseFlatResult(&error);
    return 0;
  }
  Require(SameValue(read.Value(), expected), "FlatToValue reads the value the records describe",
          "read " + Describe(read.Value()) + "\n  described " + Describe(expected));

  FlatValue written{};
  Require(Sdk::ValueToFlat(read.Value(), &written, nullptr), "ValueToFlat writes a value read from records");
  CheckWritten(written);
  Sdk::BindingResult again;
  Sdk::FlatToValue(written, "fuzzed", again);
  Require(again.Ok() && SameValue(read.Value(), again.Value()), "written records read back as the same value",
          std::string(again.ErrorText()));
  Sdk::ReleaseFlatValue(&written);
  Require(AllZero(written), "ReleaseFlatValue leaves the record zero");
  return 0;
}

}  // namespace Vela::Fuzz
