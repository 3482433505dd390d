// Named-placeholder templates: expansion into positional format texts, and the typed field values.
#include "sdk/diag/field_template.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "sdk/diag/format.h"
#include "sdk/diag/format_directive.h"

namespace Vela::Sdk {

namespace {

template <class T>
FieldValue MakeField(FieldKind kind, T FieldValue::*member, T value) {
  FieldValue field;
  field.kind = kind;
  field.*member = std::move(value);
  return field;
}

}  // namespace

FieldValue FieldValue::Bool(bool value) { return MakeField(FieldKind::kBool, &FieldValue::boolValue, value); }
FieldValue FieldValue::Signed(int64_t value) { return MakeField(FieldKind::kSigned, &FieldValue::signedValue, value); }
FieldValue FieldValue::Unsigned(uint64_t value) {
  return MakeField(FieldKind::kUnsigned, &FieldValue::unsignedValue, value);
}
FieldValue FieldValue::Float(double value) { return MakeField(FieldKind::kFloat, &FieldValue::floatValue, value); }
FieldValue FieldValue::String(std::string value) {
  return MakeField(FieldKind::kString, &FieldValue::stringValue, std::move(value));
}

bool FieldValue::IsEmptyOrZero() const {
  switch (kind) {
    case FieldKind::kBool: return !boolValue;
    case FieldKind::kSigned: return signedValue == 0;
    case FieldKind::kUnsigned: return unsignedValue == 0;
    case FieldKind::kFloat: return floatValue == 0.0;
    case FieldKind::kString: return stringValue.empty();
  }
  return false;
}

std::string FieldValue::ToText() const {
  char digits[32];
  switch (kind) {
    case FieldKind::kBool: return boolValue ? "true" : "false";
    case FieldKind::kSigned: return std::string(digits, std::to_chars(digits, digits + sizeof digits, signedValue).ptr);
    case FieldKind::kUnsigned:
      return std::string(digits, std::to_chars(digits, digits + sizeof digits, unsignedValue).ptr);
    case FieldKind::kFloat: std::snprintf(digits, sizeof digits, "%g", floatValue); return digits;
    case FieldKind::kString: return stringValue;
  }
  return {};
}

namespace {

constexpr const char* kTypedNameSuffixes[] = {"_bool", "_int", "_long", "_float", "_str", "_time", "_ip"};

bool HasTypedNameSuffix(const std::string& name) {
  for (const char* suffix : kTypedNameSuffixes) {
    std::size_t length = std::strlen(suffix);
    if (name.size() >= length && name.compare(name.size() - length, length, suffix) == 0) return true;
  }
  return false;
}

const char* TypedNameSuffix(FieldKind kind) {
  switch (kind) {
    case FieldKind::kBool: return "_bool";
    case FieldKind::kFloat: return "_float";
    case FieldKind::kString: return "_str";
    case FieldKind::kSigned:
    case FieldKind::kUnsigned: break;
  }
  return "_int";
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

struct Placeholder {
  bool typedName = false;
  bool hidden = false;
  bool hasSpecification = false;
  bool hasAlternative = false;
  std::string name;
  std::string specification;
  std::string alternative;
};

// Reads a placeholder after its "{"; false when the template ends before the closing "}".
bool ReadPlaceholder(const char*& p, Placeholder& placeholder) {
  if (*p == '#') {
    placeholder.typedName = true;
    ++p;
  }
  std::string* part = &placeholder.name;
  while (*p != '\0' && *p != '}') {
    char c = *p++;
    if (c == '\\' && *p != '\0') {
      *part += *p++;
    } else if (c == '!') {
      placeholder.hidden = true;
    } else if (c == ':') {
      placeholder.hasSpecification = true;
      part = &placeholder.specification;
    } else if (c == '?') {
      placeholder.hasAlternative = true;
      part = &placeholder.alternative;
    } else if (c != '{') {
      *part += c;
    }
  }
  if (*p != '}') return false;
  ++p;
  return true;
}

// Builds the format text. A bare "%k" directly followed by a digit or "$" would read as a longer
// index or as "%k$...", so such a "%k" is written as "%k$s", which renders the same.
class FormatTextWriter {
 public:
  explicit FormatTextWriter(std::string& out) : out_(out) {}

  void Literal(char c) {
    if ((c == '$' || (c >= '0' && c <= '9')) && out_.size() == bareEnd_) out_ += "$s";
    out_ += c;
  }
  void Text(const std::string& text) {
    for (char c : text) {
      if (c == '%') out_ += '%';  // an alternative is literal text
      Literal(c);
    }
  }
  void Raw(const char* begin, const char* end) {
    if (begin != end) Literal(*begin++);
    out_.append(begin, end);
  }
  void Argument(std::size_t index, const Placeholder& placeholder) {
    out_ += '%';
    out_ += std::to_string(index);
    if (placeholder.hasSpecification) {
      out_ += '$';
      out_ += placeholder.specification;
    } else {
      bareEnd_ = out_.size();
    }
  }
  // Blanks after a bare "%k" go too; the next literal then sees the "%k" end again.
  void TrimTrailingBlanks() {
    while (!out_.empty() && IsBlank(out_.back())) out_.pop_back();
  }

 private:
  std::string& out_;
  std::size_t bareEnd_ = std::string::npos;
};

}  // namespace

void ExpandFieldTemplate(const char* templateText, const FieldValue* typedValues, std::size_t count,
                         std::string& formatOut, FieldList& fields) {
  formatOut.clear();
  if (templateText == nullptr) return;
  if (typedValues == nullptr) count = 0;
  FormatTextWriter writer(formatOut);
  std::size_t placeholderCount = 0;
  std::size_t sequential = 0;
  const char* p = templateText;
  while (*p != '\0') {
    char c = *p;
    if (c == '{' && p[1] == '{') {
      writer.Literal('{');
      p += 2;
    } else if (c == '}') {
      writer.Literal('}');
      p += p[1] == '}' ? 2 : 1;
    } else if (c == '%' && p[1] == '%') {
      writer.Raw(p, p + 2);
      p += 2;
    } else if (c == '%') {
      FormatDetail::ParsedSpecification spec;
      if (!FormatDetail::ParseSpecification(p, count, sequential, spec)) {
        // FormatArgs stops at the same place; the rest goes along unchanged.
        writer.Raw(p, p + std::strlen(p));
        break;
      }
      writer.Raw(p, spec.end);
      p = spec.end;
      ++placeholderCount;
    } else if (c == '{') {
      ++p;
      Placeholder placeholder;
      if (!ReadPlaceholder(p, placeholder)) break;
      std::size_t index = ++placeholderCount;
      if (index > count) continue;
      const FieldValue& value = typedValues[index - 1];
      if (placeholder.typedName && !HasTypedNameSuffix(placeholder.name)) {
        placeholder.name += TypedNameSuffix(value.kind);
      }
      if (placeholder.hasAlternative && value.IsEmptyOrZero()) {
        writer.Text(placeholder.alternative);
        continue;
      }
      if (!placeholder.name.empty()) fields.emplace_back(placeholder.name, value);
      if (placeholder.hidden) {
        writer.TrimTrailingBlanks();
        continue;
      }
      writer.Argument(index, placeholder);
    } else {
      writer.Literal(c);
      ++p;
    }
  }
}

}  // namespace Vela::Sdk
