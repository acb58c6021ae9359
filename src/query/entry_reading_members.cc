// Members of the entry reading family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterEntryReadMembers(MemberTable&) {}

}  // namespace qrole::server
