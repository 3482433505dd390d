// Scenarios: a list of steps run against a plug-in in the developer host, each doing one thing
// the other plug-ins, the platform or the user interface would do, and checking what came back.
//
//   resources:                       # stored before the plug-in starts, without events
//     /ark-gameflow/v1/session: {phase: Lobby}
//   steps:
//     - name: a message over LCDS      # optional
//       lcds: com.velaworks.platform.messaging.persistence.SimpleDialogMessage
//       body: {accountId: 1, msgId: m-1, type: championMastery, params: [a]}
//     - set: /ark-gameflow/v1/session  # stores the body, delivers Create or Update
//       body: {phase: ChampSelect}
//     - delete: /ark-gameflow/v1/session
//     - host: {lcdsInvokeFails: true}
//     - wait: 0.5                      # seconds of the host running scheduled tasks
//     - call: GET /ark-simple-dialog-messages/v1/messages
//       expect:
//         status: 200
//         body: [...]                  # the reply, exactly
//         bodyIncludes: [{type: x}]    # or a part of it: members and elements in order
//         events: [{event: ..., eventType: Update}]   # all fired in the step, each a part
//         logs: [{levelName: WARN}]    # records sent in the step, each a part, in order
//         invocations: [{method: ...}] # LCDS invocations in the step, likewise
//
// A step's `body` is sent as JSON, unless it is a text and the step names a `contentType`, in
// which case the text is sent as it is. Steps other than `call` fail when the host refuses them.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "sdk/binding/binding_value.h"

namespace Vela::DevHost {

class HttpHost;

struct ScenarioExpectation {
  std::optional<int> status;
  std::optional<Vela::Sdk::BindingValue> body;
  std::optional<Vela::Sdk::BindingValue> bodyIncludes;
  std::optional<Vela::Sdk::BindingValue> events;
  std::optional<Vela::Sdk::BindingValue> logs;
  std::optional<Vela::Sdk::BindingValue> invocations;
};

struct ScenarioStep {
  enum class Action { kSet, kDelete, kLcds, kCall, kHost, kWait };
  std::size_t number = 0;  // from 1
  std::string name;
  Action action = Action::kCall;
  std::string method;  // call
  std::string target;  // set, delete, call: URL; lcds: type name
  std::optional<Vela::Sdk::BindingValue> body;
  std::string contentType;
  std::vector<std::pair<std::string, std::string>> headers;
  bool lcdsInvokeFails = false;  // host
  double seconds = 0;            // wait
  ScenarioExpectation expect;

  /// "step 3 "name" (call GET /x)" as failures name it.
  std::string Label() const;
};

struct Scenario {
  std::vector<std::pair<std::string, Vela::Sdk::BindingValue>> resources;
  std::vector<ScenarioStep> steps;
};

/// Reads a scenario document: a list of steps, or {resources, steps, description}. False with a
/// message naming the step and key at fault.
bool ParseScenario(const Vela::Sdk::BindingValue& document, Scenario& scenario, std::string& error);
/// Reads the file (".json" with the JSON reader, anything else with the YAML reader) and parses it.
/// Reader failures keep the reader's message, which gives the position.
bool LoadScenario(const std::string& path, Scenario& scenario, std::string& error);

/// True when `actual` matches `expected`: numbers by value whatever their kind; with `part`,
/// structures need only the expected members and collections the expected elements in order.
bool ValueMatches(const Vela::Sdk::BindingValue& expected, const Vela::Sdk::BindingValue& actual, bool part);

/// Stores the scenario's resources in the host; for before the plug-in starts.
void PresetResources(const Scenario& scenario, HttpHost& host);
/// Runs the steps in order on the host's loop thread and stops at the first failed one. Returns
/// the failure ("step 2 ...: expected status 200, got 404 ...") or "" when all passed. Each step
/// passed is reported on `progress` when given.
std::string RunScenario(const Scenario& scenario, HttpHost& host, std::ostream* progress);

}  // namespace Vela::DevHost
