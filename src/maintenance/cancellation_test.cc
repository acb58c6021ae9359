#include "maintenance/cancellation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "data/company_tables.h"
#include "data/globals.h"
#include "data/keyed_engine.h"
#include "data/record_file.h"
#include "data/table_component.h"
#include "maintenance/maintenance_test_util.h"
#include "platform/fake_clock.h"
#include "platform/fault_injection.h"
#include "platform/scoped_temp_dir.h"
#include "platform/text_encoding.h"
#include "server/enlace.h"
#include "server/test_env.h"

namespace qrole::maintenance {
namespace {

using typelib::Kind;

constexpr int32_t kNoCompany = static_cast<int32_t>(0x8004C356);
constexpr int32_t kBadDate = static_cast<int32_t>(0x8004C353);
constexpr int32_t kRefused = static_cast<int32_t>(0x8004C35A);
constexpr double kMissing = -999999;

// A company's files that fail on request, and a clock that does not wait.
class CancellationEnv : public server::TestEnv {
 public:
  explicit CancellationEnv(const std::string& registry)
      : TestEnv(registry),
        faults_(&TestEnv::Files()),
        clock_(platform::LocalDateTime{2026, 12, 8, 9, 5, 7}) {}
  platform::FileSystem& Files() override { return faults_; }
  platform::Clock& GetClock() override { return clock_; }
  platform::FaultInjectingFileSystem& faults() { return faults_; }

 private:
  platform::FaultInjectingFileSystem faults_;
  platform::FakeClock clock_;
};

class CancellationTest : public ::testing::Test {
 protected:
  CancellationTest() : env_(Registry()) {}

  std::string Registry() {
    data_dir_ = dirs_.path() + "/datos/";
    platform::CurrentEnv()->Files().CreateDirectories(data_dir_).IgnoreError();
    return "[SOFTWARE\\QRN\\Valdrix\\Settings]\nDATOS_DIR=" + data_dir_ + "\nVersion=7.5\n";
  }

  void SetUp() override {
    Call("CrearEmpresa", {S("Anular"), S("24")});
    Call("AbrirEmpresa", {S("Anular")});
    ASSERT_TRUE(e_->company_open());
  }

  InvokeResult Call(const std::string& name, std::vector<Variant> args = {},
                    const NamedArgs& named = {}) {
    return Invoke(*e_, name, Kind::kMethod, std::move(args), named);
  }
  void Let(const std::string& name, const Variant& v) { Invoke(*e_, name, Kind::kLet, {v}); }
  static Variant S(const std::string& s) { return Variant::FromString(s); }
  static Variant D(double d) { return Variant::FromDouble(d); }
  static Variant B(bool b) { return Variant::FromBool(b); }
  static Variant L(int32_t n) { return Variant::FromLong(n); }

  // Starts an entry of `date` under the next number, which it returns.
  std::string Entry(const std::string& date = "15/03/24") {
    Let("Fecha", S(date));
    Let("Número", S(""));
    return Invoke(*e_, "Número", Kind::kGet, {}).value.str();
  }
  void Line(const std::string& account, int tipo, double amount, const std::string& journal = "1",
            const std::string& reference = "", const std::string& image = "") {
    Call("AñadirApunte", {S(account), S("Linea"), Variant::FromByte(static_cast<uint8_t>(tipo)),
                          D(amount), S(journal), S(""), S("000"), S(reference), S(""), S(image)});
  }
  // A VAT line of 21% on a base of 100 for invoice `invoice`.
  void Vat(const std::string& invoice, const std::string& reference = "") {
    Call("AñadirIVA",
         {S("4300001"), S("4770"), S(invoice), S("15/03/2024"), S("21"), S("R"), D(100), D(121)},
         {{"Referencia", S(reference)}});
  }
  void Portfolio(const std::string& due, double amount) {
    Call("AñadirCartera", {S(due), S("4300001"), S("R"), S("Recibo"), D(amount)});
  }
  void Withholding() {
    Call("AñadirRetencion",
         {S("4100001"), S("Asesor"), S("B1"), S("F-9"), D(1000), S("4751"), D(15), S("28"), S(""),
          S("15/03/24"), D(0), D(0), D(150), D(0), S("G")});
  }
  void Post() { ASSERT_EQ(Call("GrabarAsiento").value, Variant::FromInteger(0)); }

  // Period `mes` of the debits or credits of an account of the chart (or of
  // the cost-centre chart); kMissing when the chart lacks it.
  double Balance(const std::string& account, int mes, bool debit, int chart = 1) {
    if (!Call("LeerPlanEx", {L(chart), S(account)}).value.boolean()) return kMissing;
    return Call(debit ? "PlanDebe" : "PlanHaber", {L(1), L(mes)}).value.dbl();
  }
  double Debit(const std::string& account, int mes = 3) { return Balance(account, mes, true); }
  double Credit(const std::string& account, int mes = 3) { return Balance(account, mes, false); }

  std::string Dir() const { return e_->state().company_directory; }
  std::string Number() const { return e_->state().company_number; }

  // Live records of a company table that `condition` selects.
  int Count(const std::string& table, const std::string& condition = "") {
    data::TableComponent t;
    t.OpenCompanyTable(table, Dir(), Number());
    t.SetFilter(condition);
    return t.RecordCount();
  }
  // The record number of the first of them (0 when none).
  int32_t RecordOf(const std::string& table, const std::string& condition) {
    data::TableComponent t;
    t.OpenCompanyTable(table, Dir(), Number());
    t.SetFilter(condition);
    return t.RecordNumber();
  }
  std::string Title(const std::string& account) {
    data::TableComponent t;
    t.OpenCompanyTable("PLANC", Dir(), Number());
    t.SetFilter("CUENTA = " + account);
    return t.IsEof() ? "<none>" : RTrim(ToStr(t.GetField(2)));
  }
  double HeaderTotal(const std::string& name) {
    return ToDouble(Call("GetTotal", {S(name)}).value);
  }

  platform::ScopedTempDir dirs_;
  std::string data_dir_;
  CancellationEnv env_;
  std::shared_ptr<server::Enlace> e_ = server::Enlace::Create();
};

TEST_F(CancellationTest, AnularAsientoRemovesTheEntryAndEverythingPostedWithIt) {
  const std::string first = Entry();
  Line("4300001", 1, 121);
  Line("7000001", 2, 100);
  Line("4770", 2, 21);
  Vat("F-1");
  Portfolio("15/04/24", 60.5);
  Portfolio("15/05/24", 60.5);
  Withholding();
  Post();
  const std::string second = Entry();
  Line("4300002", 1, 50);
  Line("7000002", 2, 50);
  Portfolio("15/04/24", 50);
  Post();
  ASSERT_EQ(Count("EXTRA"), 5);
  ASSERT_EQ(Debit("430"), 171);
  ASSERT_EQ(Title("7000"), "<none>");  // a level the chart lacks: posting passes it by
  const double debits = HeaderTotal("CARGOSA");
  const double credits = HeaderTotal("ABONOSA");
  // Something pending stays pending.
  Line("5720", 1, 5);

  EXPECT_EQ(Call("AnularAsiento", {S("15/03/24"), S(first)}).value, Variant::FromInteger(0));
  EXPECT_EQ(Count("EXTRA", "ASIENTO = " + first), 0);
  EXPECT_EQ(Count("EXTRA", "ASIENTO = " + second), 2);
  EXPECT_EQ(Count("IVA01"), 0);
  EXPECT_EQ(Count("EFECT", "ASIENTO CONTABLE = " + first), 0);
  EXPECT_EQ(Count("EFECT", "ASIENTO CONTABLE = " + second), 1);
  EXPECT_EQ(Count("Ret01"), 0);

  // Every level holds what the remaining entry put there, and nothing else.
  for (const char* level : {"4", "43", "430", "4300", "4300002"})
    EXPECT_EQ(Debit(level), 50) << level;
  for (const char* level : {"7", "70", "700", "7000002"}) EXPECT_EQ(Credit(level), -50) << level;
  EXPECT_EQ(Debit("4300001"), 0);
  EXPECT_EQ(Credit("7000001"), 0);
  EXPECT_EQ(Credit("4770"), 0);
  EXPECT_EQ(Credit("477"), 0);
  // The missing levels of the accounts are created, holding the lines below them.
  EXPECT_EQ(Title("7000"), "*** MAYOR SIN TÍTULO ***");
  EXPECT_EQ(Credit("7000"), -50);
  EXPECT_EQ(Credit("70000"), -50);
  EXPECT_EQ(Debit("43000"), 50);

  // The company totals lose the entry's debits and credits (credits negative).
  EXPECT_EQ(HeaderTotal("CARGOSA") - debits, -121);
  EXPECT_EQ(HeaderTotal("ABONOSA") - credits, 121);
  EXPECT_EQ(Call("GetTotal", {S("MES")}).value, S("03"));

  EXPECT_TRUE(e_->state().entry_started);
  EXPECT_EQ(Invoke(*e_, "ContadorApuntes", Kind::kGet, {}).value, L(1));

  // An entry that is not there: nothing changes.
  EXPECT_EQ(Call("AnularAsiento", {S("240315"), S(first)}).value, Variant::FromInteger(0));
  EXPECT_EQ(Count("EXTRA"), 2);
  EXPECT_EQ(Debit("430"), 50);
  EXPECT_EQ(HeaderTotal("CARGOSA") - debits, -121);
}

TEST_F(CancellationTest, LinesComeOutOfTheirOwnPeriodWhateverTheirTypeAndCurrency) {
  const std::string number = Entry();
  Line("5720", 1, 100, "C");  // closing
  Line("5720", 3, 30, "A");   // a negative debit, at the opening
  Line("5720", 4, 30, "B");   // a positive credit, at the regularisation
  Line("4300", 2, 100, "1");
  Post();
  ASSERT_EQ(Debit("5720", 14), 100);
  ASSERT_EQ(Debit("572", 0), -30);
  ASSERT_EQ(Credit("57", 13), 30);
  // A line in another currency is held in the company's currency.
  Let("Moneda", S("USD"));
  Let("CambioMoneda", D(2));
  const std::string other = Entry();
  Line("5720", 1, 10);
  Post();
  Let("Moneda", S(""));
  Let("CambioMoneda", D(0));
  ASSERT_EQ(Debit("5720"), 20);

  Call("AnularAsiento", {S("15/03/24"), S(number)});
  Call("AnularAsiento", {S("15/03/2024"), S(other)});
  EXPECT_EQ(Count("EXTRA"), 0);
  for (const char* level : {"5", "57", "572", "5720"}) {
    for (int mes = 0; mes <= 14; ++mes) {
      EXPECT_EQ(Debit(level, mes), 0) << level << " " << mes;
      EXPECT_EQ(Credit(level, mes), 0) << level << " " << mes;
    }
  }
  EXPECT_EQ(Credit("4300"), 0);
}

TEST_F(CancellationTest, ForeignCurrencyLinesComeOutInTheCompanysCurrency) {
  Let("Moneda", S("USD"));
  Let("CambioMoneda", D(2));
  Entry();
  Line("5720", 1, 10, "1", "R-1");
  Line("4300", 2, 10, "1", "R-2");
  Post();
  Let("Moneda", S(""));
  Let("CambioMoneda", D(0));
  // Posted as the journal holds it: 10 dollars are 20 in the company's
  // currency.
  ASSERT_EQ(Debit("5720"), 20);
  ASSERT_EQ(Credit("4300"), -20);
  Call("AnularApuntePorRegistro", {L(RecordOf("EXTRA", "REFERENCIA = R-1"))});
  Call("AnularApuntePorReferencia", {S("R-2")});
  EXPECT_EQ(Count("EXTRA"), 0);
  for (const char* level : {"5", "57", "572", "5720"}) EXPECT_EQ(Debit(level), 0) << level;
  for (const char* level : {"4", "43", "430", "4300"}) EXPECT_EQ(Credit(level), 0) << level;
}

TEST_F(CancellationTest, AnularAsientoRefusesALockedEntryAndBadArguments) {
  const std::string pdf = dirs_.path() + "/factura.pdf";
  ASSERT_TRUE(platform::CurrentEnv()->Files().WriteAllAtomic(pdf, "%PDF-1.4 una factura").ok());
  const std::string number = Entry();
  Line("5720", 1, 10, "1", "", pdf);
  Line("4300", 2, 10);
  Portfolio("15/04/24", 10);
  Post();

  std::string description;
  EXPECT_EQ(ErrorNumber(
                [&] {
                  Call("AnularAsiento", {S("15/03/24"), S(number)});
                },
                &description),
            kRefused);
  EXPECT_EQ(description,
            "No se puede borrar el asiento ya que esta bloqueado segun la Ley de fraude");
  EXPECT_EQ(Count("EXTRA"), 2);
  EXPECT_EQ(Count("EFECT"), 1);
  EXPECT_EQ(Debit("5720"), 10);
  EXPECT_FALSE(e_->state().entry_started);

  // A date outside the fiscal year, or no company.
  EXPECT_EQ(ErrorNumber([&] { Call("AnularAsiento", {S("15/03/25"), S(number)}); }), kBadDate);
  auto closed = server::Enlace::Create();
  EXPECT_EQ(ErrorNumber([&] {
              Invoke(*closed, "AnularAsiento", Kind::kMethod, {S("15/03/24"), S(number)});
            }),
            kNoCompany);
  EXPECT_EQ(Count("EXTRA"), 2);
}

// Cost-centre levels of one, two and three characters, an analytic account
// 6280001 and the cost centre 101.
class AnalyticCancellationTest : public CancellationTest {
 protected:
  void SetUp() override {
    CancellationTest::SetUp();
    Call("PutTotal", {S("NivelesCosto"), S("12305")});
    Call("AbrirEmpresa", {S("Anular")});
    Call("CrearCuenta", {S("6280001"), S("Luz"), S("0"), B(true)});
    Call("CrearAnalitica", {S("101"), S("Taller")});
  }
  // An entry of 100 on 6280001 shared out to cost centre 101 as 60 and 40;
  // returns the record of the line on 6280001.
  int32_t PostDistributed() {
    const std::string number = Entry();
    Line("6280001", 1, 100);
    Line("5720", 2, 100);
    Call("AñadirAnalitica", {S("6280001"), S("101"), S(""), Variant::FromByte(1), D(60), S("1")});
    Call("AñadirAnalitica", {S("6280001"), S("101"), S(""), Variant::FromByte(1), D(40), S("1")});
    Post();
    return RecordOf("EXTRA", "ASIENTO = " + number + " and CUENTA = 6280001");
  }
  double CostCentre(const std::string& account) { return Balance(account, 3, true, 8); }
};

TEST_F(AnalyticCancellationTest, ByRecordTakesOutOneLineWithOrWithoutItsAnalyticLines) {
  const int32_t kept = PostDistributed();
  ASSERT_GT(kept, 0);
  ASSERT_EQ(CostCentre("101"), 100);
  ASSERT_EQ(Count("Anali"), 2);

  // Without its analytic lines: they and the cost centres stay.
  EXPECT_EQ(Call("AnularApuntePorRegistro", {L(kept), B(false)}).value, B(false));
  EXPECT_EQ(Count("EXTRA", "CUENTA = 6280001"), 0);
  EXPECT_EQ(Count("EXTRA", "CUENTA = 5720"), 1);
  EXPECT_EQ(Debit("6280001"), 0);
  EXPECT_EQ(Debit("628"), 0);
  EXPECT_EQ(Credit("5720"), -100);
  EXPECT_EQ(Count("Anali"), 2);
  EXPECT_EQ(CostCentre("101"), 100);

  // By default they go too, out of the cost centres and their levels.
  const int32_t removed = PostDistributed();
  ASSERT_EQ(CostCentre("101"), 200);
  EXPECT_EQ(Call("AnularApuntePorRegistro", {L(removed)}).value, B(false));
  EXPECT_EQ(Count("Anali"), 2);
  EXPECT_EQ(CostCentre("101"), 100);
  EXPECT_EQ(CostCentre("10"), 100);
  EXPECT_EQ(Credit("5720"), -200);

  // Nothing to take out: no line, a line already removed, beyond the end.
  for (int32_t record : {0, -3, removed, 9999})
    EXPECT_EQ(Call("AnularApuntePorRegistro", {L(record)}).value, B(false)) << record;
  EXPECT_EQ(Count("EXTRA"), 2);
  EXPECT_EQ(Credit("5720"), -200);
  EXPECT_EQ(CostCentre("101"), 100);

  auto closed = server::Enlace::Create();
  EXPECT_EQ(
      ErrorNumber([&] { Invoke(*closed, "AnularApuntePorRegistro", Kind::kMethod, {L(kept)}); }),
      kNoCompany);
}

TEST_F(AnalyticCancellationTest, AnularAsientoTakesTheAnalyticLinesOfItsLines) {
  PostDistributed();
  Call("AnularAsiento", {S("15/03/24"), S("000001")});
  EXPECT_EQ(Count("Anali"), 0);
  EXPECT_EQ(CostCentre("101"), 0);
  EXPECT_EQ(CostCentre("1"), 0);
}

TEST_F(CancellationTest, ALineWhoseAccountIsGoneStillComesOutOfItsLevels) {
  Entry();
  Line("5720001", 1, 10);
  Line("4300", 2, 10);
  Post();
  ASSERT_EQ(Debit("5720"), 10);
  const int32_t record = RecordOf("EXTRA", "CUENTA = 5720001");
  ASSERT_TRUE(Call("AnularCuenta", {S("5720001")}).value.boolean());

  Call("AnularApuntePorRegistro", {L(record)});
  for (const char* level : {"5", "57", "572", "5720"}) EXPECT_EQ(Debit(level), 0) << level;
  EXPECT_EQ(Title("5720001"), "<none>");
  EXPECT_EQ(Title("57200"), "<none>");
}

TEST_F(CancellationTest, ByReferenceRemovesTheLinesTheirVatAndTheirPortfolio) {
  const std::string first = Entry();
  Line("4300001", 1, 121, "1", "FRA-2024-001");
  Line("7000001", 2, 100, "1", "FRA-2024-001");
  Line("4770", 2, 21, "1", "FRA-2024-001");
  Vat("77", "FRA-2024-001");
  Portfolio("15/04/24", 121);
  Post();
  const std::string second = Entry();
  Line("4300001", 1, 242, "1", "FRA-2024-002");
  Line("7000001", 2, 242, "1", "FRA-2024-002");
  Vat("78", "FRA-2024-002");
  Portfolio("15/04/24", 242);
  Post();

  EXPECT_EQ(Call("AnularApuntePorReferencia", {S("FRA-2024-001")}).value, B(true));
  EXPECT_EQ(Count("EXTRA", "ASIENTO = " + first), 0);
  EXPECT_EQ(Count("EXTRA", "ASIENTO = " + second), 2);
  EXPECT_EQ(Count("IVA01", "REFERENCIA = FRA-2024-001"), 0);
  EXPECT_EQ(Count("IVA01"), 1);
  EXPECT_EQ(Count("EFECT", "ASIENTO CONTABLE = " + first), 0);
  EXPECT_EQ(Count("EFECT"), 1);
  EXPECT_EQ(Debit("4300001"), 242);
  EXPECT_EQ(Credit("700"), -242);
  EXPECT_EQ(Credit("4770"), 0);

  // The reference is compared whole: text that reads as more conditions
  // matches no line.
  EXPECT_EQ(Call("AnularApuntePorReferencia", {S("FRA-2024-002 and CUENTA = 4300001")}).value,
            B(true));
  EXPECT_EQ(Count("EXTRA"), 2);
  EXPECT_EQ(Call("AnularApuntePorReferencia", {S("   ")}).value, B(false));
  EXPECT_EQ(Count("EXTRA"), 2);

  // Without the VAT book: its line stays.
  EXPECT_EQ(Call("AnularApuntePorReferencia", {S("FRA-2024-002"), B(false)}).value, B(true));
  EXPECT_EQ(Count("EXTRA"), 0);
  EXPECT_EQ(Count("IVA01"), 1);
  EXPECT_EQ(Count("EFECT"), 0);
  EXPECT_EQ(Debit("4"), 0);
}

TEST_F(CancellationTest, ByReferenceTellsWhetherTheLinesRemovedBalance) {
  Entry();
  Line("5720", 1, 10.1, "1", "R-9");
  Line("4300", 2, 10.1, "1", "OTRA");
  Line("4300", 2, 0.2, "1", "R-8");
  Line("4300", 2, 0.1, "1", "R-8");
  Line("5720", 1, 0.3, "1", "R-8");
  Post();
  EXPECT_EQ(Call("AnularApuntePorReferencia", {S("R-9")}).value, B(false));
  EXPECT_EQ(Count("EXTRA", "REFERENCIA = OTRA"), 1);
  // Cents that add up to nothing are nothing.
  EXPECT_EQ(Call("AnularApuntePorReferencia", {S("R-8")}).value, B(true));
  EXPECT_EQ(Count("EXTRA"), 1);
  EXPECT_NEAR(Debit("5720"), 0, 1e-9);
  EXPECT_NEAR(Credit("4300"), -10.1, 1e-9);
}

TEST_F(CancellationTest, AShortReferenceFindsTheVatLinesThroughItsEntries) {
  // A sale whose VAT account is credited: its VAT covers the entry's quota.
  Entry();
  Line("4300001", 1, 121, "1", "F1");
  Line("7000001", 2, 100, "1", "F1");
  Line("4770", 2, 21, "1", "F1");
  Vat("77");
  Post();
  EXPECT_EQ(Call("AnularApuntePorReferencia", {S("F1")}).value, B(true));
  EXPECT_EQ(Count("IVA01"), 0);

  // Without VAT removed, only the lines of invoices the reference names go.
  Entry();
  Line("4300001", 1, 242, "1", "F2");
  Line("7000001", 2, 200, "1", "X");
  Line("4770", 2, 42, "1", "X");
  Vat("F2");
  Vat("X9");
  Post();
  EXPECT_EQ(Call("AnularApuntePorReferencia", {S("F2")}).value, B(false));
  EXPECT_EQ(Count("IVA01", "FACTURA No. = F2"), 0);
  EXPECT_EQ(Count("IVA01", "FACTURA No. = X9"), 1);
}

TEST_F(CancellationTest, ABusyCompanyFileLeavesItsTotalsAndSaysSo) {
  const std::string number = Entry();
  Line("5720", 1, 10);
  Line("4300", 2, 10);
  Post();
  const double debits = HeaderTotal("CARGOSA");
  env_.TakeMessages();
  env_.faults().FailOpen(e_->state().company_path, platform::Status::Busy("en uso"));
  Call("AnularAsiento", {S("15/03/24"), S(number)});
  env_.faults().ClearOpenFailure(e_->state().company_path);

  EXPECT_EQ(Count("EXTRA"), 0);
  EXPECT_EQ(Debit("5720"), 0);
  EXPECT_EQ(HeaderTotal("CARGOSA"), debits);
  const auto messages = env_.TakeMessages();
  ASSERT_EQ(messages.size(), 2u);  // one for each line
  EXPECT_EQ(messages[0].text, "Archivo en uso por otro proceso");
  EXPECT_EQ(messages[0].icon, platform::MsgIcon::Warning);
  auto log = platform::CurrentEnv()->Files().ReadAll(Dir() + "QROLE_" + Number() + "_2026.log");
  ASSERT_TRUE(log.ok());
  EXPECT_NE(platform::Cp1252ToUtf8(*log).find("no se han actualizado los totales de la empresa"),
            std::string::npos);
}

TEST_F(CancellationTest, AnIndexThatFailsIsReportedOnceEverythingElseIsDone) {
  const std::string number = Entry();
  Line("4300001", 1, 121);
  Line("7000001", 2, 121);
  Vat("F-1");
  Post();
  // Spoil the first key of the VAT line, so that its keys cannot all be
  // removed.
  const int32_t vat = RecordOf("IVA01", "");
  {
    ASSERT_TRUE(data::OpenCompanyTables(Dir(), Number(), 1).ok());
    std::string old_key = "F-1";
    old_key.resize(20, ' ');
    std::string new_key = "ZZ";
    new_key.resize(20, ' ');
    ASSERT_EQ(data::SendEngineCommand("R\\" + data::Str(1) + "\\" + std::to_string(vat) + "\\" +
                                      data::Str(4) + "\\" + new_key + "\\" + old_key),
              0);
    data::CloseAllFiles();
  }

  std::string description;
  EXPECT_EQ(ErrorNumber(
                [&] {
                  Call("AnularAsiento", {S("15/03/24"), S(number)});
                },
                &description),
            kRefused);
  EXPECT_EQ(description.rfind("Se produjo un error en el cálculo del IVA/IGIC\nSe ha producido un "
                              "error de indexados No. ",
                              0),
            0u)
      << description;
  EXPECT_NE(description.find(" Se debe reindexar los datos de Valdrix"), std::string::npos);
  EXPECT_EQ(Count("EXTRA"), 0);
  EXPECT_EQ(Count("IVA01"), 0);
  EXPECT_EQ(Debit("4300001"), 0);
}

// In web mode the service cancels: the request names the entry or the
// reference, and nothing of the local company is touched.
TEST_F(CancellationTest, WebModeAsksTheServiceToCancel) {
  const std::string number = Entry();
  Line("4300001", 1, 121, "1", "FRA:7/A=B");
  Line("7000001", 2, 121, "1", "FRA:7/A=B");
  Post();
  ScriptedWeb web(*e_);

  // The date goes as the client wrote it: the service judges it.
  EXPECT_EQ(Call("AnularAsiento", {S("15/03/2030"), S(number)}).value, Variant::FromInteger(0));
  EXPECT_EQ(Call("AnularApuntePorReferencia", {S("FRA:7/A=B"), B(false)}).value, B(true));
  const std::vector<std::string> docs = web.Documents();
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(docs[0],
            ScriptedWeb::Document("ANULARASIENTO", {{"FECHA", "15/03/2030"}, {"ASIENTO", number}}));
  // The whole reference, its own ":" and "=" included.
  EXPECT_EQ(docs[1],
            ScriptedWeb::Document("ANULARASIENTO", {{"REFERENCIA", "REFERENCIA=FRA:7/A=B"}}));

  web.answer = [](const std::string&) { return std::string("error: asiento bloqueado"); };
  std::string text;
  EXPECT_EQ(ErrorNumber(
                [&] {
                  Call("AnularAsiento", {S("15/03/24"), S(number)});
                },
                &text),
            static_cast<int32_t>(0x8004C35D));
  EXPECT_EQ(text, "error: asiento bloqueado");
  EXPECT_EQ(ErrorNumber([&] { Call("AnularApuntePorReferencia", {S("FRA:7/A=B")}); }, &text),
            static_cast<int32_t>(0x8004C35D));
  e_->state().web_mode = false;
  EXPECT_EQ(Count("EXTRA"), 2);
  EXPECT_EQ(Debit("4300001"), 121);
}

TEST_F(CancellationTest, WebModeRefusesCancellingByRecordNumber) {
  Entry();
  Line("4300001", 1, 10);
  Line("7000001", 2, 10);
  Post();
  const int32_t record = RecordOf("EXTRA", "CUENTA = 4300001");
  ASSERT_GT(record, 0);
  ScriptedWeb web(*e_);
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Call("AnularApuntePorRegistro", {L(record)}); }, &text),
            static_cast<int32_t>(0x8004C35D));
  EXPECT_EQ(text, "Esta opción no está disponible con enlace a svc.example.test");
  // Refused before the company is looked at.
  Call("CerrarEmpresa");
  EXPECT_EQ(ErrorNumber([&] { Call("AnularApuntePorRegistro", {L(record)}); }),
            static_cast<int32_t>(0x8004C35D));
  EXPECT_TRUE(web.Documents().empty());
  e_->state().web_mode = false;
  Call("AbrirEmpresa", {S("Anular")});
  EXPECT_EQ(Count("EXTRA"), 2);
}

}  // namespace
}  // namespace qrole::maintenance
