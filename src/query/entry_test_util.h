// An open company whose entries the tests post through the dispatcher and
// read back, for the tests of entry reads and entry identifiers.
#ifndef QROLE_QUERY_ENTRY_TEST_UTIL_H_
#define QROLE_QUERY_ENTRY_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "automation/record_object.h"
#include "platform/scoped_temp_dir.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace qrole::query {

class EntryTest : public ::testing::Test {
 protected:
  EntryTest() : env_(Registry()) {
    Call("CrearEmpresa", {S("Libros"), S("24")});
    Call("AbrirEmpresa", {S("Libros")});
  }

  std::string Registry() {
    data_dir_ = dirs_.path() + "/datos/";
    platform::CurrentEnv()->Files().CreateDirectories(data_dir_).IgnoreError();
    return "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ + "\nVersion=7.5\n";
  }

  static Variant S(const std::string& s) { return Variant::FromString(s); }
  static Variant D(double d) { return Variant::FromDouble(d); }
  static Variant B(int b) { return Variant::FromByte(static_cast<uint8_t>(b)); }

  Variant Call(const std::string& name, std::vector<Variant> args = {}) {
    return Invoke(*e_, name, typelib::Kind::kMethod, std::move(args)).value;
  }
  Variant Get(const std::string& name, std::vector<Variant> args = {}) {
    return Invoke(*e_, name, typelib::Kind::kGet, std::move(args)).value;
  }
  void Let(const std::string& name, const Variant& v, std::vector<Variant> args = {}) {
    args.push_back(v);
    Invoke(*e_, name, typelib::Kind::kLet, std::move(args));
  }

  // Starts an entry of date `fecha`: under the next number of the counter,
  // or under `numero` when given.
  void Start(const std::string& fecha, const std::string& numero = "") {
    Let("Fecha", S(fecha));
    Let("Número", S(numero));
  }
  void Line(const std::string& cuenta, int tipo, double importe, const std::string& descripcion,
            std::vector<Variant> more = {}) {
    std::vector<Variant> args = {S(cuenta), S(descripcion), B(tipo), D(importe), S("1")};
    for (auto& v : more) args.push_back(v);
    Call("AñadirApunte", args);
  }
  void Post() { Call("GrabarAsiento"); }
  // A balanced two-line entry.
  void PostEntry(const std::string& fecha, const std::string& descripcion, double importe = 100,
                 const std::string& numero = "") {
    Start(fecha, numero);
    Line("5720", 1, importe, descripcion);
    Line("4300", 2, importe, descripcion);
    Post();
  }

  int32_t Count(const std::string& counter) { return ToLong(Get(counter)); }
  // Field `field` of item `i` of a collection, through its accessor.
  Variant Item(const std::string& accessor, int i, const std::string& field) {
    auto r =
        std::dynamic_pointer_cast<RecordObject>(Call(accessor, {Variant::FromLong(i)}).object());
    if (!r) {
      ADD_FAILURE() << accessor << "(" << i << ") is Nothing";
      return Variant();
    }
    return r->Get(field);
  }
  std::string Text(const std::string& accessor, int i, const std::string& field) {
    return ToStr(Item(accessor, i, field));
  }
  // The descriptions of the journal lines read, in order.
  std::vector<std::string> Descriptions() {
    std::vector<std::string> out;
    for (int i = 1; i <= Count("ContadorApuntes"); ++i)
      out.push_back(Text("Apunte", i, "Descripción"));
    return out;
  }
  // The items of a collection the server handed back, as texts.
  static std::vector<std::string> Texts(const Variant& collection) {
    std::vector<std::string> out;
    auto c = std::dynamic_pointer_cast<Collection>(collection.object());
    if (!c) {
      ADD_FAILURE() << "not a collection";
      return out;
    }
    for (const Variant& v : c->items()) out.push_back(ToStr(v));
    return out;
  }

  // The number of the automation error `f` raises (0 when none).
  static int32_t ErrorOf(const std::function<void()>& f, std::string* description = nullptr) {
    try {
      f();
    } catch (const AutomationError& e) {
      if (description) *description = e.description();
      return e.number();
    }
    return 0;
  }

  platform::ScopedTempDir dirs_;
  std::string data_dir_;
  server::TestEnv env_;
  std::shared_ptr<server::Enlace> e_ = server::Enlace::Create();
};

inline constexpr int32_t kNoCompany = static_cast<int32_t>(0x8004C356);

}  // namespace qrole::query

#endif  // QROLE_QUERY_ENTRY_TEST_UTIL_H_
