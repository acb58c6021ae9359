// qrole_mktlb OUTPUT.tlb: writes the type library QROLE75 of the interface
// description. Part of the build; runs under Wine on Linux.

#include <windows.h>
// The other Windows headers need windows.h first.
#include <objbase.h>

#include <cstdio>
#include <string>

#include "tlb/typelib_writer.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qrole_mktlb OUTPUT.tlb\n");
    return 2;
  }
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fprintf(stderr, "qrole_mktlb: COM did not start\n");
    return 1;
  }
  ::DeleteFileW(argv[1]);
  std::string error;
  const bool ok = qrole::com::WriteTypeLibrary(qrole::typelib::Library::Get(), argv[1], &error);
  ::CoUninitialize();
  if (!ok) {
    std::fprintf(stderr, "qrole_mktlb: %s\n", error.c_str());
    ::DeleteFileW(argv[1]);
    return 1;
  }
  return 0;
}
