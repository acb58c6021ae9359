#include <ftw.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/path.h"
#include "platform/scoped_temp_dir.h"
#include "platform/system_info.h"

namespace qrole::platform {
namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

}  // namespace

ScopedTempDir::ScopedTempDir(const std::string& parent) {
  std::string base = parent.empty() ? KnownFolderPath(KnownFolder::Temp) : parent;
  std::string pattern = JoinPath(base, "qrole-XXXXXX");
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) {
    std::perror(("qrole: cannot create a temporary directory in " + base).c_str());
    std::abort();
  }
  path_ = buffer.data();
}

ScopedTempDir::~ScopedTempDir() { ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

std::string ScopedTempDir::Child(const std::string& name) const { return JoinPath(path_, name); }

}  // namespace qrole::platform
