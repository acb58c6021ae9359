// The command line of `qrole`: its subcommands, their options, exit
// statuses and output.
//
// Every subcommand takes `--help` and `--json`; what it prints goes to
// standard output (a human text, or one JSON document with --json), its
// warnings and errors to standard error as "qrole: ...". Exit statuses:
// 0 done, 1 the work failed (an automation error, a file that cannot be
// written), 2 a wrong command line or a subcommand not built yet.

#ifndef QROLE_TOOLS_QROLE_CLI_H_
#define QROLE_TOOLS_QROLE_CLI_H_

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "nlohmann/json.hpp"

namespace qrole::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A wrong command line: exit status 2, the message and the usage.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The work failed: exit status 1 with the message.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A subcommand that is not built yet: exit status 2 with the message.
class NotImplemented : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The arguments of one subcommand.
struct Arguments {
  bool json = false;
  bool help = false;
  std::map<std::string, std::string> options;  // "--from" -> "2025-01-01"
  std::vector<std::string> positional;

  bool Has(const std::string& option) const { return options.count(option) != 0; }
  std::string Get(const std::string& option, const std::string& fallback = "") const;
};

// What a subcommand accepts besides --help and --json.
struct Grammar {
  std::set<std::string> with_value;  // "--format", "--password"
  size_t min_positional = 0;
  size_t max_positional = 0;
};

// Parses `args` (the words after the subcommand's name). "--opt=value" and
// "--opt value" both work; "--" ends the options. Throws UsageError for an
// unknown option, a missing value or a wrong number of positional arguments
// (not checked when --help is given).
Arguments Parse(const std::vector<std::string>& args, const Grammar& grammar);

struct Command {
  std::string name;
  std::string summary;  // one line, for `qrole --help`
  std::string usage;    // the --help text
  Grammar grammar;
  // Runs the subcommand; returns the exit status. Throws UsageError, Failure
  // or NotImplemented, or an AutomationError that becomes a Failure.
  std::function<int(const Arguments&)> run;
};

// Prints `value` on standard output: indented JSON and a line end.
void PrintJson(const nlohmann::json& value);

// Prints "qrole: warning: <text>" on standard error.
void Warn(const std::string& text);

}  // namespace qrole::cli

#endif  // QROLE_TOOLS_QROLE_CLI_H_
