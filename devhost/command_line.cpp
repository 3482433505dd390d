// Parsing orb-host's arguments.
#include "devhost/command_line.h"

namespace Vela::DevHost {

std::string CommandLine::Get(std::string_view name, std::string fallback) const {
  auto found = options.find(std::string(name));
  return found == options.end() ? fallback : found->second;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs,
                      CommandLine& line, std::string& error) {
  line = CommandLine{};
  bool operandsOnly = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (operandsOnly || argument == "-" || argument.rfind("-", 0) != 0) {
      if (line.command.empty() && !operandsOnly) {
        line.command = argument;
      } else {
        line.operands.push_back(argument);
      }
      continue;
    }
    if (argument == "--") {
      operandsOnly = true;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      line.help = true;
      continue;
    }
    if (argument.rfind("--", 0) != 0) {
      error = "unknown option " + argument;
      return false;
    }
    std::string name = argument.substr(2);
    std::optional<std::string> value;
    if (std::size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& candidate : specs) {
      if (name == candidate.name) spec = &candidate;
    }
    if (spec == nullptr) {
      error = "unknown option --" + name;
      return false;
    }
    if (line.Has(name)) {
      error = "option --" + name + " given twice";
      return false;
    }
    if (spec->takesValue && !value) {
      if (i + 1 >= arguments.size()) {
        error = "option --" + name + " needs a value";
        return false;
      }
      value = arguments[++i];
    } else if (!spec->takesValue && value) {
      error = "option --" + name + " takes no value";
      return false;
    }
    line.options[name] = value.value_or("");
  }
  return true;
}

}  // namespace Vela::DevHost
