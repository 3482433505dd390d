// Argument binding: headers, path, query, typed arguments and body into parameter values.
#include "sdk/api/argument_binding.h"

#include <unordered_map>

#include "sdk/api/content_decoding.h"
#include "sdk/api/url_decode.h"
#include "sdk/binding/flat_value_conversion.h"
#include "sdk/binding/function_descriptor.h"
#include "sdk/binding/number_text.h"
#include "sdk/diag/ascii.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {

namespace {

std::string_view TextOrEmpty(const char* text) noexcept { return text == nullptr ? std::string_view() : text; }

/// The parameter named exactly `name`, or -1.
std::ptrdiff_t FindParameter(const FunctionDescriptor& function, std::string_view name) noexcept {
  const uint32_t hash = Fnv1a(name);
  for (std::size_t i = 0; i < function.arguments.size(); ++i) {
    const ArgumentDescriptor& argument = function.arguments[i];
    if (argument.nameHash == hash && argument.name == name) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

ArgumentLocation AllowedLocation(std::span<const ArgumentLocation> locations, std::size_t index) noexcept {
  return index < locations.size() ? locations[index] : ArgumentLocation::kAny;
}

void EnsureSized(std::vector<BindingValue>& values, const FunctionDescriptor& function) {
  if (values.size() < function.arguments.size()) values.resize(function.arguments.size());
}

bool IsStructured(BindingType type) noexcept {
  return type == kBindingObject || type == kBindingVector || type == kBindingStruct;
}

enum class IndexParse { kOk, kFormat, kRange };

/// An unsigned number as strtoul with automatic base reads it ("0x" hexadecimal, a leading 0
/// octal). Trailing characters are a format error; 2^31 and more is out of range.
IndexParse ParseIndex(std::string_view segment, uint64_t& index) noexcept {
  uint64_t value = 0;
  switch (ParseUnsignedText(segment, value)) {
    case NumberTextStatus::kIncorrectFormat: return IndexParse::kFormat;
    case NumberTextStatus::kOutOfRange: return IndexParse::kRange;
    case NumberTextStatus::kOk: break;
  }
  if (value >= (uint64_t{1} << 31)) return IndexParse::kRange;
  index = value;
  return IndexParse::kOk;
}

/// "name=text": the text decoded into the whole parameter; an empty text gives a bool true, an
/// empty structure or collection, and fails for every other type.
void ApplyWholeArgument(BindingResult& result, BindingValue& value, const FunctionDescriptor& function,
                        const ArgumentDescriptor& argument, std::string_view valueText, std::string_view contentType) {
  if (!valueText.empty()) {
    return DecodeParameterText(result, value, function, argument.name, valueText, contentType,
                               IsStructured(argument.type.type));
  }
  switch (argument.type.type) {
    case kBindingBool: value = true; return;
    case kBindingObject:
    case kBindingStruct:
      value.Clear();
      value.MakeStructure();
      return;
    case kBindingVector:
      value.Clear();
      value.MakeCollection();
      return;
    default: return result.Fail(Format(ArgumentText::kExpectedValue, argument.name));
  }
}

/// "name.member.0=text": walks `path` from the parameter's value, making structures and
/// collections on the way, and decodes the text into the last step's value.
void ApplyArgumentPath(BindingResult& result, BindingValue& value, const FunctionDescriptor& function,
                       const ArgumentDescriptor& argument, std::string_view path, std::string_view valueText,
                       std::string_view contentType, ArgumentPathBudget& budget) {
  std::size_t segmentCount = 1;
  for (char c : path) segmentCount += c == '.' ? 1 : 0;
  if (segmentCount > kMaxArgumentPathSegments) {
    return result.Fail(Format(ArgumentText::kPathTooDeep, argument.name, function.name, kMaxArgumentPathSegments));
  }
  BindingValue* current = &value;
  while (true) {
    const std::size_t end = path.find('.');
    const std::string_view segment = path.substr(0, end);
    if (!segment.empty() && segment[0] >= '0' && segment[0] <= '9') {
      uint64_t elementIndex = 0;
      switch (ParseIndex(segment, elementIndex)) {
        case IndexParse::kFormat: return result.Fail(Format(ArgumentText::kIndexFormat, segment));
        case IndexParse::kRange: return result.Fail(Format(ArgumentText::kIndexRange, segment));
        case IndexParse::kOk: break;
      }
      if (current->Kind() != ValueKind::Collection) current->MakeCollection();
      const std::size_t size = current->Size();
      if (elementIndex >= size) {
        // Growth is paid from the request's budget, so a short URL cannot ask for a huge array.
        const uint64_t growth = elementIndex + 1 - size;
        if (elementIndex > kMaxArgumentIndex || growth > budget.elementsLeft) {
          return result.Fail(Format(ArgumentText::kIndexRange, segment));
        }
        budget.elementsLeft -= static_cast<std::size_t>(growth);
      }
      current = &current->ElementForWriting(static_cast<std::size_t>(elementIndex));
    } else {
      current = &current->MemberForWriting(segment);
    }
    if (end == std::string_view::npos) break;
    path.remove_prefix(end + 1);
  }
  DecodeParameterText(result, *current, function, argument.name, valueText, contentType, false);
}

}  // namespace

ArgumentTexts ParseQuery(std::string_view url) {
  ArgumentTexts query;
  const std::size_t mark = url.find('?');
  if (mark == std::string_view::npos) return query;
  std::unordered_map<std::string, std::size_t> positions;
  std::string_view rest = url.substr(mark + 1);
  while (true) {
    const std::size_t end = rest.find('&');
    std::string_view piece = rest.substr(0, end);
    if (!piece.empty()) {
      const std::size_t equals = piece.find('=');
      std::string name = UrlDecode(piece.substr(0, equals));
      std::string text = equals == std::string_view::npos ? std::string() : UrlDecode(piece.substr(equals + 1));
      auto [found, inserted] = positions.try_emplace(name, query.size());
      if (inserted) {
        query.emplace_back(std::move(name), std::move(text));
      } else {
        query[found->second].second = std::move(text);
      }
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return query;
}

ArgumentTexts CollectHeaderArguments(const FunctionDescriptor& function, std::span<const ArgumentLocation> locations,
                                     const HostRequest& request) {
  ArgumentTexts found;
  if (request.headers == nullptr || request.headerCount == 0) return found;
  std::vector<std::size_t> wanted;
  for (std::size_t i = 0; i < function.arguments.size(); ++i) {
    ArgumentLocation allowed = AllowedLocation(locations, i);
    if (allowed == ArgumentLocation::kAny || allowed == ArgumentLocation::kHeader) wanted.push_back(i);
  }
  if (wanted.empty()) return found;
  std::unordered_map<std::string_view, std::string_view> headers;
  headers.reserve(request.headerCount < 64 ? request.headerCount : 64);
  for (uint32_t i = 0; i < request.headerCount; ++i) {
    const HostHeader& header = request.headers[i];
    if (header.name == nullptr || header.value == nullptr) continue;
    headers[header.name] = header.value;
  }
  for (std::size_t index : wanted) {
    const std::string& declared = function.arguments[index].name;
    std::string lower(declared);
    for (char& c : lower) c = LowerAscii(c);
    auto header = headers.find(lower);
    if (header != headers.end()) found.emplace_back(declared, std::string(header->second));
  }
  return found;
}

void BindArguments(BindingResult& result, std::vector<BindingValue>& values, const FunctionDescriptor& function,
                   std::span<const ArgumentLocation> locations, const ArgumentTexts& query, const PathParameters& path,
                   const ArgumentTexts& headers, ArgumentPathBudget* budget) {
  values.clear();
  values.resize(function.arguments.size());
  for (std::size_t i = 0; i < function.arguments.size(); ++i) {
    const ArgumentDescriptor& argument = function.arguments[i];
    if (argument.type.type == kBindingBool && !argument.optional && values[i].IsEmpty()) values[i] = false;
  }
  ArgumentPathBudget requestBudget;
  if (budget == nullptr) budget = &requestBudget;
  for (const auto& [name, text] : headers) {
    ApplyArgument(result, values, function, locations, name, text, {}, ArgumentLocation::kHeader, budget);
    if (!result.Ok()) return;
  }
  for (const auto& [name, text] : path) {
    ApplyArgument(result, values, function, locations, name, text, {}, ArgumentLocation::kPath, budget);
    if (!result.Ok()) return;
  }
  for (const auto& [name, text] : query) {
    ApplyArgument(result, values, function, locations, name, text, {}, ArgumentLocation::kQuery, budget);
    if (!result.Ok()) return;
  }
}

void ApplyArgument(BindingResult& result, std::vector<BindingValue>& values, const FunctionDescriptor& function,
                   std::span<const ArgumentLocation> locations, std::string_view name, std::string_view valueText,
                   std::string_view contentType, ArgumentLocation location, ArgumentPathBudget* budget) {
  if (!result.Ok()) return;
  const std::size_t dot = name.find('.');
  const std::string_view baseName = name.substr(0, dot);
  const std::ptrdiff_t found = FindParameter(function, baseName);
  if (found < 0) return result.Fail(Format(ArgumentText::kUnknownArgument, baseName, function.name));
  const auto index = static_cast<std::size_t>(found);
  const ArgumentLocation allowed = AllowedLocation(locations, index);
  if (allowed != ArgumentLocation::kAny && allowed != location) {
    return result.Fail(Format(ArgumentText::kInvalidLocation, baseName, function.name));
  }
  EnsureSized(values, function);
  const ArgumentDescriptor& argument = function.arguments[index];
  if (dot == std::string_view::npos) {
    return ApplyWholeArgument(result, values[index], function, argument, valueText, contentType);
  }
  ArgumentPathBudget callBudget;
  ApplyArgumentPath(result, values[index], function, argument, name.substr(dot + 1), valueText, contentType,
                    budget != nullptr ? *budget : callBudget);
}

void DecodeParameterText(BindingResult& result, BindingValue& target, const FunctionDescriptor& function,
                         std::string_view parameterName, std::string_view text, std::string_view contentType,
                         bool structured) {
  if (!result.Ok()) return;
  ContentReader reader = ContentReaderOf(contentType, ContentPlace::kParameter);
  if (reader == ContentReader::kNone && structured && contentType.empty()) reader = ContentReaderOfText(text);
  BindingResult decoded = DecodeContent(reader, text);
  if (!decoded.Ok()) {
    const char* message = reader == ContentReader::kMessagePack ? ArgumentText::kMessagePackParameter
                          : reader == ContentReader::kJson      ? ArgumentText::kJsonParameter
                                                                : ArgumentText::kYamlParameter;
    return result.Fail(Format(message, parameterName, function.name, decoded.ErrorText()));
  }
  target = std::move(decoded.Value());
}

void BindTypedArguments(BindingResult& result, std::vector<BindingValue>& values, const FunctionDescriptor& function,
                        const HostRequest& request, std::size_t pathParameterCount) {
  if (!result.Ok() || request.arguments == nullptr) return;
  EnsureSized(values, function);
  for (uint32_t i = 0; i < request.argumentCount; ++i) {
    const HostArgument& argument = request.arguments[i];
    std::ptrdiff_t index = -1;
    if (argument.name != nullptr) {
      index = FindParameter(function, argument.name);
      if (index < 0) return result.Fail(Format(ArgumentText::kUnknownArgument, argument.name, function.name));
    } else {
      const std::size_t position = i + pathParameterCount;
      if (position >= function.arguments.size()) {
        return result.Fail(Format(ArgumentText::kUnknownArgument, position, function.name));
      }
      index = static_cast<std::ptrdiff_t>(position);
    }
    const auto slot = static_cast<std::size_t>(index);
    BindingResult converted;
    FlatToValue(argument.value, function.arguments[slot].name, converted);
    if (!converted.Ok()) return result.Fail(converted.ErrorText());
    values[slot] = std::move(converted.Value());
  }
}

void BindBody(BindingResult& result, std::vector<BindingValue>& values, const FunctionDescriptor& function,
              std::span<const ArgumentLocation> locations, const HostRequest& request) {
  if (request.body == nullptr || request.bodyLength == 0) return;
  std::size_t index = 0;
  while (index < function.arguments.size() && AllowedLocation(locations, index) != ArgumentLocation::kBody) ++index;
  if (index == function.arguments.size()) return;
  EnsureSized(values, function);
  const std::string_view bytes(reinterpret_cast<const char*>(request.body), request.bodyLength);
  const ContentReader reader = ContentReaderOf(TextOrEmpty(request.contentType), ContentPlace::kBody);
  BindingResult decoded;
  if (reader == ContentReader::kNone) {
    decoded.Fail(ArgumentText::kUnsupportedBody);
  } else {
    std::size_t consumed = 0;
    decoded = DecodeContent(reader, bytes, &consumed);
    if (decoded.Ok() && consumed < bytes.size()) decoded.Fail(ArgumentText::kExtraMessagePack);
  }
  // A body failure is reported in place of any earlier one.
  if (!decoded.Ok()) return result.Fail(decoded.ErrorText());
  values[index] = std::move(decoded.Value());
}

}  // namespace Vela::Sdk
