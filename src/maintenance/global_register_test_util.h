// An open company whose installation has a global data directory, for the
// tests of the master data and of the global register.
#ifndef QROLE_MAINTENANCE_GLOBAL_REGISTER_TEST_UTIL_H_
#define QROLE_MAINTENANCE_GLOBAL_REGISTER_TEST_UTIL_H_

#include <fstream>
#include <string>

#include "automation/convert.h"
#include "data/table_component.h"
#include "ledger/audit_log.h"
#include "maintenance/maintenance_test_util.h"
#include "platform/env.h"

namespace qrole::maintenance {

class GlobalRegisterTest : public MaintenanceTest {
 protected:
  void SetUp() override { OpenCompany(); }

  // Points the company's "Global_Dir" setting at a folder of its own and
  // opens the company again, so that the installation takes it; with
  // `with_register` the folder holds an empty register.
  void UseGlobalDirectory(bool with_register = true) {
    global_dir_ = dirs_.path() + "/global/";
    ASSERT_TRUE(platform::CurrentEnv()->Files().CreateDirectories(global_dir_).ok());
    if (with_register) std::ofstream(global_dir_ + "Datgl00.QRD", std::ios::binary);
    Call("PutTotal", {S("Global_Dir"), S(global_dir_)});
    Call("AbrirEmpresa", {S("Cuentas")});
    ASSERT_TRUE(e_->company_open());
  }

  // Records of the global register with that NIF (every record for "").
  int GlobalCount(const std::string& nif) {
    data::TableComponent t;
    t.OpenTable(global_dir_ + "Datgl00.QRD");
    if (!nif.empty()) t.SetFilter("NIF=" + nif);
    return t.RecordCount();
  }
  // A field of the first of them as text without trailing blanks
  // ("<none>" when there is none).
  std::string GlobalText(const std::string& nif, int field) {
    data::TableComponent t;
    t.OpenTable(global_dir_ + "Datgl00.QRD");
    t.SetFilter("NIF=" + nif);
    if (t.IsEof()) return "<none>";
    return RTrim(ToStr(t.GetField(field)));
  }

  // The company's posting log as it stands.
  std::string Log() {
    auto text = platform::CurrentEnv()->Files().ReadAll(ledger::DefaultAuditPath(*e_));
    return text.ok() ? *text : "";
  }

  std::string global_dir_;
};

}  // namespace qrole::maintenance

#endif  // QROLE_MAINTENANCE_GLOBAL_REGISTER_TEST_UTIL_H_
