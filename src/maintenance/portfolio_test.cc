#include "maintenance/portfolio.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/collection.h"
#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/table_component.h"
#include "maintenance/maintenance_test_util.h"
#include "platform/env.h"
#include "qrole/error.h"

namespace qrole::maintenance {
namespace {

TEST(FiltroCarteraTest, JoinsTheGivenCriteriaInTheirOrderAsWritten) {
  EXPECT_EQ(FiltroCartera({"", "01/01/2024", "31/01/2024", "", ""}),
            "FECHA VENCIMIENTO => 01/01/2024 AND FECHA VENCIMIENTO =< 31/01/2024");
  EXPECT_EQ(FiltroCartera({"B1", "", "", "4300000001", ""}),
            "CARTERA/BANCO=B1 AND CUENTA=4300000001");
  EXPECT_EQ(FiltroCartera({" B1 ", "240101", "", "", "000125"}),
            "CARTERA/BANCO= B1  AND FECHA VENCIMIENTO => 240101 AND ASIENTO CONTABLE=000125");
  EXPECT_EQ(FiltroCartera({"", "", "", "", "7"}), "ASIENTO CONTABLE=7");
  EXPECT_EQ(FiltroCartera({}), "");
}

// Due dates posted with two entries of 2024:
//   000001 15/03/24: 4300001 B1 15/04/24 100 "Plazo 1", B1 15/05/24 100,
//                    B2 15/06/24 100
//   000002 20/03/24: 4300002 B2 20/04/24 50 "Unico"
class PortfolioTest : public MaintenanceTest {
 protected:
  void SetUp() override {
    OpenCompany();
    Post("15/03/24", "4300001", 300,
         {{"15/04/24", "B1", "Plazo 1", 100},
          {"15/05/24", "B1", "Plazo 2", 100},
          {"15/06/24", "B2", "Plazo 3", 100}});
    Post("20/03/24", "4300002", 50, {{"20/04/24", "B2", "Unico", 50}});
  }

  struct DueDate {
    std::string fecha, cartera, notas;
    double importe;
  };
  static Variant D(double d) { return Variant::FromDouble(d); }
  static Variant Omitted() { return Variant::Missing(); }

  void Post(const std::string& fecha, const std::string& cuenta, double importe,
            const std::vector<DueDate>& due) {
    Invoke(*e_, "Fecha", typelib::Kind::kLet, {S(fecha)});
    Invoke(*e_, "Número", typelib::Kind::kLet, {S("")});
    Call("AñadirApunte", {S(cuenta), S("Factura"), Variant::FromByte(1), D(importe), S("1")});
    Call("AñadirApunte", {S("7000000"), S("Factura"), Variant::FromByte(2), D(importe), S("1")});
    for (const DueDate& d : due)
      Call("AñadirCartera", {S(d.fecha), S(cuenta), S(d.cartera), S(d.notas), D(d.importe)});
    ASSERT_EQ(Call("GrabarAsiento").value, Variant::FromInteger(0));
  }

  // The due dates a LeerCartera call gives, each as "due date account
  // portfolio mark entry", "|"-joined.
  std::string Leer(std::vector<Variant> criteria) {
    Variant result = Call("LeerCartera", std::move(criteria)).value;
    auto c = std::dynamic_pointer_cast<Collection>(result.object());
    if (!c) return "<not a collection>";
    std::string out;
    for (const Variant& item : c->items()) {
      auto r = std::dynamic_pointer_cast<RecordObject>(item.object());
      if (!r) return "<not a record>";
      out += (out.empty() ? "" : "|") + r->GetStr("FechaVencimiento") + " " + r->GetStr("Cuenta") +
             " " + r->GetStr("cartera") + " " + r->GetStr("Marca") + " " + r->GetStr("Asiento");
    }
    return out;
  }
  std::string All() { return Leer({}); }
};

TEST_F(PortfolioTest, LeerCarteraReadsTheSelectedDueDates) {
  Variant all = Call("LeerCartera").value;
  auto c = std::dynamic_pointer_cast<Collection>(all.object());
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(c->Count(), 4);
  auto first = std::dynamic_pointer_cast<RecordObject>(c->Item(1).object());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->class_name(), "CarteraClass");
  EXPECT_EQ(first->GetStr("FechaVencimiento"), "C40415");
  EXPECT_EQ(first->GetStr("Cuenta"), "4300001");
  EXPECT_EQ(first->GetStr("NOTAS"), "Plazo 1");
  EXPECT_EQ(first->GetStr("cartera"), "B1");
  EXPECT_EQ(first->Get("Importe"), D(100));
  EXPECT_EQ(first->GetStr("Marca"), "");
  EXPECT_EQ(first->GetStr("Fecha"), "C40315");
  EXPECT_EQ(first->GetStr("Asiento"), "000001");

  // Each criterion alone, and together.
  EXPECT_EQ(Leer({S("B2")}), "C40615 4300001 B2  000001|C40420 4300002 B2  000002");
  EXPECT_EQ(Leer({S(""), S("01/05/2024"), S("15/06/24")}),
            "C40515 4300001 B1  000001|C40615 4300001 B2  000001");
  EXPECT_EQ(Leer({S(""), S(""), S("240420")}),
            "C40415 4300001 B1  000001|C40420 4300002 B2  000002");
  EXPECT_EQ(Leer({S(""), S(""), S(""), S("4300002")}), "C40420 4300002 B2  000002");
  EXPECT_EQ(Leer({S(""), S(""), S(""), S(""), S("000001")}),
            "C40415 4300001 B1  000001|C40515 4300001 B1  000001|C40615 4300001 B2  000001");
  EXPECT_EQ(Leer({S("B2"), S(""), S(""), S("4300001"), S("000001")}), "C40615 4300001 B2  000001");

  // Nothing selected: an empty collection, not Nothing.
  Variant none = Call("LeerCartera", {S("B9")}).value;
  ASSERT_FALSE(none.IsNothing());
  auto empty = std::dynamic_pointer_cast<Collection>(none.object());
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->Count(), 0);
  // Every call gives a collection of its own.
  EXPECT_NE(Call("LeerCartera").value.object(), all.object());

  // The pending due dates are not touched.
  Call("AñadirCartera", {S("01/07/24"), S("4300001"), S("B1"), S(""), D(1)});
  EXPECT_EQ(Leer({S("B1")}), "C40415 4300001 B1  000001|C40515 4300001 B1  000001");
  EXPECT_EQ(Invoke(*e_, "ContadorCartera", typelib::Kind::kGet, {}).value, Variant::FromLong(1));
}

TEST_F(PortfolioTest, MarcarCarteraMarksTheSelectedDueDatesOnly) {
  // MarcarCartera("P", , , , , "000001")
  EXPECT_EQ(Call("MarcarCartera", {S("P"), Omitted(), Omitted(), Omitted(), Omitted(), S("000001")})
                .value,
            Variant::FromLong(0));
  EXPECT_EQ(All(),
            "C40415 4300001 B1 P 000001|C40515 4300001 B1 P 000001|C40615 4300001 B2 P 000001|"
            "C40420 4300002 B2  000002");
  // A later mark replaces the earlier one.
  Call("MarcarCartera", {S("X"), S("B2")});
  EXPECT_EQ(All(),
            "C40415 4300001 B1 P 000001|C40515 4300001 B1 P 000001|C40615 4300001 B2 X 000001|"
            "C40420 4300002 B2 X 000002");
  // The mark keeps the width of its field.
  Call("MarcarCartera", {S("PAGADO"), S(""), S("15/04/24"), S("15/04/24")});
  EXPECT_EQ(Leer({S(""), S("15/04/24"), S("15/04/24")}), "C40415 4300001 B1 PA 000001");
  // An empty mark clears it.
  EXPECT_EQ(Call("MarcarCartera", {S("")}).value, Variant::FromLong(0));
  EXPECT_EQ(All(),
            "C40415 4300001 B1  000001|C40515 4300001 B1  000001|C40615 4300001 B2  000001|"
            "C40420 4300002 B2  000002");
}

TEST_F(PortfolioTest, AnularCarteraDeletesTheSelectedDueDates) {
  EXPECT_EQ(Call("AnularCartera", {S("B1"), S(""), S(""), S("4300001")}).value,
            Variant::FromLong(0));
  EXPECT_EQ(All(), "C40615 4300001 B2  000001|C40420 4300002 B2  000002");
  // A selection without records deletes nothing.
  EXPECT_EQ(Call("AnularCartera", {S("B1")}).value, Variant::FromLong(0));
  EXPECT_EQ(All(), "C40615 4300001 B2  000001|C40420 4300002 B2  000002");
  // No criterion: every due date of the company.
  EXPECT_EQ(Call("AnularCartera").value, Variant::FromLong(0));
  EXPECT_EQ(All(), "");
  // New due dates go on after them.
  Post("21/03/24", "4300002", 10, {{"21/04/24", "B3", "", 10}});
  EXPECT_EQ(All(), "C40421 4300002 B3  000003");
}

TEST_F(PortfolioTest, ASelectionThatCannotBeReadChangesNothing) {
  std::string text;
  EXPECT_EQ(ErrorNumber(
                [&] {
                  Call("MarcarCartera", {S("P"), S(""), S("mañana")});
                },
                &text),
            ObjectError(data::kConditionError));
  EXPECT_NE(text.find("mañana"), std::string::npos) << text;
  EXPECT_EQ(ErrorNumber([&] {
              Call("AnularCartera", {S(""), S(""), S("31/02/24")});
            }),
            ObjectError(data::kConditionError));
  EXPECT_EQ(All(),
            "C40415 4300001 B1  000001|C40515 4300001 B1  000001|C40615 4300001 B2  000001|"
            "C40420 4300002 B2  000002");
}

TEST_F(PortfolioTest, WithoutACompanyNothingIsOpenedNorCreated) {
  auto closed = server::Enlace::Create();
  for (const char* member : {"LeerCartera", "MarcarCartera", "AnularCartera"}) {
    std::vector<Variant> args;
    if (std::string(member) == "MarcarCartera") args.push_back(S("P"));
    EXPECT_EQ(ErrorNumber([&] { Invoke(*closed, member, typelib::Kind::kMethod, args); }),
              ObjectError(50006))
        << member;
  }
  // A closed company keeps its directory, but no company number to name
  // the table with.
  Call("CerrarEmpresa");
  EXPECT_EQ(ErrorNumber([&] { Call("AnularCartera"); }), ObjectError(50006));
  EXPECT_EQ(ErrorNumber([&] { Call("MarcarCartera", {S("P")}); }), ObjectError(50006));
  EXPECT_FALSE(platform::CurrentEnv()->Files().Exists(e_->state().company_directory + "EFECT.qrd"));
  Call("AbrirEmpresa", {S("Cuentas")});
  EXPECT_EQ(Leer({S(""), S(""), S(""), S("4300002")}), "C40420 4300002 B2  000002");
}

// In web mode the selection goes to the service as a filter of "EFECT".
class PortfolioWebTest : public PortfolioTest {
 protected:
  void SetUp() override {
    PortfolioTest::SetUp();
    local_ = All();
    web_ = std::make_unique<ScriptedWeb>(*e_);
  }
  void Answer(const std::string& text) {
    web_->answer = [text](const std::string&) { return text; };
  }
  // The local due dates have not changed.
  void ExpectLocalUnchanged() {
    e_->state().web_mode = false;
    EXPECT_EQ(All(), local_);
    e_->state().web_mode = true;
  }
  std::string local_;
  std::unique_ptr<ScriptedWeb> web_;
};

TEST_F(PortfolioWebTest, MarkingAndDeletingAnswerTheServicesCount) {
  Answer("3 registros");
  // MarcarCartera("A&B=1", , , , , "125")
  EXPECT_EQ(
      Call("MarcarCartera", {S("A&B=1"), Omitted(), Omitted(), Omitted(), Omitted(), S("125")})
          .value,
      Variant::FromLong(3));
  Answer("2");
  EXPECT_EQ(Call("AnularCartera", {S("B1"), S("01/01/2024"), S("31/01/2024")}).value,
            Variant::FromLong(2));
  Answer("ninguno");
  EXPECT_EQ(Call("AnularCartera").value, Variant::FromLong(0));

  const std::vector<std::string> docs = web_->Documents();
  ASSERT_EQ(docs.size(), 3u);
  // The field list is escaped once more inside its item.
  EXPECT_EQ(docs[0], ScriptedWeb::Document("FILTERUPDATE", {{"FILTER", "ASIENTO CONTABLE=125"},
                                                            {"CAMPOS", "7=A&#38;#38;B-1\t"},
                                                            {"ARCHIVO", "EFECT"}}));
  EXPECT_EQ(docs[1], ScriptedWeb::Document("FILTERBORRAR",
                                           {{"FILTER",
                                             "CARTERA/BANCO=B1 AND FECHA VENCIMIENTO =&#62; "
                                             "01/01/2024 AND FECHA VENCIMIENTO =&#60; 31/01/2024"},
                                            {"ARCHIVO", "EFECT"}}));
  // No criterion: the empty filter, which selects every due date.
  EXPECT_EQ(docs[2], ScriptedWeb::Document("FILTERBORRAR", {{"FILTER", ""}, {"ARCHIVO", "EFECT"}}));
  ExpectLocalUnchanged();

  Answer("ERROR: tabla bloqueada");
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Call("AnularCartera"); }, &text), static_cast<int32_t>(0x8004C35D));
  EXPECT_EQ(text, "ERROR: tabla bloqueada");
  EXPECT_EQ(ErrorNumber([&] { Call("MarcarCartera", {S("P")}); }),
            static_cast<int32_t>(0x8004C35D));
  ExpectLocalUnchanged();
}

TEST_F(PortfolioWebTest, ReadingBuildsTheDueDatesFromTheAnswersColumns) {
  // The header says which column holds which field; a row may lack some.
  Answer(
      "1\t2\t6\t5\t9\t7\t99\r\n"
      "15/04/24\t4300001\t100,5\tB1\t000001\tP\tx\r\n"
      "\r\n"
      "20/04/24\t4300002\tnada\n");
  Variant result = Call("LeerCartera", {S(""), S(""), S(""), S("43*")}).value;
  auto c = std::dynamic_pointer_cast<Collection>(result.object());
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(c->Count(), 2);
  auto first = std::dynamic_pointer_cast<RecordObject>(c->Item(1).object());
  auto second = std::dynamic_pointer_cast<RecordObject>(c->Item(2).object());
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->class_name(), "CarteraClass");
  EXPECT_EQ(first->GetStr("FechaVencimiento"), "15/04/24");
  EXPECT_EQ(first->GetStr("Cuenta"), "4300001");
  EXPECT_EQ(first->Get("Importe"), D(100.5));  // the locale's decimal comma
  EXPECT_EQ(first->GetStr("cartera"), "B1");
  EXPECT_EQ(first->GetStr("Asiento"), "000001");
  EXPECT_EQ(first->GetStr("Marca"), "P");
  EXPECT_EQ(first->GetStr("NOTAS"), "");  // not in the answer
  EXPECT_EQ(first->GetStr("Fecha"), "");
  EXPECT_EQ(second->GetStr("Cuenta"), "4300002");
  EXPECT_EQ(second->Get("Importe"), D(0));  // not a number
  EXPECT_EQ(second->GetStr("cartera"), "");
  EXPECT_EQ(web_->OnlyDocument(),
            ScriptedWeb::Document("BUSCAR", {{"FILTER", "CUENTA=43*"}, {"ARCHIVO", "EFECT"}}));

  // A header alone: an empty collection, not Nothing.
  Answer("1\t2\t6");
  Variant none = Call("LeerCartera", {S("B9")}).value;
  auto empty = std::dynamic_pointer_cast<Collection>(none.object());
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->Count(), 0);
  EXPECT_EQ(Invoke(*e_, "ContadorCartera", typelib::Kind::kGet, {}).value, Variant::FromLong(0));

  Call("CerrarEmpresa");
  EXPECT_EQ(ErrorNumber([&] { Call("LeerCartera"); }), ObjectError(50006));
  EXPECT_EQ(web_->Documents().size(), 2u);
}

}  // namespace
}  // namespace qrole::maintenance
