// The running program and its environment.

#ifndef QROLE_PLATFORM_EXECUTABLE_H_
#define QROLE_PLATFORM_EXECUTABLE_H_

#include <string>

namespace qrole::platform {

// Full path of the running executable ("/" separators); empty when unknown.
std::string ExecutablePath();

// Value of an environment variable; empty when unset.
std::string EnvironmentVariable(const std::string& name);

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_EXECUTABLE_H_
