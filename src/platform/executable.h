// The running program and its environment.

#ifndef QROLE_PLATFORM_EXECUTABLE_H_
#define QROLE_PLATFORM_EXECUTABLE_H_

#include <string>
#include <vector>

namespace qrole::platform {

// Full path of the running executable ("/" separators); empty when unknown.
std::string ExecutablePath();

// The folders where the files shipped with the program may be, the usual
// place first ("/" separators): on Windows the executable's own folder, where
// a Windows program's files live, then "../share/qrole" beside it (the build
// tree); elsewhere "../share/qrole" beside the executable's folder. Empty
// when the executable's path is unknown.
std::vector<std::string> ShippedFileFolders();

// Value of an environment variable; empty when unset.
std::string EnvironmentVariable(const std::string& name);

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_EXECUTABLE_H_
