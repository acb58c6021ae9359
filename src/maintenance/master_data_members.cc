// Members of the account master data family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterMasterDataMembers(MemberTable&) {}

}  // namespace qrole::server
