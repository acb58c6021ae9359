// Automation strings (BSTR, UTF-16) and the server's strings (UTF-8).

#ifndef QROLE_WINDOWS_COM_BSTR_H_
#define QROLE_WINDOWS_COM_BSTR_H_

#include <windows.h>
// The other Windows headers need windows.h first.
#include <oleauto.h>

#include <string>
#include <string_view>

namespace qrole::com {

// A new BSTR holding `utf8` (the caller frees it with SysFreeString). Bytes
// that are not valid UTF-8 become the characters of their Windows-1252 values.
// nullptr only when memory runs out.
BSTR ToBstr(std::string_view utf8);

// The UTF-8 text of a BSTR; nullptr is the empty text. Embedded NUL
// characters are kept; an unpaired surrogate becomes U+FFFD.
std::string FromBstr(const BSTR b);

// Owns a BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8) : b_(ToBstr(utf8)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(b_); }
  BSTR get() const { return b_; }
  BSTR* out() { return &b_; }
  // Gives up ownership.
  BSTR release() {
    BSTR b = b_;
    b_ = nullptr;
    return b;
  }

 private:
  BSTR b_ = nullptr;
};

}  // namespace qrole::com

#endif  // QROLE_WINDOWS_COM_BSTR_H_
