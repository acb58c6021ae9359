// QROLE75.exe: the out-of-process automation server.
//
//   QROLE75.exe /RegServer     registers the server for the current user
//   QROLE75.exe /UnregServer   removes that registration
//   QROLE75.exe -Embedding     (COM starts it so) serves objects
//
// Serving: one apartment thread runs start-up, registers a class factory per
// creatable class and dispatches every call of every object, one at a time,
// from its message loop. The process ends when the last object is released
// (or, when no client ever comes, after an idle time).

#include <windows.h>
// The other Windows headers need windows.h first.
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "com/com_object.h"
#include "localserver/class_factory.h"
#include "localserver/registration.h"
#include "localserver/server_lock.h"
#include "server/startup.h"

namespace qrole::winserver {
namespace {

// A server that no client asks for an object leaves after this long.
constexpr UINT kIdleMs = 30000;

std::wstring ExePath() {
  std::vector<wchar_t> buf(MAX_PATH);
  while (true) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

bool IsSwitch(const wchar_t* arg, const wchar_t* name) {
  return (arg[0] == L'/' || arg[0] == L'-') && ::lstrcmpiW(arg + 1, name) == 0;
}

// The registered class factories. They are never freed: a call that COM let
// through just before they were withdrawn may still reach one.
std::vector<DWORD>& Cookies() {
  static auto* cookies = new std::vector<DWORD>();
  return *cookies;
}

void WithdrawFactories() {
  for (DWORD cookie : Cookies()) ::CoRevokeClassObject(cookie);
  Cookies().clear();
}

void Complain(const char* what, HRESULT hr) {
  std::fprintf(stderr, "QROLE75: %s failed (0x%08lX)\n", what, static_cast<unsigned long>(hr));
}

int Serve() {
  try {
    server::StartServer();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "QROLE75: start-up: %s\n", e.what());
  }
  SetMainThread(::GetCurrentThreadId(), &WithdrawFactories);
  com::SetLifetimeHooks({&LockServer, &UnlockServer});

  for (const ServerClass& c : ServerClasses()) {
    auto* factory = new ClassFactory(c.name);
    DWORD cookie = 0;
    const HRESULT hr =
        ::CoRegisterClassObject(c.clsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (FAILED(hr)) {
      Complain("CoRegisterClassObject", hr);
      continue;
    }
    Cookies().push_back(cookie);
  }

  ::SetTimer(nullptr, 0, kIdleMs, nullptr);
  MSG msg;
  while (true) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // A quit asked while a new client was arriving: keep serving it.
      if (ServerIdle()) break;
      continue;
    }
    if (msg.message == WM_TIMER && msg.hwnd == nullptr && ServerIdle()) break;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  WithdrawFactories();
  return 0;
}

int Run() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  bool reg = false, unreg = false;
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    if (IsSwitch(argv[i], L"RegServer")) reg = true;
    if (IsSwitch(argv[i], L"UnregServer")) unreg = true;
  }
  ::LocalFree(argv);

  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  const std::wstring exe = ExePath();
  ITypeLib* library = nullptr;
  if (SUCCEEDED(::LoadTypeLibEx(exe.c_str(), REGKIND_NONE, &library))) {
    com::SetTypeLibrary(library);
    library->Release();
  }
  int rc = 0;
  if (unreg) {
    const HRESULT hr = UnregisterServer();
    if (FAILED(hr)) Complain("unregistering", hr);
    rc = FAILED(hr) ? 1 : 0;
  } else if (reg) {
    HRESULT hr = library != nullptr ? S_OK : TYPE_E_CANTLOADLIBRARY;
    if (SUCCEEDED(hr)) hr = RegisterServer(exe);
    if (FAILED(hr)) Complain("registering", hr);
    rc = FAILED(hr) ? 1 : 0;
  } else {
    rc = Serve();
  }
  com::SetTypeLibrary(nullptr);
  ::CoUninitialize();
  return rc;
}

}  // namespace
}  // namespace qrole::winserver

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return qrole::winserver::Run(); }
