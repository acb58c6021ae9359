// The HTTP transport over libcurl.

#include <curl/curl.h>

#include <mutex>

#include "qrole/error.h"
#include "web/http_transport.h"
#include "web/web_service_client.h"

namespace qrole::web {

namespace {

// Limits of one exchange.
constexpr long kConnectTimeoutSeconds = 30;
constexpr long kTotalTimeoutSeconds = 300;
constexpr size_t kMaxAnswerBytes = 64u * 1024 * 1024;
constexpr long kMaxRedirects = 5;

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
  std::string* body;
  bool too_large = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  size_t n = size * count;
  if (sink->body->size() + n > kMaxAnswerBytes) {
    sink->too_large = true;
    return 0;  // makes libcurl stop with a write error
  }
  sink->body->append(data, n);
  return n;
}

[[noreturn]] void Fail(const std::string& url, const std::string& what) {
  throw AutomationError(kWebClientError, kWebClientSource, what + " (" + url + ")");
}

class CurlTransport : public HttpTransport {
 public:
  CurlTransport() {
    InitialiseCurlOnce();
    curl_ = curl_easy_init();
  }
  ~CurlTransport() override {
    if (curl_) curl_easy_cleanup(curl_);
  }
  CurlTransport(const CurlTransport&) = delete;
  CurlTransport& operator=(const CurlTransport&) = delete;

  HttpResponse Send(const HttpRequest& request) override {
    if (!curl_) Fail(request.url, "No se puede iniciar la conexión HTTP");
    curl_easy_reset(curl_);
    HttpResponse response;
    Sink sink{&response.body};
    char error[CURL_ERROR_SIZE] = {0};

    curl_slist* headers = nullptr;
    for (const auto& [name, value] : request.headers)
      headers = curl_slist_append(headers, (name + ": " + value).c_str());
    // No "Expect: 100-continue" round trip before a request body.
    headers = curl_slist_append(headers, "Expect:");

    curl_easy_setopt(curl_, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT, kTotalTimeoutSeconds);
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(curl_, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    curl_easy_setopt(curl_, CURLOPT_REDIR_PROTOCOLS,
                     static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl_, CURLOPT_ACCEPT_ENCODING, "");
    if (request.method == "POST") {
      curl_easy_setopt(curl_, CURLOPT_POST, 1L);
      curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, request.body.data());
      curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(request.body.size()));
    } else {
      // Only the description is fetched with GET; it may have moved.
      curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
      curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L);
      curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, kMaxRedirects);
    }

    CURLcode code = curl_easy_perform(curl_);
    curl_slist_free_all(headers);
    if (code != CURLE_OK) {
      if (sink.too_large) Fail(request.url, "La respuesta del servicio web es demasiado grande");
      Fail(request.url, error[0] ? std::string(error) : std::string(curl_easy_strerror(code)));
    }
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &response.status);
    char* type = nullptr;
    if (curl_easy_getinfo(curl_, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
      response.content_type = type;
    return response;
  }

 private:
  CURL* curl_ = nullptr;
};

}  // namespace

std::unique_ptr<HttpTransport> MakeHttpTransport() { return std::make_unique<CurlTransport>(); }

}  // namespace qrole::web
