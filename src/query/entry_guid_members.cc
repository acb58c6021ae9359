// Members of the entry identifiers and dates family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterEntryGuidMembers(MemberTable&) {}

}  // namespace qrole::server
