// Percent-decoding with its lenient digit rule.
#include "sdk/api/url_decode.h"

#include <gtest/gtest.h>

#include <string>

namespace Vela::Sdk {
namespace {

TEST(UrlDecode, DecodesEscapesAndPlus) {
  const struct {
    std::string text;
    std::string decoded;
  } rows[] = {
      {"a%20b+c", "a b c"},
      {"%2F%2f", "//"},
      {"%41%4a%4A", "AJJ"},
      {"%00x", std::string("\0x", 2)},
      {"%ff", "\xff"},
      {"100%25", "100%"},
      {"++", "  "},
      {"", ""},
      // A non-digit counts as 16: shifted out as the high digit, OR-ed in as the low one.
      {"%zz", "\x10"},
      {"%1z", "\x10"},
      {"%z1", "\x01"},
      {"%fz", "\xf0"},
      {"%+1", "\x01"},
      // A "%" with fewer than two characters after it is dropped, the rest read normally.
      {"%4", "4"},
      {"a%", "a"},
      {"%+", " "},
      {"%%41", std::string("\x04") + "1"},
  };
  for (const auto& row : rows) EXPECT_EQ(UrlDecode(row.text), row.decoded) << row.text;
}

}  // namespace
}  // namespace Vela::Sdk
