// The members of the web link and the web branches of the company members,
// through the dispatcher, against a scripted web service.

#include <gtest/gtest.h>

#include <map>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/test_env.h"
#include "web/scripted_client_test_util.h"
#include "web/web_session.h"

namespace qrole::server {
namespace {

using typelib::Kind;
using web::WebArg;
using web::testing::ClientLog;
using web::testing::ScriptedClient;

const std::string kDecl = "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n";
constexpr int32_t kWebRefusal = static_cast<int32_t>(0x8004C35D);
constexpr int32_t kWebOnly = static_cast<int32_t>(0x8004C35F);
constexpr int32_t kAdminOnly = static_cast<int32_t>(0x8004C360);

Variant S(const std::string& s) { return Variant::FromString(s); }

// The tag of a request document and the text of one of its elements.
std::string TagOf(const std::string& doc) {
  size_t start = kDecl.size() + 1;
  return doc.substr(start, doc.find('>', start) - start);
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

class WebMembersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    e_->web_session().client = std::make_unique<ScriptedClient>(
        log_, [this](const std::string& method, std::vector<WebArg>& args) {
          if (method == "ID") return id_answer_;
          return Service(args[1].value);
        });
  }

  // A small service: companies, their parameters, folders.
  std::string Service(const std::string& doc) {
    std::string tag = TagOf(doc);
    if (tag == "LEEREMPRESAS") return companies_answer_;
    if (tag == "LEERCARPETASVALDRIX2") return folders_answer_;
    if (tag == "EMPRESAEXISTS") return exists_answer_;
    if (tag == "GETTOTAL") {
      std::string name = ContentOf(doc);
      auto it = totals_.find(name);
      return it == totals_.end() ? "" : it->second;
    }
    if (tag == "PUTTOTAL") {
      totals_[ContentOf(doc)] = ElementOf(doc, "VALOR");
      return "OK";
    }
    if (tag == "CREAREMPRESA") return create_answer_;
    return "ERROR: petición desconocida " + tag;
  }

  void Login(const std::string& endpoint = "https://svc.example.test/valdrix") {
    Invoke(*e_, "Login", Kind::kMethod, {S("ana"), S("x"), S(endpoint)});
  }
  Variant Call(const std::string& m, std::vector<Variant> args = {}) {
    return Invoke(*e_, m, Kind::kMethod, std::move(args)).value;
  }
  std::string Str(const std::string& m, std::vector<Variant> args = {}) {
    return ToStr(Call(m, std::move(args)));
  }
  std::vector<std::string> Texts(const Variant& v) {
    std::vector<std::string> out;
    auto c = std::dynamic_pointer_cast<Collection>(v.object());
    EXPECT_TRUE(c);
    if (c)
      for (const Variant& item : c->items()) out.push_back(ToStr(item));
    return out;
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
  std::vector<std::string> Documents() const { return log_->Documents(); }
  // The documents sent since the last call.
  std::vector<std::string> NewDocuments() {
    std::vector<std::string> all = Documents();
    std::vector<std::string> out(all.begin() + static_cast<long>(seen_), all.end());
    seen_ = all.size();
    return out;
  }
  void OpenWeb(const std::string& name = "Alfa SL", const std::string& password = "") {
    totals_["Comun"] = "03";
    totals_["A&#209;O"] = "23";
    totals_["APERTURA"] = "07";
    Call("AbrirEmpresa", {S(name), S(password)});
  }

  TestEnv env_{"[SOFTWARE\\QRN\\Valdrix\\Settings]\nWEB_HOST=svc.example.test\n"};
  std::shared_ptr<Enlace> e_ = Enlace::Create();
  std::shared_ptr<ClientLog> log_ = std::make_shared<ClientLog>();
  std::string id_answer_ = "W1\tx\t00\t07\tMAIN\tE1";
  std::string companies_answer_ =
      "<Empresas><Empresa>Alfa SL</Empresa><Empresa> </Empresa><Empresa>Beta</Empresa>"
      "</Empresas>";
  std::string folders_answer_ = "MAIN,Sucursal,,Norte";
  std::string exists_answer_ = "SI";
  std::string create_answer_ = "OK";
  std::map<std::string, std::string> totals_;
  size_t seen_ = 0;
};

TEST_F(WebMembersTest, LoginEntersWebModeAndLoadsTheServicesCompanies) {
  auto before = e_->empresas();
  Login();
  EXPECT_TRUE(e_->state().web_mode);
  EXPECT_EQ(Str("Usuario"), "07");
  EXPECT_EQ(log_->initialised,
            std::vector<std::string>{"https://svc.example.test/valdrix/vdenlace.asmx?wsdl"});
  EXPECT_EQ(Texts(Variant::FromObject(e_->empresas())),
            (std::vector<std::string>{"Alfa SL", "Beta"}));
  EXPECT_NE(e_->empresas(), before);  // a new catalogue replaces the old one
  EXPECT_EQ(NewDocuments(),
            std::vector<std::string>{kDecl + "<LEEREMPRESAS><ID>W1</ID><CARPETA>MAIN</"
                                             "CARPETA>\r\n</LEEREMPRESAS>"});
  // An answer that is not the catalogue leaves it empty.
  companies_answer_ = "ERROR: sin permiso";
  Call("LoadEmpresas");
  EXPECT_EQ(e_->empresas()->Count(), 0);
}

TEST_F(WebMembersTest, LoginWithoutAnAddressUsesTheConfiguredHost) {
  Invoke(*e_, "Login", Kind::kMethod, {S("ana"), S("x")});
  EXPECT_EQ(log_->initialised.back(), "https://svc.example.test/valdrix/vdenlace.asmx?wsdl");
}

TEST_F(WebMembersTest, ARefusedLoginLeavesTheObjectLocal) {
  id_answer_ = "ERROR: usuario o clave no válidos";
  AutomationError e = ErrorOf([&] { Login(); });
  EXPECT_EQ(e.number(), 50900);
  EXPECT_EQ(e.source(), "QROLE75");
  EXPECT_EQ(e.description(), "ERROR: usuario o clave no válidos");
  EXPECT_FALSE(e_->state().web_mode);
  EXPECT_EQ(Str("Usuario"), "98");

  id_answer_ = "W1\tx\t02\t07\tMAIN\tE1";
  e = ErrorOf([&] { Login(); });
  EXPECT_EQ(e.number(), kWebRefusal);
  EXPECT_EQ(e.source(), "Valdrix OLE Server");
  EXPECT_EQ(e.description(),
            "Solo administradores o usuarios limitados (tipo 01) pueden acceder al web service");
  EXPECT_FALSE(e_->state().web_mode);
  EXPECT_TRUE(Documents().empty());
}

TEST_F(WebMembersTest, FolderMembersNeedWebMode) {
  for (auto f : std::vector<std::function<void()>>{
           [&] { Call("LeerCarpetas"); }, [&] { Invoke(*e_, "Carpeta", Kind::kGet, {}); },
           [&] { Invoke(*e_, "Carpeta", Kind::kLet, {S("MAIN")}); }}) {
    AutomationError e = ErrorOf(f);
    EXPECT_EQ(e.number(), kWebOnly);
    EXPECT_EQ(e.source(), "Valdrix OLE Server");
    EXPECT_EQ(e.description(), "Esta opción solo está disponible con enlace a svc.example.test");
  }
}

TEST_F(WebMembersTest, AnAdministratorListsEveryFolder) {
  Login();
  NewDocuments();
  EXPECT_EQ(Texts(Call("LeerCarpetas")),
            (std::vector<std::string>{"MAIN", "Sucursal", "", "Norte"}));
  EXPECT_EQ(NewDocuments(),
            std::vector<std::string>{kDecl + "<LEERCARPETASVALDRIX2><ID>W1</ID><CARPETA>"
                                             "MAIN</CARPETA>\r\n</LEERCARPETASVALDRIX2>"});
  // A failed request is not a list of folders.
  folders_answer_ = "ERROR:tiempo agotado";
  AutomationError e = ErrorOf([&] { Call("LeerCarpetas"); });
  EXPECT_EQ(e.number(), kWebRefusal);
  EXPECT_EQ(e.description(), "ERROR:tiempo agotado");
}

TEST_F(WebMembersTest, ALimitedUserHasOnlyItsOwnFolder) {
  id_answer_ = "W1\tx\t01\t07\tSucursal\tE1";
  Login();
  NewDocuments();
  EXPECT_EQ(Texts(Call("LeerCarpetas")), std::vector<std::string>{"Sucursal"});
  EXPECT_EQ(ToStr(Invoke(*e_, "Carpeta", Kind::kGet, {}).value), "Sucursal");
  AutomationError e = ErrorOf([&] { Invoke(*e_, "Carpeta", Kind::kLet, {S("MAIN")}); });
  EXPECT_EQ(e.number(), kAdminOnly);
  EXPECT_EQ(e.description(), "Esta opción solo está disponible para administradores");
  EXPECT_TRUE(NewDocuments().empty());
}

TEST_F(WebMembersTest, AnAdministratorChangesFolderIgnoringCase) {
  Login();
  OpenWeb();
  NewDocuments();
  Invoke(*e_, "Carpeta", Kind::kLet, {S("sucursal")});
  EXPECT_EQ(ToStr(Invoke(*e_, "Carpeta", Kind::kGet, {}).value), "sucursal");
  // The company chosen before is forgotten: the catalogue is that of the new folder.
  std::vector<std::string> docs = NewDocuments();
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(TagOf(docs[0]), "LEERCARPETASVALDRIX2");
  EXPECT_EQ(ElementOf(docs[0], "EMPRESA"), "");
  EXPECT_EQ(docs[1],
            kDecl + "<LEEREMPRESAS><ID>W1</ID><CARPETA>sucursal</CARPETA>\r\n</LEEREMPRESAS>");

  // A folder the service does not list changes nothing, and says nothing.
  Invoke(*e_, "Carpeta", Kind::kLet, {S("Sur")});
  EXPECT_EQ(ToStr(Invoke(*e_, "Carpeta", Kind::kGet, {}).value), "sucursal");
}

TEST_F(WebMembersTest, OpensACompanyOfTheService) {
  Login();
  NewDocuments();
  totals_["PASSWORD1"] = "";
  OpenWeb("Alfa SL", "cualquiera");
  EXPECT_EQ(Str("NumeroEmpresa"), "03");
  EXPECT_EQ(Str("Empresa"), "Alfa SL");
  EXPECT_EQ(Str("MesInicioEjercicio"), "07");
  EXPECT_EQ(Str("año", {Variant::FromInteger(3)}), "24");
  std::vector<std::string> docs = NewDocuments();
  ASSERT_EQ(docs.size(), 5u);
  EXPECT_EQ(docs[0], kDecl +
                         "<EMPRESAEXISTS>Alfa SL<ID>W1</ID><CARPETA>MAIN</CARPETA>\r\n"
                         "<EMPRESA>Alfa SL</EMPRESA>\r\n<VALOR>cualquiera</VALOR>\r\n"
                         "</EMPRESAEXISTS>");
  EXPECT_EQ(docs[1], kDecl +
                         "<GETTOTAL>PASSWORD1<ID>W1</ID><CARPETA>MAIN</CARPETA>\r\n"
                         "<EMPRESA>Alfa SL</EMPRESA>\r\n<VALOR>cualquiera</VALOR>\r\n</GETTOTAL>");
  EXPECT_EQ(ContentOf(docs[2]), "Comun");
  EXPECT_EQ(ContentOf(docs[3]), "A&#209;O");
  EXPECT_EQ(ContentOf(docs[4]), "APERTURA");

  // Later requests name the company opened.
  totals_["NIF"] = "B12345678";
  EXPECT_EQ(Str("GetTotal", {S("NIF")}), "B12345678");
  EXPECT_EQ(NewDocuments().back(), kDecl +
                                       "<GETTOTAL>NIF<ID>W1</ID><CARPETA>MAIN</CARPETA>\r\n"
                                       "<EMPRESA>Alfa SL</EMPRESA>\r\n</GETTOTAL>");
}

TEST_F(WebMembersTest, TheServicesStoredPasswordIsChecked) {
  Login();
  totals_["PASSWORD1"] = "ab";
  AutomationError e = ErrorOf([&] { OpenWeb("Alfa SL", "AB"); });
  EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C354));
  EXPECT_EQ(e.source(), "QROLE");
  EXPECT_EQ(e.description(), "Password Empresa Valdrix no válido: \nAlfa SL");
  EXPECT_EQ(Str("NumeroEmpresa"), "");
  // Case-sensitive; a password shorter than its four characters matches with
  // or without their blanks.
  OpenWeb("Alfa SL", "ab");
  EXPECT_EQ(Str("NumeroEmpresa"), "03");
  OpenWeb("Alfa SL", "ab  ");
  EXPECT_EQ(Str("NumeroEmpresa"), "03");
  totals_["PASSWORD1"] = "abcdef";  // only four characters count
  OpenWeb("Alfa SL", "abcd");
  EXPECT_EQ(Str("NumeroEmpresa"), "03");
}

TEST_F(WebMembersTest, ACompanyTheServiceDoesNotKnowIsRefusedAtOnce) {
  Login();
  NewDocuments();
  exists_answer_ = "NO";
  AutomationError e = ErrorOf([&] { OpenWeb("Zeta"); });
  EXPECT_EQ(e.number(), static_cast<int32_t>(0x8004C351));
  EXPECT_EQ(e.source(), "QROLE");
  EXPECT_EQ(e.description(), "Empresa Valdrix no existe: \nZeta");
  EXPECT_EQ(NewDocuments().size(), 1u);  // asked once, not again and again

  exists_answer_ = "ERROR: carpeta bloqueada";
  e = ErrorOf([&] { OpenWeb("Zeta"); });
  EXPECT_EQ(e.description(), "Empresa Valdrix no existe: \r\nZeta\r\nERROR: carpeta bloqueada");
  EXPECT_EQ(Str("NumeroEmpresa"), "");
}

TEST_F(WebMembersTest, AnErrorAnswerWhileOpeningLeavesNoCompanyOpen) {
  Login();
  totals_["PASSWORD1"] = "";
  totals_["Comun"] = "ERROR: base de datos no disponible";
  AutomationError e = ErrorOf([&] { Call("AbrirEmpresa", {S("Alfa SL")}); });
  EXPECT_EQ(e.number(), kWebRefusal);
  EXPECT_EQ(e.source(), "QROLE");
  EXPECT_EQ(e.description(), "ERROR: base de datos no disponible");
  EXPECT_EQ(Str("NumeroEmpresa"), "");
  EXPECT_EQ(Str("GetTotal", {S("NIF")}), "No hay una empresa abierta");
}

TEST_F(WebMembersTest, ParametersAreReadAndWrittenOnTheService) {
  Login();
  Call("PutTotal", {S("NIF"), S("B1")});  // no company open: nothing sent
  EXPECT_EQ(totals_.count("NIF"), 0u);
  OpenWeb();
  NewDocuments();
  Call("PutTotal", {S("NIF"), S("B1")});
  EXPECT_EQ(NewDocuments().back(), kDecl +
                                       "<PUTTOTAL>NIF<ID>W1</ID><CARPETA>MAIN</CARPETA>\r\n"
                                       "<EMPRESA>Alfa SL</EMPRESA>\r\n<VALOR>B1</VALOR>\r\n"
                                       "</PUTTOTAL>");
  EXPECT_EQ(Str("GetTotal", {S("NIF")}), "B1");
  Invoke(*e_, "Config", Kind::kLet, {S("Serie"), S("A")});
  EXPECT_EQ(ToStr(Invoke(*e_, "Config", Kind::kGet, {S("Serie")}).value), "A");
  Call("PUT_TOTAL", {S("Global_Dir"), S("/g")});
  EXPECT_EQ(Str("GET_TOTAL", {S("Global_Dir")}), "/g");
  NewDocuments();
  Call("PUT_TOTAL", {S("X"), S("1"), S("Beta")});
  EXPECT_EQ(ElementOf(NewDocuments().back(), "EMPRESA"), "Beta");
  totals_["Empresa Anterior"] = "Alfa 2022";
  EXPECT_EQ(Str("EmpresaAñoAnterior"), "Alfa 2022");
  EXPECT_EQ(Str("PreviousYearCompany"), "Alfa 2022");

  auto config = Texts(Invoke(*e_, "LeerConfig", Kind::kGet, {}).value);
  ASSERT_EQ(config.size(), 71u);
  EXPECT_EQ(config[0], "Comun_Qrole\t");
  EXPECT_EQ(config[53], "NIF\tB1");
}

TEST_F(WebMembersTest, CreatingACompanyOnTheServiceReportsARefusal) {
  Login();
  NewDocuments();
  Call("AbrirEmpresa", {S("Nueva"), S("/C2024")});
  std::vector<std::string> docs = NewDocuments();
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_EQ(docs[0], kDecl +
                         "<CREAREMPRESA>Nueva<ID>W1</ID><CARPETA>MAIN</CARPETA>\r\n"
                         "<VALOR>/C2024</VALOR>\r\n</CREAREMPRESA>");
  EXPECT_EQ(Str("NumeroEmpresa"), "");
  create_answer_ = "ERROR: no permitido";
  AutomationError e = ErrorOf([&] { Call("AbrirEmpresa", {S("Nueva"), S("/c")}); });
  EXPECT_EQ(e.number(), kWebRefusal);
  EXPECT_EQ(e.description(), "Esta opción no está disponible con enlace a svc.example.test");
}

}  // namespace
}  // namespace qrole::server
