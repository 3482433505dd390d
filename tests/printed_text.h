// What a death test's child printed, matched with its line ends as "\n" whatever the system wrote
// (standard error in text mode ends lines with CR LF on Windows).
#pragma once

#include <gmock/gmock.h>

#include <string>

namespace Vela::Sdk::Testing {

inline ::testing::Matcher<const std::string&> Printed(::testing::Matcher<const std::string&> matcher) {
  return ::testing::ResultOf(
      [](const std::string& text) {
        std::string lines;
        for (char c : text) {
          if (c != '\r') lines += c;
        }
        return lines;
      },
      matcher);
}

}  // namespace Vela::Sdk::Testing
