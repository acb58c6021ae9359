#include "server/enlace.h"

#include "data/company_tables.h"
#include "data/globals.h"
#include "data/record_file.h"
#include "data/transaction.h"
#include "platform/file_looks.h"
#include "qrole/error.h"
#include "server/company_catalogue.h"
#include "server/company_header.h"
#include "server/member_table.h"
#include "server/startup.h"
#include "web/web_session.h"

namespace qrole::server {

void CloseAllFiles() { data::CloseAllFiles(); }

void RaiseEmpresaNoAbierta() {
  RaiseObjectError(50006, "Empresa No Abierta ... Abrir Empresa y reintentar");
}

Enlace::Enlace() : Object(typelib::Library::Get().enlace()) {
  StartServer();
  state_.user_code = "98";
  // An error while loading the catalogue does not stop the creation.
  try {
    LoadEmpresas(*this);
  } catch (const std::exception&) {
  }
}

Enlace::~Enlace() { CloseAllFiles(); }

Collection& Enlace::collection(Col c) {
  auto& slot = collections_[static_cast<size_t>(c)];
  if (!slot) slot = Collection::Create();
  return *slot;
}

const std::shared_ptr<Collection>& Enlace::empresas() {
  if (!state_.empresas) state_.empresas = Collection::Create();
  return state_.empresas;
}

web::WebSession& Enlace::web_session() {
  if (!state_.web) state_.web = std::make_shared<web::WebSession>();
  return *state_.web;
}

void Enlace::ComprobarEmpresaAbierta() const {
  if (!company_open()) RaiseEmpresaNoAbierta();
}

void Enlace::OpenCompanyFiles() {
  data::SetCompany(state_.company_directory, state_.company_number);
  data::OpenCompanyTables(state_.company_directory, state_.company_number, CurrencyBase())
      .IgnoreError();
}

int Enlace::CurrencyBase() const {
  const HeaderField base = CampoCabecera("ARCHIVOMONEDABASE");
  return static_cast<unsigned char>(state_.company_header[static_cast<size_t>(base.position - 1)]);
}

void Enlace::CerrarArchivos(bool forget) {
  if (!state_.web_mode) {
    // Closing the company closes everything; the end of a call leaves the
    // company's tables open where files may stay open between calls.
    if (forget) {
      CloseAllFiles();
    } else {
      data::CloseFilesBetweenCalls();
    }
  }
  if (forget) {
    state_.company_number.clear();
    LimpiarAsiento();
  }
}

void Enlace::SetEntryStarted(bool started) {
  if (started && !state_.entry_started) LimpiarAsiento();
  state_.entry_started = started;
}

void Enlace::LimpiarAsiento() {
  state_.entry_started = false;
  for (Col c : {Col::kApuntes, Col::kIva, Col::kCartera, Col::kAnalitica, Col::kInmovilizado,
                Col::kDatosGlobales, Col::kRetenciones}) {
    collection(c).Clear();
  }
}

Variant Enlace::Call(const typelib::MemberInfo& member, std::vector<Variant>& args) {
  const MemberTable* table = InstalledMemberTable();
  const MemberHandler* handler = table ? table->Find(member) : nullptr;
  if (!handler) RaiseNotImplemented(member.name);
  Args a(args);
  // Each file is looked at once a call (see platform/file_looks.h).
  platform::FileLookScope looks;
  const Effect effect = table->EffectOf(member);
  if (effect == Effect::kNone || state_.web_mode || !company_open() ||
      state_.company_directory.empty())
    return (*handler)(*this, a);
  if (effect == Effect::kReads) {
    data::RecoverCompany(state_.company_directory, state_.company_number);
    return (*handler)(*this, a);
  }
  data::CompanyTransaction tx(state_.company_directory, state_.company_number);
  Variant result = (*handler)(*this, a);
  tx.Commit();
  return result;
}

}  // namespace qrole::server
