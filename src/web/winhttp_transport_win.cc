// The HTTP transport over WinHTTP, the HTTP stack of Windows: TLS with the
// certificates Windows trusts, the proxy Windows is set up with.
//
// Proxy: the session asks WinHTTP for the system's and the user's settings
// (automatic proxy, Windows 8.1 and later). Where WinHTTP cannot do that, it
// takes WinHTTP's own proxy ("netsh winhttp set proxy") and, when there is
// none, the user's manual Internet proxy.

#include <windows.h>
#include <winhttp.h>

#include <string_view>
#include <vector>

#include "qrole/error.h"
#include "web/http_transport.h"
#include "web/web_service_client.h"

namespace qrole::web {

namespace {

// Limits of one exchange. WinHTTP has no limit for the whole exchange: the
// overall one bounds each step (sending, waiting for the answer, reading).
constexpr int kConnectTimeoutMs = 30 * 1000;
constexpr int kStepTimeoutMs = 300 * 1000;
constexpr size_t kMaxAnswerBytes = 64u * 1024 * 1024;
constexpr DWORD kMaxRedirects = 5;

#ifndef WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY
#define WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY 4
#endif
#ifndef WINHTTP_OPTION_DECOMPRESSION
#define WINHTTP_OPTION_DECOMPRESSION 118
#define WINHTTP_DECOMPRESSION_FLAG_ALL 3
#endif

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return L"";
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return "";
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

[[noreturn]] void Fail(const std::string& url, const std::string& what) {
  throw AutomationError(kWebClientError, kWebClientSource, what + " (" + url + ")");
}

// The system's text for a WinHTTP error, with its number.
std::string ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE;
  DWORD n = ::FormatMessageW(flags, ::GetModuleHandleW(L"winhttp.dll"), error, 0,
                             reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : L"";
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  std::string out = text.empty() ? "Error de WinHTTP" : Utf8(text);
  return out + " (" + std::to_string(error) + ")";
}

[[noreturn]] void FailLast(const std::string& url, const std::string& what) {
  Fail(url, what + ": " + ErrorText(::GetLastError()));
}

class Handle {
 public:
  explicit Handle(HINTERNET h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_) ::WinHttpCloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HINTERNET get() const { return h_; }
  void reset(HINTERNET h) {
    if (h_) ::WinHttpCloseHandle(h_);
    h_ = h;
  }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HINTERNET h_;
};

// A session with the system's proxy settings, and the user's manual proxy
// where WinHTTP has no automatic one.
struct Session {
  Handle handle;
  std::wstring manual_proxy;
  std::wstring manual_bypass;
};

void OpenSession(Session* s) {
  const wchar_t* agent = L"QROLE75";
  HINTERNET h = ::WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
  if (h) {
    s->handle.reset(h);
    return;
  }
  h = ::WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                    WINHTTP_NO_PROXY_BYPASS, 0);
  s->handle.reset(h);
  if (!h) return;
  WINHTTP_PROXY_INFO machine{};
  const bool has_machine_proxy = ::WinHttpGetDefaultProxyConfiguration(&machine) &&
                                 machine.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  if (machine.lpszProxy) ::GlobalFree(machine.lpszProxy);
  if (machine.lpszProxyBypass) ::GlobalFree(machine.lpszProxyBypass);
  if (has_machine_proxy) return;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
  if (::WinHttpGetIEProxyConfigForCurrentUser(&user)) {
    if (user.lpszProxy) s->manual_proxy = user.lpszProxy;
    if (user.lpszProxyBypass) s->manual_bypass = user.lpszProxyBypass;
  }
  for (wchar_t* p : {user.lpszAutoConfigUrl, user.lpszProxy, user.lpszProxyBypass})
    if (p) ::GlobalFree(p);
}

class WinHttpTransport : public HttpTransport {
 public:
  HttpResponse Send(const HttpRequest& request) override {
    const std::string& url = request.url;
    std::wstring wide_url = Wide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength =
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(wide_url.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
      Fail(url, "Dirección no admitida: solo http y https");
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    if (!session_.handle) OpenSession(&session_);
    if (!session_.handle) FailLast(url, "No se puede iniciar la conexión HTTP");
    ::WinHttpSetTimeouts(session_.handle.get(), kConnectTimeoutMs, kConnectTimeoutMs,
                         kStepTimeoutMs, kStepTimeoutMs);
    Handle connection(::WinHttpConnect(session_.handle.get(), host.c_str(), parts.nPort, 0));
    if (!connection) FailLast(url, "No se puede conectar con el servicio web");
    const bool post = request.method == "POST";
    Handle req(
        ::WinHttpOpenRequest(connection.get(), post ? L"POST" : L"GET", path.c_str(), nullptr,
                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                             parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!req) FailLast(url, "No se puede preparar la petición HTTP");
    if (!session_.manual_proxy.empty()) {
      WINHTTP_PROXY_INFO proxy{};
      proxy.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
      proxy.lpszProxy = session_.manual_proxy.data();
      proxy.lpszProxyBypass =
          session_.manual_bypass.empty() ? nullptr : session_.manual_bypass.data();
      ::WinHttpSetOption(req.get(), WINHTTP_OPTION_PROXY, &proxy, sizeof proxy);
    }
    if (post) {
      // Only the description is fetched with GET; it may have moved.
      DWORD disable = WINHTTP_DISABLE_REDIRECTS;
      ::WinHttpSetOption(req.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
    } else {
      DWORD redirects = kMaxRedirects;
      ::WinHttpSetOption(req.get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects,
                         sizeof redirects);
    }
    DWORD decompression = WINHTTP_DECOMPRESSION_FLAG_ALL;
    ::WinHttpSetOption(req.get(), WINHTTP_OPTION_DECOMPRESSION, &decompression,
                       sizeof decompression);  // where Windows can (8.1 and later)

    std::wstring headers;
    for (const auto& [name, value] : request.headers) headers += Wide(name + ": " + value + "\r\n");
    if (request.body.size() > 0xffffffffu) Fail(url, "La petición es demasiado grande");
    const DWORD body_size = static_cast<DWORD>(request.body.size());
    if (!::WinHttpSendRequest(req.get(),
                              headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                              static_cast<DWORD>(headers.size()),
                              const_cast<char*>(request.body.data()), body_size, body_size, 0))
      FailLast(url, "No se puede enviar la petición al servicio web");
    if (!::WinHttpReceiveResponse(req.get(), nullptr)) FailLast(url, "El servicio web no responde");

    HttpResponse response;
    DWORD status = 0, size = sizeof status;
    if (!::WinHttpQueryHeaders(req.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                               WINHTTP_NO_HEADER_INDEX))
      FailLast(url, "Respuesta HTTP sin estado");
    response.status = static_cast<long>(status);
    DWORD type_bytes = 0;
    ::WinHttpQueryHeaders(req.get(), WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                          nullptr, &type_bytes, WINHTTP_NO_HEADER_INDEX);
    if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER && type_bytes > 0) {
      std::vector<wchar_t> type(type_bytes / sizeof(wchar_t) + 1);
      if (::WinHttpQueryHeaders(req.get(), WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                                type.data(), &type_bytes, WINHTTP_NO_HEADER_INDEX))
        response.content_type = Utf8(std::wstring_view(type.data(), type_bytes / sizeof(wchar_t)));
    }
    while (true) {
      DWORD available = 0;
      if (!::WinHttpQueryDataAvailable(req.get(), &available))
        FailLast(url, "Error al leer la respuesta del servicio web");
      if (available == 0) break;
      if (response.body.size() + available > kMaxAnswerBytes)
        Fail(url, "La respuesta del servicio web es demasiado grande");
      const size_t at = response.body.size();
      response.body.resize(at + available);
      DWORD read = 0;
      if (!::WinHttpReadData(req.get(), response.body.data() + at, available, &read))
        FailLast(url, "Error al leer la respuesta del servicio web");
      response.body.resize(at + read);
      if (read == 0) break;
    }
    return response;
  }

 private:
  Session session_;
};

}  // namespace

std::unique_ptr<HttpTransport> MakeHttpTransport() { return std::make_unique<WinHttpTransport>(); }

}  // namespace qrole::web
