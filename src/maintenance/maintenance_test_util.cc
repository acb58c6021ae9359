#include "maintenance/maintenance_test_util.h"

#include "automation/convert.h"
#include "data/table_component.h"
#include "platform/path.h"
#include "qrole/error.h"

namespace qrole::maintenance {

std::string MaintenanceTest::Registry() {
  data_dir_ = dirs_.path() + "/datos/";
  platform::CurrentEnv()->Files().CreateDirectories(data_dir_).IgnoreError();
  return "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ + "\nVersion=7.5\n";
}

Variant MaintenanceTest::ByRef(const InvokeResult& r, int position) {
  for (const auto& [p, v] : r.byref) {
    if (p == position) return v;
  }
  ADD_FAILURE() << "no by-reference value at " << position;
  return Variant();
}

void MaintenanceTest::OpenCompany() {
  Call("CrearEmpresa", {S("Cuentas"), S("24")});
  Call("AbrirEmpresa", {S("Cuentas")});
  ASSERT_TRUE(e_->company_open());
}

std::string MaintenanceTest::TablePath(const std::string& table) const {
  return platform::JoinPath(e_->state().company_directory,
                            table + e_->state().company_number + ".QRD");
}

int MaintenanceTest::Count(const std::string& table, const std::string& code) {
  data::TableComponent t;
  t.OpenCompanyTable(table, e_->state().company_directory, e_->state().company_number);
  t.SetFilter("CUENTA=" + code);
  return t.RecordCount();
}

std::string MaintenanceTest::Text(const std::string& table, const std::string& code, int field,
                                  int element) {
  data::TableComponent t;
  t.OpenCompanyTable(table, e_->state().company_directory, e_->state().company_number);
  t.SetFilter("CUENTA=" + code);
  if (t.IsEof()) return "<none>";
  return RTrim(ToStr(t.GetField(field, element)));
}

void MaintenanceTest::AddRecord(const std::string& table, const std::string& code,
                                const std::string& name) {
  data::TableComponent t;
  t.OpenCompanyTable(table, e_->state().company_directory, e_->state().company_number);
  t.AddNew();
  t.SetField(1, 0, Variant::FromString(code));
  t.SetField(2, 0, Variant::FromString(name));
  t.Update();
}

int32_t ErrorNumber(const std::function<void()>& f, std::string* description) {
  try {
    f();
  } catch (const AutomationError& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

}  // namespace qrole::maintenance
