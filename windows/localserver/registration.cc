#include "localserver/registration.h"

#include <objbase.h>

#include <string_view>

#include "com/name_guid.h"
#include "platform/windows_internal_win.h"
#include "tlb/typelib_writer.h"
#include "typelib/interface.h"

namespace qrole::winserver {
namespace {

using platform::internal::Widen;

constexpr wchar_t kClasses[] = L"Software\\Classes\\";

// Where the keys go: the user's classes, or the machine's where the system
// does not merge the user's into HKEY_CLASSES_ROOT.
HKEY g_root = HKEY_CURRENT_USER;
// The system's marshaller of dispatch interfaces (PSDispatch).
constexpr char kDispatchProxy[] = "{00020420-0000-0000-C000-000000000046}";

HRESULT SetValue(const std::string& key, const std::string& name, const std::string& value) {
  const std::wstring path = kClasses + Widen(key);
  HKEY h = nullptr;
  LONG rc = ::RegCreateKeyExW(g_root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_SET_VALUE, nullptr, &h, nullptr);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  const std::wstring wname = Widen(name);
  const std::wstring wvalue = Widen(value);
  rc = ::RegSetValueExW(h, name.empty() ? nullptr : wname.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(wvalue.c_str()),
                        static_cast<DWORD>((wvalue.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(h);
  return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

HRESULT DeleteKey(const std::string& key) {
  const std::wstring path = kClasses + Widen(key);
  const LONG rc = ::RegDeleteTreeW(g_root, path.c_str());
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(rc);
  const LONG gone = ::RegDeleteKeyW(g_root, path.c_str());
  return gone == ERROR_SUCCESS || gone == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(gone);
}

std::string Version() {
  return std::to_string(com::kTypeLibMajor) + "." + std::to_string(com::kTypeLibMinor);
}

constexpr char kExecutable[] = "QROLE75.exe";

GUID AppGuid() { return com::NameGuid("appid:" + typelib::Library::Get().name()); }

}  // namespace

std::vector<ServerClass> ServerClasses() {
  std::vector<ServerClass> out;
  for (const typelib::ClassInfo& c : typelib::Library::Get().classes())
    out.push_back({c.name(), c.interface_name(), com::ClassGuid(c.name()),
                   com::InterfaceGuid(c.interface_name())});
  return out;
}

std::string ProgId(const std::string& class_name) {
  return typelib::Library::Get().name() + "." + class_name;
}

std::vector<RegistryEntry> RegistrationEntries(const std::string& exe, const std::string& folder) {
  const std::string libid = com::GuidText(com::LibraryGuid());
  const std::string appid = com::GuidText(AppGuid());
  const std::string version = Version();
  std::vector<RegistryEntry> out;
  auto set = [&](const std::string& key, const std::string& name, const std::string& value) {
    out.push_back({key, name, value});
  };
  const std::string lib_key = "TypeLib\\" + libid + "\\" + version;
  set(lib_key, "", "Valdrix OLE Server");
  set(lib_key + "\\0\\win32", "", exe);
  set(lib_key + "\\0\\win64", "", exe);
  set(lib_key + "\\FLAGS", "", "0");
  set(lib_key + "\\HELPDIR", "", folder);
  set("AppID\\" + appid, "", typelib::Library::Get().name());
  set(std::string("AppID\\") + kExecutable, "AppID", appid);
  for (const ServerClass& c : ServerClasses()) {
    const std::string clsid = com::GuidText(c.clsid);
    const std::string iid = com::GuidText(c.iid);
    const std::string progid = ProgId(c.name);
    set(progid, "", c.name);
    set(progid + "\\Clsid", "", clsid);
    const std::string key = "CLSID\\" + clsid;
    set(key, "", progid);
    set(key, "AppID", appid);
    set(key + "\\LocalServer32", "", "\"" + exe + "\"");
    set(key + "\\ProgID", "", progid);
    set(key + "\\VersionIndependentProgID", "", progid);
    set(key + "\\TypeLib", "", libid);
    set(key + "\\Version", "", version);
    set(key + "\\Programmable", "", "");
    const std::string ikey = "Interface\\" + iid;
    set(ikey, "", c.interface_name);
    set(ikey + "\\ProxyStubClsid", "", kDispatchProxy);
    set(ikey + "\\ProxyStubClsid32", "", kDispatchProxy);
    set(ikey + "\\TypeLib", "", libid);
    set(ikey + "\\TypeLib", "Version", version);
  }
  return out;
}

std::vector<std::string> RegistrationRoots() {
  std::vector<std::string> out;
  for (const ServerClass& c : ServerClasses()) {
    out.push_back(ProgId(c.name));
    out.push_back("CLSID\\" + com::GuidText(c.clsid));
    out.push_back("Interface\\" + com::GuidText(c.iid));
  }
  out.push_back("AppID\\" + com::GuidText(AppGuid()));
  out.push_back(std::string("AppID\\") + kExecutable);
  out.push_back("TypeLib\\" + com::GuidText(com::LibraryGuid()));
  return out;
}

namespace {

HRESULT WriteKeys(const std::wstring& exe_path) {
  const std::string exe = platform::internal::Narrow(exe_path);
  const size_t slash = exe.find_last_of('\\');
  const std::string dir = exe.substr(0, slash == std::string::npos ? 0 : slash);
  for (const RegistryEntry& e : RegistrationEntries(exe, dir)) {
    const HRESULT hr = SetValue(e.key, e.name, e.value);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT DeleteKeys() {
  HRESULT hr = S_OK;
  for (const std::string& key : RegistrationRoots()) {
    const HRESULT r = DeleteKey(key);
    if (SUCCEEDED(hr) && FAILED(r)) hr = r;
  }
  return hr;
}

// True when COM finds the class `Enlace` by its ProgID.
bool VisibleToCom() {
  CLSID clsid;
  const std::wstring progid = Widen(ProgId("Enlace"));
  return SUCCEEDED(::CLSIDFromProgID(progid.c_str(), &clsid)) &&
         IsEqualCLSID(clsid, com::ClassGuid("Enlace"));
}

}  // namespace

HRESULT RegisterServer(const std::wstring& exe_path) {
  g_root = HKEY_CURRENT_USER;
  HRESULT hr = WriteKeys(exe_path);
  if (SUCCEEDED(hr) && !VisibleToCom()) {
    // A system that does not merge the user's classes into
    // HKEY_CLASSES_ROOT (Wine) needs them machine-wide.
    g_root = HKEY_LOCAL_MACHINE;
    hr = WriteKeys(exe_path);
    g_root = HKEY_CURRENT_USER;
    if (SUCCEEDED(hr) && !VisibleToCom()) hr = REGDB_E_CLASSNOTREG;
  }
  return hr;
}

HRESULT UnregisterServer() {
  g_root = HKEY_LOCAL_MACHINE;
  // Machine keys are there only where registration had to write them; a user
  // without rights there has none to remove.
  DeleteKeys();
  g_root = HKEY_CURRENT_USER;
  return DeleteKeys();
}

}  // namespace qrole::winserver
