// An open company, a fixed clock and fixed user and machine names for the
// tests of the pending entry and the entry numbers.
#ifndef QROLE_POSTING_POSTING_TEST_UTIL_H_
#define QROLE_POSTING_POSTING_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/dispatcher.h"
#include "platform/fake_clock.h"
#include "platform/scoped_temp_dir.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace qrole::posting {

class PostingEnv : public server::TestEnv {
 public:
  explicit PostingEnv(const std::string& registry)
      : TestEnv(registry), clock_(platform::LocalDateTime{2026, 12, 8, 9, 5, 7}) {}
  platform::Clock& GetClock() override { return clock_; }
  std::string ComputerName() override { return "PUESTO1"; }
  std::string UserName() override { return "contable"; }
  platform::FakeClock& clock() { return clock_; }

 private:
  platform::FakeClock clock_;
};

class PostingTest : public ::testing::Test {
 protected:
  PostingTest() : env_(Registry()) {}

  std::string Registry() {
    data_dir_ = dirs_.path() + "/datos/";
    platform::CurrentEnv()->Files().CreateDirectories(data_dir_).IgnoreError();
    return "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ + "\nVersion=7.5\n";
  }

  InvokeResult Call(const std::string& name, std::vector<Variant> args = {},
                    typelib::Kind kind = typelib::Kind::kMethod) {
    return Invoke(*e_, name, kind, std::move(args));
  }
  Variant Get(const std::string& name) { return Call(name, {}, typelib::Kind::kGet).value; }
  void Let(const std::string& name, const Variant& v) { Call(name, {v}, typelib::Kind::kLet); }
  static Variant S(const std::string& s) { return Variant::FromString(s); }
  static Variant D(double d) { return Variant::FromDouble(d); }

  // Creates and opens company "Libros" (a 2024 company with the 2007 chart).
  void OpenCompany() {
    Call("CrearEmpresa", {S("Libros"), S("24")});
    Call("AbrirEmpresa", {S("Libros")});
  }
  // The lines of the company's posting log of the clock's year.
  std::vector<std::string> LogLines();
  // A field of a record object.
  static Variant Field(const Variant& record, const std::string& field);
  // Appends a journal line with entry number `number` to the open company.
  void AddJournalLine(const std::string& number);
  // The company file's header bytes of the entry counter.
  std::string CounterInFile();

  platform::ScopedTempDir dirs_;
  std::string data_dir_;
  PostingEnv env_;
  std::shared_ptr<server::Enlace> e_ = server::Enlace::Create();
};

// The number of the automation error `f` raises (0 when none).
int32_t ErrorNumber(const std::function<void()>& f, std::string* description = nullptr);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_POSTING_TEST_UTIL_H_
