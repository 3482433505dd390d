// URL templates ("/v1/messages/{messageId}") as regular expressions, and the matcher that runs
// them.
//
// A template becomes an ECMAScript pattern: literal text with "^$.*+?()[]|\" escaped, "{name}"
// as "([^/]*)", "{+name}" as "(.*)" and "{#name}" as "#(.*)". Templates are the application's own
// texts, but one with unbalanced braces still translates so that every group has exactly one
// name: a "}" outside braces is a literal "}", a "{" inside braces is part of the name, and a
// template that ends inside braces is closed as if a "}" followed.
//
// The pattern is compiled with std::regex when the route is built, so a pattern the library
// refuses raises its std::regex_error there. The library's compiler recurses once per pattern
// element, so a pattern longer than kLongestCompiledPattern is not given to it (the translation
// above cannot produce an invalid pattern anyway). Matching does not use the compiled expression:
// the library's matcher recurses once per input character and overflows the stack on long URLs. The patterns above
// are sequences of literals and greedy single-class groups, and UrlPattern::Match finds exactly
// the full match the ECMAScript matcher finds (first group as long as possible, then the next,
// and so on) without recursion: one backward pass per group after the first records where the
// rest of the pattern can still reach the end, then one forward pass picks each group's end.
// Time is O(groups × URL length); memory is one bit per URL byte for each group after the first.
#pragma once

#include <cstddef>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace Vela::Sdk {

/// Longest pattern handed to the regex library's compiler; real route patterns are far shorter.
inline constexpr size_t kLongestCompiledPattern = 4096;

/// ECMAScript pattern for `urlTemplate`; appends each parameter name to `names`, one per group.
std::string TemplateToRegex(std::string_view urlTemplate, std::vector<std::string>& names);

/// A template compiled for matching whole URLs.
class UrlPattern {
 public:
  /// Appends the parameter names to `names`; throws std::regex_error when the library refuses
  /// the pattern.
  UrlPattern(std::string_view urlTemplate, std::vector<std::string>& names);

  /// The pattern as given to the regex library.
  const std::string& Pattern() const { return pattern_; }
  /// The compiled expression, with its locale; null for a pattern too long to compile.
  const std::regex* Regex() const { return regex_ ? &*regex_ : nullptr; }
  size_t GroupCount() const { return groups_.size(); }

  /// Full match of `url`. On success `captures` holds one view into `url` per group, in order.
  bool Match(std::string_view url, std::vector<std::string_view>& captures) const;

  enum class GroupKind { kSegment, kRest };  // "([^/]*)" or "(.*)"
  /// A capture group and the literal text that follows it.
  struct Group {
    GroupKind kind;
    std::string literalAfter;
  };

 private:
  std::string pattern_;
  std::optional<std::regex> regex_;
  std::string head_;  // literal text before the first group
  std::vector<Group> groups_;
};

}  // namespace Vela::Sdk
