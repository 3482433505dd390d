// Table rows of a text a call gave and the text it should have given, for the formatter tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Vela::Sdk::Testing {

struct TextRow {
  const char* what;
  std::string actual;
  std::string expected;
};

inline void ExpectRows(const std::vector<TextRow>& rows) {
  for (const TextRow& row : rows) EXPECT_EQ(row.actual, row.expected) << row.what;
}

}  // namespace Vela::Sdk::Testing
