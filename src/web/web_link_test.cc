// The request documents, escaping, login and answer loading of the web link,
// against a scripted client.

#include "web/web_link.h"

#include <gtest/gtest.h>

#include "automation/record_object.h"
#include "qrole/error.h"
#include "web/scripted_client_test_util.h"
#include "web/web_answer.h"

namespace qrole::web {
namespace {

using testing::ClientLog;
using testing::ScriptedClient;

const std::string kDecl = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n";

class WebLinkTest : public ::testing::Test {
 protected:
  // A session whose client answers `answer` to every "VDWebService" call.
  void Answer(std::string answer) { answer_ = std::move(answer); }
  void SetUp() override {
    session_.client = std::make_unique<ScriptedClient>(
        log_, [this](const std::string& method, std::vector<WebArg>& args) -> std::string {
          if (method == "ID") return id_answer_;
          if (fail_) throw AutomationError(kWebClientError, kWebClientSource, "conexión rechazada");
          if (!state_back_.empty()) args[0].value = state_back_;
          return answer_;
        });
    session_.web_id = "W7";
  }
  std::string LastDocument() const {
    auto docs = log_->Documents();
    return docs.empty() ? "" : docs.back();
  }
  AutomationError ErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const AutomationError& e) {
      return e;
    }
    ADD_FAILURE() << "no error raised";
    return AutomationError(0, "", "");
  }

  std::shared_ptr<ClientLog> log_ = std::make_shared<ClientLog>();
  WebSession session_;
  std::string answer_ = "OK";
  std::string id_answer_;
  std::string state_back_;
  bool fail_ = false;
};

TEST(EscaparXmlTest, EscapesMarkupAndCharactersAbove126ByTheirCodePageCode) {
  EXPECT_EQ(EscaparXml("Año & <b>"), "A&#241;o &#38; &#60;b&#62;");
  EXPECT_EQ(EscaparXml("5€ \"x\" 'y'"), "5&#128; \"x\" 'y'");
  EXPECT_EQ(EscaparXml("a\x7f"), "a&#127;");
  // Already escaped text is escaped again: its "&" is content.
  EXPECT_EQ(EscaparXml("&#38;"), "&#38;#38;");
  // Windows-1252 has no code for this one: it travels as itself.
  EXPECT_EQ(EscaparXml("Łódź"), "Ł&#243;dź");
  EXPECT_EQ(EscaparXml("CUENTA=430\r\n"), "CUENTA=430\r\n");
}

TEST(HostOfTest, TakesTheHostOfAnEndpoint) {
  EXPECT_EQ(HostOf("https://svc.example.test/valdrix"), "svc.example.test");
  EXPECT_EQ(HostOf("http://127.0.0.1:8080/valdrix"), "127.0.0.1");
  EXPECT_EQ(HostOf("https://user@[::1]:443/x"), "[::1]");
  EXPECT_EQ(HostOf("svc.example.test"), "svc.example.test");
}

TEST_F(WebLinkTest, PeticionWebBuildsTheDocumentWithTheSessionsFolderAndCompany) {
  session_.folder = "MAIN";
  session_.request_company = "EMP1";
  EXPECT_EQ(PeticionWeb(session_, "GETTOTAL", "AÑO", "ñ1", ""), "OK");
  EXPECT_EQ(LastDocument(), kDecl +
                                "<GETTOTAL>A&#209;O<ID>W7</ID><CARPETA>MAIN</CARPETA>\r\n"
                                "<EMPRESA>EMP1</EMPRESA>\r\n<VALOR>ñ1</VALOR>\r\n</GETTOTAL>");
  // A company given replaces the request company.
  PeticionWeb(session_, "EMPRESAEXISTS", "Otra", "", "Otra");
  EXPECT_EQ(LastDocument(), kDecl +
                                "<EMPRESAEXISTS>Otra<ID>W7</ID><CARPETA>MAIN</CARPETA>\r\n"
                                "<EMPRESA>Otra</EMPRESA>\r\n</EMPRESAEXISTS>");
  session_.folder.clear();
  session_.request_company.clear();
  PeticionWeb(session_, "LEEREMPRESAS", "", "", "");
  EXPECT_EQ(LastDocument(), kDecl + "<LEEREMPRESAS><ID>W7</ID></LEEREMPRESAS>");
}

TEST_F(WebLinkTest, AValueCannotAddElementsToTheDocument) {
  session_.request_company = "A&B <SL>";
  PeticionWeb(session_, "PUTTOTAL", "NIF", "x</VALOR><ID>otro</ID><VALOR>ñ", "");
  EXPECT_EQ(LastDocument(),
            kDecl +
                "<PUTTOTAL>NIF<ID>W7</ID><EMPRESA>A&#38;B &#60;SL&#62;</EMPRESA>\r\n"
                "<VALOR>x&#60;/VALOR&#62;&#60;ID&#62;otro&#60;/ID&#62;&#60;VALOR&#62;ñ"
                "</VALOR>\r\n</PUTTOTAL>");
  PeticionWebCampos(session_, "BUSCAR", {"ARCHIVO=1"});
  EXPECT_NE(LastDocument().find("<EMPRESA>A&#38;B &#60;SL&#62;</EMPRESA>"), std::string::npos);
}

TEST_F(WebLinkTest, PeticionWebAnswersAFailedCallAsAnErrorText) {
  fail_ = true;
  EXPECT_EQ(PeticionWeb(session_, "GETTOTAL", "AÑO", "", ""), "ERROR:conexión rechazada");
}

TEST_F(WebLinkTest, TheStateTextIsKeptFromOneCallToTheNext) {
  state_back_ = "S1";
  PeticionWeb(session_, "GETTOTAL", "AÑO", "", "");
  EXPECT_EQ(session_.state_text, "S1");
  state_back_.clear();
  PeticionWeb(session_, "GETTOTAL", "MES", "", "");
  EXPECT_EQ(log_->calls.back().args[0], "S1");
}

TEST_F(WebLinkTest, PeticionWebCamposMakesOneElementPerItem) {
  session_.folder = "MAIN";
  session_.request_company = "EMP1";
  PeticionWebCampos(
      session_, "BUSCAR",
      {"FILTER:CUENTA=430", "", "ARCHIVO=C:\\datos\\x.qrd", "CAMPOS:DESC=Fra: 12 & más", "SOLO"});
  EXPECT_EQ(LastDocument(), kDecl +
                                "<BUSCAR>\r\n<ID>W7</ID>\r\n<CARPETA>MAIN</CARPETA>\r\n"
                                "<EMPRESA>EMP1</EMPRESA>\r\n"
                                "<FILTER>CUENTA=430</FILTER>\r\n"
                                "<ARCHIVO>C:\\datos\\x.qrd</ARCHIVO>\r\n"
                                "<CAMPOS>DESC=Fra: 12 &#38; m&#225;s</CAMPOS>\r\n"
                                "<SOLO></SOLO>\r\n"
                                "</BUSCAR>");
}

TEST_F(WebLinkTest, AnErrorAnswerToAFieldRequestIsRaisedInAnyCase) {
  for (std::string answer : {"ERROR: no existe", "error de filtro", "Error"}) {
    Answer(answer);
    AutomationError e = ErrorOf([&] { FiltrarBorrarWeb(session_, "CUENTA=1", "PLANC"); });
    EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C35D));
    EXPECT_EQ(e.source(), "Valdrix OLE Server");
    EXPECT_EQ(e.description(), answer);
  }
  Answer("ERRORES=0");  // begins with ERROR all the same
  EXPECT_EQ(ErrorOf([&] { BuscarWebTexto(session_, "", "1"); }).description(), "ERRORES=0");
  // A failed call is raised as the client reports it.
  fail_ = true;
  AutomationError e = ErrorOf([&] { ActualizarWeb(session_, "A=1", "1"); });
  EXPECT_EQ(e.number(), kWebClientError);
  EXPECT_EQ(e.description(), "conexión rechazada");
}

TEST_F(WebLinkTest, RemoteTableRequestsSendTheirTagsAndItems) {
  Answer("1 fila");
  EXPECT_EQ(BuscarWebTexto(session_, "CUENTA='430'", "PLANC"), "1 fila");
  EXPECT_EQ(LastDocument(), kDecl +
                                "<BUSCAR>\r\n<ID>W7</ID>\r\n<FILTER>CUENTA='430'</FILTER>\r\n"
                                "<ARCHIVO>PLANC</ARCHIVO>\r\n</BUSCAR>");
  ActualizarWeb(session_, "TITULO=A&B", "3");
  EXPECT_EQ(LastDocument(), kDecl +
                                "<UPDATE>\r\n<ID>W7</ID>\r\n<CAMPOS>TITULO=A&#38;B</CAMPOS>\r\n"
                                "<ARCHIVO>3</ARCHIVO>\r\n</UPDATE>");
  // The field list of a filtered update is escaped twice.
  FiltrarActualizarWeb(session_, "X>1", "TITULO=A&B", "3");
  EXPECT_EQ(LastDocument(), kDecl +
                                "<FILTERUPDATE>\r\n<ID>W7</ID>\r\n<FILTER>X&#62;1</FILTER>\r\n"
                                "<CAMPOS>TITULO=A&#38;#38;B</CAMPOS>\r\n<ARCHIVO>3</ARCHIVO>\r\n"
                                "</FILTERUPDATE>");
  FiltrarBorrarWeb(session_, "ASIENTO=7", "1");
  EXPECT_EQ(LastDocument(), kDecl +
                                "<FILTERBORRAR>\r\n<ID>W7</ID>\r\n<FILTER>ASIENTO=7</FILTER>\r\n"
                                "<ARCHIVO>1</ARCHIVO>\r\n</FILTERBORRAR>");
}

TEST_F(WebLinkTest, ConectarWebReadsTheIdAnswer) {
  WebSession fresh;
  auto log = std::make_shared<ClientLog>();
  std::string answer = "WEB42\tignored\t01\t07\tMAIN\tEMP9";
  fresh.client =
      std::make_unique<ScriptedClient>(log, [&](const std::string&, std::vector<WebArg>& args) {
        EXPECT_TRUE(args[0].by_ref && args[1].by_ref);
        return answer;
      });
  EXPECT_EQ(ConectarWeb(fresh, "ana", "secreto", "https://svc.test/valdrix"), "");
  EXPECT_EQ(log->initialised,
            std::vector<std::string>{"https://svc.test/valdrix/vdenlace.asmx?wsdl"});
  ASSERT_EQ(log->calls.size(), 1u);
  EXPECT_EQ(log->calls[0].method, "ID");
  EXPECT_EQ(log->calls[0].args, (std::vector<std::string>{"ana", "secreto"}));
  EXPECT_TRUE(fresh.logged_in);
  EXPECT_EQ(fresh.web_id, "WEB42");
  EXPECT_EQ(fresh.user_type, "01");
  EXPECT_EQ(fresh.user_code, "07");
  EXPECT_EQ(fresh.folder, "MAIN");
  EXPECT_EQ(fresh.web_company, "EMP9");

  // The description is read once for an endpoint; another endpoint reads its own.
  answer = "WEB43\t\t00";
  EXPECT_EQ(ConectarWeb(fresh, "ana", "secreto", "https://svc.test/valdrix"), "");
  EXPECT_EQ(log->initialised.size(), 1u);
  EXPECT_EQ(fresh.web_id, "WEB43");
  EXPECT_EQ(fresh.folder, "");  // a short answer leaves the missing columns empty
  ConectarWeb(fresh, "ana", "secreto", "https://other.test/valdrix");
  EXPECT_EQ(log->initialised.back(), "https://other.test/valdrix/vdenlace.asmx?wsdl");
}

TEST_F(WebLinkTest, ARefusedLoginLeavesTheSessionAsItWas) {
  session_.user_type = "00";
  session_.folder = "MAIN";
  id_answer_ = "ERROR: usuario no válido";
  EXPECT_EQ(ConectarWeb(session_, "x", "y", "https://svc.test/valdrix"), id_answer_);
  EXPECT_EQ(session_.web_id, "W7");
  EXPECT_FALSE(session_.logged_in);

  id_answer_ = "WEB9\t\t02\t05\tOTRA\tE2";
  AutomationError e = ErrorOf([&] { ConectarWeb(session_, "x", "y", "https://svc.test/valdrix"); });
  EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C35D));
  EXPECT_EQ(e.description(),
            "Solo administradores o usuarios limitados (tipo 01) pueden acceder al web service");
  EXPECT_EQ(session_.user_type, "00");
  EXPECT_EQ(session_.folder, "MAIN");
  EXPECT_EQ(session_.web_id, "W7");
  EXPECT_FALSE(session_.logged_in);
}

TEST_F(WebLinkTest, AFailedDescriptionIsReadAgainOnTheNextLogin) {
  WebSession fresh;
  auto log = std::make_shared<ClientLog>();
  auto client = std::make_unique<ScriptedClient>(
      log, [](const std::string&, std::vector<WebArg>&) { return std::string("W\t\t00"); });
  client->fail_initialise = true;
  ScriptedClient* raw = client.get();
  fresh.client = std::move(client);
  EXPECT_THROW(ConectarWeb(fresh, "a", "b", "https://svc.test/valdrix"), AutomationError);
  EXPECT_TRUE(log->calls.empty());
  raw->fail_initialise = false;
  EXPECT_EQ(ConectarWeb(fresh, "a", "b", "https://svc.test/valdrix"), "");
  EXPECT_EQ(log->initialised.size(), 2u);
}

// Rows of a statement answer: header of field numbers, then values.
class StatementAnswerTest : public ::testing::Test {
 protected:
  std::shared_ptr<RecordObject> Row(int i) {
    return std::dynamic_pointer_cast<RecordObject>(extracto_->Item(i).object());
  }
  std::shared_ptr<Collection> extracto_ = Collection::Create();
  double balance_ = 0;
};

TEST_F(StatementAnswerTest, LoadsRowsThroughTheHeadersFieldNumbers) {
  extracto_->Add(Variant::FromString("earlier"));
  balance_ = 100;
  // Columns in an order of the service's choosing; field 22 is not sent.
  std::string answer =
      "6\t1\t2\t3\t4\t5\t7\t8\t11\t12\t13\t14\t15\t19\t20\n"
      "12.5\t31/01/24\t4300001\t15\tFactura ñ\t1\t1\t2\tUSD\t1.1\t13.75\t003\t07\t9000\t010224\r\n"
      "\n"
      "4\t01/02/24\t4300001\t16\tCobro\t2\t0\t1\tEUR\t0\t0\t003\t07\t9001\t020224\n";
  CargarRespuestaWeb(answer, 0, *extracto_, {&balance_, 321});
  ASSERT_EQ(extracto_->Count(), 2);
  auto r = Row(1);
  EXPECT_EQ(r->GetStr("Fecha"), "31/01/24");
  EXPECT_EQ(r->GetStr("Cuenta"), "4300001");
  EXPECT_EQ(r->GetStr("Asiento"), "15");
  EXPECT_EQ(r->GetStr("Descripción"), "Factura ñ");
  EXPECT_EQ(r->Get("TIPO"), Variant::FromByte(1));
  EXPECT_DOUBLE_EQ(r->GetDbl("Importe"), 12.5);
  EXPECT_EQ(r->GetStr("Diario"), "2");
  EXPECT_EQ(r->Get("Punteo"), Variant::FromByte(1));
  EXPECT_EQ(r->GetStr("Canal"), "003");
  EXPECT_EQ(r->GetStr("Referencia"), "");
  EXPECT_EQ(r->GetStr("Moneda"), "USD");
  EXPECT_DOUBLE_EQ(r->GetDbl("CambioMoneda"), 1.1);
  EXPECT_DOUBLE_EQ(r->GetDbl("ValorEnMoneda"), 13.75);
  EXPECT_EQ(r->GetStr("Usuario"), "07");
  EXPECT_EQ(r->GetStr("FechaGrabacion"), "010224");  // the CR before the LF is not part of it
  EXPECT_DOUBLE_EQ(r->GetDbl("Saldo"), 112.5);
  EXPECT_DOUBLE_EQ(r->GetDbl("Debe"), 12.5);
  EXPECT_DOUBLE_EQ(r->GetDbl("Haber"), 0);
  EXPECT_EQ(r->Get("REGISTRO"), Variant::FromLong(321));

  auto c = Row(2);
  EXPECT_DOUBLE_EQ(c->GetDbl("Debe"), 0);
  EXPECT_DOUBLE_EQ(c->GetDbl("Haber"), -4);
  EXPECT_DOUBLE_EQ(c->GetDbl("Saldo"), 116.5);
  EXPECT_DOUBLE_EQ(balance_, 116.5);
}

TEST_F(StatementAnswerTest, AnAnalyticStatementTakesItsAccountFromField19) {
  CargarRespuestaWeb("2\t19\t6\n4300001\t0001\t3\n", kAnalyticStatementKind, *extracto_,
                     {&balance_, 0});
  ASSERT_EQ(extracto_->Count(), 1);
  EXPECT_EQ(Row(1)->GetStr("Cuenta"), "0001");
  CargarRespuestaWeb("2\t19\t6\n4300001\t0001\t3\n", 1, *extracto_, {&balance_, 0});
  EXPECT_EQ(Row(1)->GetStr("Cuenta"), "4300001");
  EXPECT_DOUBLE_EQ(balance_, 6);  // not reset between loads
}

TEST_F(WebLinkTest, BuscarWebIsFalseForAHeaderOnlyAnswer) {
  std::shared_ptr<Collection> extracto = Collection::Create();
  extracto->Add(Variant::FromString("earlier"));
  double balance = 0;
  Answer("1\t6\n");
  EXPECT_FALSE(BuscarWeb(session_, "CUENTA=1", "1", *extracto, {&balance, 0}));
  EXPECT_EQ(extracto->Count(), 0);
  Answer("1\t6\n01/01/24\t5\n");
  EXPECT_TRUE(BuscarWeb(session_, "CUENTA=1", "1", *extracto, {&balance, 0}));
  EXPECT_EQ(extracto->Count(), 1);
}

}  // namespace
}  // namespace qrole::web
