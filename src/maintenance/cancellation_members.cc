// Members of the cancellations family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterCancellationMembers(MemberTable&) {}

}  // namespace qrole::server
