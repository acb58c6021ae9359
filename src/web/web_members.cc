// Members of the web link family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterWebMembers(MemberTable&) {}

}  // namespace qrole::server
