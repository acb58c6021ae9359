#include <gtest/gtest.h>

#include "platform/path.h"
#include "posting/posting_test_util.h"

namespace qrole::posting {
namespace {

// The first eight values of every log line, for the open company.
std::string LinePrefix(const server::Enlace& e) {
  const server::EnlaceState& s = e.state();
  return "12-08-2026\t09:05:07\t7.5.1\tPUESTO1\tcontable\t" + s.company_number + "\t" +
         platform::NativePath(s.company_directory) + "\t" + platform::NativePath(s.company_path) +
         "\t";
}

class PendingEntryTest : public PostingTest {
 protected:
  void SetUp() override { OpenCompany(); }

  std::vector<Variant> Apunte(const std::string& cuenta, double importe, Variant punteo) {
    return {S(cuenta), S("Factura 7"), Variant::FromByte(1), D(importe), S("1"), punteo};
  }
};

TEST_F(PendingEntryTest, JournalLineIsHeldLoggedAndHandedBack) {
  InvokeResult r = Call("AñadirApunte", Apunte("4300001", 1210.5, S("")));
  ASSERT_TRUE(r.value.IsObject());
  EXPECT_EQ(r.value.object()->class_name(), "ApunteClass");
  // The empty Punteo became the Integer 0 in the caller's variable too.
  ASSERT_EQ(r.byref.size(), 6u);
  EXPECT_EQ(r.byref[5].second, Variant::FromInteger(0));
  EXPECT_EQ(Field(r.value, "Punteo"), Variant::FromByte(0));
  EXPECT_EQ(Field(r.value, "Canal"), S("000"));
  EXPECT_EQ(Field(r.value, "Importe"), D(1210.5));
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(1));
  // The accessor gives the same object: a change through it is the line's.
  Variant same = Call("Apunte", {Variant::FromInteger(1)}).value;
  EXPECT_EQ(same.object(), r.value.object());
  EXPECT_TRUE(e_->state().entry_started);

  std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], LinePrefix(*e_) +
                        "Se añade un apunte: Cuenta=4300001;Descripción=Factura 7;Tipo=1;"
                        "Importe=1210,5;Diario=1;Punteo=0;Canal=000;Referencia=;Notas=;Archivo=");
}

TEST_F(PendingEntryTest, PunteoOutOfRangeAddsNothing) {
  Call("AñadirApunte", Apunte("4300001", 10, Variant::FromInteger(3)));
  EXPECT_EQ(ErrorNumber([&] { Call("AñadirApunte", Apunte("4300002", 10, S("300"))); }), 6);
  EXPECT_EQ(ErrorNumber([&] { Call("AñadirApunte", Apunte("4300002", 10, S("x"))); }), 13);
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(1));
  EXPECT_EQ(LogLines().size(), 1u);
}

TEST_F(PendingEntryTest, EnglishNamesAddTheSameLinesAndHandNothingBack) {
  InvokeResult r = Call("AddEntry", Apunte("5720001", 99.99, S("")));
  EXPECT_TRUE(r.value.IsEmpty());
  EXPECT_EQ(r.byref[5].second, Variant::FromInteger(0));
  Variant line = Call("Apunte", {Variant::FromInteger(1)}).value;
  EXPECT_EQ(Field(line, "Cuenta"), S("5720001"));
  EXPECT_EQ(Field(line, "Importe"), D(99.99));
  EXPECT_TRUE(
      Call("AddPortfolio", {S("311224"), S("4300001"), S("C"), S("Vto"), D(50)}).value.IsEmpty());
  EXPECT_EQ(Get("ContadorCartera"), Variant::FromLong(1));
  EXPECT_TRUE(Call("AddCostCenter",
                   {S("6000001"), S("CC01"), S("Reparto"), Variant::FromByte(1), D(20), S("1")})
                  .value.IsEmpty());
  EXPECT_EQ(Get("ContadorAnalitica"), Variant::FromLong(1));
  EXPECT_EQ(LogLines().size(), 3u);
}

TEST_F(PendingEntryTest, OnlyStartingLinesEmptyTheLastEntry) {
  Call("AñadirApunte", Apunte("4300001", 10, S("")));
  e_->LimpiarAsiento();  // as posting does once the entry is written
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
  // An analytic line does not start an entry: the next journal line does,
  // and empties what was added before it.
  Call("AñadirAnalitica",
       {S("6000001"), S("CC01"), S("Reparto"), Variant::FromByte(1), D(20), S("1")});
  EXPECT_EQ(Get("ContadorAnalitica"), Variant::FromLong(1));
  EXPECT_FALSE(e_->state().entry_started);
  Call("AñadirApunte", Apunte("6000001", 20, S("")));
  EXPECT_EQ(Get("ContadorAnalitica"), Variant::FromLong(0));
  Call("AñadirAnalitica",
       {S("6000001"), S("CC01"), S("Reparto"), Variant::FromByte(1), D(20), S("1")});
  Call("AñadirRetencion", {S("4100001"), S("Asesor"), S("B1"), S("F1"), D(100), S("4751000"), D(15),
                           S("28"), S(""), S("010124"), D(0), D(0), D(15), D(0), S("G")});
  EXPECT_EQ(Get("ContadorAnalitica"), Variant::FromLong(1));
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(1));
  EXPECT_EQ(Get("ContadorRetenciones"), Variant::FromLong(1));
  EXPECT_TRUE(Call("Apunte", {Variant::FromInteger(0)}).value.IsNothing());
  EXPECT_TRUE(Call("Apunte", {Variant::FromInteger(2)}).value.IsNothing());
  EXPECT_TRUE(Call("iva", {Variant::FromInteger(1)}).value.IsNothing());
}

TEST_F(PendingEntryTest, AnalyticLineLogsItsTrimmedValues) {
  Variant r = Call("AñadirAnalitica", {S("6000001"), S("CC01"), S("Reparto"), Variant::FromByte(2),
                                       D(20.25), S("1"), Variant::FromByte(1), S(" 002 ")})
                  .value;
  EXPECT_EQ(Field(r, "CuentaAnalitica"), S("CC01"));
  EXPECT_EQ(Field(r, "Importe"), D(20.25));
  std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], LinePrefix(*e_) +
                        "Se añade un apunte analítico: CuentaContable=6000001;CuentaAnalitica=CC01;"
                        "Descripción=Reparto;Tipo=2;Importe=20,25;Diario=1;Punteo=1;Canal=002");
}

TEST_F(PendingEntryTest, PortfolioLine) {
  Variant r = Call("AñadirCartera", {S("31/01/25"), S("4300001"), S("R"), S("Recibo 1"), D(605),
                                     S("31/12/24"), S("X")})
                  .value;
  EXPECT_EQ(Field(r, "Fecha"), S("31/12/24"));
  EXPECT_EQ(Field(r, "Marca"), S("X"));
  EXPECT_EQ(Field(r, "Asiento"), S(""));
  EXPECT_EQ(LogLines().back(), LinePrefix(*e_) +
                                   "Se añade un registro de cartera: FechaVencimiento=31/01/25;"
                                   "Cuenta=4300001;Cartera=R;Notas=Recibo 1;Importe=605;"
                                   "FechaApunte=31/12/24;Marca=X");
}

TEST_F(PendingEntryTest, WithholdingLineIsNotLogged) {
  Variant r =
      Call("AñadirRetencion",
           {S("4100001"), S("Asesor"), S("B12345678"), S("F-9"),      D(1000),      S("4751000"),
            D(15),        S("28"),     S("4751001"),   S("15/01/24"), D(1),         D(2),
            D(150),       D(3),        S("G"),         S("2024"),     S("6230000"), S("P"),
            S("A"),       S("01"),     S("20/01/24"),  D(850),        S("6290000"), D(4),
            S("4730000"), D(5),        D(6),           S("RC1"),      S("x")})
          .value;
  EXPECT_EQ(Field(r, "NumOrden"), S(""));
  EXPECT_EQ(Field(r, "CliPro"), S("4100001"));
  EXPECT_EQ(Field(r, "FacturaN"), S("F-9"));
  EXPECT_EQ(Field(r, "PRetencion"), D(15));
  EXPECT_EQ(Field(r, "CtaRetEsp"), S("4751001"));
  EXPECT_EQ(Field(r, "Retesp"), D(3));
  EXPECT_EQ(Field(r, "Clave"), S("G"));
  EXPECT_EQ(Field(r, "EjerDev"), S("2024"));
  EXPECT_EQ(Field(r, "FechaCP"), S("20/01/24"));
  EXPECT_EQ(Field(r, "Liquido"), D(850));
  EXPECT_EQ(Field(r, "IngCtaReper"), D(6));
  EXPECT_EQ(Field(r, "RefCatastral"), S("RC1"));
  EXPECT_EQ(Field(r, "extra"), S("x"));
  EXPECT_TRUE(LogLines().empty());
}

std::vector<Variant> Iva(const std::string& fecha, const std::string& prorata) {
  return {
      Variant::FromString("4300001"), Variant::FromString("4770000"), Variant::FromString("F-1"),
      Variant::FromString(fecha),     Variant::FromString("G"),       Variant::FromString("R"),
      Variant::FromDouble(1000),      Variant::FromDouble(1210),      Variant::FromString(prorata)};
}

TEST_F(PendingEntryTest, VatLineDatesAndSiiDefaults) {
  Variant r = Call("AñadirIVA", Iva("131231", "0")).value;
  EXPECT_EQ(Field(r, "FechaFactura"), S("B31231"));
  EXPECT_EQ(Field(r, "CuentaIVA"), S("4770000"));
  EXPECT_EQ(Field(r, "SII_Codigo"), S("0000"));
  EXPECT_EQ(Field(r, "SII_PeriodoPresentacion"), S("00"));
  EXPECT_EQ(Field(r, "SII_FacturaExtendida"), S("F-1"));  // no long number given
  EXPECT_EQ(Field(r, "CuotaImplicita"), S("0"));
  for (const char* date : {"31/12/2013", "31/12/13", "31-12-13"}) {
    Variant v = Call("AñadirIVA", Iva(date, "0")).value;
    EXPECT_EQ(Field(v, "FechaFactura"), S("B31231")) << date;
  }
  EXPECT_EQ(Field(Call("AñadirIVA", Iva("1/2/14", "0")).value, "FechaFactura"), S("B40201"));
  // A date the calendar refuses is refused; nothing is added.
  std::string text;
  EXPECT_EQ(ErrorNumber([&] { Call("AñadirIVA", Iva("301399", "0")); }, &text),
            static_cast<int32_t>(0x8004C353));
  EXPECT_EQ(Get("ContadorIva"), Variant::FromLong(5));
  // The log shows the date as the client gave it.
  std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[1], LinePrefix(*e_) +
                        "Se añade un apunte al libro de IVA: CuentaClienteProveedor=4300001;"
                        "CuentaIVA=4770000;Factura=F-1;FechaFactura=31/12/2013;TipoIva=G;SRTC=R;"
                        "Base=1000;Total=1210;Prorata=0;Titulo=;NIf=;NumeroOrden=;"
                        "ClaveOperacion=;Referencia=;SerieFacturas;PorcRetencion=0;"
                        "RegimenEspecial=;CodigoSII=0000;DescripcionSII=;Id_SII=;"
                        "Factura60Caracteres=;NoFacturaRectificativa_DUA=;PeriodoPresentacion00");
}

TEST_F(PendingEntryTest, VatLineProrataAndSiiFields) {
  EXPECT_EQ(Field(Call("AñadirIVA", Iva("131231", "2.5")).value, "Prorata"), Variant::FromByte(2));
  EXPECT_EQ(Field(Call("AñadirIVA", Iva("131231", "3.5 %")).value, "Prorata"),
            Variant::FromByte(4));
  EXPECT_EQ(Field(Call("AñadirIVA", Iva("131231", "abc")).value, "Prorata"), Variant::FromByte(0));
  EXPECT_EQ(ErrorNumber([&] { Call("AñadirIVA", Iva("131231", "256")); }), 6);
  EXPECT_EQ(Get("ContadorIva"), Variant::FromLong(3));

  std::vector<Variant> args = Iva("131231", "0");
  for (const char* v : {"Título", "B1", "7", "01", "Ref", "A"}) args.push_back(S(v));
  args.push_back(Variant::FromSingle(15));
  for (const char* v : {"01", " F1 ", " Desc ", " ID ", "  ", " R1 ", " 3T ", "ES"})
    args.push_back(S(v));
  for (double d : {1.5, 2.25, 3.0}) args.push_back(D(d));
  args.push_back(S("otros"));
  Variant r = Call("AñadirIVA", args).value;
  EXPECT_EQ(Field(r, "SII_Codigo"), S("F1"));
  EXPECT_EQ(Field(r, "SII_DescripcionDocumento"), S("Desc"));
  EXPECT_EQ(Field(r, "SII_Id"), S("ID"));
  EXPECT_EQ(Field(r, "SII_FacturaExtendida"), S("F-1"));
  EXPECT_EQ(Field(r, "SII_FacturaRectificativa_DUA"), S("R1"));
  EXPECT_EQ(Field(r, "SII_PeriodoPresentacion"), S("3T"));
  EXPECT_EQ(Field(r, "SII_Pais"), S("ES"));
  EXPECT_EQ(Field(r, "CuotaImplicita"), S("1,5"));
  EXPECT_EQ(Field(r, "CuotaRecargoMinorista"), S("2,25"));
  EXPECT_EQ(Field(r, "CuotaIIEE"), S("3"));
  EXPECT_EQ(Field(r, "OtrosCampos"), S("otros"));
  EXPECT_EQ(Field(r, "CLAVEOPERACION"), S("01"));
  EXPECT_EQ(Field(r, "Seriefacturas"), S("A"));
  EXPECT_EQ(Field(r, "PorcRetencion"), Variant::FromSingle(15));
}

TEST_F(PendingEntryTest, AddVatLeavesTheSiiFieldsEmpty) {
  std::vector<Variant> args = Iva("131231", "0");
  for (int i = 0; i < 8; ++i) args.push_back(Variant::Missing());
  args.push_back(S("otros"));
  EXPECT_TRUE(Call("AddVAT", args).value.IsEmpty());
  Variant r = Call("iva", {Variant::FromInteger(1)}).value;
  EXPECT_EQ(Field(r, "SII_Codigo"), S(""));
  EXPECT_EQ(Field(r, "SII_PeriodoPresentacion"), S(""));
  EXPECT_EQ(Field(r, "CuotaIIEE"), S("0"));
  EXPECT_EQ(Field(r, "OtrosCampos"), S("otros"));
  EXPECT_NE(LogLines().back().find(";CodigoSII=;"), std::string::npos);
}

}  // namespace
}  // namespace qrole::posting
