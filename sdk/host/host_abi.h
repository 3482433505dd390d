// The host boundary, top to bottom: the packed records exchanged with the host, the flat API
// description, the host function table in slot order, the entry table and the export.
//
// Records are little-endian and packed, fields in wire order. On a 32-bit build every pointer is
// 4 bytes and the sizes are those of the 32-bit host; on a 64-bit build every field that holds an
// address or an opaque word handed back by the other side is pointer-sized, the rest keep their
// widths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vela::Sdk {

inline constexpr bool kPointer32 = sizeof(void*) == 4;

/// Kinds of a FlatValue. Owned kinds (6, 8, 9, 10) are freed by ReleaseFlatValue.
enum FlatKind : int32_t {
  kFlatEmpty = 0,
  kFlatBool = 1,
  kFlatSigned = 2,
  kFlatUnsigned = 3,
  kFlatFloat = 4,
  kFlatStringBorrowed = 5,
  kFlatStringOwned = 6,
  kFlatBlobBorrowed = 7,
  kFlatBlobOwned = 8,
  kFlatCollection = 9,
  kFlatStructure = 10,
};

/// HTTP-style method of a request; 8 carries its name as text beside the code.
enum MethodCode : int32_t {
  kMethodNone = 0,
  kMethodDelete = 1,
  kMethodGet = 2,
  kMethodHead = 3,
  kMethodOptions = 4,
  kMethodPatch = 5,
  kMethodPost = 6,
  kMethodPut = 7,
  kMethodCustom = 8,
};

#pragma pack(push, 1)

/// A value in the flat binary form that crosses the boundary.
struct FlatValue {
  int32_t kind;  // FlatKind
  union {
    uint8_t boolean;
    int64_t i64;
    uint64_t u64;
    double f64;
    struct {
      void* data;
      uint32_t count;
    } ref;
  } payload;
};

/// One member of a kind-10 FlatValue; ref.data points at an array of these.
struct FlatMember {
  char* name;
  FlatValue value;
  uint8_t ownsName;  // 1 when the name is freed with the member
};

/// A FlatValue with an owned error text.
struct FlatResult {
  FlatValue value;
  char* error;     // owned, null when none
  uint8_t failed;  // 1 = failed
};

/// A typed argument of a request; a null name makes it positional.
struct HostArgument {
  const char* name;
  FlatValue value;
};

struct HostHeader {
  const char* name;
  const char* value;
};

struct HostRequest {
  int32_t method;  // MethodCode
  const char* url;
  HostArgument* arguments;
  uint32_t argumentCount;
  void* registration;  // registration handle of the target function (calls into the plug-in)
  HostHeader* headers;
  uint32_t headerCount;
  const char* contentType;
  const uint8_t* body;
  uint32_t bodyLength;
  uintptr_t hostContext;
  const char* customMethod;  // method 8
};

struct HostResponse;
using HostResponseReleaseFn = void (*)(HostResponse* response);
/// Reads the next chunk of a streamed body: in, the buffer's size; out, the bytes written.
using HostStreamReadFn = uint8_t (*)(void* context, char* buffer, uint32_t* inOutLength, uint8_t* more);
using HostStreamReleaseFn = void (*)(void* context);

struct HostResponse {
  FlatValue body;
  char* error;          // null when the call succeeded
  uint8_t errorOwned;   // non-zero when release must free the error text
  uint8_t resultKind;
  int32_t format;       // 1, 2, 3 or 0
  int32_t status;
  char* text;
  HostHeader* headers;
  uint32_t headerCount;
  HostStreamReadFn streamRead;  // null when the body is not streamed
  HostStreamReleaseFn streamRelease;
  uint64_t streamSizeHint;
  void* streamContext;
  HostResponseReleaseFn release;  // null when nothing is to be released
};

struct HostEvent {
  const char* name;
  FlatValue data;
  int32_t value;       // set by the sender; the plug-in sends 0
  uintptr_t userData;  // on delivery, the user data given to AddEventListener
};

struct HostFunctionTable;

struct HostServices {
  HostFunctionTable* functions;
  uintptr_t hostContext;
};

struct MemoryStatisticsRecord {
  uint64_t peakLiveBytes;
  uint64_t liveCountAtPeak;
  uint64_t totalBytesAllocated;
  uint64_t allocationCount;
  uint64_t totalBytesFreed;
  uint64_t freeCount;
  uint32_t reserved0;
  uint32_t reserved1;
};

// Flat API description: every record starts with the next record of its list, and each list
// is also one contiguous array. Texts are NUL-terminated; type codes outside 1..19 are 0.

using PluginRequestCallback = void (*)(HostResponse* response, HostRequest* request);

struct FlatArgumentRecord {
  FlatArgumentRecord* next;
  const char* name;
  const char* description;
  int32_t typeCode;
  int32_t elementCode;
  const char* typeName;
  uint8_t optional;
};

struct FlatFunctionRecord {
  FlatFunctionRecord* next;
  PluginRequestCallback requestCallback;  // filled by the handshake
  void* requestContext;                   // copied by the host into HostRequest::registration
  const char* name;
  const char* nameSpace;
  FlatArgumentRecord* arguments;
  uint32_t argumentCount;
  int32_t returnTypeCode;
  int32_t returnElementCode;
  const char* returnTypeName;
  const char* description;
  const char* help;
  uint8_t threadSafe;
  const char* async;
  const char** tags;
  uint32_t tagCount;
};

struct FlatFieldRecord {
  FlatFieldRecord* next;
  const char* name;
  const char* description;
  uint32_t offset;
  int32_t typeCode;
  int32_t elementCode;
  const char* typeName;
  uint8_t optional;
};

struct FlatEnumeratorRecord {
  FlatEnumeratorRecord* next;
  const char* name;
  const char* description;
  int32_t value;
};

struct FlatTypeRecord {
  FlatTypeRecord* next;
  const char* name;
  const char* nameSpace;
  uint32_t size;
  const char* description;
  const char** tags;
  uint32_t tagCount;
  FlatFieldRecord* fields;             // set when the type has fields
  FlatEnumeratorRecord* enumerators;   // set when it has none
  uint32_t count;                      // of whichever list is set
};

struct FlatEventRecord {
  FlatEventRecord* next;
  const char* name;
  const char* nameSpace;
  const char* payloadTypeName;
  const char* description;
  const char** tags;
  uint32_t tagCount;
};

struct FlatApiDescription {
  FlatFunctionRecord* functions;
  uint32_t functionCount;
  FlatTypeRecord* types;
  uint32_t typeCount;
  FlatEventRecord* events;
  uint32_t eventCount;
};

struct PluginEntryTable;

/// The record the host hands to the export; offsets 0-11 are read, the rest written.
struct PluginHandshake {
  uint32_t major;
  uint32_t minor;
  uint32_t patch;
  PluginEntryTable* entries;
  void* handle;
  const char* shortName;
  FlatApiDescription* api;
};

#pragma pack(pop)

// Host function table: ten functions, each called with the table itself first.
using HostEventCallback = void (*)(HostEvent* event);
using HostTaskCallback = void (*)(void* context);

struct HostFunctionTable {
  void (*sendRequest)(HostFunctionTable* table, HostResponse* response, HostRequest* request);    // 0
  void (*reserved)(HostFunctionTable* table, uintptr_t first, uintptr_t second);                   // 1
  void (*fireEvent)(HostFunctionTable* table, HostEvent* event);                                   // 2
  void (*addEventListener)(HostFunctionTable* table, const char* name, uintptr_t hostContext,
                           HostEventCallback callback, void* userData, int32_t flag);             // 3
  void (*removeEventListener)(HostFunctionTable* table, const char* name, uintptr_t hostContext);  // 4
  void (*schedule)(HostFunctionTable* table, const char* label, HostTaskCallback callback,
                   void* context, double delaySeconds, int32_t flags);                            // 5
  void (*yield)(HostFunctionTable* table);                                                         // 6
  void (*beginWait)(HostFunctionTable* table, const char* label, int32_t flag);                    // 7
  void (*endWait)(HostFunctionTable* table);                                                       // 8
  void (*log)(HostFunctionTable* table, int32_t level, const char* message);                       // 9
};

// Entry table: three plain functions that live as long as the plug-in object.
struct PluginEntryTable {
  uint8_t (*initialise)(void* handle, HostServices* services);
  void (*destroy)(void* handle);
  void (*memoryStatistics)(void* handle, MemoryStatisticsRecord* out);
};

/// Signature of the plug-in's only export, `load_ark_simple_dialog_messages`.
using PluginLoadFn = int (*)(PluginHandshake* handshake);

// Record operations (host_records.cpp).

/// Frees what the kind owns, recursively, and leaves the whole record zero.
void ReleaseFlatValue(FlatValue* value) noexcept;
/// "", "bool", "signed", "unsigned", "float", "string", "blob", "collection", "structure";
/// any kind outside 0..10 gives "".
const char* FlatKindName(int32_t kind) noexcept;
/// Releases the value, stores a heap copy of the message and sets the failure flag.
void SetFlatResultError(FlatResult* result, const char* message) noexcept;
/// Frees what a FlatResult owns and zeroes it.
void ReleaseFlatResult(FlatResult* result) noexcept;
/// The plug-in's release function for responses it fills.
void ReleaseHostResponse(HostResponse* response) noexcept;

// Layouts. The 32-bit sizes are those of the host; the 64-bit ones follow the pointer rule.
#define ORB_LAYOUT(type, size32, size64) \
  static_assert(sizeof(type) == (kPointer32 ? (size32) : (size64)), #type " has the wrong size")
ORB_LAYOUT(FlatValue, 12, 16);
ORB_LAYOUT(FlatMember, 17, 25);
ORB_LAYOUT(FlatResult, 17, 25);
ORB_LAYOUT(HostArgument, 16, 24);
ORB_LAYOUT(HostHeader, 8, 16);
ORB_LAYOUT(HostRequest, 48, 80);
ORB_LAYOUT(HostResponse, 62, 94);
ORB_LAYOUT(HostEvent, 24, 36);
ORB_LAYOUT(PluginHandshake, 28, 44);
ORB_LAYOUT(HostServices, 8, 16);
ORB_LAYOUT(MemoryStatisticsRecord, 56, 56);
ORB_LAYOUT(FlatApiDescription, 24, 36);
ORB_LAYOUT(FlatFunctionRecord, 61, 105);
ORB_LAYOUT(FlatArgumentRecord, 25, 41);
ORB_LAYOUT(FlatTypeRecord, 40, 68);
ORB_LAYOUT(FlatFieldRecord, 29, 45);
ORB_LAYOUT(FlatEnumeratorRecord, 16, 28);
ORB_LAYOUT(FlatEventRecord, 28, 52);
ORB_LAYOUT(HostFunctionTable, 40, 80);
#undef ORB_LAYOUT

#define ORB_OFFSET(type, field, offset32) \
  static_assert(!kPointer32 || offsetof(type, field) == (offset32), #type "::" #field " is misplaced")
ORB_OFFSET(FlatValue, payload, 4);
ORB_OFFSET(FlatMember, value, 4);
ORB_OFFSET(FlatMember, ownsName, 16);
ORB_OFFSET(FlatResult, error, 12);
ORB_OFFSET(FlatResult, failed, 16);
ORB_OFFSET(HostArgument, value, 4);
ORB_OFFSET(HostRequest, url, 4);
ORB_OFFSET(HostRequest, arguments, 8);
ORB_OFFSET(HostRequest, argumentCount, 12);
ORB_OFFSET(HostRequest, registration, 16);
ORB_OFFSET(HostRequest, headers, 20);
ORB_OFFSET(HostRequest, headerCount, 24);
ORB_OFFSET(HostRequest, contentType, 28);
ORB_OFFSET(HostRequest, body, 32);
ORB_OFFSET(HostRequest, bodyLength, 36);
ORB_OFFSET(HostRequest, hostContext, 40);
ORB_OFFSET(HostRequest, customMethod, 44);
ORB_OFFSET(HostResponse, error, 12);
ORB_OFFSET(HostResponse, errorOwned, 16);
ORB_OFFSET(HostResponse, resultKind, 17);
ORB_OFFSET(HostResponse, format, 18);
ORB_OFFSET(HostResponse, status, 22);
ORB_OFFSET(HostResponse, text, 26);
ORB_OFFSET(HostResponse, headers, 30);
ORB_OFFSET(HostResponse, headerCount, 34);
ORB_OFFSET(HostResponse, streamRead, 38);
ORB_OFFSET(HostResponse, streamRelease, 42);
ORB_OFFSET(HostResponse, streamSizeHint, 46);
ORB_OFFSET(HostResponse, streamContext, 54);
ORB_OFFSET(HostResponse, release, 58);
ORB_OFFSET(HostEvent, data, 4);
ORB_OFFSET(HostEvent, value, 16);
ORB_OFFSET(HostEvent, userData, 20);
ORB_OFFSET(PluginHandshake, entries, 12);
ORB_OFFSET(PluginHandshake, handle, 16);
ORB_OFFSET(PluginHandshake, shortName, 20);
ORB_OFFSET(PluginHandshake, api, 24);
ORB_OFFSET(HostServices, hostContext, 4);
ORB_OFFSET(MemoryStatisticsRecord, reserved0, 48);
ORB_OFFSET(FlatApiDescription, types, 8);
ORB_OFFSET(FlatApiDescription, events, 16);
ORB_OFFSET(FlatFunctionRecord, requestCallback, 4);
ORB_OFFSET(FlatFunctionRecord, requestContext, 8);
ORB_OFFSET(FlatFunctionRecord, name, 12);
ORB_OFFSET(FlatFunctionRecord, nameSpace, 16);
ORB_OFFSET(FlatFunctionRecord, arguments, 20);
ORB_OFFSET(FlatFunctionRecord, argumentCount, 24);
ORB_OFFSET(FlatFunctionRecord, returnTypeCode, 28);
ORB_OFFSET(FlatFunctionRecord, returnElementCode, 32);
ORB_OFFSET(FlatFunctionRecord, returnTypeName, 36);
ORB_OFFSET(FlatFunctionRecord, description, 40);
ORB_OFFSET(FlatFunctionRecord, help, 44);
ORB_OFFSET(FlatFunctionRecord, threadSafe, 48);
ORB_OFFSET(FlatFunctionRecord, async, 49);
ORB_OFFSET(FlatFunctionRecord, tags, 53);
ORB_OFFSET(FlatFunctionRecord, tagCount, 57);
ORB_OFFSET(FlatArgumentRecord, name, 4);
ORB_OFFSET(FlatArgumentRecord, description, 8);
ORB_OFFSET(FlatArgumentRecord, typeCode, 12);
ORB_OFFSET(FlatArgumentRecord, elementCode, 16);
ORB_OFFSET(FlatArgumentRecord, typeName, 20);
ORB_OFFSET(FlatArgumentRecord, optional, 24);
ORB_OFFSET(FlatTypeRecord, name, 4);
ORB_OFFSET(FlatTypeRecord, nameSpace, 8);
ORB_OFFSET(FlatTypeRecord, size, 12);
ORB_OFFSET(FlatTypeRecord, description, 16);
ORB_OFFSET(FlatTypeRecord, tags, 20);
ORB_OFFSET(FlatTypeRecord, tagCount, 24);
ORB_OFFSET(FlatTypeRecord, fields, 28);
ORB_OFFSET(FlatTypeRecord, enumerators, 32);
ORB_OFFSET(FlatTypeRecord, count, 36);
ORB_OFFSET(FlatFieldRecord, name, 4);
ORB_OFFSET(FlatFieldRecord, description, 8);
ORB_OFFSET(FlatFieldRecord, offset, 12);
ORB_OFFSET(FlatFieldRecord, typeCode, 16);
ORB_OFFSET(FlatFieldRecord, elementCode, 20);
ORB_OFFSET(FlatFieldRecord, typeName, 24);
ORB_OFFSET(FlatFieldRecord, optional, 28);
ORB_OFFSET(FlatEnumeratorRecord, name, 4);
ORB_OFFSET(FlatEnumeratorRecord, description, 8);
ORB_OFFSET(FlatEnumeratorRecord, value, 12);
ORB_OFFSET(FlatEventRecord, name, 4);
ORB_OFFSET(FlatEventRecord, nameSpace, 8);
ORB_OFFSET(FlatEventRecord, payloadTypeName, 12);
ORB_OFFSET(FlatEventRecord, description, 16);
ORB_OFFSET(FlatEventRecord, tags, 20);
ORB_OFFSET(FlatEventRecord, tagCount, 24);
#undef ORB_OFFSET

}  // namespace Vela::Sdk

extern "C" {
/// The plug-in's only export.
int load_ark_simple_dialog_messages(Vela::Sdk::PluginHandshake* handshake);
}
