// Subcommands whose work is not built yet: they answer that, with exit
// status 2, so that scripts can tell them from a failure of the work.

#include "commands.h"

namespace qrole::cli {

namespace {

Command Pending(std::string name, std::string summary, std::string usage) {
  Command c;
  c.name = name;
  c.summary = std::move(summary) + " (not implemented yet)";
  c.usage =
      std::move(usage) + "\nNot implemented yet: the command answers so, with exit status 2.\n";
  c.grammar.with_value = {"--password"};
  c.grammar.min_positional = 0;
  c.grammar.max_positional = 16;
  c.run = [name](const Arguments&) -> int {
    throw NotImplemented("qrole " + name + " is not implemented yet");
  };
  return c;
}

}  // namespace

Command ImportCommand() {
  return Pending("import", "post entries from a CSV file",
                 "usage: qrole import COMPANY FILE.csv [--json]\n"
                 "\n"
                 "Posts the entries of FILE.csv (one row per journal line) to COMPANY,\n"
                 "each entry whole or not at all, reporting the rows it rejects.\n");
}

}  // namespace qrole::cli
