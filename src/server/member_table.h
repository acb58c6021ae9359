// The implementations of the members of `Enlace`, by entry of the interface.
//
// Each subsystem registers its members in `EnlaceMembers()` through a
// Register* function listed in member_table.cc. Registering a name or kind
// that the interface does not have is a build fault and throws at start-up.

#ifndef QROLE_SERVER_MEMBER_TABLE_H_
#define QROLE_SERVER_MEMBER_TABLE_H_

#include <functional>
#include <string>
#include <vector>

#include "automation/object.h"
#include "typelib/interface.h"

namespace qrole::server {

class Enlace;
using MemberHandler = std::function<Variant(Enlace&, Args&)>;

// What a member does to the open company's files in local mode: a reader is
// preceded by recovery (a process that died mid-operation is completed first);
// a writer runs whole in one company transaction (data/transaction.h).
enum class Effect { kNone, kReads, kWrites };

class MemberTable {
 public:
  explicit MemberTable(const typelib::ClassInfo& cls);

  // Registers the implementation of entry (name, kind); throws
  // std::logic_error when the interface has no such entry or it is taken.
  void Add(const std::string& name, typelib::Kind kind, MemberHandler handler);
  // The implementation of an entry, or nullptr when not built.
  const MemberHandler* Find(const typelib::MemberInfo& member) const;
  // Sets the effect of entry (name, kind); throws like Add.
  void SetEffect(const std::string& name, typelib::Kind kind, Effect effect);
  Effect EffectOf(const typelib::MemberInfo& member) const;
  size_t implemented() const;

 private:
  const typelib::ClassInfo& cls_;
  std::vector<MemberHandler> handlers_;  // by entry index
  std::vector<Effect> effects_;          // by entry index
};

// The table of `Enlace`, filled on first use with every subsystem's members
// (members.cc, at the top of the server's libraries).
const MemberTable& EnlaceMembers();

// The table Enlace objects call through: installed by Enlace::Create, so
// that the layers below the member registrations do not depend on them.
void InstallMemberTable(const MemberTable* table);
const MemberTable* InstalledMemberTable();

// Registration functions of the subsystems.
void RegisterObjectMembers(MemberTable& t);
void RegisterCompanyMembers(MemberTable& t);
void RegisterPendingEntryMembers(MemberTable& t);
void RegisterHelperMembers(MemberTable& t);
void RegisterLookupMembers(MemberTable& t);        // query/
void RegisterEntryPostingMembers(MemberTable& t);  // posting/
void RegisterVatMembers(MemberTable& t);           // posting/
void RegisterMaintenanceMembers(MemberTable& t);   // maintenance/
void RegisterChartMembers(MemberTable& t);         // query/
void RegisterEntryReadMembers(MemberTable& t);     // query/
void RegisterEntryGuidMembers(MemberTable& t);     // query/
void RegisterStatementMembers(MemberTable& t);     // query/
void RegisterPortfolioMembers(MemberTable& t);     // maintenance/
void RegisterCancellationMembers(MemberTable& t);  // maintenance/
void RegisterMasterDataMembers(MemberTable& t);    // maintenance/
void RegisterAssetMembers(MemberTable& t);         // maintenance/
void RegisterCashVatMembers(MemberTable& t);       // cashvat/
void RegisterWebMembers(MemberTable& t);           // web/
// The effects of the members on the company's files (members.cc).
void SetCompanyEffects(MemberTable& t);

}  // namespace qrole::server

#endif  // QROLE_SERVER_MEMBER_TABLE_H_
