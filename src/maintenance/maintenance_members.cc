// Members of the accounts and budgets family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterMaintenanceMembers(MemberTable&) {}

}  // namespace qrole::server
