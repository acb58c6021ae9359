// Members of the cash-basis VAT family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterCashVatMembers(MemberTable&) {}

}  // namespace qrole::server
