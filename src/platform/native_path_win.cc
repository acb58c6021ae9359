// Paths in the spelling of Windows: "\" separators, as Windows programs
// split, compare and show them.

#include "platform/path.h"

namespace qrole::platform {

std::string NativePath(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

}  // namespace qrole::platform
