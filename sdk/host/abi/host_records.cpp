// Release and naming of the packed host records.
#include "sdk/host/abi/host_records.h"

#include <cstring>

#include "sdk/host/abi/allocation.h"

namespace Vela::Sdk {

void ReleaseFlatValue(FlatValue* value) noexcept {
  if (value == nullptr) return;
  void* data = value->payload.ref.data;
  uint32_t count = value->payload.ref.count;
  switch (value->kind) {
    case kFlatStringOwned:
    case kFlatBlobOwned: Free(data); break;
    case kFlatCollection: {
      auto* elements = static_cast<FlatValue*>(data);
      for (uint32_t i = 0; elements != nullptr && i < count; ++i) ReleaseFlatValue(&elements[i]);
      Free(elements);
      break;
    }
    case kFlatStructure: {
      auto* members = static_cast<FlatMember*>(data);
      for (uint32_t i = 0; members != nullptr && i < count; ++i) {
        if (members[i].ownsName == 1) Free(members[i].name);
        ReleaseFlatValue(&members[i].value);
      }
      Free(members);
      break;
    }
    default: break;
  }
  std::memset(static_cast<void*>(value), 0, sizeof *value);
}

const char* FlatKindName(int32_t kind) noexcept {
  switch (kind) {
    case kFlatBool: return "bool";
    case kFlatSigned: return "signed";
    case kFlatUnsigned: return "unsigned";
    case kFlatFloat: return "float";
    case kFlatStringBorrowed:
    case kFlatStringOwned: return "string";
    case kFlatBlobBorrowed:
    case kFlatBlobOwned: return "blob";
    case kFlatCollection: return "collection";
    case kFlatStructure: return "structure";
    default: return "";
  }
}

void SetFlatResultError(FlatResult* result, const char* message) noexcept {
  if (result == nullptr) return;
  ReleaseFlatValue(&result->value);
  Free(result->error);
  result->error = DuplicateText(message == nullptr ? "" : message);
  result->failed = 1;
}

void ReleaseFlatResult(FlatResult* result) noexcept {
  if (result == nullptr) return;
  ReleaseFlatValue(&result->value);
  Free(result->error);
  std::memset(static_cast<void*>(result), 0, sizeof *result);
}

void ReleaseHostResponse(HostResponse* response) noexcept {
  if (response == nullptr) return;
  ReleaseFlatValue(&response->body);
  if (response->errorOwned != 0) Free(response->error);
  if (response->text != nullptr && response->text[0] != '\0') Free(response->text);
  for (uint32_t i = 0; response->headers != nullptr && i < response->headerCount; ++i) {
    Free(const_cast<char*>(response->headers[i].name));
    Free(const_cast<char*>(response->headers[i].value));
  }
  Free(response->headers);
  std::memset(static_cast<void*>(response), 0, sizeof *response);
}

}  // namespace Vela::Sdk
