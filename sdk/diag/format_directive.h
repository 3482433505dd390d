// Parsing of one conversion specification, shared by FormatArgs and the field-template layer.
#pragma once

#include <cstddef>

#include "sdk/diag/format.h"

namespace Vela::Sdk::FormatDetail {

/// One conversion specification as FormatArgs uses it.
struct ParsedSpecification {
  std::size_t argument = 0;  ///< 1-based
  bool hasStarWidth = false;
  bool hasStarPrecision = false;
  std::size_t starWidthArgument = 0;
  std::size_t starPrecisionArgument = 0;
  /// "%" followed by flags, width, precision, modifier and conversion, without positional parts;
  /// "%" alone for a positional default ("%2").
  char text[kMaxSpecificationLength + 1] = {};
  std::size_t length = 0;
  const char* end = nullptr;  ///< the format character after the specification
};

/// Parses the specification starting at `percent` (which points at a "%" not followed by "%").
/// `sequential` is the last sequential argument taken and advances with every one taken.
/// False for a malformed or over-long specification.
bool ParseSpecification(const char* percent, std::size_t count, std::size_t& sequential, ParsedSpecification& spec);

}  // namespace Vela::Sdk::FormatDetail
