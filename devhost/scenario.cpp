// Reading and running scenarios.
#include "devhost/scenario.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

#include "devhost/http_host.h"
#include "devhost/payload_codec.h"
#include "sdk/api/json_codec.h"
#include "sdk/diag/ascii.h"
#include "sdk/diag/format.h"

namespace Vela::DevHost {

using Vela::Sdk::BindingValue;
using Vela::Sdk::ValueKind;

namespace {

constexpr const char* kActions[] = {"set", "delete", "lcds", "call", "host", "wait"};
constexpr const char* kStepKeys[] = {"name", "set",  "delete",      "lcds",    "call",  "host",
                                     "wait", "body", "contentType", "headers", "expect"};
constexpr const char* kExpectKeys[] = {"status", "body", "bodyIncludes", "events", "logs", "invocations"};

template <std::size_t N>
bool OneOf(std::string_view name, const char* const (&names)[N]) {
  for (const char* known : names) {
    if (name == known) return true;
  }
  return false;
}

bool IsNumber(const BindingValue& value) {
  return value.Kind() == ValueKind::Signed || value.Kind() == ValueKind::Unsigned || value.Kind() == ValueKind::Float;
}

bool NumbersEqual(const BindingValue& a, const BindingValue& b) {
  if (a.Kind() == ValueKind::Float || b.Kind() == ValueKind::Float) {
    auto asDouble = [](const BindingValue& v) {
      return v.Kind() == ValueKind::Float    ? v.GetFloat()
             : v.Kind() == ValueKind::Signed ? static_cast<double>(v.GetSigned())
                                             : static_cast<double>(v.GetUnsigned());
    };
    return asDouble(a) == asDouble(b);
  }
  // Whole numbers compare exactly; a negative one never equals an unsigned one.
  bool aNegative = a.Kind() == ValueKind::Signed && a.GetSigned() < 0;
  bool bNegative = b.Kind() == ValueKind::Signed && b.GetSigned() < 0;
  if (aNegative || bNegative) return aNegative && bNegative && a.GetSigned() == b.GetSigned();
  auto magnitude = [](const BindingValue& v) {
    return v.Kind() == ValueKind::Signed ? static_cast<uint64_t>(v.GetSigned()) : v.GetUnsigned();
  };
  return magnitude(a) == magnitude(b);
}

std::optional<int> WholeNumber(const BindingValue& value) {
  if (value.Kind() == ValueKind::Unsigned && value.GetUnsigned() < 1000) return static_cast<int>(value.GetUnsigned());
  if (value.Kind() == ValueKind::Signed && value.GetSigned() >= 0 && value.GetSigned() < 1000) {
    return static_cast<int>(value.GetSigned());
  }
  return std::nullopt;
}

std::optional<double> Seconds(const BindingValue& value) {
  double seconds = value.Kind() == ValueKind::Float      ? value.GetFloat()
                   : value.Kind() == ValueKind::Unsigned ? static_cast<double>(value.GetUnsigned())
                   : value.Kind() == ValueKind::Signed   ? static_cast<double>(value.GetSigned())
                                                         : -1;
  if (!(seconds >= 0) || seconds > 3600) return std::nullopt;
  return seconds;
}

bool ParseExpect(const BindingValue& expect, ScenarioExpectation& out, std::string& error) {
  if (expect.Kind() != ValueKind::Structure) {
    error = "\"expect\" must be a mapping";
    return false;
  }
  for (const auto& member : expect.Members()) {
    if (!OneOf(member.name, kExpectKeys)) {
      error = "unknown expectation \"" + std::string(member.name) + "\"";
      return false;
    }
  }
  if (const BindingValue* status = expect.FindMember("status")) {
    out.status = WholeNumber(*status);
    if (!out.status || *out.status < 100 || *out.status > 599) {
      error = "\"status\" must be an HTTP status from 100 to 599";
      return false;
    }
  }
  if (const BindingValue* body = expect.FindMember("body")) out.body = *body;
  if (const BindingValue* body = expect.FindMember("bodyIncludes")) out.bodyIncludes = *body;
  struct ListKey {
    const char* name;
    std::optional<BindingValue>* target;
  } lists[] = {{"events", &out.events}, {"logs", &out.logs}, {"invocations", &out.invocations}};
  for (const ListKey& key : lists) {
    const BindingValue* list = expect.FindMember(key.name);
    if (list == nullptr) continue;
    // An empty YAML sequence and "none" read alike: nothing of that kind may happen.
    if (list->Kind() != ValueKind::Collection && !list->IsEmpty()) {
      error = "\"" + std::string(key.name) + "\" must be a list";
      return false;
    }
    BindingValue copy = *list;
    copy.MakeCollection();
    *key.target = std::move(copy);
  }
  return true;
}

bool ParseStep(const BindingValue& entry, ScenarioStep& step, std::string& error) {
  if (entry.Kind() != ValueKind::Structure) {
    error = "a step must be a mapping";
    return false;
  }
  const char* action = nullptr;
  for (const auto& member : entry.Members()) {
    if (!OneOf(member.name, kStepKeys)) {
      error = "unknown key \"" + std::string(member.name) + "\"";
      return false;
    }
    if (!OneOf(member.name, kActions)) continue;
    if (action != nullptr) {
      error = "more than one action (\"" + std::string(action) + "\" and \"" + std::string(member.name) + "\")";
      return false;
    }
    for (const char* known : kActions) {
      if (member.name == known) action = known;
    }
  }
  if (action == nullptr) {
    error = "no action: one of set, delete, lcds, call, host, wait";
    return false;
  }
  step.name = std::string(entry.Member("name").GetString());
  const BindingValue& argument = entry.Member(action);
  std::string_view text = argument.GetString();
  std::string_view name = action;
  if (name == "set" || name == "delete" || name == "lcds") {
    if (text.empty()) {
      error = "\"" + std::string(name) + "\" needs " + (name == "lcds" ? "a type name" : "a URL");
      return false;
    }
    step.action = name == "set"      ? ScenarioStep::Action::kSet
                  : name == "delete" ? ScenarioStep::Action::kDelete
                                     : ScenarioStep::Action::kLcds;
    step.target = std::string(text);
  } else if (name == "call") {
    std::size_t space = text.find(' ');
    if (space == std::string_view::npos || space == 0 || space + 1 >= text.size() || text[space + 1] != '/') {
      error = "\"call\" needs a method and a URL, as in \"GET /path\"";
      return false;
    }
    step.action = ScenarioStep::Action::kCall;
    step.method = std::string(text.substr(0, space));
    step.target = std::string(text.substr(space + 1));
  } else if (name == "host") {
    const BindingValue& fails = argument.Member("lcdsInvokeFails");
    if (argument.Kind() != ValueKind::Structure || argument.Size() != 1 || fails.Kind() != ValueKind::Bool) {
      error = "\"host\" takes {lcdsInvokeFails: true or false}";
      return false;
    }
    step.action = ScenarioStep::Action::kHost;
    step.lcdsInvokeFails = fails.GetBool();
  } else {
    std::optional<double> seconds = Seconds(argument);
    if (!seconds) {
      error = "\"wait\" needs a number of seconds from 0 to 3600";
      return false;
    }
    step.action = ScenarioStep::Action::kWait;
    step.seconds = *seconds;
  }
  if (const BindingValue* body = entry.FindMember("body")) step.body = *body;
  if ((step.action == ScenarioStep::Action::kSet || step.action == ScenarioStep::Action::kLcds) && !step.body) {
    error = "\"" + std::string(name) + "\" needs a \"body\"";
    return false;
  }
  step.contentType = std::string(entry.Member("contentType").GetString());
  for (const auto& header : entry.Member("headers").Members()) {
    std::string lower(header.name);
    for (char& c : lower) c = Vela::Sdk::LowerAscii(c);
    step.headers.emplace_back(lower, std::string(header.value.GetString()));
  }
  if (const BindingValue* expect = entry.FindMember("expect")) return ParseExpect(*expect, step.expect, error);
  return true;
}

const char* ActionName(ScenarioStep::Action action) {
  switch (action) {
    case ScenarioStep::Action::kSet: return "set";
    case ScenarioStep::Action::kDelete: return "delete";
    case ScenarioStep::Action::kLcds: return "lcds";
    case ScenarioStep::Action::kCall: return "call";
    case ScenarioStep::Action::kHost: return "host";
    case ScenarioStep::Action::kWait: return "wait";
  }
  return "";
}

std::string ListJson(const std::vector<BindingValue>& records) {
  BindingValue list;
  list.MakeCollection();
  for (const BindingValue& record : records) list.Append() = record;
  return ToJson(list);
}

// Each expected record must match a part of a later actual record than the one before.
bool InOrder(const BindingValue& expected, const std::vector<BindingValue>& actual) {
  std::size_t next = 0;
  for (const BindingValue& wanted : expected.Elements()) {
    while (next < actual.size() && !ValueMatches(wanted, actual[next], true)) ++next;
    if (next == actual.size()) return false;
    ++next;
  }
  return true;
}

HttpReply Execute(const ScenarioStep& step, HttpHost& host) {
  switch (step.action) {
    case ScenarioStep::Action::kSet: return host.PutResource(step.target, *step.body);
    case ScenarioStep::Action::kDelete: return host.DeleteResource(step.target);
    case ScenarioStep::Action::kLcds: {
      BindingValue message;
      message.MemberForWriting("typeName") = std::string_view(step.target);
      message.MemberForWriting("body") = *step.body;
      return host.DeliverLcds(message);
    }
    case ScenarioStep::Action::kHost:
      host.SetLcdsInvokeFails(step.lcdsInvokeFails);
      return JsonReply(200, step.lcdsInvokeFails ? "true" : "false");
    case ScenarioStep::Action::kWait: host.Loop().RunFor(step.seconds); return HttpReply{204, {}, {}, {}};
    case ScenarioStep::Action::kCall: break;
  }
  std::string body, contentType = step.contentType;
  if (step.body) {
    if (step.body->Kind() == ValueKind::String && !contentType.empty()) {
      body = std::string(step.body->GetString());
    } else {
      body = ToJson(*step.body);
      if (contentType.empty()) contentType = kJsonContentType;
    }
  }
  HttpCall call = MakeCall(step.method, step.target, body, contentType);
  for (const auto& header : step.headers) call.headers.push_back(header);
  return host.Handle(call);
}

std::string Check(const ScenarioStep& step, const HttpReply& reply, HttpHost& host, uint64_t events, uint64_t logs,
                  uint64_t invocations) {
  const ScenarioExpectation& expect = step.expect;
  std::string got = std::to_string(reply.status) + (reply.body.empty() ? "" : " " + reply.body);
  if (expect.status && *expect.status != reply.status) {
    return "expected status " + std::to_string(*expect.status) + ", got " + got;
  }
  if (!expect.status && step.action != ScenarioStep::Action::kCall && (reply.status < 200 || reply.status > 299)) {
    return "the host refused it: " + got;
  }
  if (expect.body || expect.bodyIncludes) {
    Vela::Sdk::BindingResult decoded = Vela::Sdk::JsonToValue(reply.body);
    const BindingValue& actual = decoded.Ok() ? decoded.Value() : BindingValue::EmptyValue();
    if (expect.body && !ValueMatches(*expect.body, actual, false)) {
      return "expected body " + ToJson(*expect.body) + ", got " + got;
    }
    if (expect.bodyIncludes && !ValueMatches(*expect.bodyIncludes, actual, true)) {
      return "expected a body including " + ToJson(*expect.bodyIncludes) + ", got " + got;
    }
  }
  if (expect.events) {
    std::vector<BindingValue> fired = host.EventsSince(events);
    bool same = fired.size() == expect.events->Size();
    for (std::size_t i = 0; same && i < fired.size(); ++i) {
      same = ValueMatches(expect.events->Element(i), fired[i], true);
    }
    if (!same) return "expected events " + ToJson(*expect.events) + ", fired " + ListJson(fired);
  }
  if (expect.logs) {
    std::vector<BindingValue> sent = host.LogsSince(logs);
    if (!InOrder(*expect.logs, sent) || (expect.logs->Size() == 0 && !sent.empty())) {
      return "expected log records " + ToJson(*expect.logs) + ", got " + ListJson(sent);
    }
  }
  if (expect.invocations) {
    std::vector<BindingValue> made = host.InvocationsSince(invocations);
    if (!InOrder(*expect.invocations, made) || (expect.invocations->Size() == 0 && !made.empty())) {
      return "expected LCDS invocations " + ToJson(*expect.invocations) + ", got " + ListJson(made);
    }
  }
  return {};
}

}  // namespace

std::string ScenarioStep::Label() const {
  std::string label = "step " + std::to_string(number);
  if (!name.empty()) label += " \"" + name + "\"";
  label += " (" + std::string(ActionName(action));
  if (action == Action::kCall) label += " " + method;
  if (!target.empty()) label += " " + target;
  return label + ")";
}

bool ValueMatches(const BindingValue& expected, const BindingValue& actual, bool part) {
  if (IsNumber(expected) && IsNumber(actual)) return NumbersEqual(expected, actual);
  if (expected.Kind() != actual.Kind()) return false;
  switch (expected.Kind()) {
    case ValueKind::Collection: {
      if (!part) {
        if (expected.Size() != actual.Size()) return false;
        for (std::size_t i = 0; i < expected.Size(); ++i) {
          if (!ValueMatches(expected.Element(i), actual.Element(i), false)) return false;
        }
        return true;
      }
      std::vector<BindingValue> elements(actual.Elements().begin(), actual.Elements().end());
      return InOrder(expected, elements);
    }
    case ValueKind::Structure: {
      if (!part && expected.Size() != actual.Size()) return false;
      for (const auto& member : expected.Members()) {
        const BindingValue* found = actual.FindMember(member.name);
        if (found == nullptr || !ValueMatches(member.value, *found, part)) return false;
      }
      return true;
    }
    default: return expected == actual;
  }
}

bool ParseScenario(const BindingValue& document, Scenario& scenario, std::string& error) {
  scenario = Scenario{};
  const BindingValue* steps = &document;
  if (document.Kind() == ValueKind::Structure) {
    for (const auto& member : document.Members()) {
      if (member.name != "steps" && member.name != "resources" && member.name != "description") {
        error = "unknown key \"" + std::string(member.name) + "\" (expected steps, resources, description)";
        return false;
      }
    }
    for (const auto& resource : document.Member("resources").Members()) {
      if (resource.name.empty() || resource.name[0] != '/') {
        error = "resource \"" + std::string(resource.name) + "\": a URL starts with \"/\"";
        return false;
      }
      scenario.resources.emplace_back(std::string(resource.name), resource.value);
    }
    steps = &document.Member("steps");
  }
  if (steps->Kind() != ValueKind::Collection) {
    error = "expected a list of steps, or a mapping with \"steps\"";
    return false;
  }
  for (std::size_t i = 0; i < steps->Size(); ++i) {
    ScenarioStep step;
    step.number = i + 1;
    std::string problem;
    if (!ParseStep(steps->Element(i), step, problem)) {
      error = "step " + std::to_string(i + 1) + ": " + problem;
      return false;
    }
    scenario.steps.push_back(std::move(step));
  }
  return true;
}

bool LoadScenario(const std::string& path, Scenario& scenario, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read scenario " + path;
    return false;
  }
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  bool json = path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0;
  Vela::Sdk::BindingResult document = DecodePayload(json ? PayloadFormat::kJson : PayloadFormat::kYaml, text);
  if (!document.Ok()) {
    error = "scenario " + path + ": " + std::string(document.ErrorText());
    return false;
  }
  std::string problem;
  if (!ParseScenario(document.Value(), scenario, problem)) {
    error = "scenario " + path + ": " + problem;
    return false;
  }
  return true;
}

void PresetResources(const Scenario& scenario, HttpHost& host) {
  for (const auto& [url, value] : scenario.resources) host.PresetResource(url, value);
}

std::string RunScenario(const Scenario& scenario, HttpHost& host, std::ostream* progress) {
  for (const ScenarioStep& step : scenario.steps) {
    uint64_t events = host.EventCount(), logs = host.LogCount(), invocations = host.InvocationCount();
    HttpReply reply = Execute(step, host);
    host.Loop().RunUntilIdle();
    std::string failure = Check(step, reply, host, events, logs, invocations);
    if (!failure.empty()) return step.Label() + ": " + failure;
    if (progress != nullptr) *progress << "ok " << step.Label() << "\n";
  }
  return {};
}

}  // namespace Vela::DevHost
