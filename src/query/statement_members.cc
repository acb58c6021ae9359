// Members of the account statements family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterStatementMembers(MemberTable&) {}

}  // namespace qrole::server
