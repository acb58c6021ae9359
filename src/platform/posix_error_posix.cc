#include <cerrno>
#include <cstring>

#include "platform/posix_error_internal.h"

namespace qrole::platform::internal {

Status PosixError(const std::string& context, int error) {
  std::string message = context + ": " + std::strerror(error);
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return Status::NotFound(std::move(message));
    case ENOSPC:
    case EDQUOT:
      return Status::NoSpace(std::move(message));
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EBUSY:
    case ETXTBSY:
      return Status::Busy(std::move(message));
    case EINVAL:
    case EISDIR:
    case ENAMETOOLONG:
    case EBADF:
      return Status::InvalidArgument(std::move(message));
    default:
      return Status::IOError(std::move(message));
  }
}

}  // namespace qrole::platform::internal
