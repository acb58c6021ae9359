// qrole: the command line of the qrole server's companies.
//
//   qrole companies | reindex | export | check | import  [--help] [--json] ...
//   qrole --help | --version
//
// It works in-process, on the same files and settings (QROLE_HOME) as
// qrole-server, without needing one to run. See cli.h for the conventions
// every subcommand keeps.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "qrole/error.h"
#include "server/version.h"

namespace {

using qrole::cli::Command;

std::vector<Command> AllCommands() {
  return {qrole::cli::CompaniesCommand(), qrole::cli::ReindexCommand(), qrole::cli::ExportCommand(),
          qrole::cli::CheckCommand(), qrole::cli::ImportCommand()};
}

std::string Usage(const std::vector<Command>& commands) {
  std::string text =
      "usage: qrole COMMAND [ARGUMENTS] [--json]\n"
      "       qrole COMMAND --help\n"
      "       qrole --version\n"
      "\n"
      "Commands:\n";
  for (const Command& c : commands) {
    std::string name = "  " + c.name;
    name.resize(14, ' ');
    text += name + c.summary + "\n";
  }
  text +=
      "\n"
      "Settings and data are those of qrole-server: QROLE_HOME (default\n"
      "~/.config/qrole) and the data directory DATOS_DIR in its registry.ini.\n"
      "Exit status: 0 done, 1 the work failed, 2 a wrong command line or a\n"
      "command not implemented yet.\n";
  return text;
}

void ReportJsonError(bool json, const std::string& kind, const std::string& message,
                     const qrole::AutomationError* automation = nullptr) {
  if (!json) return;
  nlohmann::json error = {{"kind", kind}, {"message", message}};
  if (automation) {
    error["number"] = automation->number();
    error["source"] = automation->source();
  }
  qrole::cli::PrintJson({{"error", error}});
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<Command> commands = AllCommands();
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.empty()) {
    std::cerr << Usage(commands);
    return qrole::cli::kExitUsage;
  }
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    std::cout << Usage(commands);
    return qrole::cli::kExitOk;
  }
  if (words[0] == "--version") {
    std::cout << "qrole " << qrole::server::kServerVersion << "\n";
    return qrole::cli::kExitOk;
  }
  const Command* command = nullptr;
  for (const Command& c : commands)
    if (c.name == words[0]) command = &c;
  if (command == nullptr) {
    std::cerr << "qrole: unknown command " << words[0] << "\n" << Usage(commands);
    return qrole::cli::kExitUsage;
  }
  bool json = false;
  for (size_t i = 1; i < words.size() && words[i] != "--"; ++i) json = json || words[i] == "--json";
  try {
    qrole::cli::Arguments args = qrole::cli::Parse(
        std::vector<std::string>(words.begin() + 1, words.end()), command->grammar);
    if (args.help) {
      std::cout << command->usage;
      return qrole::cli::kExitOk;
    }
    return command->run(args);
  } catch (const qrole::cli::UsageError& e) {
    std::cerr << "qrole " << command->name << ": " << e.what() << "\n" << command->usage;
    ReportJsonError(json, "usage", e.what());
    return qrole::cli::kExitUsage;
  } catch (const qrole::cli::NotImplemented& e) {
    std::cerr << e.what() << "\n";
    ReportJsonError(json, "not_implemented", e.what());
    return qrole::cli::kExitUsage;
  } catch (const qrole::AutomationError& e) {
    std::cerr << "qrole " << command->name << ": error " << e.number() << " (" << e.source()
              << "): " << e.description() << "\n";
    ReportJsonError(json, "automation", e.description(), &e);
  } catch (const std::exception& e) {
    std::cerr << "qrole " << command->name << ": " << e.what() << "\n";
    ReportJsonError(json, "failure", e.what());
  }
  return qrole::cli::kExitFailure;
}
