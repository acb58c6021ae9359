// qrole-demo: a small client of qrole-server, as an integrating program
// would be. It creates a company in the data directory of the settings,
// opens it, sets the accounting date, posts an invoice entry, reads it and
// the balances of its accounts back, and prints what the server answered.
//
//   qrole-demo --socket PATH [--company NAME]

#include <cstdio>
#include <cstring>
#include <string>

#include "qrole/client.h"

namespace {

void Show(const char* what, const nlohmann::json& value) {
  std::printf("  %-32s %s\n", what, value.dump().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::string socket_path, company = "Demostracion";
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--socket") && i + 1 < argc)
      socket_path = argv[++i];
    else if (!std::strcmp(argv[i], "--company") && i + 1 < argc)
      company = argv[++i];
    else {
      std::fprintf(stderr, "usage: qrole-demo --socket PATH [--company NAME]\n");
      return 2;
    }
  }
  try {
    qrole::Client c = qrole::Client::Connect(socket_path);
    int64_t e = c.Create("QROLE75.Enlace");
    std::printf("Connected to qrole-server %s\n", c.Call(e, "Version").get<std::string>().c_str());

    std::printf("\nObject properties:\n");
    Show("Usuario", c.Get(e, "Usuario"));
    c.Let(e, "Canal", "7");
    Show("Canal (after Canal = \"7\")", c.Get(e, "Canal"));
    c.Let(e, "Moneda", "EURO");
    Show("Moneda (after \"EURO\")", c.Get(e, "Moneda"));

    std::printf("\nCreating company %s:\n", company.c_str());
    std::string path = c.Call(e, "CrearEmpresa", {company, "2025", "43000"}).get<std::string>();
    Show("CrearEmpresa", path);
    Show("Empresas (count)", c.Get(c.Get(e, "Empresas")["$object"].get<int64_t>(), "Count"));

    std::printf("\nOpening it:\n");
    c.Call(e, "AbrirEmpresa", {path, ""});
    Show("NumeroEmpresa", c.Call(e, "NumeroEmpresa"));
    Show("Empresa", c.Call(e, "Empresa"));
    Show("MesInicioEjercicio", c.Call(e, "MesInicioEjercicio"));
    Show("año(0)", c.Call(e, "año", {0}));
    for (const char* p : {"AÑO", "NIVEL", "AUX", "APERTURA", "DOCUMENTO", "VERSION"})
      Show((std::string("GetTotal(\"") + p + "\")").c_str(), c.Call(e, "GetTotal", {p}));
    c.Call(e, "PUT_TOTAL", {"Serie", "A"});
    Show("GET_TOTAL(\"SERIE\")", c.Call(e, "GET_TOTAL", {"SERIE"}));

    std::printf("\nAccounting date:\n");
    c.Let(e, "Fecha", "31/12/25");
    Show("Fecha (after 31/12/25)", c.Get(e, "Fecha"));
    try {
      c.Let(e, "Fecha", "01/01/26");
    } catch (const qrole::RemoteError& err) {
      std::printf("  Fecha = 01/01/26 refused: %d %s\n", err.number(), err.description().c_str());
    }

    std::printf("\nPosting an invoice entry:\n");
    c.Let(e, "Número", "");
    Show("Número (proposed)", c.Get(e, "Número"));
    c.Call(e, "AñadirApunte", {"4300001", "Factura A-1", 1, 121, "1"});
    c.Call(e, "AñadirApunte", {"7000000", "Factura A-1", 2, 100, "1"});
    c.Call(e, "AñadirApunte", {"4770000", "Factura A-1", 2, 21, "1"});
    c.Call(e, "AñadirIVA", {"4300001", "4770000", "A-1", "31/12/25", "21", "R", 100, 121});
    Show("ContadorApuntes before posting", c.Get(e, "ContadorApuntes"));
    Show("GrabarAsiento", c.Call(e, "GrabarAsiento"));
    Show("ContadorApuntes after posting", c.Get(e, "ContadorApuntes"));

    std::printf("\nReading it back:\n");
    Show("LeerAsiento(31/12/25, n)", c.Call(e, "LeerAsiento", {"31/12/25", c.Get(e, "Número")}));
    for (int i = 1; i <= c.Get(e, "ContadorApuntes").get<int>(); ++i) {
      int64_t line = c.Call(e, "Apunte", {i})["$object"].get<int64_t>();
      std::printf("  line %d: %-8s %-12s TIPO %s %s\n", i,
                  c.Get(line, "Cuenta").get<std::string>().c_str(),
                  c.Get(line, "Descripción").get<std::string>().c_str(),
                  c.Get(line, "TIPO").dump().c_str(), c.Get(line, "Importe").dump().c_str());
    }
    int64_t vat = c.Call(e, "iva", {1})["$object"].get<int64_t>();
    Show("VAT line: base, type, total",
         nlohmann::json::array({c.Get(vat, "Base"), c.Get(vat, "TipoIva"), c.Get(vat, "TOTAL")}));
    c.Call(e, "LeerPlan", {"4300001,7000000,43"});
    for (int i = 1; i <= c.Get(e, "ContadorPlan").get<int>(); ++i) {
      int64_t plan = c.Call(e, "Plan", {i})["$object"].get<int64_t>();
      std::printf("  account %-8s %-22s December debit %s credit %s\n",
                  c.Get(plan, "Cuenta").get<std::string>().c_str(),
                  c.Get(plan, "titulo").get<std::string>().c_str(),
                  c.Call(e, "PlanDebe", {i, 12}).dump().c_str(),
                  c.Call(e, "PlanHaber", {i, 12}).dump().c_str());
    }

    std::printf("\nHelpers:\n");
    nlohmann::json r = c.Invoke(e, "CalcularMoneda", qrole::Client::Kind::kMethod, {100, 0, 0});
    Show("CalcularMoneda(100) byref", r["byref"]);
    if (r.contains("messages")) Show("  message boxes", r["messages"]);
    Show("Util_TextoToArray", c.Call(e, "Util_TextoToArray", {"a\tb\r\nc"}));

    c.Call(e, "CerrarEmpresa");
    Show("NumeroEmpresa after CerrarEmpresa", c.Call(e, "NumeroEmpresa"));
    c.Release(e);
    std::printf("\nDone.\n");
    return 0;
  } catch (const qrole::RemoteError& err) {
    std::fprintf(stderr, "qrole-demo: server error %d (%s): %s\n", err.number(),
                 err.source().c_str(), err.description().c_str());
  } catch (const std::exception& err) {
    std::fprintf(stderr, "qrole-demo: %s\n", err.what());
  }
  return 1;
}
