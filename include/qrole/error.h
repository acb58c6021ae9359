// Automation errors.
//
// Every failure that reaches a client is an `AutomationError`: a number, a
// source and a description, as the automation runtime's error object carries
// them. Refusals of the server use 0x80040000 + n with the source
// "Valdrix OLE Server"; conversion errors keep the runtime's own numbers.

#ifndef QROLE_ERROR_H_
#define QROLE_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qrole {

// Source of the server's own refusals.
inline constexpr const char* kServerSource = "Valdrix OLE Server";
// Source of errors raised by the automation runtime inside the server
// (conversions, late binding).
inline constexpr const char* kRuntimeSource = "QROLE75";

class AutomationError : public std::runtime_error {
 public:
  AutomationError(int32_t number, std::string source, std::string description);

  int32_t number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

// 0x80040000 + n as the signed number a client sees.
constexpr int32_t ObjectError(int32_t n) {
  return static_cast<int32_t>(0x80040000u + static_cast<uint32_t>(n));
}

// The runtime's own error numbers that the interface uses.
namespace runtime_error {
inline constexpr int32_t kInvalidCall = 5;      // "Invalid procedure call or argument"
inline constexpr int32_t kOverflow = 6;         // "Overflow"
inline constexpr int32_t kOutOfMemory = 7;      // "Out of memory"
inline constexpr int32_t kSubscript = 9;        // "Subscript out of range"
inline constexpr int32_t kDivisionByZero = 11;  // "Division by zero"
inline constexpr int32_t kFileNotFound = 53;    // "File not found"
inline constexpr int32_t kFileAccess = 75;      // "Path/File access error"
inline constexpr int32_t kTypeMismatch = 13;    // "Type mismatch"
inline constexpr int32_t kObjectNotSet = 91;    // "Object variable or With block variable not set"
inline constexpr int32_t kInvalidNull = 94;     // "Invalid use of Null"
inline constexpr int32_t kNoSuchMember = 438;   // "Object doesn't support this property or method"
inline constexpr int32_t kNamedNotFound = 448;  // "Named argument not found"
inline constexpr int32_t kNotOptional = 449;    // "Argument not optional"
inline constexpr int32_t kWrongArgCount =
    450;  // "Wrong number of arguments or invalid property assignment"
inline constexpr int32_t kNotImplemented = static_cast<int32_t>(0x80004001u);  // E_NOTIMPL
}  // namespace runtime_error

// Raises one of the runtime's errors with its standard English text.
[[noreturn]] void RaiseRuntimeError(int32_t number);
// Standard text of a runtime error number ("Overflow", ...).
std::string RuntimeErrorText(int32_t number);

// Raises 0x80040000 + n with the server's source and the given description.
[[noreturn]] void RaiseObjectError(int32_t n, std::string description);

// Raises a plain-numbered error (50011, 59999, ...) with the server's source.
[[noreturn]] void RaisePlainError(int32_t number, std::string description);

// Raised by a member of the interface that is not built yet.
[[noreturn]] void RaiseNotImplemented(const std::string& member);

}  // namespace qrole

#endif  // QROLE_ERROR_H_
