// Registration of the server for the current user, under the key
// HKEY_CURRENT_USER "Software\Classes", which Windows merges into
// HKEY_CLASSES_ROOT for that user (no administrator rights needed).
//
// For every creatable class C (Enlace, StrBuilder, each record class):
//   QROLE75.C                    = "C", with CLSID = {clsid of C}
//   CLSID\{clsid}                = "QROLE75.C", with AppID = {appid},
//                                  LocalServer32 = the executable, ProgID,
//                                  VersionIndependentProgID, TypeLib = {libid},
//                                  Version = "7.5", Programmable
//   Interface\{iid of _C}        = "_C", with ProxyStubClsid32 (the system's
//                                  dispatch marshaller) and TypeLib
// the server's application:
//   AppID\{appid}                = "QROLE75"
//   AppID\QROLE75.exe            with AppID = {appid}
// and the type library:
//   TypeLib\{libid}\7.5          = "Valdrix OLE Server", with 0\win32 and
//                                  0\win64 = the executable (its embedded
//                                  library, which 32-bit and 64-bit clients
//                                  both read), FLAGS, HELPDIR
//
// The installer (windows/installer) writes the same keys machine-wide: its
// registry table is generated from RegistrationEntries.
//
// A system that does not merge the user's classes into HKEY_CLASSES_ROOT (Wine
// does not) would not find them there; registration checks that COM finds the
// class by its ProgID and, when it does not, writes the same keys under
// HKEY_LOCAL_MACHINE "Software\Classes" as well.

#ifndef QROLE_WINDOWS_LOCALSERVER_REGISTRATION_H_
#define QROLE_WINDOWS_LOCALSERVER_REGISTRATION_H_

#include <windows.h>

#include <string>
#include <vector>

namespace qrole::winserver {

struct ServerClass {
  std::string name;            // "Enlace"
  std::string interface_name;  // "_Enlace"
  GUID clsid;
  GUID iid;
};

// The creatable classes, from the interface description.
std::vector<ServerClass> ServerClasses();

// "QROLE75.<class>".
std::string ProgId(const std::string& class_name);

// One value of the registration, under "Software\Classes": `name` empty for
// the key's default value.
struct RegistryEntry {
  std::string key;
  std::string name;
  std::string value;
};

// Every value above, keys before their subkeys, for the executable `exe`
// whose folder is `folder` (Windows paths, or the installer's formatted
// texts).
std::vector<RegistryEntry> RegistrationEntries(const std::string& exe, const std::string& folder);

// The keys above that hold all the others: removing them removes the
// registration.
std::vector<std::string> RegistrationRoots();

// Writes every key above for the executable at `exe_path` (a Windows path).
// Returns S_OK, REGDB_E_CLASSNOTREG when COM still does not find the class
// afterwards, or the first failure (keys written before it stay).
HRESULT RegisterServer(const std::wstring& exe_path);

// Removes every key above, the user's and any machine-wide copy. Keys that
// are missing are not an error.
HRESULT UnregisterServer();

}  // namespace qrole::winserver

#endif  // QROLE_WINDOWS_LOCALSERVER_REGISTRATION_H_
