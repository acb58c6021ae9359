// Members of the chart of accounts family: being written.

#include "server/member_table.h"

namespace qrole::server {

void RegisterChartMembers(MemberTable&) {}

}  // namespace qrole::server
