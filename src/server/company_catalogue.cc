#include "server/company_catalogue.h"

#include <cmath>
#include <cstring>
#include <functional>

#include "automation/convert.h"
#include "data/currency_table.h"
#include "data/globals.h"
#include "data/registry.h"
#include "data/transaction.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/company_params.h"
#include "server/enlace.h"
#include "server/process_state.h"
#include "server/web_requests.h"
#include "web/web_link.h"
#include "web/web_xml.h"

namespace qrole::server {

namespace {

constexpr const char* kOpenSource = "QROLE";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasSeparator(const std::string& s) {
  return s.find('\\') != std::string::npos || s.find('/') != std::string::npos;
}

std::string DataDirectory() {
  std::string dir = ToStr(data::LeerRegistro("DATOS_DIR"));
  if (dir.empty()) dir = ToStr(data::LeerRegistro("DATOS_DIR"));
  return platform::NormalizeSeparators(dir);
}

// Runs the steps of an opening: a step that fails runs again; the call's
// 2000th failure, or a wrong password, reaches the client with the source
// "QROLE".
class OpeningRun {
 public:
  void Step(const std::function<void()>& step) {
    while (true) {
      try {
        step();
        return;
      } catch (const AutomationError& e) {
        if (e.number() == ObjectError(50004) || ++failures_ >= kOpenRetryLimit)
          throw AutomationError(e.number(), kOpenSource, e.description());
      } catch (const std::exception& e) {
        if (++failures_ >= kOpenRetryLimit)
          throw AutomationError(runtime_error::kFileAccess, kOpenSource, e.what());
      }
    }
  }

 private:
  int failures_ = 0;
};

}  // namespace

SplitPath SepararRuta(const std::string& path) {
  SplitPath out;
  size_t last = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i)
    if (IsSeparator(path[i])) last = i;
  std::string rest = path;
  if (last != std::string::npos) {
    out.directory = path.substr(0, last + 1);
    rest = path.substr(last + 1);
  }
  if (rest.size() >= 4 && rest[rest.size() - 4] == '.') {
    out.name = rest.substr(0, rest.size() - 4);
    out.extension = rest.substr(rest.size() - 3);
    out.has_extension = true;
  } else {
    out.name = rest;
  }
  return out;
}

std::string DescifrarClave(const std::string& stored) {
  if (stored.empty() || stored[0] == '\0') return "";
  if (stored.find_first_not_of(' ') == std::string::npos) return "";
  std::string out;
  for (size_t i = 0; i < 4 && i < stored.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(stored[i]);
    if (c == 0) continue;
    out += static_cast<char>(c >= 128 ? c - 127 : c + 127);
  }
  return platform::Cp1252ToUtf8(out);
}

std::string CheckDataVersion(const std::string& path) {
  auto f = platform::CurrentEnv()->Files().Open(path, platform::OpenMode::ReadOnly);
  if (!f.ok()) return "No se puede leer el archivo de empresa: " + f.status().message();
  auto size = (*f)->Size();
  if (!size.ok()) return "No se puede leer el archivo de empresa: " + size.status().message();
  if (*size == 0) return "OK";  // an empty file is refused by the opening itself
  std::string header;
  if (!(*f)->ReadAt(0, kHeaderSize, &header).ok() || header.size() < kHeaderSize)
    return "Archivo de empresa dañado: cabecera incompleta";
  HeaderField version = CampoCabecera("VERSION");
  uint32_t bits = 0;
  for (int i = 3; i >= 0; --i)
    bits = (bits << 8) |
           static_cast<unsigned char>(header[static_cast<size_t>(version.position - 1 + i)]);
  float v;
  std::memcpy(&v, &bits, 4);
  if (!std::isfinite(v) || v < 0 || v >= 100) return "Versión de datos no reconocida en " + path;
  return "OK";
}

namespace {

// The catalogue of the web service: the texts of the children of the
// answer's "Empresas" element, in a new collection.
void LoadEmpresasWeb(Enlace& e) {
  std::string answer = web::PeticionWeb(e.web_session(), "LEEREMPRESAS", "", "", "");
  auto catalogue = Collection::Create();
  if (auto names = web::ChildTexts(answer, "/Empresas")) {
    for (const std::string& name : *names)
      if (!name.empty()) catalogue->Add(Variant::FromString(name));
  }
  e.set_empresas(catalogue);
}

// A parameter read while opening a company on the web; an error answer
// stops the opening.
std::string OpeningTotal(Enlace& e, const std::string& name, const std::string& password,
                         const std::string& company) {
  std::string answer = LeerTotalWeb(e, name, password, company);
  if (web::IsErrorAnswer(answer)) web::RaiseWebAnswer(answer);
  return answer;
}

// Opening on the web. The service's answers are final, so a refusal is not
// asked again (as a sharing conflict on a local file is); it reaches the
// client with the opening's source.
void AbrirEmpresaWeb(Enlace& e, const std::string& name, const std::string& password) {
  try {
    std::string answer = web::PeticionWeb(e.web_session(), "EMPRESAEXISTS", name, password, name);
    if (web::IsErrorAnswer(answer))
      RaiseObjectError(50001, "Empresa Valdrix no existe: \r\n" + name + "\r\n" + answer);
    if (answer == "NO") RaiseObjectError(50001, "Empresa Valdrix no existe: \n" + name);

    // The stored password, left-aligned in its four characters. One shorter
    // than four is blank-padded there, and matches without the blanks too.
    std::string stored = OpeningTotal(e, "PASSWORD1", password, name);
    std::string four = platform::Utf8ToCp1252(stored);
    four.resize(4, ' ');
    four = platform::Cp1252ToUtf8(four);
    if (!Trim(four).empty() && password != four && password != RTrim(four))
      RaiseObjectError(50004, "Password Empresa Valdrix no válido: \n" + name);

    std::string number = OpeningTotal(e, "Comun", password, name);
    std::string year = OpeningTotal(e, "AÑO", password, name);
    std::string opening = OpeningTotal(e, "APERTURA", password, name);

    EnlaceState& s = e.state();
    e.web_session().request_company = name;
    s.company_path = name;
    s.company_number = number;
    SetHeaderText(&s.company_header, "AÑO", year);
    SetHeaderText(&s.company_header, "APERTURA", opening);
    data::SetFiscalYear(HeaderText(s.company_header, "AÑO"),
                        static_cast<int>(Val(HeaderText(s.company_header, "APERTURA"))));
  } catch (const AutomationError& err) {
    throw AutomationError(err.number(), kOpenSource, err.description());
  }
}

}  // namespace

void LoadEmpresas(Enlace& e) {
  if (e.state().web_mode) {
    LoadEmpresasWeb(e);
    return;
  }
  auto& catalogue = e.empresas();
  catalogue->Clear();
  std::string dir;
  try {
    dir = DataDirectory();
  } catch (const std::exception&) {
  }
  // An empty directory lists the current directory, as a bare pattern does.
  auto names = platform::CurrentEnv()->Files().List(dir.empty() ? "." : dir, "*.QRT");
  if (!names.ok()) return;
  for (const std::string& name : *names)
    catalogue->Add(Variant::FromString(platform::NativePath(dir + name)));
}

void AbrirEmpresa(Enlace& e, const std::string& empresa, const std::string& password) {
  ProcessState& process = Process();
  process.stop_posting = false;
  if (e.state().web_mode) {
    AbrirEmpresaWeb(e, empresa, password);
    return;
  }

  platform::Env* env = platform::CurrentEnv();
  OpeningRun run;
  std::string name = empresa;
  std::string path;
  run.Step([&] {
    if (name.empty()) name = ToStr(data::LeerRegistro("Active"));
  });
  run.Step([&] {
    std::string tail = name.size() > 4 ? name.substr(name.size() - 4) : name;
    path = platform::ToUpperCase(Trim(tail)) != ".QRT" ? name + ".QRT" : name;
    if (!HasSeparator(path)) path = DataDirectory() + path;
    path = platform::NormalizeSeparators(path);
    e.state().company_path = path;
  });
  run.Step([&] {
    if (!env->Files().Exists(path) || env->Files().IsDirectory(path))
      RaiseObjectError(50001, "Empresa Valdrix no existe: \n" + name);
  });
  run.Step([&] {
    std::string answer = CheckDataVersion(path);
    if (answer != "OK")
      throw AutomationError(59999, "",
                            answer +
                                " - Debe actualizar Valdrix en todos los equipos que accedan a "
                                "estos datos.");
  });
  std::unique_ptr<platform::File> file;
  run.Step([&] {
    auto f = env->Files().Open(path, platform::OpenMode::ReadOnly);
    if (!f.ok()) throw AutomationError(runtime_error::kFileAccess, "", f.status().message());
    auto size = (*f)->Size();
    if (!size.ok()) throw AutomationError(runtime_error::kFileAccess, "", size.status().message());
    if (*size == 0) RaiseObjectError(50001, "Empresa Valdrix no existe: \n" + name);
    file = std::move(f).value();
  });
  run.Step([&] {
    std::string number;
    if (!file->ReadAt(0, 2, &number).ok())
      throw AutomationError(runtime_error::kFileAccess, "", "read error");
    // A refused number is not kept: the object must not look open on it.
    std::string text = platform::Cp1252ToUtf8(number);
    if (Val(text) == 0) RaiseObjectError(50002, "Número Empresa Valdrix no válido: \n" + name);
    e.state().company_number = text;
  });
  data::SetIndexMaintenance(true);
  run.Step([&] {
    std::string header;
    if (!file->ReadAt(0, kHeaderSize, &header).ok())
      throw AutomationError(runtime_error::kFileAccess, "", "read error");
    header.resize(kHeaderSize, ' ');
    e.state().company_header = header;
  });
  run.Step([&] {
    std::string stored = HeaderBytes(e.state().company_header, "PASSWORD1");
    std::string clear = DescifrarClave(stored);
    if (!clear.empty() && clear != password)
      RaiseObjectError(50004, "Password Empresa Valdrix no válido: \n" + name);
  });
  run.Step([&] {
    std::string levels = HeaderText(e.state().company_header, "NIVEL");
    for (int i = 1; i <= 5; ++i)
      process.account_levels[static_cast<size_t>(i)] =
          static_cast<int>(Val(levels.substr(static_cast<size_t>(i - 1), 1)));
  });
  // The company's files are beside its company file. (Taken from the name as
  // given, a bare name would leave the directory empty, and every table
  // would then be looked for in the current directory, the program's.)
  e.state().company_directory = SepararRuta(path).directory;
  // An operation a process left half done is completed before anything
  // reads the company.
  data::RecoverCompany(e.state().company_directory, e.state().company_number);
  // Kept in step with the company's "Global_Dir" setting; errors are ignored.
  try {
    std::string global = ToStr(data::LeerRegistro("GLOBAL_DIR"));
    if (Trim(global).empty()) {
      process.global_directory = platform::NormalizeSeparators(GetTotal(e, "Global_Dir"));
      data::GrabarRegistro("Global_Dir",
                           Variant::FromString(platform::NativePath(process.global_directory)));
    } else {
      process.global_directory = platform::NormalizeSeparators(global);
      if (Trim(GetTotal(e, "Global_Dir")).empty())
        PutTotal(e, "Global_Dir", platform::NativePath(global));
    }
  } catch (const std::exception&) {
  }
  data::SetCompany(e.state().company_directory, e.state().company_number);
  data::SetFiscalYear(HeaderText(e.state().company_header, "AÑO"),
                      static_cast<int>(Val(HeaderText(e.state().company_header, "APERTURA"))));
  data::Currencies().loaded = false;  // the new company's table is loaded with its tables
  // The company's configuration file is copied into the settings; errors are ignored.
  try {
    auto text = env->Files().ReadAll(e.state().company_directory + "VdfOl" +
                                     e.state().company_number + ".qrf");
    if (text.ok()) {
      std::string content = platform::Cp1252ToUtf8(*text);
      size_t start = 0;
      while (start <= content.size()) {
        size_t end = content.find("\r\n", start);
        std::string line =
            content.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t tab = line.find('\t');
        if (tab != std::string::npos && line.find('\t', tab + 1) == std::string::npos)
          data::GrabarRegistro(line.substr(0, tab), Variant::FromString(line.substr(tab + 1)));
        if (end == std::string::npos) break;
        start = end + 2;
      }
    }
  } catch (const std::exception&) {
  }
  run.Step([&] {
    std::string dir = ToStr(data::LeerRegistro("DIRECTORY"));
    platform::Status s = env->Files().SetCurrentDirectory(dir);
    if (!s.ok()) throw AutomationError(runtime_error::kFileAccess, "", s.message());
  });
  run.Step([&] {
    std::string s = GetSetting(path, "NivelesCosto");
    if (s.empty()) return;
    auto digit = [&](size_t i) { return static_cast<int>(Val(s.substr(i, 1))); };
    for (size_t i = 0; i < 3; ++i) process.cost_centre_levels[i + 1] = i < s.size() ? digit(i) : 0;
    if (s.size() == 7) {
      process.cost_centre_levels[4] = digit(3);
      process.cost_centre_levels[5] = digit(4);
    }
    process.cost_centre_levels[0] = RoundToByte(Val(s.size() >= 2 ? s.substr(s.size() - 2) : s));
  });
}

void CrearEmpresaWeb(Enlace& e, const std::string& name, const std::string& password) {
  std::string answer = web::PeticionWeb(e.web_session(), "CREAREMPRESA", name, password, "");
  if (web::IsErrorAnswer(answer)) RaiseNotOnWeb(e);
}

std::string EmpresaAnioAnterior(Enlace& e) {
  if (e.state().web_mode) return LeerTotalWeb(e, "Empresa Anterior", "", "");
  std::string value = GetSetting(e.state().company_path, "Empresa Anterior");
  if (!value.empty() && value.find('\\') == std::string::npos &&
      value.find('/') == std::string::npos)
    value = e.state().company_directory + value;
  return platform::NativePath(value);
}

}  // namespace qrole::server
