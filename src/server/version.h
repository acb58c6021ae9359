// The server's version, as `Version` answers it and the posting log records it.
#ifndef QROLE_SERVER_VERSION_H_
#define QROLE_SERVER_VERSION_H_

namespace qrole::server {

// major.minor.revision
inline constexpr char kServerVersion[] = "7.5.1";

}  // namespace qrole::server

#endif  // QROLE_SERVER_VERSION_H_
