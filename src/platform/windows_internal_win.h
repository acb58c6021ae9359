// Helpers shared by the Windows implementation of the platform layer: text
// conversion between UTF-8 (every string of the server) and UTF-16 (every
// call to the Windows API), path spelling, and Windows error codes as Status.

#ifndef QROLE_PLATFORM_WINDOWS_INTERNAL_WIN_H_
#define QROLE_PLATFORM_WINDOWS_INTERNAL_WIN_H_

#include <string>
#include <string_view>

#include "platform/status.h"

namespace qrole::platform::internal {

// UTF-8 to UTF-16. A byte that is not part of valid UTF-8 becomes the
// character its Windows-1252 value names, so no input is dropped.
std::wstring Widen(std::string_view utf8);

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view utf16);

// A server path ("/" or "\" separators) as the Windows API spells it: UTF-16
// with "\" separators.
std::wstring WindowsPath(std::string_view path);

// A path from the Windows API as the server spells it: UTF-8 with "/"
// separators.
std::string ServerPath(std::wstring_view path);

// A failed Status for the Windows error `error` (a GetLastError value) with
// the message "<context>: <system text> (<number>)". ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE and ERROR_BAD_NETPATH give
// NotFound; ERROR_DISK_FULL and ERROR_HANDLE_DISK_FULL NoSpace;
// ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION and ERROR_IO_PENDING Busy;
// ERROR_INVALID_NAME, ERROR_FILENAME_EXCED_RANGE, ERROR_DIRECTORY,
// ERROR_INVALID_PARAMETER and ERROR_INVALID_HANDLE InvalidArgument; anything
// else IOError.
Status WindowsError(const std::string& context, unsigned long error);

}  // namespace qrole::platform::internal

#endif  // QROLE_PLATFORM_WINDOWS_INTERNAL_WIN_H_
