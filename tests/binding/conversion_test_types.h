// Native test records with a field of every kind, their registration, and helpers that build
// values and print natives for the conversion tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk/binding/binding_registry.h"
#include "sdk/binding/binding_value.h"
#include "sdk/binding/native_types.h"
#include "sdk/binding/type_registration.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk::ConversionTest {

enum class Phase : int32_t { None = 0, Running = 1, Done = 2 };
enum class Tiny : int8_t { Minus = -1, Plus = 1 };
enum class Wide : int64_t { Minus = -2, Plus = 7 };
enum class Short : uint16_t { Zero = 0, Large = 40000 };

struct Inner {
  int32_t id = 0;
  std::string name;
  bool operator==(const Inner&) const = default;
};

struct Everything {
  bool flag = false;
  int8_t i8 = 0;
  uint8_t u8 = 0;
  int16_t i16 = 0;
  uint16_t u16 = 0;
  int32_t i32 = 0;
  uint32_t u32 = 0;
  int64_t i64 = 0;
  uint64_t u64 = 0;
  float f32 = 0;
  double f64 = 0;
  std::string text;
  BindingValue object;
  Blob blob;
  Phase phase = Phase::None;
  Tiny tiny = Tiny::Plus;
  Wide wide = Wide::Plus;
  Short shortEnum = Short::Zero;
  Inner inner;
  std::vector<bool> bits;
  std::vector<int64_t> numbers;
  std::vector<double> reals;
  std::vector<std::string> words;
  std::vector<Blob> blobs;
  std::vector<BindingValue> objects;
  std::vector<Inner> inners;
  std::vector<Phase> phases;
  BindingMap<uint16_t> counts;
  BindingMap<std::string> labels;
  BindingMap<Inner> innerMap;
  BindingMap<Phase> phaseMap;
  std::optional<int32_t> maybeNumber;
  std::optional<std::string> maybeText;
  std::optional<Inner> maybeInner;
  bool operator==(const Everything&) const = default;
};

/// Registered under the struct name "Required": id is required.
struct Required {
  int32_t id = 0;
  std::string note;
};

/// Registered with kFieldOmitEmpty on every field.
struct Sparse {
  int32_t number = 0;
  double real = 0;
  bool flag = false;
  std::string text;
  std::vector<int32_t> list;
  Phase phase = Phase::None;
  std::optional<int32_t> maybe;
};

/// A recursive record.
struct Node {
  std::vector<Node> children;
};

/// Never registered.
struct Unregistered {
  int32_t x = 0;
};

inline void RegisterTestTypes(BindingRegistry& registry) {
  RegisterEnum<Phase>(registry, "Phase")
      .Value("None", Phase::None)
      .Value("Running", Phase::Running)
      .Value("Done", Phase::Done);
  RegisterEnum<Tiny>(registry, "Tiny").Value("Minus", Tiny::Minus).Value("Plus", Tiny::Plus);
  RegisterEnum<Wide>(registry, "Wide").Value("Minus", Wide::Minus).Value("Plus", Wide::Plus);
  RegisterEnum<Short>(registry, "Short").Value("Zero", Short::Zero).Value("Large", Short::Large);
  RegisterStruct<Inner>(registry, "Inner").Field("id", &Inner::id).Field("name", &Inner::name);
  RegisterStruct<Everything>(registry, "Everything")
      .Field("flag", &Everything::flag)
      .Field("i8", &Everything::i8)
      .Field("u8", &Everything::u8)
      .Field("i16", &Everything::i16)
      .Field("u16", &Everything::u16)
      .Field("i32", &Everything::i32)
      .Field("u32", &Everything::u32)
      .Field("i64", &Everything::i64)
      .Field("u64", &Everything::u64)
      .Field("f32", &Everything::f32)
      .Field("f64", &Everything::f64)
      .Field("text", &Everything::text)
      .Field("object", &Everything::object)
      .Field("blob", &Everything::blob)
      .Field("phase", &Everything::phase)
      .Field("tiny", &Everything::tiny)
      .Field("wide", &Everything::wide)
      .Field("shortEnum", &Everything::shortEnum)
      .Field("inner", &Everything::inner)
      .Field("bits", &Everything::bits)
      .Field("numbers", &Everything::numbers)
      .Field("reals", &Everything::reals)
      .Field("words", &Everything::words)
      .Field("blobs", &Everything::blobs)
      .Field("objects", &Everything::objects)
      .Field("inners", &Everything::inners)
      .Field("phases", &Everything::phases)
      .Field("counts", &Everything::counts)
      .Field("labels", &Everything::labels)
      .Field("innerMap", &Everything::innerMap)
      .Field("phaseMap", &Everything::phaseMap)
      .Field("maybeNumber", &Everything::maybeNumber)
      .Field("maybeText", &Everything::maybeText)
      .Field("maybeInner", &Everything::maybeInner);
  RegisterStruct<Required>(registry, "Required")
      .Field("id", &Required::id, kFieldRequired)
      .Field("note", &Required::note);
  RegisterStruct<Sparse>(registry, "Sparse")
      .Field("number", &Sparse::number, kFieldOmitEmpty)
      .Field("real", &Sparse::real, kFieldOmitEmpty)
      .Field("flag", &Sparse::flag, kFieldOmitEmpty)
      .Field("text", &Sparse::text, kFieldOmitEmpty)
      .Field("list", &Sparse::list, kFieldOmitEmpty)
      .Field("phase", &Sparse::phase, kFieldOmitEmpty)
      .Field("maybe", &Sparse::maybe, kFieldOmitEmpty);
  RegisterStruct<Node>(registry, "Node").Field("children", &Node::children);
}

/// A record with every field set to something other than its default.
inline Everything FilledEverything() {
  Everything e;
  e.flag = true;
  e.i8 = -8;
  e.u8 = 200;
  e.i16 = -16000;
  e.u16 = 60000;
  e.i32 = -2000000000;
  e.u32 = 4000000000u;
  e.i64 = INT64_MIN;
  e.u64 = UINT64_MAX;
  e.f32 = 1.5f;
  e.f64 = -2.25e300;
  e.text = std::string("with\0zero", 9);
  e.object.MemberForWriting("k").ElementForWriting(1) = "v";
  e.blob.bytes = {0, 1, 255};
  e.phase = Phase::Done;
  e.tiny = Tiny::Minus;
  e.wide = Wide::Minus;
  e.shortEnum = Short::Large;
  e.inner = {7, "seven"};
  e.bits = {true, false, true};
  e.numbers = {INT64_MAX, -1};
  e.reals = {0.5, -0.0};
  e.words = {"a", ""};
  e.blobs = {Blob{{1, 2}}, Blob{}};
  e.objects.emplace_back(int64_t{5});
  e.objects.emplace_back("x");
  e.inners = {{1, "one"}, {2, "two"}};
  e.phases = {Phase::Running, Phase::None};
  e.counts = {{"a", 1}, {"b", 65535}};
  e.labels = {{"x", "y"}};
  e.innerMap = {{"first", {3, "three"}}};
  e.phaseMap = {{"p", Phase::Running}};
  e.maybeNumber = 0;
  e.maybeText = "here";
  e.maybeInner = Inner{9, "nine"};
  return e;
}

inline BindingValue List(std::initializer_list<BindingValue> elements) {
  BindingValue list;
  list.MakeCollection();
  for (const BindingValue& element : elements) list.Append() = element;
  return list;
}

inline BindingValue Object(std::initializer_list<std::pair<const char*, BindingValue>> members) {
  BindingValue object;
  object.MakeStructure();
  for (const auto& [name, value] : members) object.MemberForWriting(name) = value;
  return object;
}

inline BindingValue Bytes(std::initializer_list<uint8_t> bytes) { return BindingValue(BindingValue::Blob(bytes)); }

inline std::string Show(bool value) { return value ? "true" : "false"; }
inline std::string Show(const std::string& value) {
  std::string shown;
  for (char c : value) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
  return shown;
}
inline std::string Show(const Blob& blob) {
  std::string shown = "0x";
  for (uint8_t byte : blob.bytes) shown += Format("%1$02x", static_cast<uint32_t>(byte));
  return shown;
}
inline std::string Show(const Inner& value) { return Format("{%1,%2}", value.id, value.name); }
inline std::string Show(const Required& value) { return Format("{%1,%2}", value.id, value.note); }
inline std::string Show(const Unregistered& value) { return Format("{%1}", value.x); }
template <class T>
std::string Show(const T& value) {
  if constexpr (std::is_enum_v<T>) {
    return Format("%1", static_cast<int64_t>(value));
  } else if constexpr (std::is_floating_point_v<T>) {
    return Format("%1", static_cast<double>(value));
  } else {
    return Format("%1", value);
  }
}
template <class T>
std::string Show(const std::vector<T>& values) {
  std::string shown = "[";
  for (std::size_t i = 0; i < values.size(); ++i) shown += (i == 0 ? "" : ",") + Show(static_cast<T>(values[i]));
  return shown + "]";
}
template <class T>
std::string Show(const BindingMap<T>& values) {
  std::vector<std::string> entries;
  for (const auto& [name, value] : values) entries.push_back(name + ":" + Show(value));
  std::sort(entries.begin(), entries.end());
  std::string shown = "{";
  for (std::size_t i = 0; i < entries.size(); ++i) shown += (i == 0 ? "" : ",") + entries[i];
  return shown + "}";
}

}  // namespace Vela::Sdk::ConversionTest
