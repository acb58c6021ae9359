#include "query/table_utilities.h"

#include "automation/convert.h"
#include "data/definition_file.h"
#include "data/registry.h"
#include "data/table_component.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"

namespace qrole::query {

namespace {

constexpr int kMandatory = 60000;
constexpr size_t kEntrySize = 33;

std::string ProgramDirectory() {
  std::string dir = platform::NormalizeSeparators(ToStr(data::LeerRegistro("directory")));
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

void CheckTableName(const std::string& tabla) {
  if (Trim(tabla).empty()) RaiseObjectError(kMandatory, "Tabla Obligatorio");
  if (tabla.find('/') != std::string::npos || tabla.find('\\') != std::string::npos ||
      tabla.find("..") != std::string::npos || tabla.find(':') != std::string::npos)
    RaiseObjectError(kMandatory, "Nombre de tabla no válido\n" + tabla);
}

std::string LeerTablas() {
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  const std::string dir = ProgramDirectory();
  auto names = fs.List(dir.empty() ? "." : dir, "*.qra");
  if (!names.ok()) return "";
  std::string out;
  for (const std::string& file : *names) {
    std::string name = file.substr(0, file.size() >= 4 ? file.size() - 4 : file.size());
    std::string description;
    auto f = fs.Open(dir + file, platform::OpenMode::ReadOnly);
    std::string header;
    if (f.ok() && (*f)->ReadAt(0, kEntrySize, &header).ok() && header.size() > 2)
      description = RTrim(platform::Cp1252ToUtf8(header.substr(2)));
    out += name + "\t" + description + "\r\n";
  }
  return out;
}

std::shared_ptr<Array> LeerCampos(const std::string& tabla) {
  CheckTableName(tabla);
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  auto bytes = fs.ReadAll(ProgramDirectory() + tabla + ".QRa");
  if (!bytes.ok())
    throw AutomationError(runtime_error::kFileNotFound, kRuntimeSource,
                          "File not found: " + tabla + ".QRa");
  int count = data::TwoCharNumber(std::string_view(*bytes).substr(0, 2));
  if (count < 0) count = 0;
  auto names = std::make_shared<Array>(std::vector<Array::Bound>{{1, count}});
  for (int i = 1; i <= count; ++i) {
    size_t at = kEntrySize * static_cast<size_t>(i) + 8;
    std::string name = at < bytes->size() ? bytes->substr(at, 23) : "";
    name.resize(23, ' ');
    names->At({i}) = Variant::FromString(platform::Cp1252ToUtf8(name));
  }
  return names;
}

std::string LeerDatos(const std::string& company_directory, const std::string& company_number,
                      const std::string& tabla, const std::string& campo, const std::string& valor,
                      const std::string& filtro) {
  if (Trim(tabla).empty()) RaiseObjectError(kMandatory, "Tabla Obligatorio");
  if (company_number.empty()) RaiseObjectError(kMandatory, "Empresa no Abierta");
  CheckTableName(tabla);
  data::TableComponent t;
  try {
    t.OpenTable(platform::JoinPath(company_directory, tabla + company_number + ".qrd"));
    t.MoveFirst();
    if (!Trim(filtro).empty()) {
      t.SetFilter(filtro);
    } else if (!Trim(campo).empty()) {
      t.SetFilter(campo + "=" + valor);
    }
    t.MoveFirst();
    std::string out;
    for (; !t.IsEof(); t.MoveNext()) {
      const int n = t.FieldCount();
      for (int position = 1; position < n; ++position) out += ToStr(t.GetFieldAt(position)) + "\t";
      out += "\r\n";
    }
    t.Close();
    return out;
  } catch (const AutomationError& e) {
    t.Close();
    throw AutomationError(e.number(), e.source(), e.description());
  }
}

}  // namespace qrole::query
