#include "query/entry_reading.h"

#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "posting/pending_entry.h"
#include "query/entry_test_util.h"
#include "query/web_query_test_util.h"

namespace qrole::query {
namespace {

constexpr int32_t kBadDate = static_cast<int32_t>(0x8004C353);
constexpr int32_t kNotAvailable = static_cast<int32_t>(0x8004C35D);

class EntryReadingTest : public EntryTest {
 protected:
  void Read(const std::string& fecha, const std::string& numero) {
    Call("LeerAsiento", {S(fecha), S(numero)});
  }
  // Counters of the four collections a read fills.
  std::vector<int32_t> Counts() {
    return {Count("ContadorApuntes"), Count("ContadorIva"), Count("ContadorCartera"),
            Count("ContadorAnalitica")};
  }
  std::string Cursor() { return ToStr(Get("Fecha")) + " " + ToStr(Get("Número")); }
  // Occurrences of `text` in the company's posting log of this year.
  int LogLinesWith(const std::string& text) {
    const server::EnlaceState& s = e_->state();
    const int year = platform::CurrentEnv()->GetClock().Now().year;
    auto log = platform::CurrentEnv()->Files().ReadAll(
        s.company_directory + "QROLE_" + s.company_number + "_" + std::to_string(year) + ".log");
    if (!log.ok()) return -1;
    int n = 0;
    const std::string bytes = platform::Utf8ToCp1252(text);
    for (size_t at = log->find(bytes); at != std::string::npos; at = log->find(bytes, at + 1)) ++n;
    return n;
  }

  // Entry 000001 of 15/03/24 with a line of every kind.
  void PostFullEntry() {
    Call("CrearCuenta", {S("6290001"), S("Suministros"), S("0"), Variant::FromBool(true)});
    Start("15/03/24");
    Line("4300001", 1, 1210, "Factura 12", {S(""), S("002"), S("R-12"), S("Cobro parcial")});
    Line("7000000", 2, 1000, "Factura 12");
    Line("4770000", 2, 210, "Factura 12");
    Line("6290001", 1, 50, "Luz");
    Line("5720", 2, 50, "Luz");
    Invoke(
        *e_, "AñadirIVA", typelib::Kind::kMethod,
        {S("4300001"), S("4770000"), S("F-12"), S("10/03/24"), S("21"), S("R"), D(1000), D(1210)},
        {{"Prorata", S("50")},
         {"titulo", S("Cliente Uno")},
         {"NIf", S("B12345678")},
         {"Referencia", S("R-12")},
         {"Seriefacturas", S("S1")},
         {"PorcRetencion", Variant::FromSingle(15)},
         {"DescripcionSII", S("Venta")},
         {"Factura60Caracteres", S("F-12/2024")}});
    Call("AñadirCartera",
         {S("15/04/24"), S("4300001"), S("Banco"), S("Recibo 1"), D(605), S("15/03/24"), S("X")});
    Call("AñadirAnalitica", {S("6290001"), S("CC01"), S("Luz taller"), B(1), D(50), S("1")});
    Post();
  }
};

TEST_F(EntryReadingTest, ReadsEveryLineOfAPostedEntry) {
  PostFullEntry();
  EXPECT_EQ(Counts(), (std::vector<int32_t>{0, 0, 0, 0}));
  Read("15/03/24", "000001");
  ASSERT_EQ(Counts(), (std::vector<int32_t>{5, 1, 1, 1}));

  // Journal lines: texts without their padding, the amount as stored (in
  // the company currency, credits negative).
  EXPECT_EQ(Text("Apunte", 1, "Cuenta"), "4300001");
  EXPECT_EQ(Text("Apunte", 1, "Descripción"), "Factura 12");
  EXPECT_EQ(Item("Apunte", 1, "TIPO"), B(1));
  EXPECT_EQ(Item("Apunte", 1, "Importe"), D(1210));
  EXPECT_EQ(Text("Apunte", 1, "Diario"), "1");
  EXPECT_EQ(Item("Apunte", 1, "Punteo"), B(0));
  EXPECT_EQ(Text("Apunte", 1, "Canal"), "002");
  EXPECT_EQ(Text("Apunte", 1, "Referencia"), "R-12");
  EXPECT_EQ(Text("Apunte", 1, "NOTAS"), "Cobro parcial");
  EXPECT_EQ(Text("Apunte", 2, "Cuenta"), "7000000");
  EXPECT_EQ(Item("Apunte", 2, "TIPO"), B(2));
  EXPECT_EQ(Item("Apunte", 2, "Importe"), D(-1000));
  EXPECT_EQ(Text("Apunte", 2, "NOTAS"), "");

  // The VAT-book line as the book keeps it.
  EXPECT_EQ(Text("iva", 1, "CuentaClienteProveedor"), "4300001");
  EXPECT_EQ(Item("iva", 1, "CuentaIVA"), S("4770000"));
  EXPECT_EQ(Text("iva", 1, "Factura"), "F-12");
  EXPECT_EQ(Text("iva", 1, "FechaFactura"), "C40310");
  EXPECT_EQ(Text("iva", 1, "TipoIva"), "21");
  EXPECT_EQ(Text("iva", 1, "SRTC"), "R");
  EXPECT_EQ(Item("iva", 1, "Base"), D(1000));
  EXPECT_EQ(Item("iva", 1, "TOTAL"), D(1210));
  EXPECT_EQ(Item("iva", 1, "Prorata"), B(50));
  EXPECT_EQ(Text("iva", 1, "titulo"), "Cliente Uno");
  EXPECT_EQ(Text("iva", 1, "NIf"), "B12345678");
  EXPECT_EQ(Text("iva", 1, "NumeroOrden"), "0000000001");
  EXPECT_EQ(Text("iva", 1, "Referencia"), "R-12");
  EXPECT_EQ(Text("iva", 1, "Seriefacturas"), "S1");
  EXPECT_EQ(Item("iva", 1, "CuotaProrrata"), D(105)) << "half of the VAT of 210";
  // The book keeps the withholding amount (15 % of 1000), which is what
  // comes back in the percentage's place.
  EXPECT_EQ(Item("iva", 1, "PorcRetencion"), Variant::FromSingle(150));
  EXPECT_EQ(Item("iva", 1, "Liquido"), D(1060)) << "1210 less 15 % of 1000";
  EXPECT_EQ(Text("iva", 1, "SII_Codigo"), "0000");
  EXPECT_EQ(Text("iva", 1, "SII_DescripcionDocumento"), "Venta");
  EXPECT_EQ(Text("iva", 1, "SII_Id"), "") << "removed once the entry was complete";
  EXPECT_EQ(Text("iva", 1, "SII_FacturaExtendida"), "F-12/2024");
  EXPECT_EQ(Text("iva", 1, "SII_PeriodoPresentacion"), "");

  EXPECT_EQ(Text("cartera", 1, "FechaVencimiento"), "C40415");
  EXPECT_EQ(Text("cartera", 1, "Cuenta"), "4300001");
  EXPECT_EQ(Text("cartera", 1, "cartera"), "Banco");
  EXPECT_EQ(Text("cartera", 1, "NOTAS"), "Recibo 1");
  EXPECT_EQ(Item("cartera", 1, "Importe"), D(605));
  EXPECT_EQ(Text("cartera", 1, "Fecha"), "C40315") << "the entry's date";

  EXPECT_EQ(Text("Analitica", 1, "CuentaContable"), "6290001");
  EXPECT_EQ(Item("Analitica", 1, "CuentaAnalitica"), S("CC01"));
  EXPECT_EQ(Text("Analitica", 1, "Descripción"), "Luz taller");
  EXPECT_EQ(Item("Analitica", 1, "Importe"), D(50));

  EXPECT_EQ(Cursor(), "240315 000001");
  // Reading logs the journal, portfolio and analytic lines again, not the
  // VAT line.
  EXPECT_EQ(LogLinesWith("Descripción=Factura 12;"), 6);
  EXPECT_EQ(LogLinesWith("Factura=F-12;"), 1);
}

TEST_F(EntryReadingTest, ABookLineIsLoadedAsGiven) {
  // An analytic line alone does not start an entry.
  Call("AñadirAnalitica", {S("6290001"), S("CC01"), S("Luz"), B(1), D(50), S("1")});
  std::vector<Variant> v = {S("4300001"), S("4770000"),
                            S("F-1"),     S("15/03/2024"),
                            S("21"),      S("S"),
                            D(100),       D(121),
                            S("2.5"),     S("Cliente"),
                            S("B1"),      S("0000000004"),
                            S("Z"),       S("R"),
                            S("A"),       S("C40401"),
                            S("T"),       S("Transferencia"),
                            D(10.5),      Variant::FromSingle(7),
                            S("01"),      D(114),
                            S(" F1 "),    S(" Venta "),
                            S(" "),       S(""),
                            S(" DUA-1 "), S(" 03 ")};
  Args a(v);
  posting::CargarLineaIva(*e_, a);
  // A book line does: the analytic line is gone.
  EXPECT_EQ(Count("ContadorAnalitica"), 0);
  ASSERT_EQ(Count("ContadorIva"), 1);
  EXPECT_EQ(Text("iva", 1, "FechaFactura"), "15/03/2024") << "not converted";
  EXPECT_EQ(Item("iva", 1, "Prorata"), B(2)) << "2.5 rounds to even";
  EXPECT_EQ(Item("iva", 1, "CuentaIVA"), S("4770000"));
  EXPECT_EQ(Text("iva", 1, "NumeroOrden"), "0000000004");
  EXPECT_EQ(Text("iva", 1, "CLAVEOPERACION"), "Z");
  EXPECT_EQ(Text("iva", 1, "FechaCobro"), "C40401");
  EXPECT_EQ(Text("iva", 1, "MedioCobro"), "T");
  EXPECT_EQ(Text("iva", 1, "DescripcionMedioCobro"), "Transferencia");
  EXPECT_EQ(Item("iva", 1, "CuotaProrrata"), D(10.5));
  EXPECT_EQ(Item("iva", 1, "PorcRetencion"), Variant::FromSingle(7));
  EXPECT_EQ(Text("iva", 1, "RegimenEspecial"), "01");
  EXPECT_EQ(Item("iva", 1, "Liquido"), D(114));
  EXPECT_EQ(Text("iva", 1, "SII_Codigo"), "F1");
  EXPECT_EQ(Text("iva", 1, "SII_DescripcionDocumento"), "Venta");
  EXPECT_EQ(Text("iva", 1, "SII_FacturaExtendida"), "") << "no fallback to the invoice";
  EXPECT_EQ(Text("iva", 1, "SII_FacturaRectificativa_DUA"), "DUA-1");
  EXPECT_EQ(Text("iva", 1, "SII_PeriodoPresentacion"), "03");
  EXPECT_EQ(LogLinesWith("Factura=F-1;"), 0) << "nothing logged";
  // A prorata beyond a Byte adds nothing.
  v[8] = S("256");
  Args big(v);
  EXPECT_EQ(ErrorOf([&] { posting::CargarLineaIva(*e_, big); }), runtime_error::kOverflow);
  EXPECT_EQ(Count("ContadorIva"), 1);
}

TEST_F(EntryReadingTest, ReadLinesGiveWayToTheNextEntry) {
  PostFullEntry();
  Read("15/03/24", "000001");
  // The read entry is not started: a new line empties what was read.
  Line("5720", 1, 5, "Nuevo");
  EXPECT_EQ(Counts(), (std::vector<int32_t>{1, 0, 0, 0}));
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Nuevo"}));
  // A read drops the entry being built.
  Read("15/03/24", "000001");
  EXPECT_EQ(Count("ContadorApuntes"), 5);
}

TEST_F(EntryReadingTest, DateAndNumberOfTheRead) {
  PostEntry("15/03/24", "Uno");
  PostEntry("15/03/24", "Dos");
  PostEntry("20/03/24", "Tres");

  Read("15/03/24", "000002");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Dos", "Dos"}));
  EXPECT_EQ(Cursor(), "240315 000002");
  // An empty date keeps the object's own.
  Read("", "000001");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Uno", "Uno"}));
  Read("", "000003");
  EXPECT_EQ(Count("ContadorApuntes"), 0) << "entry 3 is of another date";
  // The other forms of a date, as Fecha takes them.
  Read("240320", "");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Tres", "Tres"}));
  EXPECT_EQ(Cursor(), "240320 000003");
  Read("15/03/2024", "000001");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Uno", "Uno"}));
  // Nothing there: everything empty, the cursor where it was asked.
  Read("16/03/24", "000001");
  EXPECT_EQ(Counts(), (std::vector<int32_t>{0, 0, 0, 0}));
  EXPECT_EQ(Cursor(), "240316 000001");
  // A date that is not one is refused and moves nothing.
  std::string why;
  EXPECT_EQ(ErrorOf([&] { Read("32/03/24", "000001"); }, &why), kBadDate);
  EXPECT_EQ(why, "Formato Fecha no válido: 32/03/24\nFormatos aceptados son: 31/12/13 o 131231");
  EXPECT_EQ(ErrorOf([&] { Read("1/3/2024", "000001"); }), kBadDate);
  EXPECT_EQ(Cursor(), "240316 000001");
}

TEST_F(EntryReadingTest, ShortDateFormsOfTheCodec) {
  PostEntry("05/03/24", "Cinco");
  PostEntry("20/03/24", "Veinte");
  // d/mm/yy is read as 0d/mm/yy.
  Read("5/03/24", "000001");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Cinco", "Cinco"}));
  EXPECT_EQ(Cursor(), "240305 000001");
  // dd/mm takes the year of the fiscal year.
  Read("20/03", "000002");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Veinte", "Veinte"}));
  EXPECT_EQ(Cursor(), "240320 000002");
  // Malformed short forms are still refused, and move nothing.
  for (const char* bad : {"5/3/24", "2x/03", "20/13", "32/03", "5/13/24", "5-03-2"})
    EXPECT_EQ(ErrorOf([&] { Read(bad, "000001"); }), kBadDate) << bad;
  EXPECT_EQ(Cursor(), "240320 000002");

  // With a fiscal year opening in July, a month before July is of the
  // following calendar year.
  Call("PutTotal", {S("APERTURA"), S("07")});
  Call("AbrirEmpresa", {S("Libros")});
  Read("20/03", "000009");
  EXPECT_EQ(Cursor(), "250320 000009");
  Read("20/09", "000009");
  EXPECT_EQ(Cursor(), "240920 000009");
}

TEST_F(EntryReadingTest, WithoutADateTheNumberAloneSelects) {
  PostEntry("15/03/24", "Uno");
  PostEntry("20/03/24", "Dos");
  e_->state().accounting_date.clear();  // as on an object whose Fecha was never set
  Read("", "000002");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Dos", "Dos"}));
}

TEST_F(EntryReadingTest, OneNumberOnTwoDatesIsReadByDate) {
  PostEntry("15/03/24", "Marzo", 100, "000007");
  PostEntry("16/03/24", "Otro dia", 100, "000007");
  Read("16/03/24", "000007");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Otro dia", "Otro dia"}));
  Read("15/03/24", "");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Marzo", "Marzo"}));
  // Walking goes from one date's lines to the other's.
  Call("LeerProximoAsiento");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Otro dia", "Otro dia"}));
  EXPECT_EQ(Cursor(), "240316 000007");
}

TEST_F(EntryReadingTest, WalksTheJournalInDateAndNumberOrder) {
  PostEntry("15/03/24", "Uno");
  PostEntry("15/03/24", "Dos");
  PostEntry("10/03/24", "Tres");  // number 3, the earliest date

  Call("LeerPrimerAsiento");
  EXPECT_EQ(Cursor(), "240310 000003");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Tres", "Tres"}));
  Call("LeerProximoAsiento");
  EXPECT_EQ(Cursor(), "240315 000001");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Uno", "Uno"}));
  Call("LeerProximoAsiento");
  EXPECT_EQ(Cursor(), "240315 000002");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Dos", "Dos"}));
  // Past the last: empty, the cursor stays, and again.
  Call("LeerProximoAsiento");
  EXPECT_EQ(Count("ContadorApuntes"), 0);
  EXPECT_EQ(Cursor(), "240315 000002");
  Call("LeerProximoAsiento");
  EXPECT_EQ(Count("ContadorApuntes"), 0);

  Call("LeerUltimoAsiento");
  EXPECT_EQ(Cursor(), "240315 000002");
  EXPECT_EQ(Count("ContadorApuntes"), 2);
  Call("LeerAnteriorAsiento");
  EXPECT_EQ(Cursor(), "240315 000001");
  Call("LeerAnteriorAsiento");
  EXPECT_EQ(Cursor(), "240310 000003");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Tres", "Tres"}));
  Call("LeerAnteriorAsiento");
  EXPECT_EQ(Count("ContadorApuntes"), 0);
  EXPECT_EQ(Cursor(), "240310 000003");
  // The walk leaves no entry started.
  Line("5720", 1, 5, "Nuevo");
  EXPECT_EQ(Count("ContadorApuntes"), 1);
}

TEST_F(EntryReadingTest, WalksFromACursorWithoutAnEntry) {
  PostEntry("10/03/24", "Uno");
  PostEntry("20/03/24", "Dos");
  Let("Fecha", S("15/03/24"));
  Let("Número", S("000099"));
  Call("LeerProximoAsiento");
  EXPECT_EQ(Cursor(), "240320 000002");
  Let("Fecha", S("15/03/24"));
  Call("LeerAnteriorAsiento");
  EXPECT_EQ(Cursor(), "240310 000001");
  EXPECT_EQ(Descriptions(), (std::vector<std::string>{"Uno", "Uno"}));
}

TEST_F(EntryReadingTest, AnEmptyJournal) {
  Start("15/03/24", "000005");
  Line("5720", 1, 5, "Pendiente");
  Call("LeerPrimerAsiento");
  EXPECT_EQ(Count("ContadorApuntes"), 0);
  EXPECT_EQ(Cursor(), "240315 000005");
  Line("5720", 1, 5, "Pendiente");
  Call("LeerUltimoAsiento");
  EXPECT_EQ(Count("ContadorApuntes"), 0);
  Call("LeerProximoAsiento");
  Call("LeerAnteriorAsiento");
  EXPECT_EQ(Cursor(), "240315 000005");
}

TEST_F(EntryReadingTest, RefusalsWithoutACompany) {
  auto closed = server::Enlace::Create();
  auto call = [&](const std::string& name, std::vector<Variant> args = {}) {
    return Invoke(*closed, name, typelib::Kind::kMethod, std::move(args)).value;
  };
  // Nothing to read and nothing asked: nothing happens.
  EXPECT_EQ(ErrorOf([&] { call("LeerAsiento"); }), 0);
  EXPECT_EQ(ErrorOf([&] { call("LeerAsiento", {S(""), S("000001")}); }), kNoCompany);
  for (const char* name :
       {"LeerPrimerAsiento", "LeerUltimoAsiento", "LeerProximoAsiento", "LeerAnteriorAsiento"})
    EXPECT_EQ(ErrorOf([&] { call(name); }), kNoCompany) << name;
}

TEST_F(EntryReadingTest, ReferencesAreNotAvailable) {
  std::string why;
  EXPECT_EQ(ErrorOf([&] { Call("LeerReferencia", {S("R-12")}); }, &why), kNotAvailable);
  EXPECT_EQ(why, "Esta opción no está activada");
}

// On the web an entry read is one "LEERASIENTO" request; the answer is an
// XML document of entries and their line groups.
class EntryWebTest : public WebQueryTest {
 protected:
  static std::string Entry(const std::string& number, const std::string& date,
                           const std::string& groups) {
    return "<ASIENTO NUMERO=\"" + number + "\" FECHA=\"" + date + "\">" + groups + "</ASIENTO>";
  }
  static std::string Answer1(const std::string& entries) {
    return "<?xml version=\"1.0\"?>\r\n<ASIENTOS>" + entries + "</ASIENTOS>";
  }
  std::vector<int32_t> Counts() {
    return {Count("ContadorApuntes"), Count("ContadorIva"), Count("ContadorCartera"),
            Count("ContadorAnalitica")};
  }
  std::string Cursor() { return e_->state().accounting_date + " " + e_->state().entry_number; }
};

TEST_F(EntryWebTest, LeerAsientoLoadsEveryGroupOfTheAnswer) {
  Answer(Answer1(Entry(
      "12", "31/01/24",
      "<APUNTES><APUNTE CUENTA=\"4300\" DESCRIPCION=\"Fra &#241;\" TIPO=\"1\" IMPORTE=\"121.5\" "
      "DIARIO=\"2\" CANAL=\"003\" REFERENCIA=\"F-1\"/>"
      "<APUNTE CUENTA=\"7000\" DESCRIPCION=\"Venta\" TIPO=\"2\" IMPORTE=\"100\" DIARIO=\"1\"/>"
      "</APUNTES>"
      "<APUNTESIVA><IVA CUENTA=\"4300\" CTA_IVA=\"4770\" FACTURA=\"F-1\" FECHA_FRA=\"30/01/24\" "
      "TIPO=\"21\" SRTC=\"R\" BASE=\"100\" TOTAL=\"121\" TITULO=\"Cliente\" NIF=\"B1\" "
      "ORDEN=\"7\"/></APUNTESIVA>"
      "<APUNTESCARTERA><EFECTO FECHA_VTO=\"28/02/24\" CUENTA=\"4300\" CA=\"C\" NOTAS=\"n\" "
      "TOTAL=\"121\"/></APUNTESCARTERA>"
      "<APUNTESANALI><ANALI CUENTA=\"6000\" CODANALI=\"CC1\" DESCRIPCION=\"Luz\" TIPO=\"1\" "
      "IMPORTE=\"50\" DIARIO=\"1\"/></APUNTESANALI>")));
  Call("LeerAsiento", {S("31/01/24"), S("12")});
  EXPECT_EQ(Requests(), std::vector<std::string>{
                            Doc("LEERASIENTO", {{"FECHA", "31/01/24"}, {"ASIENTO", "12"}})});
  EXPECT_EQ(Counts(), (std::vector<int32_t>{2, 1, 1, 1}));
  EXPECT_EQ(Text("Apunte", 1, "Descripción"), "Fra ñ");
  EXPECT_EQ(ToDouble(Item("Apunte", 1, "Importe")), 121.5);
  EXPECT_EQ(ToLong(Item("Apunte", 1, "TIPO")), 1);
  EXPECT_EQ(Text("Apunte", 1, "Canal"), "003");
  EXPECT_EQ(Text("Apunte", 1, "Referencia"), "F-1");
  EXPECT_EQ(Text("Apunte", 2, "Cuenta"), "7000");
  EXPECT_EQ(Text("iva", 1, "CuentaIVA"), "4770");
  EXPECT_EQ(ToDouble(Item("iva", 1, "TOTAL")), 121);
  EXPECT_EQ(Text("iva", 1, "NumeroOrden"), "7");
  EXPECT_EQ(Text("iva", 1, "SII_Codigo"), "0000");
  EXPECT_EQ(Text("cartera", 1, "cartera"), "C");
  EXPECT_EQ(ToDouble(Item("cartera", 1, "Importe")), 121);
  EXPECT_EQ(Text("Analitica", 1, "CuentaAnalitica"), "CC1");
  EXPECT_EQ(Cursor(), "C40131 12");

  // The lines read stay: a line added now goes with them.
  Call("AñadirApunte",
       {S("5720"), S("Cobro"), Variant::FromByte(1), Variant::FromDouble(1), S("1")});
  EXPECT_EQ(Count("ContadorApuntes"), 3);
}

TEST_F(EntryWebTest, LeerAsientoWithAnAnswerThatIsNotAnEntry) {
  Answer("sin datos");
  Call("AñadirApunte", {S("5720"), S("x"), Variant::FromByte(1), Variant::FromDouble(1), S("1")});
  Call("LeerAsiento", {S(""), S("5")});
  // No date: the element goes empty.
  EXPECT_EQ(Requests().back(), Doc("LEERASIENTO", {{"FECHA", ""}, {"ASIENTO", "5"}}));
  EXPECT_EQ(Counts(), (std::vector<int32_t>{0, 0, 0, 0}));
  EXPECT_EQ(Cursor(), " 5");
}

TEST_F(EntryWebTest, CursorReadsSendTheirPosition) {
  Answer(Answer1(Entry("1", "02/01/24", "<APUNTES><APUNTE CUENTA=\"1\" TIPO=\"1\"/></APUNTES>")));
  Call("LeerPrimerAsiento");
  EXPECT_EQ(Requests().back(),
            Doc("LEERASIENTO", {{"FECHA", ""}, {"ASIENTO", ""}, {"POSICION", "PRIMERO"}}));
  EXPECT_EQ(Cursor(), "C40102 1");
  EXPECT_EQ(Count("ContadorApuntes"), 1);

  Answer(Answer1(Entry("2", "03/01/24", "")));
  Call("LeerProximoAsiento");
  EXPECT_EQ(Requests().back(),
            Doc("LEERASIENTO", {{"FECHA", "02/01/24"}, {"ASIENTO", "1"}, {"POSICION", "PROXIMO"}}));
  EXPECT_EQ(Cursor(), "C40103 2");
  EXPECT_EQ(Count("ContadorApuntes"), 0);

  Answer("<ASIENTOS/>");
  Call("LeerAnteriorAsiento");
  EXPECT_EQ(
      Requests().back(),
      Doc("LEERASIENTO", {{"FECHA", "03/01/24"}, {"ASIENTO", "2"}, {"POSICION", "ANTERIOR"}}));
  EXPECT_EQ(Cursor(), "C40103 2");  // none before: the cursor stays

  Answer("<ASIENTOS/>");
  Call("LeerUltimoAsiento");
  EXPECT_EQ(Requests().back(),
            Doc("LEERASIENTO", {{"FECHA", ""}, {"ASIENTO", ""}, {"POSICION", "ULTIMO"}}));

  Answer("error: no hay asientos");
  std::string description;
  EXPECT_EQ(ErrorOf([&] { Call("LeerUltimoAsiento"); }, &description), kWebRefusal);
  EXPECT_EQ(description, "error: no hay asientos");
}

TEST_F(EntryWebTest, LeerReferenciaIsNotAvailable) {
  std::string description;
  EXPECT_EQ(ErrorOf([&] { Call("LeerReferencia", {S("F-1")}); }, &description), kWebRefusal);
  EXPECT_EQ(description, "Esta opción no está disponible con enlace a svc.example.test");
  EXPECT_TRUE(Requests().empty());
}

}  // namespace
}  // namespace qrole::query
