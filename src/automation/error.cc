#include "qrole/error.h"

#include <utility>

namespace qrole {

AutomationError::AutomationError(int32_t number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

std::string RuntimeErrorText(int32_t number) {
  using namespace runtime_error;
  switch (number) {
    case kInvalidCall:
      return "Invalid procedure call or argument";
    case kOverflow:
      return "Overflow";
    case kOutOfMemory:
      return "Out of memory";
    case kSubscript:
      return "Subscript out of range";
    case kDivisionByZero:
      return "Division by zero";
    case kFileNotFound:
      return "File not found";
    case kFileAccess:
      return "Path/File access error";
    case kTypeMismatch:
      return "Type mismatch";
    case kObjectNotSet:
      return "Object variable or With block variable not set";
    case kInvalidNull:
      return "Invalid use of Null";
    case kNoSuchMember:
      return "Object doesn't support this property or method";
    case kNamedNotFound:
      return "Named argument not found";
    case kNotOptional:
      return "Argument not optional";
    case kWrongArgCount:
      return "Wrong number of arguments or invalid property assignment";
    case kNotImplemented:
      return "Not implemented";
    default:
      return "Application-defined or object-defined error";
  }
}

void RaiseRuntimeError(int32_t number) {
  throw AutomationError(number, kRuntimeSource, RuntimeErrorText(number));
}

void RaiseObjectError(int32_t n, std::string description) {
  throw AutomationError(ObjectError(n), kServerSource, std::move(description));
}

void RaisePlainError(int32_t number, std::string description) {
  throw AutomationError(number, kServerSource, std::move(description));
}

void RaiseNotImplemented(const std::string& member) {
  throw AutomationError(runtime_error::kNotImplemented, kServerSource,
                        "Not implemented: " + member);
}

}  // namespace qrole
