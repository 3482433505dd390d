// The command line of orb-host: a subcommand, its "--name value" options and its operands.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Vela::DevHost {

/// Exit codes: the work was done; it was done and found wanting (a failed expectation, a payload
/// the reader refuses); it could not be started (arguments, files, the plug-in).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct OptionSpec {
  const char* name;  // without the dashes
  bool takesValue;
};

struct CommandLine {
  std::string command;
  std::map<std::string, std::string> options;  // a flag maps to ""
  std::vector<std::string> operands;
  bool help = false;

  bool Has(std::string_view name) const { return options.find(std::string(name)) != options.end(); }
  std::string Get(std::string_view name, std::string fallback = {}) const;
};

/// Reads argv[1] as the command and the rest as options of `specs` ("--name value",
/// "--name=value") and operands; "--help" or "-h" anywhere sets `help`; "-" alone is an operand,
/// and so is everything after "--". False with `error` for an unknown or repeated option or a
/// missing value.
bool ParseCommandLine(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs,
                      CommandLine& line, std::string& error);

}  // namespace Vela::DevHost
