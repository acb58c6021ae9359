// Members of the VAT types family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterVatMembers(MemberTable&) {}

}  // namespace qrole::server
