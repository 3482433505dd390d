// URL templates as regular expressions, and the matcher that runs them.
#include "sdk/api/url_pattern.h"

#include <cstring>

namespace Vela::Sdk {
namespace {

constexpr const char* kSegmentGroup = "([^/]*)";
constexpr const char* kRestGroup = "(.*)";

bool NeedsEscape(char c) { return c != '\0' && std::strchr("^$.*+?()[]|\\}", c) != nullptr; }

/// The template's pattern text and the same pattern in the matcher's form.
struct Translation {
  std::string pattern;
  std::string head;
  std::vector<UrlPattern::Group> groups;
};

void AppendLiteral(Translation& out, char c) {
  if (NeedsEscape(c)) out.pattern += '\\';
  out.pattern += c;
  (out.groups.empty() ? out.head : out.groups.back().literalAfter) += c;
}

Translation Translate(std::string_view urlTemplate, std::vector<std::string>& names) {
  enum class State { kOutside, kName, kReservedName, kFragmentName };
  Translation out;
  State state = State::kOutside;
  bool firstInName = false;
  std::string name;
  auto closeName = [&] {
    if (state == State::kFragmentName) AppendLiteral(out, '#');
    out.pattern += state == State::kName ? kSegmentGroup : kRestGroup;
    out.groups.push_back({state == State::kName ? UrlPattern::GroupKind::kSegment : UrlPattern::GroupKind::kRest, {}});
    names.push_back(std::move(name));
    name.clear();
    state = State::kOutside;
  };
  for (char c : urlTemplate) {
    if (state == State::kOutside) {
      if (c == '{') {
        state = State::kName;
        firstInName = true;
      } else {
        AppendLiteral(out, c);
      }
    } else if (c == '}') {
      closeName();
    } else if (firstInName && c == '+') {
      state = State::kReservedName;
      firstInName = false;
    } else if (firstInName && c == '#') {
      state = State::kFragmentName;
      firstInName = false;
    } else {
      name += c;
      firstInName = false;
    }
  }
  if (state != State::kOutside) closeName();
  return out;
}

bool LiteralAt(std::string_view url, size_t position, std::string_view literal) {
  return url.size() - position >= literal.size() && url.compare(position, literal.size(), literal) == 0;
}

/// "[^/]" takes every byte but "/"; "." every byte but the ECMAScript line terminators.
bool GroupTakes(UrlPattern::GroupKind kind, char c) {
  return kind == UrlPattern::GroupKind::kSegment ? c != '/' : c != '\n' && c != '\r';
}

}  // namespace

std::string TemplateToRegex(std::string_view urlTemplate, std::vector<std::string>& names) {
  return Translate(urlTemplate, names).pattern;
}

UrlPattern::UrlPattern(std::string_view urlTemplate, std::vector<std::string>& names) {
  Translation translation = Translate(urlTemplate, names);
  pattern_ = std::move(translation.pattern);
  head_ = std::move(translation.head);
  groups_ = std::move(translation.groups);
  if (pattern_.size() <= kLongestCompiledPattern) {
    regex_.emplace(pattern_, std::regex::ECMAScript | std::regex::optimize);
  }
}

bool UrlPattern::Match(std::string_view url, std::vector<std::string_view>& captures) const {
  captures.clear();
  if (!LiteralAt(url, 0, head_)) return false;
  const size_t count = groups_.size();
  if (count == 0) return url.size() == head_.size();
  const size_t length = url.size();

  // reaches[i][p]: group i starting at p, and everything after it, can end exactly at the end of
  // the URL. Only groups after the first need it; the last group's end is fixed by its literal.
  std::vector<std::vector<bool>> reaches(count);
  auto tailFits = [&](size_t i, size_t end) {
    const std::string& literal = groups_[i].literalAfter;
    if (!LiteralAt(url, end, literal)) return false;
    return i + 1 == count ? end + literal.size() == length : reaches[i + 1][end + literal.size()];
  };
  for (size_t i = count - 1; i >= 1; --i) {
    std::vector<bool>& row = reaches[i];
    row.assign(length + 1, false);
    bool reach = tailFits(i, length);
    row[length] = reach;
    for (size_t p = length; p-- > 0;) {
      reach = tailFits(i, p) || (reach && GroupTakes(groups_[i].kind, url[p]));
      row[p] = reach;
    }
  }

  // Greedy like the ECMAScript matcher: each group takes the longest run that leaves the rest
  // able to match.
  size_t start = head_.size();
  for (size_t i = 0; i < count; ++i) {
    size_t limit = start;
    while (limit < length && GroupTakes(groups_[i].kind, url[limit])) ++limit;
    size_t end = limit;
    if (i + 1 == count) {
      const size_t literalSize = groups_[i].literalAfter.size();
      if (length - start < literalSize) return false;
      end = length - literalSize;
      if (end > limit || !tailFits(i, end)) return false;
    } else {
      while (!tailFits(i, end)) {
        if (end == start) return false;
        --end;
      }
    }
    captures.push_back(url.substr(start, end - start));
    start = end + groups_[i].literalAfter.size();
  }
  return true;
}

}  // namespace Vela::Sdk
