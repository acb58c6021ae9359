#include "platform/env.h"
#include "platform/file_identity.h"

namespace qrole::platform {

// Names are case-sensitive and have no short forms here: the resolved path
// is the identity.
std::string FileIdentity(const std::string& path) { return CurrentEnv()->Files().Resolve(path); }

}  // namespace qrole::platform
