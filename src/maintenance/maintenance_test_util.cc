#include "maintenance/maintenance_test_util.h"

#include "automation/convert.h"
#include "data/table_component.h"
#include "platform/path.h"
#include "qrole/error.h"
#include "web/web_session.h"

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

ScriptedWeb::ScriptedWeb(server::Enlace& e) {
  web::WebSession& s = e.web_session();
  s.client = std::make_unique<web::testing::ScriptedClient>(
      log_, [this](const std::string& method, std::vector<web::WebArg>& args) {
        if (method != "VDWebService" || args.size() != 2) return std::string("ERROR: método");
        return answer(args[1].value);
      });
  s.client_ready = true;
  s.endpoint = "https://svc.example.test/valdrix";
  s.logged_in = true;
  s.web_id = "W1";
  s.user_type = "00";
  s.request_company = "E1";
  e.state().web_mode = true;
}

std::string ScriptedWeb::OnlyDocument() const {
  const std::vector<std::string> documents = Documents();
  EXPECT_EQ(documents.size(), 1u);
  return documents.size() == 1 ? documents[0] : "";
}

std::string ScriptedWeb::Document(
    const std::string& tag, const std::vector<std::pair<std::string, std::string>>& elements) {
  std::string doc = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<" + tag +
                    ">\r\n<ID>W1</ID>\r\n<EMPRESA>E1</EMPRESA>\r\n";
  for (const auto& [name, text] : elements) doc += "<" + name + ">" + text + "</" + name + ">\r\n";
  return doc + "</" + tag + ">";
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
