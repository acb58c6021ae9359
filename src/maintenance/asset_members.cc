// Members of the fixed assets and global data family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterAssetMembers(MemberTable&) {}

}  // namespace qrole::server
