// The members of Enlace, gathered from every subsystem.

#include "server/enlace.h"
#include "server/member_table.h"

namespace qrole::server {

const MemberTable& EnlaceMembers() {
  static const MemberTable table = [] {
    MemberTable t(typelib::Library::Get().enlace());
    RegisterObjectMembers(t);
    RegisterCompanyMembers(t);
    RegisterPendingEntryMembers(t);
    RegisterHelperMembers(t);
    RegisterLookupMembers(t);
    RegisterEntryPostingMembers(t);
    RegisterVatMembers(t);
    RegisterMaintenanceMembers(t);
    RegisterChartMembers(t);
    RegisterEntryReadMembers(t);
    RegisterEntryGuidMembers(t);
    RegisterStatementMembers(t);
    RegisterPortfolioMembers(t);
    RegisterCancellationMembers(t);
    RegisterMasterDataMembers(t);
    RegisterAssetMembers(t);
    RegisterCashVatMembers(t);
    RegisterWebMembers(t);
    return t;
  }();
  return table;
}

std::shared_ptr<Enlace> Enlace::Create() {
  InstallMemberTable(&EnlaceMembers());
  return std::make_shared<Enlace>();
}

}  // namespace qrole::server
