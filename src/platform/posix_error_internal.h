// Translation of POSIX errno values into Status.

#ifndef QROLE_PLATFORM_POSIX_ERROR_INTERNAL_H_
#define QROLE_PLATFORM_POSIX_ERROR_INTERNAL_H_

#include <string>

#include "platform/status.h"

namespace qrole::platform::internal {

// A failed Status for `error` (an errno value) with the message
// "<context>: <strerror>". ENOENT and ENOTDIR give NotFound; ENOSPC and EDQUOT
// NoSpace; EAGAIN, EWOULDBLOCK, EBUSY and ETXTBSY Busy; EINVAL, EISDIR,
// ENAMETOOLONG and EBADF InvalidArgument; anything else IOError.
Status PosixError(const std::string& context, int error);

}  // namespace qrole::platform::internal

#endif  // QROLE_PLATFORM_POSIX_ERROR_INTERNAL_H_
