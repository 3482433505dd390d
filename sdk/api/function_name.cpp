// API function names derived from a method and a URL template.
#include "sdk/api/function_name.h"

#include "sdk/api/method_text.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {
namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSeparator(char c) { return c == '!' || c == '+' || c == '-' || c == '.' || c == '/' || c == '_'; }

}  // namespace

std::string MakeFunctionName(int32_t method, std::string_view urlTemplate) {
  const std::string_view methodText = MethodText(method);
  if (methodText.empty()) return MakeFunctionName(urlTemplate);
  std::string rest;
  for (char c : methodText.substr(1)) rest += AsciiLower(c);
  // "GET" reads "Get/": the slash makes the template's first word start a new capital.
  std::string text = Format("%1%2/", methodText.substr(0, 1), rest);
  text += urlTemplate;
  return MakeFunctionName(text);
}

std::string MakeFunctionName(std::string_view text) {
  std::string name;
  name.reserve(text.size() + 8);
  bool capitalise = true;
  for (char c : text) {
    if (IsSeparator(c)) {
      capitalise = true;
    } else if (c == '{') {
      name += "By";
      capitalise = true;
    } else if (c == '}') {
      // A closing brace neither adds a character nor ends a word.
    } else if (capitalise) {
      name += AsciiUpper(c);
      capitalise = false;
    } else {
      name += c;
    }
  }
  return name;
}

}  // namespace Vela::Sdk
