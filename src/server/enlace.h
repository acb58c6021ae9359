// The `Enlace` object: the link of one client to the company data.
//
// Design: an Enlace holds its own open company, pending entry and result
// collections (this file), and shares the process-wide state
// (process_state.h) with every other object of the server. Members of the
// interface are implemented as handlers registered in the member table
// (member_table.h) by each subsystem; a member without a handler answers
// "Not implemented".
//
// States: a new object has no company open (empty company number) and is in
// local mode. AbrirEmpresa opens a company; CerrarEmpresa closes it (the
// company path, directory and header keep their values); Login switches the
// object to web mode for the rest of its life.

#ifndef QROLE_SERVER_ENLACE_H_
#define QROLE_SERVER_ENLACE_H_

#include <array>
#include <memory>
#include <string>

#include "automation/collection.h"
#include "automation/object.h"

namespace qrole::web {
struct WebSession;
}

namespace qrole::server {

// The ten collections of an object, in the order of the interface.
enum class Col {
  kApuntes,
  kIva,
  kCartera,
  kAnalitica,
  kRetenciones,
  kExtracto,
  kPlan,
  kDatos,
  kDatosGlobales,
  kInmovilizado,
};
inline constexpr int kCollectionCount = 10;

// Per-object state.
struct EnlaceState {
  std::shared_ptr<Collection> empresas;  // company catalogue, created on first touch
  std::string table_name;                // m_TableName
  std::string table_description;         // m_TableDescripcion
  bool web_mode = false;
  std::shared_ptr<web::WebSession> web;  // the web link, created on first use
  int16_t channel = 0;
  std::string user_code = "98";
  std::string company_directory;  // ends with a separator
  std::string company_number;     // empty: no company open
  std::string company_path;
  std::string company_header = std::string(1024, ' ');
  bool entry_started = false;       // AsientoIniciado
  std::string entry_number;         // NumeroAsientoActual
  bool entry_number_fixed = false;  // NumeroFijado: the client gave the number
  std::string accounting_date;      // stored form; empty until Fecha is set
  std::string posting_log_buffer;
  int32_t search_position[2] = {0, 0};
  double running_balance = 0;  // Saldo of the statement lines read last
};

class Enlace : public Object {
 public:
  Enlace();            // object creation
  ~Enlace() override;  // object destruction: closes the keyed engine and every file

  // A new object whose members are those of every subsystem (defined with
  // the member registrations).
  static std::shared_ptr<Enlace> Create();

  EnlaceState& state() { return state_; }
  const EnlaceState& state() const { return state_; }

  // The collection, created empty on first touch.
  Collection& collection(Col c);
  // The company catalogue, created empty on first touch.
  const std::shared_ptr<Collection>& empresas();
  void set_empresas(std::shared_ptr<Collection> c) { state_.empresas = std::move(c); }
  // The object's web link, created on first use.
  web::WebSession& web_session();

  // Raises 0x8004C356 "Empresa No Abierta ... Abrir Empresa y reintentar"
  // when no company is open.
  void ComprobarEmpresaAbierta() const;
  bool company_open() const { return !state_.company_number.empty(); }

  // Opens the company's catalogue tables in the record slots (with its
  // currency table) and makes it the record code's current company. A table
  // that does not open has said so; its reads then find nothing.
  void OpenCompanyFiles();
  // The company's "ARCHIVOMONEDABASE": which currency table it uses.
  int CurrencyBase() const;

  // Closes the open files and the keyed engine (local mode): every one with
  // `forget`, which also empties the company number and the pending entry;
  // without it the company's tables stay open where files may stay open
  // between calls (data::CloseFilesBetweenCalls).
  void CerrarArchivos(bool forget);

  // Sets AsientoIniciado; switching it on empties the pending entry first.
  void SetEntryStarted(bool started);
  // Drops AsientoIniciado and empties the seven pending collections.
  void LimpiarAsiento();

  Variant Call(const typelib::MemberInfo& member, std::vector<Variant>& args) override;

 private:
  EnlaceState state_;
  std::array<std::shared_ptr<Collection>, kCollectionCount> collections_;
};

// Raises 0x8004C356 (no company open).
[[noreturn]] void RaiseEmpresaNoAbierta();

// Closes every file the server has open and sends the keyed engine "K".
void CloseAllFiles();

}  // namespace qrole::server

#endif  // QROLE_SERVER_ENLACE_H_
