#include "server/company_creation.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "automation/convert.h"
#include "data/catalogue.h"
#include "data/registry.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_catalogue.h"
#include "server/company_header.h"
#include "server/enlace.h"
#include "server/web_requests.h"
#include "web/web_link.h"

namespace qrole::server {

namespace {

std::string CurrentYearTwoDigits() {
  int year = platform::CurrentEnv()->GetClock().Now().year;
  return FormatNumber(year % 100, "00");
}

std::string Mid(const std::string& s, size_t start, size_t n) {
  return start >= s.size() ? std::string() : s.substr(start, n);
}

void SetHeaderByte(std::string* header, const char* field, int value) {
  HeaderField f = CampoCabecera(field);
  (*header)[static_cast<size_t>(f.position - 1)] = static_cast<char>(value & 0xFF);
}

void SetHeaderNumber(std::string* header, const char* field, double value) {
  HeaderField f = CampoCabecera(field);
  std::string bytes(static_cast<size_t>(f.length), '\0');
  if (f.type == kHeaderSingle) {
    float v = static_cast<float>(value);
    std::memcpy(bytes.data(), &v, 4);
  } else if (f.type == kHeaderDouble) {
    std::memcpy(bytes.data(), &value, 8);
  } else {
    int32_t v = static_cast<int32_t>(value);
    std::memcpy(bytes.data(), &v, std::min<size_t>(4, bytes.size()));
  }
  header->replace(static_cast<size_t>(f.position - 1), bytes.size(), bytes);
}

// A header with every text field blank and every number zero.
std::string BlankHeader() {
  std::string header(kHeaderSize, ' ');
  for (const HeaderField& f : HeaderFields()) {
    if (f.type == kHeaderByte) SetHeaderByte(&header, f.name, 0);
    if (f.type == kHeaderSingle || f.type == kHeaderDouble || f.type == kHeaderLong)
      SetHeaderNumber(&header, f.name, 0);
  }
  return header;
}

// A name holding a control character (a NUL above all, which would end the
// file name there) cannot name a company file: refused before anything is
// created. The description shows each such character as "?".
void CheckCompanyName(const std::string& name) {
  std::string shown = name;
  bool bad = false;
  for (char& c : shown) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      c = '?';
      bad = true;
    }
  }
  if (bad)
    throw AutomationError(runtime_error::kFileAccess, kRuntimeSource,
                          "Nombre de empresa no válido (caracteres de control): " + shown);
}

int FamilyCode(int v) {
  if (v == 0 || v == 1) return v;
  if (v >= 4 && v <= 6) return 2;
  return 1;
}

}  // namespace

std::string CreationOptions(const CreationArgs& a) {
  std::string year = a.year;
  if (year.size() < 5) {
    if (year.size() > 2) year = year.substr(year.size() - 2);
  } else {
    year = CurrentYearTwoDigits();
  }
  return "/A:" + year + " /N:" + a.levels + " /X:" + a.auxiliaries + " /M:" + a.currency_base +
         " /P:" + a.opening_month + " /Z:" + std::to_string(a.chart) +
         " /I:" + std::to_string(a.vat_kind);
}

std::string CreateCompanyFileSet(const std::string& name_in, const std::string& options) {
  CheckCompanyName(name_in);
  platform::Env* env = platform::CurrentEnv();
  std::string header = BlankHeader();
  SetHeaderText(&header, "AÑO", CurrentYearTwoDigits());
  SetHeaderText(&header, "NIVEL", "12340");
  SetHeaderText(&header, "AUX", "0010");
  SetHeaderText(&header, "APERTURA", "01");
  SetHeaderText(&header, "CLAVE4", "0");
  SetHeaderText(&header, "AUTOMATICO", "0");
  SetHeaderText(&header, "AVISOS", "0");
  SetHeaderText(&header, "DOCUMENTO", "000001");
  SetHeaderByte(&header, "ARCHIVOMONEDABASE", 1);
  SetHeaderNumber(&header, "VERSION", Val(ToStr(data::LeerRegistro("Version"))));

  int family = -1;
  size_t start = 0;
  while (start <= options.size()) {
    size_t slash = options.find('/', start);
    std::string piece =
        options.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    start = slash == std::string::npos ? options.size() + 1 : slash + 1;
    if (piece.empty()) continue;
    char letter = piece[0] >= 'a' && piece[0] <= 'z' ? static_cast<char>(piece[0] - 32) : piece[0];
    switch (letter) {
      case 'A':
        SetHeaderText(&header, "AÑO", Mid(piece, 2, 2));
        break;
      case 'N':
        SetHeaderText(&header, "NIVEL", Mid(piece, 2, 5));
        break;
      case 'X':
        SetHeaderText(&header, "AUX", Mid(piece, 2, 4));
        break;
      case 'M':
        SetHeaderByte(&header, "ARCHIVOMONEDABASE", static_cast<int>(Val(Mid(piece, 2, 1))));
        break;
      case 'P':
        SetHeaderText(&header, "APERTURA", Mid(piece, 2, 2));
        break;
      case 'I':
        SetHeaderText(&header, "IVAIGIC", Mid(piece, 2, 1));
        break;
      case 'Z':
        family = FamilyCode(static_cast<int>(Val(Mid(piece, 2, 2))));
        header[kChartFamilyByte - 1] = static_cast<char>('0' + family);
        break;
      default:
        break;
    }
  }

  std::string name = platform::NormalizeSeparators(name_in);
  if (name.size() < 4 || platform::ToUpperCase(name.substr(name.size() - 4)) != ".QRT")
    name += ".QRT";
  if (name.find('/') == std::string::npos)
    name = platform::NormalizeSeparators(ToStr(data::LeerRegistro("DATOS_DIR"))) + name;
  const std::string directory = SepararRuta(name).directory;

  const std::string number = data::FindFreeCompanyNumber(directory, "", "");
  SetHeaderText(&header, "COMUN", number);
  const std::string path = data::FreeHeaderName(name);

  auto file = env->Files().Open(path, platform::OpenMode::CreateTruncate);
  if (!file.ok())
    throw AutomationError(runtime_error::kFileAccess, kRuntimeSource,
                          "No se puede crear " + path + ": " + file.status().message());
  platform::Status written = (*file)->WriteAt(0, header);
  if (!written.ok())
    throw AutomationError(runtime_error::kFileAccess, kRuntimeSource,
                          "No se puede escribir " + path + ": " + written.message());
  file->reset();

  if (family >= 0) {
    const std::string program_dir =
        platform::NormalizeSeparators(ToStr(data::LeerRegistro("Directory")));
    for (const char* ext : {".QRD", ".QRC"}) {
      std::string from =
          data::CompanyFileName(program_dir, "PLANC", FormatNumber(family, "00"), ext);
      std::string to = data::CompanyFileName(directory, "PLANC", number, ext);
      auto bytes = env->Files().ReadAll(from);
      if (!bytes.ok())
        throw AutomationError(runtime_error::kFileNotFound, kRuntimeSource,
                              "Plantilla de plan contable no encontrada: " + from);
      platform::Status copied = env->Files().WriteAllAtomic(to, *bytes);
      if (!copied.ok())
        throw AutomationError(runtime_error::kFileAccess, kRuntimeSource,
                              "No se puede copiar " + from + " a " + to + ": " + copied.message());
    }
  }
  // The data version check accepts what this server writes.
  std::string answer = CheckDataVersion(path);
  if (answer != "OK") throw AutomationError(59999, kServerSource, answer);
  return path;
}

std::string CrearEmpresaEnWeb(Enlace& e, const std::string& name, const std::string& options) {
  std::string answer = web::PeticionWeb(e.web_session(), "CREAREMPRESA", name, options, "");
  if (web::IsErrorAnswer(answer)) RaiseNotOnWeb(e);
  return answer;
}

}  // namespace qrole::server
