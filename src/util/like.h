// The runtime's Like operator, as account and title patterns use it.
#ifndef QROLE_UTIL_LIKE_H_
#define QROLE_UTIL_LIKE_H_

#include <string_view>

namespace qrole::util {

// True when `text` matches `pattern` (both UTF-8, compared character by
// character as the ANSI code page holds them, letter case significant):
// "*" any run of characters, "?" one character, "#" one digit, "[abc]" or
// "[a-z]" one character of the set, "[!abc]" one character not in it. An
// unclosed "[" matches nothing.
bool Like(std::string_view text, std::string_view pattern);

}  // namespace qrole::util

#endif  // QROLE_UTIL_LIKE_H_
