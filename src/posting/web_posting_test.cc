// Posting an entry, reading VAT types and counting an invoice's VAT-book
// lines in web mode, through the dispatcher, against a scripted service.

#include "posting/web_posting.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "automation/record_object.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/test_env.h"
#include "web/scripted_client_test_util.h"
#include "web/web_session.h"

namespace qrole::posting {
namespace {

using server::Col;
using typelib::Kind;
using web::WebArg;
using web::testing::ClientLog;
using web::testing::ScriptedClient;

const std::string kDecl = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n";

Variant S(const std::string& s) { return Variant::FromString(s); }
Variant D(double d) { return Variant::FromDouble(d); }
Variant B(int b) { return Variant::FromByte(static_cast<uint8_t>(b)); }

std::string TagOf(const std::string& doc) {
  size_t start = kDecl.size() + 1;
  return doc.substr(start, doc.find_first_of(">", start) - start);
}
std::string ContentOf(const std::string& doc) {
  size_t start = doc.find('>', kDecl.size()) + 1;
  return doc.substr(start, doc.find("<ID>") - start);
}
std::string ElementOf(const std::string& doc, const std::string& name) {
  size_t p = doc.find("<" + name + ">");
  if (p == std::string::npos) return "";
  p += name.size() + 2;
  return doc.substr(p, doc.find("</" + name + ">", p) - p);
}
// The block <name>...</name> of an upload document, its tags included.
std::string BlockOf(const std::string& doc, const std::string& name) {
  size_t p = doc.find("<" + name + ">");
  if (p == std::string::npos) return "";
  size_t end = doc.find("</" + name + ">", p);
  return doc.substr(p, end + name.size() + 5 - p);
}

class WebPostingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    e_->web_session().client = std::make_unique<ScriptedClient>(
        log_, [this](const std::string& method, std::vector<WebArg>& args) {
          if (method == "ID") return std::string("W1\tx\t00\t07\tMAIN\tE1");
          return Service(args[1].value);
        });
    Invoke(*e_, "Login", Kind::kMethod, {S("ana"), S("x"), S("https://svc.example.test/valdrix")});
    Call("AbrirEmpresa", {S("Alfa SL"), S("")});
    Let("Fecha", S("15/03/26"));
    Let("Número", S("12"));
    Let("Canal", Variant::FromInteger(7));
    log_->calls.clear();
  }

  std::string Service(const std::string& doc) {
    const std::string tag = TagOf(doc);
    if (tag == "LEEREMPRESAS") return "<Empresas><Empresa>Alfa SL</Empresa></Empresas>";
    if (tag == "EMPRESAEXISTS") return "SI";
    if (tag == "GETTOTAL") {
      static const std::map<std::string, std::string> totals = {
          {"Comun", "03"}, {"A&#209;O", "26"}, {"APERTURA", "01"}};
      auto it = totals.find(ContentOf(doc));
      return it == totals.end() ? std::string() : it->second;
    }
    if (tag == "LEERTIPOSIVA") return vat_types_answer_;
    if (tag == "BUSCAR") return search_answer_;
    if (tag == "GRABARASIENTO") return posting_answer_;
    return "ERROR: petición desconocida " + tag;
  }

  InvokeResult Call(const std::string& m, std::vector<Variant> args = {}) {
    return Invoke(*e_, m, Kind::kMethod, std::move(args));
  }
  void Let(const std::string& m, const Variant& v) { Invoke(*e_, m, Kind::kLet, {v}); }
  AutomationError ErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const AutomationError& e) {
      return e;
    }
    ADD_FAILURE() << "no error raised";
    return AutomationError(0, "", "");
  }
  std::vector<std::string> Documents() const { return log_->Documents(); }
  std::vector<std::string> Tags() const {
    std::vector<std::string> out;
    for (const std::string& d : Documents()) out.push_back(TagOf(d));
    return out;
  }
  // The single upload document sent.
  std::string Upload() {
    std::vector<std::string> uploads;
    for (const std::string& d : Documents())
      if (TagOf(d) == "GRABARASIENTO") uploads.push_back(d);
    EXPECT_EQ(uploads.size(), 1u);
    return uploads.empty() ? "" : uploads[0];
  }
  int16_t Post() { return ToInteger(Call("GrabarAsiento").value); }

  void AddJournal(const std::string& account, int tipo, double amount, const std::string& diario,
                  const std::string& canal = "", const std::string& description = "Fra 1") {
    Call("AñadirApunte", {S(account), S(description), B(tipo), D(amount), S(diario), B(0), S(canal),
                          S("R1"), S("nota")});
  }
  void AddVat(const std::string& tipo, double base, double total) {
    Call("AñadirIVA", {S("430000"), S("477000"), S("F-1"), S("10/03/26"), S(tipo), S("A"), D(base),
                       D(total), S("0"), S("Cliente")});
  }

  server::TestEnv env_{"[SOFTWARE\\QRN\\Valdrix\\Settings]\nWEB_HOST=svc.example.test\n"};
  std::shared_ptr<server::Enlace> e_ = server::Enlace::Create();
  std::shared_ptr<ClientLog> log_ = std::make_shared<ClientLog>();
  std::string vat_types_answer_ =
      "07=Reducido 7\r\n21=General 21\r\nA1=Minorista 4+0.5\r\n10=Super,reducido 10,5\r\n";
  std::string search_answer_ = "5\t6\n";
  std::string posting_answer_ = "OK";
};

TEST_F(WebPostingTest, AJournalEntryTravelsAsOneDocumentAndIsNoLongerPending) {
  AddJournal("430000", 3, 121.5, "b", "N");
  AddJournal("700000", 2, 100, "D", "C9");
  AddJournal("477000", 4, 21.5, "");
  EXPECT_EQ(Post(), 0);

  const std::string empty_row =
      " <APUNTE CUENTA=\"\" DESCRIPCION=\"\" REFERENCIA=\"\" CANAL=\"\" IMPORTE=\"\" TIPO=\"\" "
      "NOTAS=\"\"  DIARIO=\"\" />\r\n";
  EXPECT_EQ(Upload(),
            kDecl +
                "<GRABARASIENTO>\r\n<ID>W1</ID><EMPRESA>E1</EMPRESA>\r\n<ASIENTOS>\r\n"
                "<ASIENTO NUMERO='12' FECHA='15/03/26'>\r\n<APUNTES>\r\n"
                " <APUNTE CUENTA=\"430000\" DESCRIPCION=\"Fra 1\" REFERENCIA=\"R1\" CANAL=\"007\" "
                "IMPORTE=\"121,5\" TIPO=\"1\" NOTAS=\"nota\"  DIARIO=\"B\" />\r\n"
                " <APUNTE CUENTA=\"700000\" DESCRIPCION=\"Fra 1\" REFERENCIA=\"R1\" CANAL=\"C9\" "
                "IMPORTE=\"100\" TIPO=\"2\" NOTAS=\"nota\"  DIARIO=\"1\" />\r\n"
                " <APUNTE CUENTA=\"477000\" DESCRIPCION=\"Fra 1\" REFERENCIA=\"R1\" CANAL=\"\" "
                "IMPORTE=\"21,5\" TIPO=\"2\" NOTAS=\"nota\"  DIARIO=\"1\" />\r\n" +
                empty_row +
                "</APUNTES>\r\n"
                "<IVAS>\r\n <IVA CUENTA=\"\" />\r\n</IVAS>\r\n"
                "<CARTERAS>\r\n <CARTERA CUENTA=\"\" />\r\n</CARTERAS>\r\n"
                "<ANALITICA>\r\n <ANALI CUENTA=\"\" />\r\n</ANALITICA>\r\n"
                "</ASIENTO>\r\n</ASIENTOS>\r\n</GRABARASIENTO>");
  // No VAT line: the types are not asked for.
  EXPECT_EQ(Tags(), std::vector<std::string>{"GRABARASIENTO"});
  EXPECT_FALSE(e_->state().entry_started);
  EXPECT_EQ(e_->collection(Col::kApuntes).Count(), 0);

  // Nothing pending: nothing is sent.
  log_->calls.clear();
  EXPECT_EQ(Post(), 0);
  EXPECT_TRUE(Documents().empty());
}

TEST_F(WebPostingTest, VatAmountsComeFromTheServicesTypes) {
  AddVat("21", 100, 0);    // the VAT of the base
  AddVat("21", 0, 121);    // base derived from the total
  AddVat("21", 100, 125);  // the total rules
  AddVat("4,5", 200, 0);   // by percentage: VAT 4 % plus surcharge 0.5 %
  AddVat("10", 10.05, 0);  // 10.5 %: 1,05525 rounds to 1,06
  AddVat("7", 50, 0);      // one character
  EXPECT_EQ(Post(), 0);

  const std::string ivas = BlockOf(Upload(), "IVAS");
  EXPECT_EQ(
      ivas,
      "<IVAS>\r\n"
      " <IVA CUENTA=\"430000\" FACTURA=\"F-1\" FECHA_FRA=\"C60310\" BASE=\"100\" TIPO=\"21\" "
      "CUOTA=\"21\" TOTAL=\"0\" ORDEN=\"\" TITULO=\"Cliente\" CTA_IVA=\"477000\" />\r\n"
      " <IVA CUENTA=\"430000\" FACTURA=\"F-1\" FECHA_FRA=\"C60310\" BASE=\"0\" TIPO=\"21\" "
      "CUOTA=\"21\" TOTAL=\"121\" ORDEN=\"\" TITULO=\"Cliente\" CTA_IVA=\"477000\" />\r\n"
      " <IVA CUENTA=\"430000\" FACTURA=\"F-1\" FECHA_FRA=\"C60310\" BASE=\"100\" TIPO=\"21\" "
      "CUOTA=\"25\" TOTAL=\"125\" ORDEN=\"\" TITULO=\"Cliente\" CTA_IVA=\"477000\" />\r\n"
      " <IVA CUENTA=\"430000\" FACTURA=\"F-1\" FECHA_FRA=\"C60310\" BASE=\"200\" TIPO=\"4,5\" "
      "CUOTA=\"8\" TOTAL=\"0\" ORDEN=\"\" TITULO=\"Cliente\" CTA_IVA=\"477000\" />\r\n"
      " <IVA CUENTA=\"430000\" FACTURA=\"F-1\" FECHA_FRA=\"C60310\" BASE=\"10,05\" TIPO=\"10\" "
      "CUOTA=\"1,06\" TOTAL=\"0\" ORDEN=\"\" TITULO=\"Cliente\" CTA_IVA=\"477000\" />\r\n"
      " <IVA CUENTA=\"430000\" FACTURA=\"F-1\" FECHA_FRA=\"C60310\" BASE=\"50\" TIPO=\"7\" "
      "CUOTA=\"3,5\" TOTAL=\"0\" ORDEN=\"\" TITULO=\"Cliente\" CTA_IVA=\"477000\" />\r\n"
      " <IVA CUENTA=\"\" FACTURA=\"\" FECHA_FRA=\"\" BASE=\"\" TIPO=\"\" CUOTA=\"\" TOTAL=\"\" "
      "ORDEN=\"\" TITULO=\"\" CTA_IVA=\"\" />\r\n"
      "</IVAS>\r\n");
  // No journal line: no APUNTES block. The types are asked for once.
  EXPECT_EQ(Upload().find("<APUNTES>"), std::string::npos);
  EXPECT_EQ(Tags(), (std::vector<std::string>{"LEERTIPOSIVA", "GRABARASIENTO"}));
  EXPECT_EQ(Documents()[0], kDecl +
                                "<LEERTIPOSIVA><ID>W1</ID><CARPETA>MAIN</CARPETA>\r\n"
                                "<EMPRESA>Alfa SL</EMPRESA>\r\n</LEERTIPOSIVA>");
}

TEST_F(WebPostingTest, AnUnknownVatTypeStopsThePostingBeforeAnythingIsSent) {
  for (const std::string tipo : {"99", "0", "", "7,5", "Z9"}) {
    SCOPED_TRACE(tipo);
    log_->calls.clear();
    AddJournal("430000", 1, 121, "1");
    AddVat(tipo, 100, 121);
    AutomationError err = ErrorOf([&] { Post(); });
    EXPECT_EQ(err.number(), 50011);
    EXPECT_EQ(err.source(), "Valdrix OLE Server");
    EXPECT_EQ(err.description(),
              "Se ha pasado al servidor OLE un tipo de Iva que no existe: " + tipo);
    for (const std::string& tag : Tags()) EXPECT_NE(tag, "GRABARASIENTO");
    // The entry is still pending: the client can mend it and post again.
    EXPECT_TRUE(e_->state().entry_started);
    EXPECT_EQ(e_->collection(Col::kIva).Count(), 1);
    e_->LimpiarAsiento();
  }
}

TEST_F(WebPostingTest, TheServicesRefusalsReachTheClient) {
  AddJournal("430000", 1, 121, "1");
  posting_answer_ = "error: asiento descuadrado";
  AutomationError err = ErrorOf([&] { Post(); });
  EXPECT_EQ(err.number(), static_cast<int32_t>(0x8004C357));
  EXPECT_EQ(err.source(), "Valdrix OLE Server");
  EXPECT_EQ(err.description(), "error: asiento descuadrado");
  // The entry was emptied before it was sent.
  EXPECT_FALSE(e_->state().entry_started);
  EXPECT_EQ(e_->collection(Col::kApuntes).Count(), 0);

  // A refused list of VAT types: nothing is posted, the entry stays.
  log_->calls.clear();
  AddVat("21", 100, 0);
  vat_types_answer_ = "ERROR: sin sesión";
  err = ErrorOf([&] { Post(); });
  EXPECT_EQ(err.number(), static_cast<int32_t>(0x8004C35D));
  EXPECT_EQ(err.description(), "ERROR: sin sesión");
  EXPECT_EQ(Tags(), std::vector<std::string>{"LEERTIPOSIVA"});
  EXPECT_EQ(e_->collection(Col::kIva).Count(), 1);
}

TEST_F(WebPostingTest, AnEntryWithoutADateIsNotSent) {
  e_->state().accounting_date.clear();
  AddJournal("430000", 1, 121, "1");
  AutomationError err = ErrorOf([&] { Post(); });
  EXPECT_EQ(err.number(), 5000);
  EXPECT_EQ(err.description(), "La fecha está vacía");
  EXPECT_TRUE(Documents().empty());
  EXPECT_EQ(e_->collection(Col::kApuntes).Count(), 1);
}

TEST_F(WebPostingTest, PortfolioAndAnalyticLinesHaveTheirOwnBlocks) {
  AddJournal("700000", 2, 100, "A");
  Call("AñadirCartera", {S("30/04/26"), S("430000"), S("C1"), S("vto"), D(121)});
  Call("AñadirAnalitica", {S("700000"), S("CC01"), S("Ventas"), B(2), D(100), S("1")});
  Call("AñadirRetencion", {S("430000"), S("Cliente"), S("B1"), S("F-1"), D(100), S("4730"), D(15),
                           S("28"), S(""), S("10/03/26"), D(0), D(0), D(15), D(0), S("A")});
  EXPECT_EQ(Post(), 0);
  const std::string doc = Upload();
  EXPECT_EQ(BlockOf(doc, "CARTERAS"),
            "<CARTERAS>\r\n"
            " <CARTERA CUENTA=\"430000\" CA=\"C1\" NOTAS=\"vto\" FECHA_VTO=\"30/04/26\" "
            "TOTAL=\"121\" TITULO=\"\" />\r\n"
            " <CARTERA CUENTA=\"\" CA=\"\" NOTAS=\"\" FECHA_VTO=\"\" TOTAL=\"\" TITULO=\"\" />\r\n"
            "</CARTERAS>\r\n");
  EXPECT_EQ(BlockOf(doc, "ANALITICA"),
            "<ANALITICA>\r\n"
            " <ANALI CUENTA=\"700000\" CODANALI=\"CC01\" DESCRIPCION=\"Ventas\" IMPORTE=\"100\" "
            "TITULO=\"\" />\r\n"
            " <ANALI CUENTA=\"\" CODANALI=\"\" DESCRIPCION=\"\" IMPORTE=\"\" TITULO=\"\" />\r\n"
            "</ANALITICA>\r\n");
  // Withholdings are not sent, and are no longer pending either.
  EXPECT_EQ(doc.find("4730"), std::string::npos);
  EXPECT_EQ(e_->collection(Col::kRetenciones).Count(), 0);
}

TEST_F(WebPostingTest, ValuesCannotBreakTheDocumentNorShiftColumns) {
  AddJournal(" 430000 ", 1, 121, "C", "", "Pago \"urgente\"\t& <cia>");
  EXPECT_EQ(Post(), 0);
  EXPECT_NE(BlockOf(Upload(), "APUNTES")
                .find(" <APUNTE CUENTA=\"430000\" DESCRIPCION=\"Pago &#34;urgente&#34;&#9;&#38; "
                      "&#60;cia&#62;\" REFERENCIA=\"R1\" CANAL=\"\" IMPORTE=\"121\" TIPO=\"1\" "
                      "NOTAS=\"nota\"  DIARIO=\"C\" />\r\n"),
            std::string::npos);
}

TEST(WebUploadDocumentTest, ElementsSpanTheWidestRow) {
  WebEntryTables t;
  t.apuntes = {{""}};  // no journal line: no block
  t.ivas = {{"430", "F1"}, {"431"}, {""}};
  t.carteras = {{""}};
  t.analitica = {{"700", "CC", "x", "5", ""}, {""}};
  const std::string doc = DocumentoGrabarAsiento("ID9", "EMP", "01/02/26", "(Auto)", t);
  EXPECT_EQ(doc,
            kDecl +
                "<GRABARASIENTO>\r\n<ID>ID9</ID><EMPRESA>EMP</EMPRESA>\r\n<ASIENTOS>\r\n"
                "<ASIENTO NUMERO='(Auto)' FECHA='01/02/26'>\r\n"
                "<IVAS>\r\n"
                " <IVA CUENTA=\"430\" FACTURA=\"F1\" />\r\n"
                " <IVA CUENTA=\"431\" FACTURA=\"\" />\r\n"
                " <IVA CUENTA=\"\" FACTURA=\"\" />\r\n"
                "</IVAS>\r\n"
                "<CARTERAS>\r\n <CARTERA CUENTA=\"\" />\r\n</CARTERAS>\r\n"
                "<ANALITICA>\r\n"
                " <ANALI CUENTA=\"700\" CODANALI=\"CC\" DESCRIPCION=\"x\" IMPORTE=\"5\" "
                "TITULO=\"\" />\r\n"
                " <ANALI CUENTA=\"\" CODANALI=\"\" DESCRIPCION=\"\" IMPORTE=\"\" TITULO=\"\" />\r\n"
                "</ANALITICA>\r\n"
                "</ASIENTO>\r\n</ASIENTOS>\r\n</GRABARASIENTO>");
}

// --- VAT types and VAT-book counts on the web -------------------------------

double Number(const Variant& record, const std::string& field) {
  return ToDouble(std::dynamic_pointer_cast<RecordObject>(record.object())->Get(field));
}
std::string Text(const Variant& record, const std::string& field) {
  return ToStr(std::dynamic_pointer_cast<RecordObject>(record.object())->Get(field));
}

TEST_F(WebPostingTest, VatTypesAreReadFromTheServicesList) {
  Variant general = Call("TIPOSIVA", {Variant::FromInteger(21)}).value;
  EXPECT_EQ(Text(general, "TIPO"), "21");
  EXPECT_EQ(Text(general, "Descripción"), "General 21");
  EXPECT_EQ(Number(general, "Cuota"), 21);
  EXPECT_EQ(Number(general, "Recargo"), 0);
  EXPECT_EQ(Documents(),
            std::vector<std::string>{kDecl + "<LEERTIPOSIVA><ID>W1</ID><CARPETA>MAIN</"
                                             "CARPETA>\r\n<EMPRESA>Alfa SL</EMPRESA>\r\n</"
                                             "LEERTIPOSIVA>"});

  Variant retail = Call("TIPOSIVA", {S("A1")}).value;
  EXPECT_EQ(Text(retail, "TIPO"), "A1");
  EXPECT_EQ(Number(retail, "Cuota"), 4);
  EXPECT_EQ(Number(retail, "Recargo"), 0.5);
  Variant reduced = Call("TIPOSIVA", {S("7")}).value;
  EXPECT_EQ(Text(reduced, "TIPO"), "07");
  EXPECT_EQ(Number(reduced, "Cuota"), 7);
  EXPECT_FLOAT_EQ(static_cast<float>(Number(Call("TIPOSIVA", {S("10")}).value, "Cuota")), 10.5f);

  // A type the list lacks, as a missing record of the local file.
  AutomationError err = ErrorOf([&] { Call("TIPOSIVA", {Variant::FromInteger(55)}); });
  EXPECT_EQ(err.number(), static_cast<int32_t>(0x8004C356));
  vat_types_answer_ = "ERROR: sin sesión";
  err = ErrorOf([&] { Call("TIPOSIVA", {Variant::FromInteger(21)}); });
  EXPECT_EQ(err.number(), static_cast<int32_t>(0x8004C35D));
  EXPECT_EQ(err.description(), "ERROR: sin sesión");
}

TEST_F(WebPostingTest, ExisteIvaCountsTheRowsOfTheServicesSearch) {
  search_answer_ = "5\t6\n F-1\t100\r\nF-1\t21\n\n";
  EXPECT_EQ(ToLong(Call("ExisteIva", {S("F-1")}).value), 2);
  ASSERT_EQ(Documents().size(), 1u);
  EXPECT_EQ(TagOf(Documents()[0]), "BUSCAR");
  EXPECT_EQ(ElementOf(Documents()[0], "FILTER"), "FACTURA No.=F-1");
  EXPECT_EQ(ElementOf(Documents()[0], "ARCHIVO"), "IVA01");

  search_answer_ = "5\t6";
  EXPECT_EQ(ToLong(Call("ExisteIva", {S("F-2")}).value), 0);
  search_answer_ = "";
  EXPECT_EQ(ToLong(Call("ExisteIva", {S("F-2")}).value), 0);
  search_answer_ = "Error: tabla ocupada";
  AutomationError err = ErrorOf([&] { Call("ExisteIva", {S("F-2")}); });
  EXPECT_EQ(err.number(), static_cast<int32_t>(0x8004C35D));
}

}  // namespace
}  // namespace qrole::posting
