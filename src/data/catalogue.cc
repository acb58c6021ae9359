#include "data/catalogue.h"

#include "automation/convert.h"
#include "data/registry.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"

namespace qrole::data {

namespace {

constexpr const char* kCatalogueSource = "QROLE";

std::string WithSlash(std::string dir) {
  dir = platform::NormalizeSeparators(dir);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

bool CanOpen(const std::string& path) {
  return platform::CurrentEnv()->Files().Open(path, platform::OpenMode::ReadOnly).ok();
}

bool CopyFile(const std::string& from, const std::string& to) {
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  auto bytes = fs.ReadAll(from);
  if (!bytes.ok()) return false;
  return fs.WriteAllAtomic(to, *bytes).ok();
}

}  // namespace

std::string CompanyFileName(const std::string& directory, const std::string& table,
                            const std::string& number, const std::string& extension) {
  return WithSlash(directory) + table + number + extension;
}

std::string DefaultSharedFolder(const std::string& setting) {
  if (platform::ToUpperCase(setting) == "CON_DIR")
    return WithSlash(
        SpecialFolder(platform::KnownFolder::LocalAppData, platform::KnownFolder::AppData) +
        "/QRN/Valdrix/5/Conceptos");
  // Other shared files (the VAT types) ship in the program directory.
  return WithSlash(ToStr(LeerRegistro("Directory")));
}

std::string ResolveSharedFile(const std::string& setting, const std::string& file,
                              const std::string& company_directory,
                              const std::string& company_number) {
  if (file.size() >= 7 && !company_number.empty() && file.substr(5, 2) == company_number)
    return WithSlash(company_directory) + file;
  platform::Env* env = platform::CurrentEnv();
  const std::string program_dir = WithSlash(ToStr(LeerRegistro("Directory")));
  const std::string fallback = DefaultSharedFolder(setting);
  std::string folder = WithSlash(ToStr(LeerRegistro(setting)));
  if (Trim(folder).empty()) {
    folder = fallback;
    GrabarRegistro(setting, Variant::FromString(platform::NativePath(folder)));
    MakeFolderChain(folder);
    if (!env->Files().Exists(folder + file) && env->Files().Exists(program_dir + file))
      CopyFile(program_dir + file, folder + file);
  }
  std::string path = folder + file;
  if (!CanOpen(path)) {
    env->Messages().Show(
        "Archivo " + path + " no está disponible ... se utilizará " + fallback + file, "",
        platform::MsgIcon::Warning, platform::MsgButtons::Ok);
    GrabarRegistro(setting, Variant::FromString(platform::NativePath(fallback)));
    MakeFolderChain(fallback);
    path = fallback + file;
  }
  const std::string lower = platform::FoldCase(file);
  if (lower.rfind("moneda", 0) == 0 && !env->Files().Exists(path)) {
    if (!CopyFile(program_dir + file, path)) {
      CopyFile(WithSlash(SpecialFolder(platform::KnownFolder::CommonAppData,
                                       platform::KnownFolder::AppData)) +
                   "QRN/Valdrix/5/" + file,
               path);
    }
  }
  return path;
}

std::string FindFreeCompanyNumber(const std::string& directory, const std::string& avoid,
                                  const std::string& open_company_directory) {
  std::string dir = directory.empty() ? open_company_directory : directory;
  if (dir.empty()) {
    throw AutomationError(50012, kCatalogueSource, "RUTA= " + ToStr(LeerRegistro("DATOS_DIR")));
  }
  dir = WithSlash(dir);
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  for (int n = 1; n <= 99; ++n) {
    std::string nn = FormatNumber(n, "00");
    if (nn == avoid) continue;
    auto taken = fs.List(dir, "?????" + nn + ".*");
    if (taken.ok() && taken->empty()) return nn;
  }
  throw AutomationError(50011, kCatalogueSource,
                        "No hay espacio en el directorio " + dir + "  para crear otra empresa");
}

std::string FreeHeaderName(const std::string& wanted) {
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  if (!fs.Exists(wanted)) return wanted;
  std::string stem = wanted;
  if (stem.size() >= 4 && platform::ToUpperCase(stem.substr(stem.size() - 4)) == ".QRT")
    stem.resize(stem.size() - 4);
  for (int i = 1;; ++i) {
    std::string candidate = stem + "~" + std::to_string(i) + ".QRt";
    if (!fs.Exists(candidate)) return candidate;
  }
}

std::string ShortPath(const std::string& path) { return platform::ShortPathName(path); }

std::string SpecialFolder(platform::KnownFolder id, platform::KnownFolder fallback) {
  platform::Env* env = platform::CurrentEnv();
  std::string path = env->KnownFolderPath(id);
  if (path.empty()) path = env->KnownFolderPath(fallback);
  return path;
}

bool MakeFolderChain(const std::string& path) {
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  if (fs.IsDirectory(path)) return true;
  return fs.CreateDirectories(path).ok() || fs.IsDirectory(path);
}

}  // namespace qrole::data
