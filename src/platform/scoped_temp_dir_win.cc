#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/path.h"
#include "platform/scoped_temp_dir.h"
#include "platform/system_info.h"
#include "platform/windows_internal_win.h"

namespace qrole::platform {
namespace {

using internal::WindowsPath;

// Removes `dir` and everything in it (best effort).
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW found;
  HANDLE h = ::FindFirstFileW((dir + L"\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = dir + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(h, &found));
    ::FindClose(h);
  }
  ::RemoveDirectoryW(dir.c_str());
}

}  // namespace

ScopedTempDir::ScopedTempDir(const std::string& parent) {
  const std::string base = parent.empty() ? KnownFolderPath(KnownFolder::Temp) : parent;
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  unsigned long long seed =
      ::GetTickCount64() ^ (static_cast<unsigned long long>(::GetCurrentProcessId()) << 20);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string name = "qrole-";
    unsigned long long x = seed + static_cast<unsigned long long>(attempt) * 7919u;
    for (int i = 0; i < 6; ++i) {
      name.push_back(kDigits[x % 36]);
      x /= 36;
    }
    const std::string candidate = JoinPath(base, name);
    if (::CreateDirectoryW(WindowsPath(candidate).c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  std::fprintf(stderr, "qrole: cannot create a temporary directory in %s\n", base.c_str());
  std::abort();
}

ScopedTempDir::~ScopedTempDir() { RemoveTree(WindowsPath(path_)); }

std::string ScopedTempDir::Child(const std::string& name) const { return JoinPath(path_, name); }

}  // namespace qrole::platform
