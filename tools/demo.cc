// qrole-demo: a small client of qrole-server, as an integrating program
// would be. It creates a company in the data directory of the settings,
// opens it, sets the accounting date and prints what the server answered.
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
