// Compact JSON text for the socket server's answers.
//
// The answers are built as nlohmann::json values and written here rather than
// by nlohmann::json::dump, for two reasons: floating-point numbers must come
// out as the shortest text that reads back as the same number (std::to_chars
// guarantees it), and a string that is not valid UTF-8 (text read from a data
// file, say) must not make the answer fail.

#ifndef QROLE_RPC_JSON_WRITER_H_
#define QROLE_RPC_JSON_WRITER_H_

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace qrole::rpc {

// Appends the compact JSON text of `value` to `*out`.
//  - Integers are written in full; floating-point numbers as the shortest text
//    that reads back as the same double, always with a fraction or an exponent
//    ("5.0", "0.1", "1e+300"), so that a client reads them as non-integers.
//    A NaN or an infinity, which JSON cannot hold, is written as null.
//  - Strings are escaped as JSON requires; every byte that is not part of
//    valid UTF-8 is written as U+FFFD.
//  - Binary values are written as null.
void WriteJson(const nlohmann::json& value, std::string* out);

// The compact JSON text of `value` (see WriteJson).
std::string ToJsonText(const nlohmann::json& value);

// True when `text` is valid UTF-8 (no overlong forms, no surrogates, nothing
// beyond U+10FFFF).
bool IsValidUtf8(std::string_view text);

}  // namespace qrole::rpc

#endif  // QROLE_RPC_JSON_WRITER_H_
