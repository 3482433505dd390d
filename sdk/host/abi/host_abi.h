// The host boundary: every record the plug-in and the host exchange, read top to bottom like a C
// extension header. Values, then requests and responses, events, the host's services, the flat
// API description, the handshake, and last the two function tables.
//
// Records are little-endian and packed, fields in wire order. On a 32-bit build every pointer is
// 4 bytes and the sizes and offsets are the 32-bit host's own; on a 64-bit build every field that
// holds an address or an opaque word handed back by the other side is pointer-sized, the rest
// keep their widths. Each record is followed by its size and offset checks for both widths.
//
// Ownership: whoever fills a record that the other side must free puts a release function in
// it. Texts are NUL-terminated and, unless a field says otherwise, belong to the side that wrote
// them and stay valid for the duration of the call that hands them over.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vela::Sdk {

inline constexpr bool kPointer32 = sizeof(void*) == 4;

#define ORB_ABI_SIZE(type, size32, size64) \
  static_assert(sizeof(type) == (kPointer32 ? (size32) : (size64)), #type " has the wrong size")
#define ORB_ABI_OFFSET(type, field, offset32, offset64) \
  static_assert(offsetof(type, field) == (kPointer32 ? (offset32) : (offset64)), #type "::" #field " is misplaced")

/// Kinds of a FlatValue. The owned kinds (6, 8, 9, 10) are freed by ReleaseFlatValue.
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

// ---- Values ----

/// A value in the flat binary form. Whether a text or byte run is borrowed or owned is written
/// in the kind, never guessed: the owner of an owned kind frees it with ReleaseFlatValue.
struct FlatValue {
  int32_t kind;  // FlatKind
  union {
    uint8_t boolean;
    int64_t i64;
    uint64_t u64;
    double f64;
    struct {
      void* data;      // kinds 5-8: the text or bytes; 9: FlatValue[count]; 10: FlatMember[count]
      uint32_t count;  // byte length (texts without their NUL), or element or member count
    } ref;
  } payload;
};
ORB_ABI_SIZE(FlatValue, 12, 16);
ORB_ABI_OFFSET(FlatValue, payload, 4, 4);

/// One member of a kind-10 FlatValue.
struct FlatMember {
  char* name;        // freed with the member when ownsName is 1, else borrowed
  FlatValue value;   // released with the member
  uint8_t ownsName;  // 1 when the name is freed with the member
};
ORB_ABI_SIZE(FlatMember, 17, 25);
ORB_ABI_OFFSET(FlatMember, value, 4, 8);
ORB_ABI_OFFSET(FlatMember, ownsName, 16, 24);

/// A FlatValue or an error text.
struct FlatResult {
  FlatValue value;
  char* error;     // owned by the result, freed by ReleaseFlatResult; null when none
  uint8_t failed;  // 1 = failed
};
ORB_ABI_SIZE(FlatResult, 17, 25);
ORB_ABI_OFFSET(FlatResult, error, 12, 16);
ORB_ABI_OFFSET(FlatResult, failed, 16, 24);

// ---- Requests and responses ----

/// A typed argument of a request; a null name makes it positional.
struct HostArgument {
  const char* name;  // the sender's
  FlatValue value;   // the sender's; borrowed by the receiver for the call
};
ORB_ABI_SIZE(HostArgument, 16, 24);
ORB_ABI_OFFSET(HostArgument, value, 4, 8);

struct HostHeader {
  const char* name;   // in requests the sender's; in responses freed by the response's release
  const char* value;  // likewise
};
ORB_ABI_SIZE(HostHeader, 8, 16);
ORB_ABI_OFFSET(HostHeader, value, 4, 8);

/// A request, filled by whoever sends it: the plug-in for its own calls, the host for calls
/// into the plug-in's functions. Everything in it is the sender's and is only borrowed by the
/// receiver for the duration of the call. Unused fields are 0.
struct HostRequest {
  int32_t method;           // MethodCode
  const char* url;          // path and optional "?query"
  HostArgument* arguments;  // array of argumentCount
  uint32_t argumentCount;
  void* registration;   // registration handle of the target function (calls into the plug-in)
  HostHeader* headers;  // array of headerCount
  uint32_t headerCount;
  const char* contentType;
  const uint8_t* body;  // bodyLength bytes, not NUL-terminated
  uint32_t bodyLength;
  uintptr_t hostContext;     // handed to the plug-in by Initialise, passed back unchanged
  const char* customMethod;  // method 8 only
};
ORB_ABI_SIZE(HostRequest, 48, 80);
ORB_ABI_OFFSET(HostRequest, url, 4, 4);
ORB_ABI_OFFSET(HostRequest, arguments, 8, 12);
ORB_ABI_OFFSET(HostRequest, argumentCount, 12, 20);
ORB_ABI_OFFSET(HostRequest, registration, 16, 24);
ORB_ABI_OFFSET(HostRequest, headers, 20, 32);
ORB_ABI_OFFSET(HostRequest, headerCount, 24, 40);
ORB_ABI_OFFSET(HostRequest, contentType, 28, 44);
ORB_ABI_OFFSET(HostRequest, body, 32, 52);
ORB_ABI_OFFSET(HostRequest, bodyLength, 36, 60);
ORB_ABI_OFFSET(HostRequest, hostContext, 40, 64);
ORB_ABI_OFFSET(HostRequest, customMethod, 44, 72);

/// HostResponse::resultKind: the handler's kind byte, passed to the host as it stands; 0 when
/// the handler sets none.
inline constexpr uint8_t kResultKindUnset = 0;
/// HostResponse::format: the handler's format code when it is one the host knows (1 to 3, their
/// meaning is the host's), else 0.
inline constexpr int32_t kResponseFormatUnset = 0;
inline constexpr int32_t kResponseFormatFirst = 1;
inline constexpr int32_t kResponseFormatLast = 3;

struct HostResponse;
using HostResponseReleaseFn = void (*)(HostResponse* response);
/// Reads the next chunk of a streamed body: in, the buffer's size; out, the bytes written and
/// whether more will follow. Non-zero on success.
using HostStreamReadFn = uint8_t (*)(void* context, char* buffer, uint32_t* inOutLength, uint8_t* more);
using HostStreamReleaseFn = void (*)(void* context);

/// A response, filled by the side that answers and released by the side that asked, by calling
/// `release` (when set) with the response once it is read. A release leaves all of it zero.
struct HostResponse {
  FlatValue body;      // freed by release
  char* error;         // null when the call succeeded; freed by release when errorOwned
  uint8_t errorOwned;  // non-zero when release must free the error text
  uint8_t resultKind;  // see kResultKindUnset
  int32_t format;      // see kResponseFormatFirst
  int32_t status;
  char* text;           // freed by release unless it is the empty text
  HostHeader* headers;  // the array and every text in it are freed by release
  uint32_t headerCount;
  HostStreamReadFn streamRead;        // null when the body is not streamed
  HostStreamReleaseFn streamRelease;  // frees streamContext; the reader calls it, not release
  uint64_t streamSizeHint;
  void* streamContext;
  HostResponseReleaseFn release;  // null when nothing is to be released
};
ORB_ABI_SIZE(HostResponse, 62, 94);
ORB_ABI_OFFSET(HostResponse, error, 12, 16);
ORB_ABI_OFFSET(HostResponse, errorOwned, 16, 24);
ORB_ABI_OFFSET(HostResponse, resultKind, 17, 25);
ORB_ABI_OFFSET(HostResponse, format, 18, 26);
ORB_ABI_OFFSET(HostResponse, status, 22, 30);
ORB_ABI_OFFSET(HostResponse, text, 26, 34);
ORB_ABI_OFFSET(HostResponse, headers, 30, 42);
ORB_ABI_OFFSET(HostResponse, headerCount, 34, 50);
ORB_ABI_OFFSET(HostResponse, streamRead, 38, 54);
ORB_ABI_OFFSET(HostResponse, streamRelease, 42, 62);
ORB_ABI_OFFSET(HostResponse, streamSizeHint, 46, 70);
ORB_ABI_OFFSET(HostResponse, streamContext, 54, 78);
ORB_ABI_OFFSET(HostResponse, release, 58, 86);

// ---- Events ----

/// An event, fired by the plug-in or delivered by the host. Everything in it is the sender's and
/// is read by the receiver during the call only.
struct HostEvent {
  const char* name;
  FlatValue data;
  int32_t value;       // set by the sender; the plug-in sends 0
  uintptr_t userData;  // on delivery, the user data given to AddEventListener; the plug-in sends 0
};
ORB_ABI_SIZE(HostEvent, 24, 36);
ORB_ABI_OFFSET(HostEvent, data, 4, 8);
ORB_ABI_OFFSET(HostEvent, value, 16, 24);
ORB_ABI_OFFSET(HostEvent, userData, 20, 28);

// ---- The host's services ----

struct HostFunctionTable;

/// Handed to Initialise. The plug-in keeps the pointer to this record, not a copy, and reads the
/// table through it at every call: the host keeps it valid until Destroy returns.
struct HostServices {
  HostFunctionTable* functions;
  uintptr_t hostContext;  // opaque; passed back unchanged in every request and subscription
};
ORB_ABI_SIZE(HostServices, 8, 16);
ORB_ABI_OFFSET(HostServices, hostContext, 4, 8);

/// Written by the MemoryStatistics entry: the plug-in's allocation counters.
struct MemoryStatisticsRecord {
  uint64_t peakLiveBytes;
  uint64_t liveCountAtPeak;  // allocations minus frees when the peak was reached
  uint64_t totalBytesAllocated;
  uint64_t allocationCount;
  uint64_t totalBytesFreed;
  uint64_t freeCount;
  uint32_t reserved0;  // 0
  uint32_t reserved1;  // 0
};
ORB_ABI_SIZE(MemoryStatisticsRecord, 56, 56);
ORB_ABI_OFFSET(MemoryStatisticsRecord, reserved0, 48, 48);

// ---- Flat API description ----
// Built by the plug-in at the handshake and owned by the plug-in object: the host reads it and
// frees nothing in it. Every record starts with the next record of its list (null in the last),
// and each list is also one contiguous array. Type codes outside 1..19 are 0.

using PluginRequestCallback = void (*)(HostResponse* response, HostRequest* request);

struct FlatArgumentRecord {
  FlatArgumentRecord* next;
  const char* name;
  const char* description;
  int32_t typeCode;
  int32_t elementCode;
  const char* typeName;  // of a referenced enum or struct, else ""
  uint8_t optional;
};
ORB_ABI_SIZE(FlatArgumentRecord, 25, 41);
ORB_ABI_OFFSET(FlatArgumentRecord, name, 4, 8);
ORB_ABI_OFFSET(FlatArgumentRecord, description, 8, 16);
ORB_ABI_OFFSET(FlatArgumentRecord, typeCode, 12, 24);
ORB_ABI_OFFSET(FlatArgumentRecord, elementCode, 16, 28);
ORB_ABI_OFFSET(FlatArgumentRecord, typeName, 20, 32);
ORB_ABI_OFFSET(FlatArgumentRecord, optional, 24, 40);

struct FlatFunctionRecord {
  FlatFunctionRecord* next;
  // The two words the description leaves reserved carry the request entry: the host calls
  // requestCallback(response, request) with requestContext as the request's registration.
  PluginRequestCallback requestCallback;
  void* requestContext;
  const char* name;
  const char* nameSpace;
  FlatArgumentRecord* arguments;
  uint32_t argumentCount;
  int32_t returnTypeCode;
  int32_t returnElementCode;
  const char* returnTypeName;  // of a referenced type (codes 15, 16, 17, 19), else ""
  const char* description;
  const char* help;
  uint8_t threadSafe;
  const char* async;  // the result's referenced type name when async, else ""
  const char** tags;  // array of tagCount texts
  uint32_t tagCount;
};
ORB_ABI_SIZE(FlatFunctionRecord, 61, 105);
ORB_ABI_OFFSET(FlatFunctionRecord, requestCallback, 4, 8);
ORB_ABI_OFFSET(FlatFunctionRecord, requestContext, 8, 16);
ORB_ABI_OFFSET(FlatFunctionRecord, name, 12, 24);
ORB_ABI_OFFSET(FlatFunctionRecord, nameSpace, 16, 32);
ORB_ABI_OFFSET(FlatFunctionRecord, arguments, 20, 40);
ORB_ABI_OFFSET(FlatFunctionRecord, argumentCount, 24, 48);
ORB_ABI_OFFSET(FlatFunctionRecord, returnTypeCode, 28, 52);
ORB_ABI_OFFSET(FlatFunctionRecord, returnElementCode, 32, 56);
ORB_ABI_OFFSET(FlatFunctionRecord, returnTypeName, 36, 60);
ORB_ABI_OFFSET(FlatFunctionRecord, description, 40, 68);
ORB_ABI_OFFSET(FlatFunctionRecord, help, 44, 76);
ORB_ABI_OFFSET(FlatFunctionRecord, threadSafe, 48, 84);
ORB_ABI_OFFSET(FlatFunctionRecord, async, 49, 85);
ORB_ABI_OFFSET(FlatFunctionRecord, tags, 53, 93);
ORB_ABI_OFFSET(FlatFunctionRecord, tagCount, 57, 101);

struct FlatFieldRecord {
  FlatFieldRecord* next;
  const char* name;
  const char* description;
  uint32_t offset;
  int32_t typeCode;
  int32_t elementCode;
  const char* typeName;  // of a referenced enum or struct, else ""
  uint8_t optional;
};
ORB_ABI_SIZE(FlatFieldRecord, 29, 45);
ORB_ABI_OFFSET(FlatFieldRecord, name, 4, 8);
ORB_ABI_OFFSET(FlatFieldRecord, description, 8, 16);
ORB_ABI_OFFSET(FlatFieldRecord, offset, 12, 24);
ORB_ABI_OFFSET(FlatFieldRecord, typeCode, 16, 28);
ORB_ABI_OFFSET(FlatFieldRecord, elementCode, 20, 32);
ORB_ABI_OFFSET(FlatFieldRecord, typeName, 24, 36);
ORB_ABI_OFFSET(FlatFieldRecord, optional, 28, 44);

struct FlatEnumeratorRecord {
  FlatEnumeratorRecord* next;
  const char* name;
  const char* description;
  int32_t value;
};
ORB_ABI_SIZE(FlatEnumeratorRecord, 16, 28);
ORB_ABI_OFFSET(FlatEnumeratorRecord, name, 4, 8);
ORB_ABI_OFFSET(FlatEnumeratorRecord, description, 8, 16);
ORB_ABI_OFFSET(FlatEnumeratorRecord, value, 12, 24);

struct FlatTypeRecord {
  FlatTypeRecord* next;
  const char* name;
  const char* nameSpace;
  uint32_t size;
  const char* description;
  const char** tags;  // array of tagCount texts
  uint32_t tagCount;
  FlatFieldRecord* fields;            // set when the type has fields
  FlatEnumeratorRecord* enumerators;  // set when it has none
  uint32_t count;                     // of whichever list is set
};
ORB_ABI_SIZE(FlatTypeRecord, 40, 68);
ORB_ABI_OFFSET(FlatTypeRecord, name, 4, 8);
ORB_ABI_OFFSET(FlatTypeRecord, nameSpace, 8, 16);
ORB_ABI_OFFSET(FlatTypeRecord, size, 12, 24);
ORB_ABI_OFFSET(FlatTypeRecord, description, 16, 28);
ORB_ABI_OFFSET(FlatTypeRecord, tags, 20, 36);
ORB_ABI_OFFSET(FlatTypeRecord, tagCount, 24, 44);
ORB_ABI_OFFSET(FlatTypeRecord, fields, 28, 48);
ORB_ABI_OFFSET(FlatTypeRecord, enumerators, 32, 56);
ORB_ABI_OFFSET(FlatTypeRecord, count, 36, 64);

struct FlatEventRecord {
  FlatEventRecord* next;
  const char* name;
  const char* nameSpace;
  const char* payloadTypeName;
  const char* description;
  const char** tags;  // array of tagCount texts
  uint32_t tagCount;
};
ORB_ABI_SIZE(FlatEventRecord, 28, 52);
ORB_ABI_OFFSET(FlatEventRecord, name, 4, 8);
ORB_ABI_OFFSET(FlatEventRecord, nameSpace, 8, 16);
ORB_ABI_OFFSET(FlatEventRecord, payloadTypeName, 12, 24);
ORB_ABI_OFFSET(FlatEventRecord, description, 16, 32);
ORB_ABI_OFFSET(FlatEventRecord, tags, 20, 40);
ORB_ABI_OFFSET(FlatEventRecord, tagCount, 24, 48);

struct FlatApiDescription {
  FlatFunctionRecord* functions;
  uint32_t functionCount;
  FlatTypeRecord* types;
  uint32_t typeCount;
  FlatEventRecord* events;
  uint32_t eventCount;
};
ORB_ABI_SIZE(FlatApiDescription, 24, 36);
ORB_ABI_OFFSET(FlatApiDescription, functionCount, 4, 8);
ORB_ABI_OFFSET(FlatApiDescription, types, 8, 12);
ORB_ABI_OFFSET(FlatApiDescription, typeCount, 12, 20);
ORB_ABI_OFFSET(FlatApiDescription, events, 16, 24);
ORB_ABI_OFFSET(FlatApiDescription, eventCount, 20, 32);

// ---- The handshake ----

struct PluginEntryTable;

/// The record the host hands to the plug-in's export. Offsets 0-11 are read; the rest is
/// written on success, and everything it points at belongs to the plug-in object and lives
/// until Destroy.
struct PluginHandshake {
  uint32_t major;
  uint32_t minor;
  uint32_t patch;
  PluginEntryTable* entries;
  void* handle;  // the plug-in object, passed to every entry function
  const char* shortName;
  FlatApiDescription* api;
};
ORB_ABI_SIZE(PluginHandshake, 28, 44);
ORB_ABI_OFFSET(PluginHandshake, minor, 4, 4);
ORB_ABI_OFFSET(PluginHandshake, patch, 8, 8);
ORB_ABI_OFFSET(PluginHandshake, entries, 12, 12);
ORB_ABI_OFFSET(PluginHandshake, handle, 16, 20);
ORB_ABI_OFFSET(PluginHandshake, shortName, 20, 28);
ORB_ABI_OFFSET(PluginHandshake, api, 24, 36);

#pragma pack(pop)

// ---- Function tables ----

using HostEventCallback = void (*)(HostEvent* event);
using HostTaskCallback = void (*)(void* context);

/// The host's functions, each called with the table itself first. The table only ever grows at
/// its end: a slot's position and arguments never change, so a plug-in built against an older
/// table keeps working.
struct HostFunctionTable {
  void (*sendRequest)(HostFunctionTable* table, HostResponse* response, HostRequest* request);  // 0
  // Slot 1 keeps its place for a host operation this plug-in never calls; the slots after it
  // are found by position.
  void (*reserved)(HostFunctionTable* table, uintptr_t first, uintptr_t second);  // 1
  void (*fireEvent)(HostFunctionTable* table, HostEvent* event);                  // 2
  void (*addEventListener)(HostFunctionTable* table, const char* name, uintptr_t hostContext,
                           HostEventCallback callback, void* userData, int32_t flag);              // 3
  void (*removeEventListener)(HostFunctionTable* table, const char* name, uintptr_t hostContext);  // 4
  void (*schedule)(HostFunctionTable* table, const char* label, HostTaskCallback callback, void* context,
                   double delaySeconds, int32_t flags);                          // 5
  void (*yield)(HostFunctionTable* table);                                       // 6
  void (*beginWait)(HostFunctionTable* table, const char* label, int32_t flag);  // 7
  void (*endWait)(HostFunctionTable* table);                                     // 8
  void (*log)(HostFunctionTable* table, int32_t level, const char* message);     // 9
};
ORB_ABI_SIZE(HostFunctionTable, 40, 80);

/// The plug-in's three entry functions; they live exactly as long as the plug-in object.
struct PluginEntryTable {
  uint8_t (*initialise)(void* handle, HostServices* services);  // non-zero for success
  void (*destroy)(void* handle);                                // the handle is gone afterwards
  void (*memoryStatistics)(void* handle, MemoryStatisticsRecord* out);
};
ORB_ABI_SIZE(PluginEntryTable, 12, 24);

/// Signature of a plug-in's only export (its name is the plug-in's own, see plugin_entry.h).
using PluginLoadFn = int (*)(PluginHandshake* handshake);

#undef ORB_ABI_SIZE
#undef ORB_ABI_OFFSET

}  // namespace Vela::Sdk
