#include "server/company_params.h"

#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "automation/convert.h"
#include "data/transaction.h"
#include "platform/env.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_header.h"
#include "server/dates.h"
#include "server/enlace.h"
#include "server/web_requests.h"

namespace qrole::server {

namespace {

using platform::File;
using platform::OpenMode;

// Runs `step` until it succeeds (returns true) or has failed `limit` times.
// A step that finds its file missing gives up at once: waiting does not
// bring a file into being.
bool Retry(const std::function<bool(bool* missing)>& step, int limit = kParamRetryLimit) {
  for (int failures = 0; failures < limit; ++failures) {
    bool missing = false;
    if (step(&missing)) return true;
    if (missing) return false;
    platform::CurrentEnv()->GetClock().SleepMs(1);
  }
  return false;
}

std::unique_ptr<File> OpenShared(const std::string& path, OpenMode mode, bool* missing) {
  auto f = data::OpenDataFile(path, mode);
  if (!f.ok()) {
    if (missing && (f.status().IsNotFound() || path.empty())) *missing = true;
    return nullptr;
  }
  return std::move(f).value();
}

// Bytes 1025 to the end of the file, or nullopt when it cannot be read.
std::optional<std::string> ReadSettingsBytes(File& f) {
  auto size = f.Size();
  if (!size.ok()) return std::nullopt;
  if (*size <= kHeaderSize) return std::string();
  std::string out;
  if (!f.ReadAt(kHeaderSize, static_cast<size_t>(*size - kHeaderSize), &out).ok())
    return std::nullopt;
  return out;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t p = text.find("\r\n", start);
    if (p == std::string::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, p - start));
    start = p + 2;
  }
}

// The key of a settings line (the text before its first "="), upper-cased;
// nullopt for a line without "=".
std::optional<std::string> LineKey(const std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return platform::ToUpperCase(line.substr(0, eq));
}

std::string LittleEndian(uint64_t v, size_t n) {
  std::string out(n, '\0');
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}

uint64_t FromLittleEndian(const std::string& bytes) {
  uint64_t v = 0;
  for (size_t i = bytes.size(); i > 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[i - 1]);
  return v;
}

// Reads a header field from the file by its type; nullopt on a read failure.
std::optional<std::string> ReadHeaderField(File& f, const HeaderField& field) {
  size_t n = static_cast<size_t>(field.length);
  switch (field.type) {
    case kHeaderHidden:
      return std::string();
    case kHeaderByte:
      n = 1;
      break;
    case kHeaderSingle:
    case kHeaderLong:
      n = 4;
      break;
    case kHeaderDouble:
      n = 8;
      break;
    case kHeaderDate:
      n = 6;
      break;
    default:
      break;
  }
  std::string bytes;
  if (!f.ReadAt(static_cast<uint64_t>(field.position - 1), n, &bytes).ok()) return std::nullopt;
  bytes.resize(n, '\0');
  switch (field.type) {
    case kHeaderText:
    case kHeaderText8:
      return platform::Cp1252ToUtf8(bytes);
    case kHeaderByte:
      return std::to_string(static_cast<unsigned char>(bytes[0]));
    case kHeaderSingle: {
      uint32_t bits = static_cast<uint32_t>(FromLittleEndian(bytes));
      float v;
      std::memcpy(&v, &bits, 4);
      return ToStr(Variant::FromSingle(v));
    }
    case kHeaderDouble: {
      uint64_t bits = FromLittleEndian(bytes);
      double v;
      std::memcpy(&v, &bits, 8);
      return ToStr(Variant::FromDouble(v));
    }
    case kHeaderLong:
      return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(FromLittleEndian(bytes))));
    case kHeaderDate:
      return ConvertirFechaGuardada(platform::Cp1252ToUtf8(bytes));
    default:
      return std::string();
  }
}

// The bytes to write for a header field, or nullopt when the value cannot be
// stored (a conversion failure) or the type is not written.
std::optional<std::string> EncodeHeaderField(const HeaderField& field, const std::string& value) {
  Variant v = value.empty() ? Variant::FromLong(0) : Variant::FromString(value);
  try {
    switch (field.type) {
      case kHeaderText:
      case kHeaderText8: {
        std::string bytes = platform::Utf8ToCp1252(value);
        bytes.resize(static_cast<size_t>(field.length), ' ');
        return bytes;
      }
      case kHeaderByte:
        return std::string(1, static_cast<char>(ToByte(v)));
      case kHeaderSingle: {
        float f = ToSingle(v);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return LittleEndian(bits, 4);
      }
      case kHeaderDouble: {
        double d = ToDouble(v);
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        return LittleEndian(bits, 8);
      }
      case kHeaderLong:
        return LittleEndian(static_cast<uint32_t>(ToLong(v)), 4);
      case kHeaderDate: {
        // Stored in the stored date form, whatever form the caller used.
        if (Trim(value).empty()) return std::string(6, ' ');
        std::string stored = ConvertirFecha(Trim(value));
        if (stored.size() != 6) return std::nullopt;
        return platform::Utf8ToCp1252(stored);
      }
      default:
        return std::nullopt;
    }
  } catch (const AutomationError&) {
    return std::nullopt;
  }
}

}  // namespace

void CheckSettingText(const std::string& key, const std::string& value) {
  if (key.find_first_of("\r\n") == std::string::npos &&
      value.find_first_of("\r\n") == std::string::npos)
    return;
  std::string shown = key;
  for (char& c : shown)
    if (c == '\r' || c == '\n') c = '?';
  throw AutomationError(runtime_error::kInvalidCall, kRuntimeSource,
                        "Los parámetros de la empresa no admiten retornos de carro ni saltos de "
                        "línea: " +
                            shown);
}

std::string GetSetting(const std::string& path, const std::string& key) {
  const std::string wanted = platform::ToUpperCase(key);
  std::string result;
  Retry([&](bool* missing) {
    auto f = OpenShared(path, OpenMode::ReadOnly, missing);
    if (!f) return false;
    std::optional<std::string> bytes = ReadSettingsBytes(*f);
    if (!bytes) return false;
    std::vector<std::string> lines = SplitCrLf(platform::Cp1252ToUtf8(*bytes));
    // The last piece has no CR LF after it: a value there reads as empty.
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
      std::optional<std::string> k = LineKey(lines[i]);
      if (k && *k == wanted) {
        result = lines[i].substr(lines[i].find('=') + 1);
        return true;
      }
    }
    return true;
  });
  return result;
}

void PutSetting(const std::string& path, const std::string& key, const std::string& value) {
  CheckSettingText(key, value);
  const std::string upper_key = platform::ToUpperCase(key);
  Retry([&](bool* missing) {
    auto f = OpenShared(path, OpenMode::ReadWrite, missing);
    if (!f) return false;
    if (!f->LockWhole().ok()) return false;
    bool done = [&] {
      auto size = f->Size();
      if (!size.ok()) return false;
      if (*size < kHeaderSize + 1) {
        std::string blanks(kHeaderSize + 1 - *size, ' ');
        if (!f->WriteAt(*size, blanks).ok()) return false;
      }
      std::optional<std::string> old_bytes = ReadSettingsBytes(*f);
      if (!old_bytes) return false;
      std::vector<std::string> lines = SplitCrLf(platform::Cp1252ToUtf8(*old_bytes));
      bool replaced = false;
      for (std::string& line : lines) {
        std::optional<std::string> k = LineKey(line);
        if (k && *k == upper_key) {
          line = upper_key + "=" + value;
          replaced = true;
          break;
        }
      }
      if (!replaced) lines.push_back(upper_key + "=" + value);
      std::string text;
      std::vector<std::string> kept;
      for (const std::string& line : lines) {
        std::optional<std::string> k = LineKey(line);
        if (!k) continue;
        bool seen = false;
        for (const std::string& prior : kept) seen = seen || prior == *k;
        if (seen) continue;
        if (line.find('=') + 1 >= line.size()) continue;  // empty value: removed
        kept.push_back(*k);
        text += Trim(line) + "\r\n";
      }
      std::string bytes = platform::Utf8ToCp1252(text);
      bytes += '\x1a';
      if (bytes.size() < old_bytes->size()) bytes.resize(old_bytes->size(), '\0');
      return f->WriteAt(kHeaderSize, bytes).ok();
    }();
    f->UnlockWhole().IgnoreError();
    return done;
  });
}

std::string GetTotal(Enlace& e, const std::string& desc) {
  if (!e.company_open()) return "No hay una empresa abierta";
  if (e.state().web_mode) return LeerTotalWeb(e, desc, "", "");
  HeaderField field = CampoCabecera(desc);
  if (field.position == 0) return GetSetting(e.state().company_path, desc);
  std::string result;
  Retry([&](bool* missing) {
    auto f = OpenShared(e.state().company_path, OpenMode::ReadOnly, missing);
    if (!f) return false;
    std::optional<std::string> v = ReadHeaderField(*f, field);
    if (!v) return false;
    result = *v;
    return true;
  });
  return result;
}

void PutTotal(Enlace& e, const std::string& desc, const std::string& value) {
  CheckSettingText(desc, value);
  if (!e.company_open()) return;
  if (e.state().web_mode) {
    GrabarTotalWeb(e, desc, value);
    return;
  }
  HeaderField field = CampoCabecera(desc);
  if (field.position == 0) {
    PutSetting(e.state().company_path, desc, value);
    return;
  }
  std::optional<std::string> bytes = EncodeHeaderField(field, value);
  if (!bytes) return;
  Retry([&](bool* missing) {
    auto f = OpenShared(e.state().company_path, OpenMode::ReadWrite, missing);
    if (!f) return false;
    return f->WriteAt(static_cast<uint64_t>(field.position - 1), *bytes).ok();
  });
}

std::shared_ptr<Collection> LeerConfig(Enlace& e) {
  static const char* const kNames[] = {"Comun_Qrole",
                                       "ANALITICA",
                                       "CANAL",
                                       "ACREEDORPRESU",
                                       "EFECTOS1",
                                       "NIVEL",
                                       "AUX",
                                       "IVAIGIC",
                                       "CONTADORANALITICA",
                                       "APUNTES",
                                       "PAGINAS",
                                       "CARGOSA",
                                       "ABONOSA",
                                       "CARGOSD",
                                       "ABONOSD",
                                       "BORRADOR",
                                       "CANALACTIVO",
                                       "LINEAS",
                                       "COMPRIMIDO",
                                       "MES",
                                       "AÑO",
                                       "CLAVE4",
                                       "CHECK",
                                       "AUTOMATICO",
                                       "AVISOS",
                                       "ACTUALIZADO",
                                       "EFECTOS2",
                                       "DOCUMENTO",
                                       "MONTH_CHECK",
                                       "CUENTACANAL",
                                       "FECHALIMITE",
                                       "PRESUPUESTOANALITICO",
                                       "MOSTRAREMPRESAS",
                                       "MINUTOSDESDEULTIMACOPIA",
                                       "CARTERAULTIMAPENULTIMA",
                                       "CANALALFA",
                                       "REFERENCIA",
                                       "CONTADOR1",
                                       "CONTADOR2",
                                       "CONTADOR3",
                                       "NULL3",
                                       "ARCHIVOMONEDABASE",
                                       "NUEVAAMORT",
                                       "NUM_DIARIO",
                                       "DIAROIO_COLOR",
                                       "VERSION",
                                       "APERTURA",
                                       "NULL4",
                                       "DIRECCION",
                                       "CP",
                                       "POBLACION",
                                       "PROVINCIA",
                                       "CAPITAL_SOCIAL",
                                       "NIF",
                                       "REF",
                                       "IVA1",
                                       "IVA2",
                                       "IVA3",
                                       "IVA4",
                                       "IVA5",
                                       "IVA6",
                                       "NIVEL1",
                                       "NIVEL2",
                                       "NIVEL3",
                                       "NIVEL4",
                                       "NIVEL5",
                                       "AUX1",
                                       "AUX2",
                                       "AUX3",
                                       "RecalcularPresupuesto",
                                       "CriteriodeCaja"};
  auto out = Collection::Create();
  const bool web = e.state().web_mode;
  for (const char* name : kNames)
    out->Add(Variant::FromString(std::string(name) + "\t" +
                                 (web ? LeerTotalWeb(e, name, "", "") : GetTotal(e, name))));
  // On the web the company is a name on the service, not a file here: the
  // parameters above are all there is.
  if (web) return out;

  auto f = OpenShared(e.state().company_path, OpenMode::ReadOnly, nullptr);
  if (!f) RaiseRuntimeError(runtime_error::kFileNotFound);
  std::optional<std::string> bytes = ReadSettingsBytes(*f);
  if (!bytes) RaiseRuntimeError(runtime_error::kFileAccess);
  std::vector<std::string> seen;
  for (const std::string& line : SplitCrLf(platform::Cp1252ToUtf8(*bytes))) {
    if (!line.empty() && line[0] == '\x1a') break;
    if (line.empty() || static_cast<unsigned char>(line[0]) < 32) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq + 1);
    bool dup = false;
    for (const std::string& k : seen) dup = dup || k == key;
    if (dup) continue;
    seen.push_back(key);
    std::string tabbed = line;
    for (char& c : tabbed)
      if (c == '=') c = '\t';
    out->Add(Variant::FromString(tabbed));
  }
  return out;
}

}  // namespace qrole::server
