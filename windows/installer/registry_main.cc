// qrole_regkeys.exe OUTPUT: writes the values that register QROLE75.exe, as
// the installer writes them (its program folder being INSTALLDIR), one per
// line: key under Software\Classes, TAB, value name (empty for the default),
// TAB, value; UTF-8. make_wxs.py turns them into the installer's registry
// table, so that the installer and /RegServer write the same keys.

#include <cstdio>

#include "localserver/registration.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: qrole_regkeys OUTPUT\n", stderr);
    return 2;
  }
  FILE* out = _wfopen(argv[1], L"wb");
  if (!out) return 1;
  for (const auto& e :
       qrole::winserver::RegistrationEntries("[INSTALLDIR]QROLE75.exe", "[INSTALLDIR]"))
    std::fprintf(out, "%s\t%s\t%s\n", e.key.c_str(), e.name.c_str(), e.value.c_str());
  for (const auto& root : qrole::winserver::RegistrationRoots())
    std::fprintf(out, "root\t%s\n", root.c_str());
  return std::fclose(out) == 0 ? 0 : 1;
}
