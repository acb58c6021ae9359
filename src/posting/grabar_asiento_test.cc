#include "posting/grabar_asiento.h"

#include <gtest/gtest.h>

#include "automation/convert.h"
#include "data/table_component.h"
#include "posting/entry_checks.h"
#include "posting/posting_context.h"
#include "posting/posting_retry.h"
#include "posting/posting_test_util.h"
#include "server/process_state.h"

namespace qrole::posting {
namespace {

// A posted journal line as the tests look at it.
struct JournalLine {
  std::string date, account, number, description, tipo, punteo, diario, canal, usuario, notas;
  std::string referencia, delegacion, bloqueo, link, moneda;
  double amount = 0, signed_amount = 0;
};

class GrabarAsientoTest : public PostingTest {
 protected:
  void SetUp() override {
    OpenCompany();
    Let("Fecha", S("15/03/24"));
    Let("Número", S(""));
  }

  InvokeResult Apunte(const std::string& cuenta, int tipo, double importe,
                      const std::string& diario = "1", std::vector<Variant> more = {}) {
    std::vector<Variant> args = {S(cuenta), S("Venta 12"), Variant::FromByte(uint8_t(tipo)),
                                 D(importe), S(diario)};
    for (auto& v : more) args.push_back(v);
    return Call("AñadirApunte", args);
  }
  Variant Post() { return Call("GrabarAsiento").value; }

  std::vector<JournalLine> Journal() {
    data::TableComponent t;
    t.OpenCompanyTable("EXTRA", e_->state().company_directory, e_->state().company_number);
    t.SetFilter("");
    std::vector<JournalLine> out;
    for (t.MoveFirst(); !t.IsEof(); t.MoveNext()) {
      JournalLine l;
      auto text = [&](int code) { return Trim(ToStr(t.GetField(code))); };
      l.date = t.GetFieldBytes(1);
      l.account = text(2);
      l.number = text(3);
      l.description = text(4);
      l.tipo = text(5);
      l.amount = ToDouble(t.GetField(6));
      l.punteo = text(7);
      l.diario = text(8);
      l.moneda = text(11);
      l.signed_amount = ToDouble(t.GetField(13));
      l.canal = text(14);
      l.usuario = text(15);
      l.notas = text(16);
      l.link = text(18);
      l.referencia = text(22);
      l.delegacion = text(24);
      l.bloqueo = text(98);
      out.push_back(l);
    }
    return out;
  }
  // Debit (field 12) or credit (13) element `element` of a chart account.
  double Balance(const std::string& account, int field, int element) {
    data::TableComponent t;
    t.OpenCompanyTable("PLANC", e_->state().company_directory, e_->state().company_number);
    t.SetFilter("CUENTA = " + account);
    if (t.RecordCount() == 0) return -999999;
    return ToDouble(t.GetField(field, element));
  }
  std::string Title(const std::string& account) {
    data::TableComponent t;
    t.OpenCompanyTable("PLANC", e_->state().company_directory, e_->state().company_number);
    t.SetFilter("CUENTA = " + account);
    return t.RecordCount() == 0 ? "" : Trim(ToStr(t.GetField(2)));
  }
};

TEST_F(GrabarAsientoTest, PostsTheLinesAndTheBalancesOfEveryLevel) {
  ASSERT_EQ(Get("Número"), S("000001"));
  Apunte("5720", 1, 121);
  Apunte("7000001", 2, 121, "1", {S(""), S("N"), S("R-12")});
  EXPECT_EQ(Post(), Variant::FromInteger(0));

  std::vector<JournalLine> lines = Journal();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].date, "C40315");
  EXPECT_EQ(lines[0].number, "000001");
  EXPECT_EQ(lines[0].account, "5720");
  EXPECT_EQ(lines[0].tipo, "1");
  EXPECT_EQ(lines[0].amount, 121);
  EXPECT_EQ(lines[0].signed_amount, 121);
  EXPECT_EQ(lines[0].moneda, "0");
  EXPECT_EQ(lines[0].delegacion, "01");
  EXPECT_EQ(lines[0].punteo, "0");
  EXPECT_EQ(lines[1].tipo, "2");
  EXPECT_EQ(lines[1].amount, -121);
  EXPECT_EQ(lines[1].signed_amount, -121);
  EXPECT_EQ(lines[1].canal, "000");  // "N": the object's channel
  EXPECT_EQ(lines[1].referencia, "R-12");
  EXPECT_EQ(lines[1].usuario, "98");

  // Every level of the account that the chart has holds the line, in March.
  for (const char* level : {"5", "57", "572", "5720"})
    EXPECT_EQ(Balance(level, 12, 3), 121) << level;
  EXPECT_EQ(Balance("5720", 12, 4), 0);
  EXPECT_EQ(Balance("5720", 13, 3), 0);
  // The missing account was created; credits accumulate as negative amounts.
  EXPECT_EQ(Title("7000001"), "Cuenta Sin Titulo");
  for (const char* level : {"7", "70", "700", "7000001"})
    EXPECT_EQ(Balance(level, 13, 3), -121) << level;

  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
  EXPECT_EQ(CounterInFile(), "000001");
  Let("Número", S(""));
  EXPECT_EQ(Get("Número"), S("000002"));
  // Nothing pending: nothing more is written.
  EXPECT_EQ(Post(), Variant::FromInteger(0));
  EXPECT_EQ(Journal().size(), 2u);
}

TEST_F(GrabarAsientoTest, TypesJournalsAndChannels) {
  Let("Canal", Variant::FromInteger(5));
  InvokeResult third = Apunte("5720", 3, 100, "b", {S(""), S("N")});
  Apunte("5720", 4, 100, "7");
  Apunte("5720", 2, 100, "D");
  Apunte("5720", 1, 10, "");
  Apunte("5720", 1, 10, "A", {S(""), S("003")});
  Post();
  std::vector<JournalLine> lines = Journal();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].tipo, "1");
  EXPECT_EQ(lines[0].signed_amount, -100);
  EXPECT_EQ(lines[0].diario, "B");
  EXPECT_EQ(lines[0].canal, "005");
  EXPECT_EQ(lines[1].tipo, "2");
  EXPECT_EQ(lines[1].signed_amount, 100);
  EXPECT_EQ(lines[1].diario, "7");
  EXPECT_EQ(lines[2].diario, "1");
  EXPECT_EQ(lines[3].diario, "1");
  EXPECT_EQ(lines[4].diario, "A");
  EXPECT_EQ(lines[4].canal, "003");
  // The balances agree with the journal: the regularisation debit holds the
  // negative debit, the month's credit holds -100 and +100, the opening 10.
  EXPECT_EQ(Balance("5720", 12, 13), -100);
  EXPECT_EQ(Balance("5720", 13, 3), 0);
  EXPECT_EQ(Balance("5720", 12, 3), 10);
  EXPECT_EQ(Balance("5720", 12, 0), 10);
}

TEST_F(GrabarAsientoTest, LinesInAnotherCurrencyAddTheCompanysCurrencyToTheChart) {
  Let("Moneda", S("USD"));
  Let("CambioMoneda", D(2));
  Apunte("5720", 1, 10);
  Apunte("4300", 3, 10);  // a negative debit
  Apunte("7000001", 2, 10);
  Post();
  std::vector<JournalLine> lines = Journal();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].amount, 20);
  EXPECT_EQ(lines[0].signed_amount, 10);
  // The chart holds what the journal's amount field holds, at every level.
  for (const char* level : {"5", "57", "572", "5720"})
    EXPECT_EQ(Balance(level, 12, 3), 20) << level;
  EXPECT_EQ(Balance("4300", 12, 3), -20);
  for (const char* level : {"7", "70", "700", "7000001"})
    EXPECT_EQ(Balance(level, 13, 3), -20) << level;
}

TEST_F(GrabarAsientoTest, OtherFieldsNotesAndBlockCode) {
  Apunte("5720", 1, 10, "1",
         {S(""), S("000"), S(""), S("Pagado en caja"), S(""), S(" H1 "), S(" | 19=DOC-7 | ")});
  Apunte("5720", 2, 10, "1", {S(""), S("000"), S(""), S(""), S(""), S(""), S("| |")});
  Post();
  std::vector<JournalLine> lines = Journal();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].notas, "Pagado en caja");
  EXPECT_EQ(lines[0].bloqueo, "H1");
  data::TableComponent t;
  t.OpenCompanyTable("EXTRA", e_->state().company_directory, e_->state().company_number);
  t.GoToRecord(1);
  EXPECT_EQ(Trim(ToStr(t.GetField(19))), "DOC-7");
  t.GoToRecord(2);
  EXPECT_EQ(Trim(ToStr(t.GetField(19))), "");
}

TEST_F(GrabarAsientoTest, AnInvalidOtherFieldEndsThePostingAndEmptiesTheEntry) {
  Apunte("5720", 1, 10, "1", {S(""), S("000"), S(""), S(""), S(""), S(""), S("19")});
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Post(); }, &text), 5);
  EXPECT_TRUE(Journal().empty());
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
}

TEST_F(GrabarAsientoTest, AUsedNumberPostsNothingAndStopsLaterPostings) {
  AddJournalLine("000001");
  Apunte("5720", 1, 10);
  // The refusal is an error, not a quiet 0 that a client would take for a
  // posted entry.
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Post(); }, &text), ObjectError(kPostingStoppedError));
  EXPECT_EQ(text, std::string(kPostingStoppedText) + "\n000001");
  EXPECT_EQ(Journal().size(), 1u);  // only the line that was there
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
  EXPECT_TRUE(server::Process().stop_posting);
  // Every later posting of the process is refused the same way.
  Let("Número", S("000099"));
  Apunte("5720", 1, 10);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ErrorNumber([&] { Post(); }, &text), ObjectError(kPostingStoppedError));
    EXPECT_EQ(text, kPostingStoppedText);
  }
  EXPECT_EQ(Journal().size(), 1u);
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(1));  // kept
  std::vector<std::string> log = LogLines();
  EXPECT_EQ(log.back().substr(log.back().rfind('\t') + 1), kPostingStoppedLog);
  // Opening the company again lets posting go on: the kept line and a new
  // one go under the client's number.
  Call("AbrirEmpresa", {S("Libros")});
  Apunte("5720", 2, 10);
  Post();
  std::vector<JournalLine> lines = Journal();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].number, "000099");
  EXPECT_EQ(lines[2].number, "000099");
}

TEST_F(GrabarAsientoTest, AnAccountLongerThanTheChartFieldRefusesTheWholeEntry) {
  // Cut to the field, the code would name another account; walked level by
  // level, ten million characters would hold the server for ever.
  Apunte("5720", 1, 10);
  Apunte(std::string(10 << 20, '5'), 2, 10);
  const std::string counter = CounterInFile();  // the proposal's reservation
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Post(); }, &text), ObjectError(50010));
  EXPECT_EQ(text,
            std::string(kAccountTooLongText) + "10 caracteres)\n" + std::string(40, '5') + "...");
  EXPECT_TRUE(Journal().empty());
  for (const char* level : {"5", "57", "572", "5720"}) {
    EXPECT_EQ(Balance(level, 12, 3), 0) << level;
    EXPECT_EQ(Balance(level, 13, 3), 0) << level;
  }
  EXPECT_EQ(CounterInFile(), counter);
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
  std::vector<std::string> log = LogLines();
  EXPECT_NE(log.back().find("Cuenta demasiado larga: 5555"), std::string::npos);

  // Ten characters fit, counted as the file stores them ("ñ" is one).
  Let("Número", S(""));
  Apunte("5720000001", 1, 10);
  Apunte("430000000ñ", 2, 10);
  EXPECT_EQ(Post(), Variant::FromInteger(0));
  std::vector<JournalLine> lines = Journal();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].account, "430000000ñ");
  EXPECT_EQ(Balance("430000000ñ", 13, 3), -10);
}

TEST_F(GrabarAsientoTest, AmountsThatCannotBeStoredRefuseTheWholeEntry) {
  auto refused = [&] {
    const std::string counter = CounterInFile();  // the proposal's reservation
    std::string text;
    EXPECT_EQ(ErrorNumber([&] { Post(); }, &text), runtime_error::kOverflow);
    EXPECT_EQ(text, "Overflow");
    EXPECT_TRUE(Journal().empty());
    EXPECT_EQ(Balance("5720", 12, 3), 0);
    EXPECT_EQ(Balance("5", 12, 3), 0);
    EXPECT_EQ(CounterInFile(), counter);
    EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
    Let("Número", S(""));
  };
  // Rounded to cents, 1e307 leaves the range of a Double: it was stored as
  // 0 in the journal while the balances received it.
  Apunte("5720", 1, 1e307);
  refused();
  EXPECT_NE(LogLines().back().find("Importe fuera de rango: 1e+307"), std::string::npos);
  // The amount of another line than the first, of a VAT line, of a
  // portfolio line: nothing of the entry is written.
  Apunte("5720", 1, 10);
  Apunte("7000001", 2, -1e301);
  refused();
  Apunte("5720", 1, 10);
  Call("AñadirIVA",
       {S("4300001"), S("4770000"), S("F1"), S("15/03/24"), S("21"), S("R"), D(1e301), D(0)});
  refused();
  Apunte("5720", 1, 10);
  Call("AñadirCartera", {S("15/04/24"), S("4300001"), S("Banco"), S("x"), D(-1e305)});
  refused();
  // An amount converted into the company's currency by a huge rate.
  Let("Moneda", S("USD"));
  Let("CambioMoneda", D(1e299));
  Apunte("5720", 1, 10);
  refused();
  Let("Moneda", S(""));
  Let("CambioMoneda", D(0));

  // Large amounts that fit are posted.
  Apunte("5720", 1, 1e15);
  Apunte("7000001", 2, 1e15);
  EXPECT_EQ(Post(), Variant::FromInteger(0));
  EXPECT_EQ(Balance("5720", 12, 3), 1e15);
}

TEST_F(GrabarAsientoTest, TheLinkMarkerSkipsTheNumberCheck) {
  AddJournalLine("000001");
  Apunte("5720", 1, 10, "1", {S(""), S("000"), S(""), S("AsientoDeEnlace")});
  Post();
  std::vector<JournalLine> lines = Journal();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].number, "000001");
  EXPECT_EQ(lines[1].notas, "");  // the marker is not a note
  EXPECT_FALSE(server::Process().stop_posting);
}

TEST_F(GrabarAsientoTest, AClientNumberIsNeitherCheckedNorCounted) {
  AddJournalLine("000777");
  Let("Número", S("000777"));
  Apunte("5720", 1, 10);
  Post();
  EXPECT_EQ(Journal().size(), 2u);
  EXPECT_EQ(CounterInFile(), "000001");  // the proposal of SetUp, not 000777
}

TEST_F(GrabarAsientoTest, AttachedDocuments) {
  const std::string pdf = dirs_.path() + "/factura.PDF";
  ASSERT_TRUE(
      platform::CurrentEnv()->Files().WriteAllAtomic(pdf, std::string("%PDF-1.4\0x", 10)).ok());
  Apunte("5720", 1, 10, "1", {S(""), S("000"), S(""), S(""), S(pdf)});
  Apunte("5720", 2, 10, "1", {S(""), S("000"), S(""), S(""), S(dirs_.path() + "/no.pdf")});
  Post();
  data::TableComponent t;
  t.OpenCompanyTable("EXTRA", e_->state().company_directory, e_->state().company_number);
  t.GoToRecord(1);
  EXPECT_EQ(t.GetFieldBytes(28), std::string("%PDF-1.4\0x", 10));
  const std::string copy = e_->state().company_directory + "Libros/C40315000001" + "5720      .pdf";
  EXPECT_TRUE(platform::CurrentEnv()->Files().Exists(copy)) << copy;

  Let("Número", S(""));
  Apunte("5720", 1, 10, "1", {S(""), S("000"), S(""), S(""), S(dirs_.path() + "/foto.jpg")});
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Post(); }, &text), 55000);
  EXPECT_EQ(text, "Solo se puede importar archivos PDF");
  EXPECT_EQ(Journal().size(), 3u);  // posted all the same
}

TEST_F(GrabarAsientoTest, NeedsACompanyAndADate) {
  auto other = server::Enlace::Create();
  EXPECT_EQ(ErrorNumber([&] { Invoke(*other, "GrabarAsiento", typelib::Kind::kMethod, {}); }),
            static_cast<int32_t>(0x8004C356));
  Invoke(*other, "AbrirEmpresa", typelib::Kind::kMethod, {S("Libros")});
  Invoke(*other, "Número", typelib::Kind::kLet, {S("")});
  Invoke(*other, "AñadirApunte", typelib::Kind::kMethod,
         {S("5720"), S("x"), Variant::FromByte(1), D(1), S("1")});
  std::string text;
  EXPECT_EQ(
      ErrorNumber([&] { Invoke(*other, "GrabarAsiento", typelib::Kind::kMethod, {}); }, &text),
      5000);
  EXPECT_EQ(text, "La fecha está vacía");
  EXPECT_EQ(Invoke(*other, "ContadorApuntes", typelib::Kind::kGet, {}).value, Variant::FromLong(1));
  EXPECT_TRUE(Journal().empty());
}

TEST_F(GrabarAsientoTest, RetryHandlerRepeatsPassingFailuresOnly) {
  PostingContext ctx(*e_);
  Apunte("5720", 1, 10);
  PostingRetry retry(ctx);
  int calls = 0;
  EXPECT_EQ(retry.Run([&] {
    if (++calls < 3) RaiseRuntimeError(runtime_error::kFileAccess);
    return 7;
  }),
            7);
  EXPECT_EQ(retry.failures(), 2);
  EXPECT_GT(env_.clock().slept_ms(), 1);
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(1));  // not emptied by a passing failure

  // A bad value is not tried again.
  calls = 0;
  try {
    retry.Run([&] {
      ++calls;
      RaiseRuntimeError(runtime_error::kTypeMismatch);
    });
    ADD_FAILURE() << "no error";
  } catch (const AutomationError& err) {
    EXPECT_EQ(err.number(), 13);
    EXPECT_EQ(err.source(), "Qrole");
  }
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));

  // Endless failures end at the last attempt; with a deferred status the
  // error has no source.
  PostingRetry bounded(ctx);
  calls = 0;
  EXPECT_THROW(bounded.Run([&] {
    ++calls;
    RaiseRuntimeError(runtime_error::kFileAccess);
  }),
               AutomationError);
  EXPECT_EQ(calls, kPostingAttempts);
  ctx.Defer(kStatusNotPdf, "");
  try {
    PostingRetry(ctx).Run([] { RaiseRuntimeError(runtime_error::kFileAccess); });
  } catch (const AutomationError& err) {
    EXPECT_EQ(err.source(), "");
    EXPECT_EQ(err.number(), 75);
  }
}

}  // namespace
}  // namespace qrole::posting
