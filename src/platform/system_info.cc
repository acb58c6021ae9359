#include "platform/system_info.h"

#include "platform/path.h"

namespace qrole::platform {

std::optional<std::string> ParseUserDirs(std::string_view text, std::string_view variable,
                                         const std::string& home) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, variable.size()) != variable) continue;
    line.remove_prefix(variable.size());
    if (line.empty() || line.front() != '=') continue;
    line.remove_prefix(1);
    // The format is VAR="$HOME/dir" or VAR="/abs/dir".
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') return std::nullopt;
    line = line.substr(1, line.size() - 2);
    std::string value;
    if (line.substr(0, 5) == "$HOME") {
      value = home + std::string(line.substr(5));
    } else {
      value = std::string(line);
    }
    if (!IsAbsolutePath(value)) return std::nullopt;
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    return value;
  }
  return std::nullopt;
}

}  // namespace qrole::platform
