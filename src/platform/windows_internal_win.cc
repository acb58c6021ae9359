#include "platform/windows_internal_win.h"

#include <windows.h>

#include "platform/text_encoding.h"

namespace qrole::platform::internal {

std::wstring Widen(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp;
    if (!DecodeUtf8(utf8, &pos, &cp)) cp = Cp1252ToCodePoint(static_cast<unsigned char>(cp));
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
  }
  return out;
}

std::string Narrow(std::wstring_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = static_cast<char16_t>(utf16[i]);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() &&
        static_cast<char16_t>(utf16[i + 1]) >= 0xDC00 &&
        static_cast<char16_t>(utf16[i + 1]) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char16_t>(utf16[i + 1]) - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(cp, &out);
  }
  return out;
}

std::wstring WindowsPath(std::string_view path) {
  std::wstring out = Widen(path);
  for (wchar_t& c : out)
    if (c == L'/') c = L'\\';
  return out;
}

std::string ServerPath(std::wstring_view path) {
  std::string out = Narrow(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

Status WindowsError(const std::string& context, unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string system_text = n > 0 && text != nullptr ? Narrow(std::wstring_view(text, n)) : "";
  if (text != nullptr) ::LocalFree(text);
  while (!system_text.empty() && (system_text.back() == '\n' || system_text.back() == '\r' ||
                                  system_text.back() == ' ' || system_text.back() == '.')) {
    system_text.pop_back();
  }
  if (system_text.empty()) system_text = "error";
  std::string message = context + ": " + system_text + " (" + std::to_string(error) + ")";
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return Status::NotFound(std::move(message));
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Status::NoSpace(std::move(message));
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_IO_PENDING:
      return Status::Busy(std::move(message));
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_HANDLE:
      return Status::InvalidArgument(std::move(message));
    default:
      return Status::IOError(std::move(message));
  }
}

}  // namespace qrole::platform::internal
