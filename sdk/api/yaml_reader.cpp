// How libyaml's events build a BindingValue: for most documents a scratch-stack tree builder, and
// for the rest a stack of open nodes with the path that leads to each, the pending mapping key,
// anchors and their alias copies; and the typing of scalars.
#include "sdk/api/yaml_reader.h"

#include <yaml.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sdk/api/yaml_scalar.h"
#include "sdk/binding/fnv1a.h"
#include "sdk/binding/number_text.h"
#include "sdk/binding/value_tree_builder.h"
#include "sdk/diag/format.h"

namespace Vela::Sdk {
namespace {

// libyaml reports running out of memory without a problem text of its own.
constexpr const char* kOutOfMemoryProblem = "out of memory";

constexpr std::string_view kTagString = "tag:yaml.org,2002:str";
constexpr std::string_view kTagInteger = "tag:yaml.org,2002:int";
constexpr std::string_view kTagFloat = "tag:yaml.org,2002:float";
constexpr std::string_view kTagBool = "tag:yaml.org,2002:bool";

// Tagged numbers convert as value conversion converts texts, with "yaml" as the target.
constexpr const char* kNumberTarget = "yaml";
constexpr const char* kSignedTypeName = "int64_t";
constexpr const char* kUnsignedTypeName = "uint64_t";
constexpr const char* kDoubleTypeName = "double";

// ---- The event reader ----

struct PathStep {
  std::string name;
  std::size_t index = 0;
  bool isIndex = false;
};

// What an anchor names: a node, by its path from the root, or a mapping key, by its text.
struct Anchor {
  std::vector<PathStep> path;
  std::string keyText;
  bool isKey = false;
};

struct OpenNode {
  BindingValue* value;
  bool anchored;  // its anchor name is on openAnchors_
};

// Where an event goes. A container it starts is pushed; a scalar or an alias copy is written in
// place and never costs a push, which is most of the events.
struct Target {
  BindingValue* value;
  bool entered;  // a new element or member below the top node, not the top node itself
  bool isIndex;  // entered as element `index`; otherwise as the member named by the pending key
  std::size_t index;
};

std::string_view TextOf(const yaml_char_t* text) {
  return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

class YamlEventReader {
 public:
  explicit YamlEventReader(BindingValue& root) : root_(root) { nodes_.push_back({&root_, false}); }

  // Returns false once the reading failed; Error() then holds the message.
  bool Handle(const yaml_event_t& event);
  const std::string& Error() const { return error_; }

 private:
  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }
  bool FailAt(const char* format, const yaml_event_t& event) {
    return Fail(Format(format, event.start_mark.line + 1, event.start_mark.column + 1));
  }
  bool FailAt(const char* format, std::string_view name, const yaml_event_t& event) {
    return Fail(Format(format, name, event.start_mark.line + 1, event.start_mark.column + 1));
  }

  // The key text stays in pendingKey_ until the next key replaces it.
  PathStep StepTo(const Target& target) const {
    return target.isIndex ? PathStep{{}, target.index, true} : PathStep{pendingKey_, 0, false};
  }
  void Enter(const Target& target) {
    if (!target.entered) return;
    nodes_.push_back({target.value, false});
    path_.push_back(StepTo(target));
  }
  void Pop() {
    if (nodes_.back().anchored) openAnchors_.pop_back();
    nodes_.pop_back();
    // Only the root has no step, and it is the last node to leave.
    if (!path_.empty()) path_.pop_back();
  }
  // A scalar or alias written into the top node itself (the root) closes it.
  void Leave(const Target& target) {
    if (!target.entered) Pop();
  }
  // Level of a target: 0 for the root.
  std::size_t Level(const Target& target) const { return path_.size() + (target.entered ? 1 : 0); }

  bool RecordAnchor(const yaml_char_t* name, Anchor anchor, const yaml_event_t& event) {
    auto [position, inserted] = anchors_.try_emplace(std::string(TextOf(name)), std::move(anchor));
    if (!inserted) return FailAt(YamlText::kDuplicateAnchor, position->first, event);
    return true;
  }
  // An entered leaf is not on the stack, so its step is added here; a container is recorded once
  // pushed, as the top node (entered false).
  bool RecordNodeAnchor(const yaml_char_t* name, const Target& target, const yaml_event_t& event) {
    if (name == nullptr) return true;
    Anchor anchor{path_, {}, false};
    if (target.entered) anchor.path.push_back(StepTo(target));
    return RecordAnchor(name, std::move(anchor), event);
  }

  bool Scalar(const yaml_event_t& event, const Target& target, bool isKey);
  bool StartCollection(const yaml_event_t& event, const Target& target, const yaml_char_t* anchor, bool sequence);
  bool Alias(const yaml_event_t& event, const Target& target, bool isKey);
  const BindingValue* Follow(const std::vector<PathStep>& path) const;
  bool Measure(const BindingValue& value, std::size_t level, std::size_t& nodes, std::size_t& height) const;

  BindingValue& root_;
  std::vector<OpenNode> nodes_;
  std::vector<PathStep> path_;
  std::string pendingKey_;
  // A flag beside the text, so that the empty text is a key like any other.
  bool hasPendingKey_ = false;
  std::unordered_map<std::string, Anchor, Fnv1aTextHasher, std::equal_to<>> anchors_;
  std::vector<std::string_view> openAnchors_;
  std::size_t aliasNodes_ = 0;
  std::string error_;
};

bool YamlEventReader::Handle(const yaml_event_t& event) {
  switch (event.type) {
    case YAML_NO_EVENT:
    case YAML_STREAM_START_EVENT:
    case YAML_STREAM_END_EVENT:
    case YAML_DOCUMENT_END_EVENT: return true;
    case YAML_DOCUMENT_START_EVENT:
      if (!root_.IsEmpty()) return Fail(YamlText::kMultiDocument);
      // An earlier document that held only a null scalar has closed the root already.
      nodes_.assign(1, {&root_, false});
      path_.clear();
      openAnchors_.clear();
      anchors_.clear();
      hasPendingKey_ = false;
      return true;
    default: break;
  }

  if (nodes_.empty()) nodes_.push_back({&root_, false});
  BindingValue& top = *nodes_.back().value;
  Target target{&top, false, false, 0};
  if (top.Kind() == ValueKind::Collection && event.type != YAML_SEQUENCE_END_EVENT) {
    target.index = top.Size();
    target.value = &top.Append();
    target.entered = true;
    target.isIndex = true;
  } else if (top.Kind() == ValueKind::Structure && hasPendingKey_) {
    target.value = &top.MemberForWriting(pendingKey_);
    target.entered = true;
    hasPendingKey_ = false;
  }
  // A structure that is not a freshly entered member is waiting for its next key.
  bool atKey = !target.entered && target.value->Kind() == ValueKind::Structure;

  switch (event.type) {
    case YAML_SCALAR_EVENT: return Scalar(event, target, atKey);
    case YAML_SEQUENCE_START_EVENT: return StartCollection(event, target, event.data.sequence_start.anchor, true);
    case YAML_MAPPING_START_EVENT: return StartCollection(event, target, event.data.mapping_start.anchor, false);
    case YAML_SEQUENCE_END_EVENT:
    case YAML_MAPPING_END_EVENT: Pop(); return true;
    case YAML_ALIAS_EVENT: return Alias(event, target, atKey);
    default: return true;
  }
}

bool YamlEventReader::Scalar(const yaml_event_t& event, const Target& into, bool isKey) {
  const auto& scalar = event.data.scalar;
  BindingValue& target = *into.value;
  const char* text = reinterpret_cast<const char*>(scalar.value);
  std::string_view tag = TextOf(scalar.tag);
  if (isKey) {
    if (scalar.tag != nullptr && tag != kTagString) return FailAt(YamlText::kInvalidKey, event);
    pendingKey_.assign(text, scalar.length);
    hasPendingKey_ = true;
    if (scalar.anchor == nullptr) return true;
    return RecordAnchor(scalar.anchor, Anchor{{}, pendingKey_, true}, event);
  }

  if (scalar.tag != nullptr) {
    std::string_view value(text, scalar.length);
    if (tag == kTagString) {
      target.SetString(value);
    } else if (tag == kTagInteger || tag == kTagFloat) {
      // The conversion fails a result of its own: failing the one being built would free the
      // nodes this reader still points at.
      BindingResult conversion;
      if (tag == kTagFloat) {
        double number = 0.0;
        if (!FloatFromText(conversion, value, kNumberTarget, kDoubleTypeName, std::numeric_limits<double>::max(),
                           number)) {
          return Fail(std::string(conversion.ErrorText()));
        }
        target.SetFloat(number);
      } else if (!value.empty() && value[0] == '-') {
        int64_t number = 0;
        if (!SignedFromText(conversion, value, kNumberTarget, kSignedTypeName, std::numeric_limits<int64_t>::min(),
                            std::numeric_limits<int64_t>::max(), number)) {
          return Fail(std::string(conversion.ErrorText()));
        }
        target.SetSigned(number);
      } else {
        uint64_t number = 0;
        if (!UnsignedFromText(conversion, value, kNumberTarget, kUnsignedTypeName, std::numeric_limits<uint64_t>::max(),
                              number)) {
          return Fail(std::string(conversion.ErrorText()));
        }
        target.SetUnsigned(number);
      }
    } else if (tag == kTagBool) {
      int boolWord = YamlBoolWord(value);
      if (boolWord >= 0) target.SetBool(boolWord == 1);
    } else {
      return Fail(Format(YamlText::kUnsupportedTag, tag));
    }
  } else if (scalar.style == YAML_PLAIN_SCALAR_STYLE) {
    SetPlainScalar(target, text, scalar.length);
  } else {
    target.SetString(std::string_view(text, scalar.length));
  }
  if (!RecordNodeAnchor(scalar.anchor, into, event)) return false;
  Leave(into);
  return true;
}

bool YamlEventReader::StartCollection(const yaml_event_t& event, const Target& into, const yaml_char_t* anchor,
                                      bool sequence) {
  BindingValue& target = *into.value;
  if (target.Kind() == ValueKind::Structure) {
    return FailAt(sequence ? YamlText::kUnexpectedSequence : YamlText::kUnexpectedMapping, event);
  }
  if (Level(into) >= kMaxYamlDepth) return FailAt(YamlText::kTooDeep, event);
  if (sequence) {
    target.MakeCollection();
  } else {
    target.MakeStructure();
  }
  Enter(into);
  if (anchor == nullptr) return true;
  Target top{&target, false, false, 0};
  if (!RecordNodeAnchor(anchor, top, event)) return false;
  nodes_.back().anchored = true;
  openAnchors_.push_back(anchors_.find(TextOf(anchor))->first);
  return true;
}

const BindingValue* YamlEventReader::Follow(const std::vector<PathStep>& path) const {
  const BindingValue* node = &root_;
  for (const PathStep& step : path) {
    if (step.isIndex) {
      if (node->Kind() != ValueKind::Collection || step.index >= node->Size()) return nullptr;
      node = &node->Elements()[step.index];
    } else {
      node = node->FindMember(step.name);
      if (node == nullptr) return nullptr;
    }
  }
  return node;
}

// Counts the nodes of a tree and its container height; false as soon as the count passes what the
// alias budget has left, so that measuring costs no more than the copy would be allowed to.
bool YamlEventReader::Measure(const BindingValue& value, std::size_t level, std::size_t& nodes,
                              std::size_t& height) const {
  if (++nodes > kMaxYamlAliasNodes - aliasNodes_) return false;
  if (value.Kind() == ValueKind::Collection) {
    if (level + 1 > height) height = level + 1;
    for (const BindingValue& element : value.Elements()) {
      if (!Measure(element, level + 1, nodes, height)) return false;
    }
  } else if (value.Kind() == ValueKind::Structure) {
    if (level + 1 > height) height = level + 1;
    for (BindingValue::MemberEntry member : value.Members()) {
      if (!Measure(member.value, level + 1, nodes, height)) return false;
    }
  }
  return true;
}

bool YamlEventReader::Alias(const yaml_event_t& event, const Target& into, bool isKey) {
  BindingValue& target = *into.value;
  std::string_view name = TextOf(event.data.alias.anchor);
  for (std::string_view open : openAnchors_) {
    if (open == name) return FailAt(YamlText::kCyclicAlias, name, event);
  }
  auto found = anchors_.find(name);
  if (found == anchors_.end()) return FailAt(YamlText::kUndefinedAlias, name, event);
  const Anchor& anchor = found->second;

  if (anchor.isKey) {
    if (isKey) {
      pendingKey_ = anchor.keyText;
      hasPendingKey_ = true;
      return true;
    }
    target.SetString(anchor.keyText);
    Leave(into);
    return true;
  }

  // The path may lead nowhere now: a later value for a repeated key can have replaced the node.
  const BindingValue* source = Follow(anchor.path);
  if (source == nullptr) return FailAt(YamlText::kUndefinedAlias, name, event);
  if (isKey) {
    // An alias of a string scalar is a key like the scalar itself; anything else is not.
    if (source->Kind() != ValueKind::String) return FailAt(YamlText::kInvalidKey, event);
    pendingKey_ = std::string(source->GetString());
    hasPendingKey_ = true;
    return true;
  }

  aliasNodes_ += std::min(anchor.path.size(), kMaxYamlAliasNodes - aliasNodes_);
  std::size_t nodes = 0;
  std::size_t height = 0;
  if (!Measure(*source, 0, nodes, height)) return FailAt(YamlText::kTooManyAliasNodes, event);
  aliasNodes_ += nodes;
  if (Level(into) + height > kMaxYamlDepth) return FailAt(YamlText::kTooDeep, event);
  target = *source;
  Leave(into);
  return true;
}

// ---- The common case on a scratch stack ----

// Most documents are one tree of untagged scalars with scalar keys: read those through a
// ValueTreeBuilder, which makes every container once. Anything else (anchors, aliases, tags on
// scalars, keys that are not scalars, a repeated key, a second document, nesting at the limit,
// a parser error) stops it, and the text is read again by YamlEventReader, which knows every
// rule and every message.
class YamlTreeReader {
 public:
  explicit YamlTreeReader(BindingValue& root) noexcept : builder_(root) {}

  // False when the text is to be read by YamlEventReader.
  bool Handle(const yaml_event_t& event) {
    switch (event.type) {
      case YAML_NO_EVENT:
      case YAML_STREAM_START_EVENT:
      case YAML_STREAM_END_EVENT:
      case YAML_DOCUMENT_END_EVENT: return true;
      case YAML_DOCUMENT_START_EVENT: return ++documents_ == 1;
      case YAML_SCALAR_EVENT: return Scalar(event.data.scalar);
      case YAML_SEQUENCE_START_EVENT: return Start(event.data.sequence_start.anchor, false);
      case YAML_MAPPING_START_EVENT: return Start(event.data.mapping_start.anchor, true);
      case YAML_SEQUENCE_END_EVENT:
        builder_.EndCollection();
        open_.pop_back();
        return true;
      case YAML_MAPPING_END_EVENT: open_.pop_back(); return builder_.EndStructure();
      default: return false;  // aliases
    }
  }
  bool Finish() { return builder_.Finish(); }

 private:
  struct Open {
    bool mapping;
    bool atKey;  // a mapping waiting for its next key
  };

  // A value placed in a mapping makes the mapping wait for its next key.
  void Placed() {
    if (!open_.empty() && open_.back().mapping) open_.back().atKey = true;
  }

  bool Scalar(const decltype(yaml_event_t::data.scalar)& scalar) {
    if (scalar.anchor != nullptr || scalar.tag != nullptr) return false;
    const char* text = reinterpret_cast<const char*>(scalar.value);
    if (!open_.empty() && open_.back().atKey) {
      builder_.Key(std::string_view(text, scalar.length));
      open_.back().atKey = false;
      return true;
    }
    if (scalar.style == YAML_PLAIN_SCALAR_STYLE) {
      SetPlainScalar(builder_, text, scalar.length);
    } else {
      builder_.String(std::string_view(text, scalar.length));
    }
    Placed();
    return true;
  }

  bool Start(const yaml_char_t* anchor, bool mapping) {
    if (anchor != nullptr || open_.size() >= kMaxYamlDepth) return false;
    if (!open_.empty() && open_.back().atKey) return false;  // a container as a key
    Placed();
    if (mapping) {
      builder_.BeginStructure();
    } else {
      builder_.BeginCollection();
    }
    open_.push_back({mapping, mapping});
    return true;
  }

  ValueTreeBuilder builder_;
  std::vector<Open> open_;
  int documents_ = 0;
};

// The libyaml parser of one reading, released however the reading ends.
class YamlParser {
 public:
  YamlParser() noexcept : ready_(yaml_parser_initialize(&parser_) != 0) {}
  ~YamlParser() {
    yaml_event_delete(&event_);
    if (ready_) yaml_parser_delete(&parser_);
  }
  YamlParser(const YamlParser&) = delete;
  YamlParser& operator=(const YamlParser&) = delete;

  bool Ready() const noexcept { return ready_; }
  void SetInput(const char* text, std::size_t length) noexcept {
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    static const unsigned char kNoText[] = "";
    yaml_parser_set_input_string(&parser_, text == nullptr ? kNoText : reinterpret_cast<const unsigned char*>(text),
                                 text == nullptr ? 0 : length);
  }
  /// The next event, or null at a parser error; the previous event is released first.
  const yaml_event_t* Next() noexcept {
    yaml_event_delete(&event_);
    return yaml_parser_parse(&parser_, &event_) != 0 ? &event_ : nullptr;
  }
  const yaml_parser_t& Parser() const noexcept { return parser_; }

 private:
  yaml_parser_t parser_;
  yaml_event_t event_{};
  bool ready_;
};

// True when the tree reader read the whole text into `result`.
bool ReadCommonCase(const char* text, std::size_t length, BindingResult& result) {
  try {
    YamlParser parser;
    if (!parser.Ready()) return false;
    parser.SetInput(text, length);
    YamlTreeReader reader(result.Value());
    for (const yaml_event_t* event = parser.Next(); event != nullptr; event = parser.Next()) {
      if (event->type == YAML_STREAM_END_EVENT) return reader.Finish();
      if (!reader.Handle(*event)) return false;
    }
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace

BindingResult YamlToValue(const char* text, std::size_t length) {
  BindingResult result;
  if (ReadCommonCase(text, length, result)) return result;
  result.Value() = BindingValue();
  yaml_parser_t parser;
  if (yaml_parser_initialize(&parser) == 0) {
    result.Fail(Format(YamlText::kParserError, kOutOfMemoryProblem, 0, 0));
    return result;
  }
  // The parser and the event are released however the reading ends, an exception included.
  struct Resources {
    yaml_parser_t& parser;
    yaml_event_t event{};
    ~Resources() {
      yaml_event_delete(&event);
      yaml_parser_delete(&parser);
    }
  } resources{parser};
  yaml_event_t& event = resources.event;

  yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
  static const unsigned char kNoText[] = "";
  yaml_parser_set_input_string(&parser, text == nullptr ? kNoText : reinterpret_cast<const unsigned char*>(text),
                               text == nullptr ? 0 : length);

  std::string error;
  try {
    YamlEventReader reader(result.Value());
    bool parsed = yaml_parser_parse(&parser, &event) != 0;
    bool ok = true;
    while (parsed && event.type != YAML_STREAM_END_EVENT) {
      ok = reader.Handle(event);
      if (!ok) break;
      yaml_event_delete(&event);
      parsed = yaml_parser_parse(&parser, &event) != 0;
    }
    if (!ok) {
      error = reader.Error();
    } else if (!parsed) {
      const char* problem = parser.problem != nullptr ? parser.problem : kOutOfMemoryProblem;
      error = Format(YamlText::kParserError, problem, parser.problem_mark.line, parser.problem_mark.column);
    }
  } catch (const std::bad_alloc&) {
    error = YamlText::kTooLarge;
  } catch (const std::length_error&) {
    error = YamlText::kTooLarge;
  }
  if (!error.empty()) result.Fail(error);
  return result;
}

BindingResult YamlToValue(std::string_view text) { return YamlToValue(text.data(), text.size()); }

}  // namespace Vela::Sdk
