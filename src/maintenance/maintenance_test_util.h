// An open company for the tests of account and budget maintenance, with a
// file system that fails on request, and readers of the records written.
#ifndef QROLE_MAINTENANCE_MAINTENANCE_TEST_UTIL_H_
#define QROLE_MAINTENANCE_MAINTENANCE_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/dispatcher.h"
#include "platform/fault_injection.h"
#include "platform/scoped_temp_dir.h"
#include "server/enlace.h"
#include "server/test_env.h"
#include "web/scripted_client_test_util.h"

namespace qrole::maintenance {

class MaintenanceEnv : public server::TestEnv {
 public:
  explicit MaintenanceEnv(const std::string& registry)
      : TestEnv(registry), faults_(&TestEnv::Files()) {}
  platform::FileSystem& Files() override { return faults_; }
  platform::FaultInjectingFileSystem& faults() { return faults_; }

 private:
  platform::FaultInjectingFileSystem faults_;
};

class MaintenanceTest : public ::testing::Test {
 protected:
  MaintenanceTest() : env_(Registry()) {}

  std::string Registry();

  InvokeResult Call(const std::string& name, std::vector<Variant> args = {}) {
    return Invoke(*e_, name, typelib::Kind::kMethod, std::move(args));
  }
  static Variant S(const std::string& s) { return Variant::FromString(s); }
  // The value a by-reference argument at `position` had after the call.
  static Variant ByRef(const InvokeResult& r, int position);

  // Creates and opens company "Cuentas" (2024, with the 2007 chart).
  void OpenCompany();
  // The full path of a table file of the open company.
  std::string TablePath(const std::string& table) const;

  // Records of `table` whose code (field 1) is `code`.
  int Count(const std::string& table, const std::string& code);
  // A field of the first of them, as text without trailing blanks
  // ("<none>" when there is none).
  std::string Text(const std::string& table, const std::string& code, int field, int element = 0);
  // Appends a record of `table` with field 1 = `code` and field 2 = `name`.
  void AddRecord(const std::string& table, const std::string& code, const std::string& name);

  platform::ScopedTempDir dirs_;
  std::string data_dir_;
  MaintenanceEnv env_;
  std::shared_ptr<server::Enlace> e_ = server::Enlace::Create();
};

// Puts an object in web mode (logged in to svc.example.test as web ID "W1",
// company "E1")
// against a scripted service: every request document is kept, and answered
// by `answer` (by default "OK").
class ScriptedWeb {
 public:
  explicit ScriptedWeb(server::Enlace& e);

  std::function<std::string(const std::string& document)> answer = [](const std::string&) {
    return std::string("OK");
  };
  // The documents sent so far.
  std::vector<std::string> Documents() const { return log_->Documents(); }
  // The only document sent so far ("" and a failure when there is not one).
  std::string OnlyDocument() const;

  // A request document as the web link writes it for PeticionWebCampos:
  // the tag, the ID and company, and one element per (name, text) pair.
  static std::string Document(const std::string& tag,
                              const std::vector<std::pair<std::string, std::string>>& elements);

 private:
  std::shared_ptr<web::testing::ClientLog> log_ = std::make_shared<web::testing::ClientLog>();
};

// The number of the automation error `f` raises (0 when none).
int32_t ErrorNumber(const std::function<void()>& f, std::string* description = nullptr);

}  // namespace qrole::maintenance

#endif  // QROLE_MAINTENANCE_MAINTENANCE_TEST_UTIL_H_
