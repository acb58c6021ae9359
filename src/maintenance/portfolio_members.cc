// Members of the portfolio marking family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterPortfolioMembers(MemberTable&) {}

}  // namespace qrole::server
