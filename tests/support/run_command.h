// Running a program of the build (qrole, ledger, ...) as a test's child
// process and collecting what it printed.
//
//   CommandResult r = RunCommand({BinPath("qrole"), "companies", "--json"},
//                                {{"QROLE_HOME", server.home()}});
//   EXPECT_EQ(r.status, 0) << r.err;

#ifndef QROLE_TESTS_SUPPORT_RUN_COMMAND_H_
#define QROLE_TESTS_SUPPORT_RUN_COMMAND_H_

#include <map>
#include <string>
#include <vector>

namespace qrole::testing {

struct CommandResult {
  int status = -1;  // exit status; 128 + signal when killed; -1 not run
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `argv` (argv[0] a path, or a name looked up in PATH) with the test's
// environment plus `env` (an empty value removes a variable), standard input
// from /dev/null; waits for it (killed after 60 s). Throws
// std::runtime_error when it cannot be started.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env = {});

// $QROLE_TEST_BIN_DIR/<name>.
std::string BinPath(const std::string& name);

}  // namespace qrole::testing

#endif  // QROLE_TESTS_SUPPORT_RUN_COMMAND_H_
