// The subcommands of `qrole`, each defined in its own file.

#ifndef QROLE_TOOLS_QROLE_COMMANDS_H_
#define QROLE_TOOLS_QROLE_COMMANDS_H_

#include "cli.h"

namespace qrole::cli {

Command CompaniesCommand();
Command ReindexCommand();
Command ExportCommand();
Command CheckCommand();
Command ImportCommand();

}  // namespace qrole::cli

#endif  // QROLE_TOOLS_QROLE_COMMANDS_H_
