// Automation errors the data layer raises itself: only where an operation's
// failure must reach the client, that is when the retry rule gives up.

#ifndef QROLE_DATA_DATA_ERRORS_H_
#define QROLE_DATA_DATA_ERRORS_H_

#include <cstdint>
#include <string>

namespace qrole::data {

// 0x80040000 + 50153 (0x8004C3E9): a record file stayed locked or failing
// through every try of the retry rule. Source "Valdrix OLE Server";
// description "Archivo en uso por otro proceso" + LF + the file's path.
inline constexpr int32_t kFileInUseError = 50153;
inline constexpr const char* kFileInUseText = "Archivo en uso por otro proceso";

// Raises kFileInUseError for `path`.
[[noreturn]] void RaiseFileInUse(const std::string& path);

}  // namespace qrole::data

#endif  // QROLE_DATA_DATA_ERRORS_H_
