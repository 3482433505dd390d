// StaticType: one StaticTypeRecord per native type, giving it a stable 32-bit identifier and a
// name without any run-time type information.
//
// Derivation. The identifier of T is the FNV-1a hash of the compiler's spelling of T with
// const/volatile/reference removed, taken from __PRETTY_FUNCTION__ at compile time, so it is the
// same in every build of the same source with the same compiler. The reserved void record has
// identifier 0 and the name "void"; Name<void>() returns it.
//
// Names. A type is the SDK's own when IsSdkOwnType<T> holds; by default that is every type whose
// spelling starts with "Vela::Sdk::" (templates such as std::vector<Vela::Sdk::X> are not). Its
// record is named "#" and the identifier as eight upper-case hex digits ("#%08X"), so the SDK's
// internals do not spell themselves out to the host. Every other type is named by its spelling.
// Specialise IsSdkOwnType to move a type from one group to the other.
//
// Uniqueness. Each record is enrolled in a process-wide table on first use. Two different records
// with one identifier (a hash collision, or two types the compiler spells alike, such as types in
// anonymous namespaces of two files) end the process with a report naming both, at that first
// use, instead of letting conversions mistake one type for the other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "sdk/binding/fnv1a.h"

namespace Vela::Sdk {

struct StaticTypeRecord {
  uint32_t id;
  const char* name;
  uint32_t reserved[2];  // zero
};

namespace StaticTypeDetail {

template <class T>
constexpr const char* Signature() noexcept {
  return __PRETTY_FUNCTION__;
}

/// The compiler's spelling of T, cut out of "... [with T = <spelling>]" (GCC) or
/// "... [T = <spelling>]" (Clang); both end the signature with the bracket.
template <class T>
constexpr std::string_view Spelling() noexcept {
  std::string_view signature = Signature<T>();
  std::size_t begin = signature.find("T = ") + 4;
  return signature.substr(begin, signature.size() - 1 - begin);
}

template <std::size_t N>
struct FixedText {
  std::array<char, N + 1> chars{};
  constexpr const char* Data() const noexcept { return chars.data(); }
};

template <class T>
constexpr auto SpellingText() noexcept {
  constexpr std::string_view spelling = Spelling<T>();
  FixedText<spelling.size()> text;
  for (std::size_t i = 0; i < spelling.size(); ++i) text.chars[i] = spelling[i];
  return text;
}

constexpr FixedText<9> HexName(uint32_t id) noexcept {
  constexpr char kDigits[] = "0123456789ABCDEF";
  FixedText<9> text;
  text.chars[0] = '#';
  for (int i = 0; i < 8; ++i) text.chars[1 + i] = kDigits[(id >> (28 - 4 * i)) & 0xFu];
  return text;
}

/// The text a record of T is named by (see the file comment).
template <class T, bool kSdkOwn>
constexpr auto RecordName() noexcept {
  if constexpr (kSdkOwn) {
    return HexName(Fnv1a(Spelling<T>()));
  } else {
    return SpellingText<T>();
  }
}

/// Adds the record to the process-wide table; ends the process if another record holds its id.
const StaticTypeRecord& Enrol(const StaticTypeRecord& record, std::string_view spelling) noexcept;

/// False when a different record already holds record.id; the table keeps the first holder.
/// Enrol is this plus the report; exposed so the rule can be tested.
bool Claim(const StaticTypeRecord& record) noexcept;

}  // namespace StaticTypeDetail

template <class T>
struct IsSdkOwnType : std::bool_constant<StaticTypeDetail::Spelling<T>().starts_with("Vela::Sdk::")> {};

class StaticType {
 public:
  template <class T>
  static constexpr uint32_t Id() noexcept {
    using Bare = std::remove_cvref_t<T>;
    if constexpr (std::is_void_v<Bare>) {
      return 0;
    } else {
      return Fnv1a(StaticTypeDetail::Spelling<Bare>());
    }
  }

  /// The one record of T (the void record for void), enrolled on first use.
  template <class T>
  static const StaticTypeRecord& Name() noexcept {
    using Bare = std::remove_cvref_t<T>;
    if constexpr (std::is_void_v<Bare>) {
      return Void();
    } else {
      static const StaticTypeRecord& enrolled =
          StaticTypeDetail::Enrol(Holder<Bare>::kRecord, StaticTypeDetail::Spelling<Bare>());
      return enrolled;
    }
  }

  /// The reserved record of the void type (functions without a result).
  static const StaticTypeRecord& Void() noexcept;

 private:
  template <class T>
  struct Holder {
    static constexpr auto kText = StaticTypeDetail::RecordName<T, IsSdkOwnType<T>::value>();
    static constexpr StaticTypeRecord kRecord{Id<T>(), kText.Data(), {0, 0}};
  };
};

}  // namespace Vela::Sdk
