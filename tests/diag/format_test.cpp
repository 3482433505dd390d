// Tests of the positional message formatter.
#include "sdk/diag/format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/diag/text_rows.h"

namespace Vela::Sdk {
namespace {

using Testing::ExpectRows;

struct Named {
  std::string ToString() const { return "named"; }
};
struct Streamed {};
std::ostream& operator<<(std::ostream& stream, const Streamed&) { return stream << "streamed"; }
enum class Colour : uint8_t { kRed = 3 };

TEST(Format, PositionalArgumentsUseTheirTypesDefault) {
  const char text[] = "abcdef";
  ExpectRows({
      {"repeat", Format("%1 and %1", "x"), "x and x"},
      {"reverse", Format("%2 %1", "a", "b"), "b a"},
      {"int64 as %lld", Format("%1", int64_t{-5000000000}), "-5000000000"},
      {"uint64 as %llu", Format("%1", std::numeric_limits<uint64_t>::max()), "18446744073709551615"},
      {"uint32", Format("%1", uint32_t{4000000000u}), "4000000000"},
      {"double as %g", Format("%1 %2", 0.1, 2.5f), "0.1 2.5"},
      {"char", Format("%1", 'x'), "x"},
      {"bool as int32", Format("%1 %2", true, false), "1 0"},
      {"enumeration as its number", Format("%1", Colour::kRed), "3"},
      {"short and unsigned char", Format("%1 %2", short{-3}, static_cast<unsigned char>(200)), "-3 200"},
      {"string", Format("%1", std::string("str")), "str"},
      {"string view is not read past its end", Format("%1", std::string_view(text, 3)), "abc"},
      {"null text", Format("%1", static_cast<const char*>(nullptr)), "(null)"},
      {"ToString", Format("%1", Named{}), "named"},
      {"operator<<", Format("%1", Streamed{}), "streamed"},
      {"no arguments", Format("plain"), "plain"},
  });
}

TEST(Format, ExplicitConversionsAreKeptOrReplacedByTheDefault) {
  ExpectRows({
      {"padded", Format("%1$5d", 42), "   42"},
      {"%s for an integer prints %d", Format("%1$s", 42), "42"},
      {"%d for a text prints %s", Format("%d", "txt"), "txt"},
      {"%x for a double prints %g", Format("%x", 1.5), "1.5"},
      {"%c for an integer", Format("%c", 65), "A"},
      {"hexadecimal", Format("%x %X", 255, uint64_t{0xABCDEF012345}), "ff ABCDEF012345"},
      {"negative int32 as %u", Format("%u", -1), "4294967295"},
      {"%s for uint64 keeps its width", Format("%s", uint64_t{1} << 40), "1099511627776"},
      {"%hd narrows int32 and int64 alike", Format("%hd|%hd", int32_t{65541}, (int64_t{1} << 40) + 5), "5|5"},
      {"%hhu narrows int64", Format("%hhu", int64_t{0x1FF}), "255"},
      {"%lld for int32 needs no long", Format("%lld", 7), "7"},
      {"%ls for a text is a plain text", Format("%ls", "x"), "x"},
      {"%Lf for a double", Format("%Lf", 1.5), "1.500000"},
      {"%lc for int64", Format("%lc", int64_t{66}), "B"},
      {"%hhx narrows an int", Format("%hhx", -1), "ff"},
      {"precision", Format("%5.1f|%-4d|%05u", 3.14159, 7, 42u), "  3.1|7   |00042"},
      {"text precision", Format("%.2s|%-3s|", "abcdef", "a"), "ab|a  |"},
      {"char as number", Format("%d", 'A'), "65"},
  });
}

TEST(Format, IndexesWidthsAndStars) {
  ExpectRows({
      {"%5d with one argument is a width", Format("%5d", 1), "    1"},
      {"%5d with five arguments is argument 5", Format("%5d", 1, 2, 3, 4, 50), "50d"},
      {"sequential", Format("%s at offset %u", "x", 12u), "x at offset 12"},
      {"sequential star width", Format("[%*d]", 4, 7), "[   7]"},
      {"sequential star precision", Format("[%.*f]", 2, 3.14159), "[3.14]"},
      {"star and value both advance", Format("%*d|%d", 3, 1, 2), "  1|2"},
      {"positional star", Format("[%2$*1$d]", 5, 9), "[    9]"},
      {"positional star precision", Format("[%1$.*2$s]", "abcdef", 3), "[abc]"},
      {"negative star width left-aligns", Format("[%*d]", -3, 1), "[1  ]"},
      {"char supplies a star", Format("[%*d]", '\x03', 1), "[  1]"},
      {"int64 star is clamped", Format("[%.*s]", int64_t{1} << 40, "ab"), "[ab]"},
      {"positional does not move the sequence", Format("%2 %s %s", "a", "b"), "b a b"},
      {"index past the count reads as a width", Format("a%3$d", 1, 2), "a  1d"},
  });
}

// To stop means the text produced so far is the result.
TEST(Format, StopsAtWhatItCannotRender) {
  std::string spec59 = "%" + std::string(57, '0') + "d";
  std::string spec60 = "%" + std::string(58, '0') + "d";
  ExpectRows({
      {"lone % at the end", Format("a%", 1), "a"},
      {"index past the count at the end", Format("a%3", 1, 2), "a"},
      {"no argument left", Format("%d %d %d", 1, 2), "1 2 "},
      {"no arguments at all", Format("a%sb"), "a"},
      {"star from a text", Format("a%*d", "x", 5), "a"},
      {"star precision from a double", Format("a%.*f", 1.5, 2.0), "a"},
      {"star naming a missing argument", Format("a%1$*3$d", 1, 2), "a"},
      {"star naming argument 0", Format("a%1$*0$d", 1), "a"},
      {"modifier without conversion", Format("a%ll", 1), "a"},
      {"positional $ without conversion", Format("a%1$", 1), "a"},
      {"59-character specification", Format(spec59.c_str(), 7), "7"},
      {"60-character specification", Format(("a" + spec60).c_str(), 7), "a"},
  });
}

TEST(Format, PercentSignsAndCountConversions) {
  int untouched = 5;
  ExpectRows({
      {"%%", Format("100%%"), "100%"},
      {"%% between arguments", Format("%1%%%2", 1, 2), "1%2"},
      {"%n writes nothing", Format("a%nb", 5), "ab"},
      {"%hhn writes nothing", Format("a%hhnb", 5), "ab"},
      {"positional %n writes nothing", Format("a%1$nb", "x"), "ab"},
  });
  Format("%n", &untouched);
  EXPECT_EQ(untouched, 5);
}

// Formats into a 4-byte buffer and checks the length reported.
template <class... Args>
std::string Into4(const char* format, const Args&... args) {
  char small[4];
  std::size_t length = FormatInto(small, sizeof small, format, args...);
  EXPECT_EQ(length, std::strlen(small)) << format;
  return small;
}

TEST(Format, LongResultsAreCut) {
  std::string long5000(5000, 'y');
  EXPECT_EQ(Format("%1", long5000), std::string(4095, 'y'));
  EXPECT_EQ(Format(long5000.c_str()), std::string(4095, 'y'));
  EXPECT_EQ(Format("%1$5000d", 1), std::string(4095, ' '));

  ExpectRows({
      {"literal", Into4("abcdef"), "abc"},
      {"text", Into4("%1", "abcdef"), "abc"},
      {"integer", Into4("%1", 123456), "123"},
      {"padded integer", Into4("%5d", 1), "   "},
      {"double", Into4("%f", 1.5), "1.5"},
      {"char after text", Into4("ab%1%2", 'c', 'd'), "abc"},
      {"padded char with a precision beyond the room", Into4("%3.99c", 'z'), "  z"},
      {"padded infinity with a precision beyond the room", Into4("%6.9999f", -std::numeric_limits<double>::infinity()),
       "  -"},
  });
  char small[4];
  EXPECT_EQ(FormatInto(small, 1, "abc"), 0u);
  EXPECT_EQ(FormatArgs(nullptr, 10, "abc", nullptr, nullptr, 0), 0u);
  EXPECT_EQ(FormatArgs(small, sizeof small, nullptr, nullptr, nullptr, 0), 0u);
  EXPECT_STREQ(small, "");
}

// Hostile formats against exactly sized buffers and argument tables: under AddressSanitizer any
// read past the arguments or write past the buffer fails the run.
// Widths and precisions are bounded by what the output can show before the C library renders
// them: what is seen is what the library would have written, cut at the same place, without
// rendering millions of characters first. One whose result would not fit an int stops the
// output, as the library refuses it.
TEST(Format, HugeAmountsShowWhatTheLibraryWouldWithoutRenderingIt) {
  auto library = [](const char* spec, auto value, std::size_t room) {
    std::string full(static_cast<std::size_t>(std::snprintf(nullptr, 0, spec, value)) + 1, '\0');
    std::snprintf(full.data(), full.size(), spec, value);
    return full.substr(0, std::min(full.size() - 1, room - 1));
  };
  auto ours = [](const char* spec, auto value, std::size_t room) {
    std::vector<char> buffer(room);
    FormatInto(buffer.data(), buffer.size(), spec, value);
    return std::string(buffer.data());
  };
  for (std::size_t room : {std::size_t{2}, std::size_t{40}, std::size_t{700}}) {
    for (const char* spec : {"%5000d", "%-5000d", "%05000d", "%.5000d", "%+.5000x", "%5000.4990d"}) {
      EXPECT_EQ(ours(spec, -123456, room), library(spec, -123456, room)) << spec << " " << room;
    }
    for (const char* spec : {"%.5000f", "%.5000e", "%.5000g", "%#.5000g", "%5000.3f", "%-5000.1100e", "%.5000a"}) {
      for (double value : {1.0 / 3.0, 5e-324, 1.7976931348623157e308, -0.999999999999999}) {
        EXPECT_EQ(ours(spec, value, room), library(spec, value, room)) << spec << " " << value << " " << room;
      }
    }
    for (const char* spec : {"%5000s", "%-5000.3s", "%.5000s"}) {
      EXPECT_EQ(ours(spec, "text", room), library(spec, "text", room)) << spec << " " << room;
    }
  }
  ExpectRows({
      {"star width from a huge unsigned", Format("a%*d|", 4000000000u, 7).substr(0, 3), "a  "},
      {"huge literal width", Format("a%999999999d", 7).substr(0, 2), "a "},
      {"star precision of INT32_MAX", Format("a%.*f", INT32_MAX, 1.5), "a"},
      {"width beyond an int", Format("a%2147483648d", 7), "a"},
      {"width beyond 64 bits", Format("a%99999999999999999999d", 1), "a"},
  });
}

TEST(Format, HostileFormatsStayInsideTheirBuffers) {
  const char* const hostile[] = {
      "%",
      "%%%",
      "%1$",
      "%1$*",
      "%*",
      "%.*",
      "%*2$d",
      "%0$d",
      "%*0$d",
      "%.-5d",
      "%-*d",
      "%#+ 0-08.3lld",
      "%99999999999999999999999d",
      "%18446744073709551617$d",
      "%*18446744073709551617$d",
      "%4$*3$.*2$d",
      "%.99999f",
      "%.*s",
      "%n%n%n",
      "%hhn%ln%lln%zn",
      "%s%s%s%s%s%s%s%s%s%s",
      "%1%2%3%4%5%6%7%8%9",
      "%1$*1$s",
      "%2$.*1$d",
      "%Lf%jd%td%zd",
      "%lc%ls",
      "%*.*f",
      "%9$s",
      "%a%A%e%E%F%G",
      "%p%S%C%m",
      "%-0000000000000000000000000000000000000000000000000000000000d",
      "%\xff",
      "%\x01",
      "%1$\xff",
      "{{%%}}",
      "%1$-4095s%1$-4095s",
      "%.4094d%.4094d",
  };
  const int32_t number = -17;
  const uint64_t big = std::numeric_limits<uint64_t>::max();
  const double real = -1.25e300;
  const char* const text = "text";
  const std::string_view view("viewxyz", 4);
  const char character = 'c';
  const FormatRoutine* const routines[] = {&FormatRoutines::kInt32,      &FormatRoutines::kText,
                                           &FormatRoutines::kDouble,     &FormatRoutines::kUInt64,
                                           &FormatRoutines::kStringView, &FormatRoutines::kChar};
  const void* const values[] = {&number, &text, &real, &big, &view, &character};

  for (std::size_t count = 0; count <= 6; ++count) {
    auto argumentRoutines = std::make_unique<const FormatRoutine*[]>(count + 1);
    auto arguments = std::make_unique<const void*[]>(count + 1);
    for (std::size_t i = 0; i < count; ++i) {
      argumentRoutines[i] = routines[i];
      arguments[i] = values[i];
    }
    for (const char* format : hostile) {
      for (std::size_t size : {1u, 2u, 3u, 7u, 64u, 4096u}) {
        auto buffer = std::make_unique<char[]>(size);
        std::size_t length = FormatArgs(buffer.get(), size, format, argumentRoutines.get(), arguments.get(), count);
        ASSERT_LT(length, size) << format;
        ASSERT_EQ(buffer[length], '\0') << format;
        ASSERT_EQ(std::strlen(buffer.get()), length) << format << " " << count << " " << size;
      }
    }
  }
}

TEST(Format, HolesInTheArgumentTablesStop) {
  const int32_t number = 1;
  const FormatRoutine* const routines[] = {&FormatRoutines::kInt32, nullptr};
  const void* const arguments[] = {&number, &number};
  char buffer[32];
  EXPECT_EQ(FormatArgs(buffer, sizeof buffer, "%1-%2-", routines, arguments, 2), 2u);
  EXPECT_STREQ(buffer, "1-");
}

}  // namespace
}  // namespace Vela::Sdk
