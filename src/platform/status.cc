#include "platform/status.h"

#include <cstdio>
#include <cstdlib>

namespace qrole::platform {

Status Status::FromCode(StatusCode code, std::string message) {
  if (code == StatusCode::Ok) return Status();
  return Status(code, std::move(message));
}

const char* StatusCodeName(StatusCode code) {
  switch (code) {
    case StatusCode::Ok:
      return "OK";
    case StatusCode::NotFound:
      return "Not found";
    case StatusCode::Corruption:
      return "Corruption";
    case StatusCode::IOError:
      return "IO error";
    case StatusCode::InvalidArgument:
      return "Invalid argument";
    case StatusCode::Busy:
      return "Busy";
    case StatusCode::NoSpace:
      return "No space";
  }
  return "Unknown";
}

std::string Status::ToString() const {
  if (ok()) return "OK";
  std::string out = StatusCodeName(code_);
  if (!message_.empty()) {
    out += ": ";
    out += message_;
  }
  return out;
}

namespace internal {

void DieOnBadResultAccess(const Status& status) {
  std::fprintf(stderr, "qrole: value taken from a failed Result: %s\n", status.ToString().c_str());
  std::abort();
}

}  // namespace internal
}  // namespace qrole::platform
