// The native representations that value conversion reads and writes besides the scalars,
// std::string, BindingValue, std::vector and std::optional.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace Vela::Sdk {

/// A native blob field. It is a type of its own so that std::vector<uint8_t> stays a vector of
/// uint8 (a Collection of numbers), while a Blob converts to and from a Blob value.
struct Blob {
  std::vector<uint8_t> bytes;
  bool operator==(const Blob&) const = default;
};

/// The native form of map<string, T>: a hash map with the standard hasher.
template <class T>
using BindingMap = std::unordered_map<std::string, T>;

}  // namespace Vela::Sdk
