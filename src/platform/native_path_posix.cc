// Paths in the spelling of POSIX systems: the server's own, "/" separators.

#include "platform/path.h"

namespace qrole::platform {

std::string NativePath(std::string_view path) { return std::string(path); }

}  // namespace qrole::platform
