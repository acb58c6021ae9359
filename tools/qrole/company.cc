#include "company.h"

#include <algorithm>

#include "automation/convert.h"
#include "automation/dispatcher.h"
#include "cli.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "server/company_header.h"
#include "server/startup.h"

namespace qrole::cli {

namespace {

// A leading run of digits as a number; -1 when `text` is not all digits.
int Digits(const std::string& text) {
  if (text.empty() || text.size() > 4) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string Upper(const std::string& text) { return platform::ToUpperCase(text); }

std::string FileName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

CompanyInfo Describe(const std::string& path) {
  CompanyInfo info;
  info.path = path;
  info.name = FileName(path);
  if (info.name.size() > 4 && Upper(info.name.substr(info.name.size() - 4)) == ".QRT")
    info.name.resize(info.name.size() - 4);
  auto file = platform::CurrentEnv()->Files().Open(path, platform::OpenMode::ReadOnly);
  if (!file.ok()) {
    info.error = file.status().message();
    return info;
  }
  std::string header;
  platform::Status read = (*file)->ReadAt(0, server::kHeaderSize, &header);
  if (!read.ok() || header.size() < server::kHeaderSize) {
    info.error = read.ok() ? "the company header is incomplete" : read.message();
    return info;
  }
  info.number = server::HeaderText(header, "COMUN");
  info.year = server::HeaderText(header, "AÑO");
  const int yy = Digits(info.year);
  // As the date codec reads two-digit years: below 60 is this century.
  if (yy >= 0) info.full_year = yy < 60 ? 2000 + yy : 1900 + yy;
  info.opening_month = std::max(0, Digits(server::HeaderText(header, "APERTURA")));
  return info;
}

}  // namespace

void StartInProcess() { server::StartServer(); }

std::vector<CompanyInfo> ListCompanies() {
  // A new object loads the catalogue, as a client's would.
  std::shared_ptr<server::Enlace> e = server::Enlace::Create();
  const std::shared_ptr<Collection>& catalogue = e->empresas();
  std::vector<CompanyInfo> companies;
  for (int32_t i = 1; i <= catalogue->Count(); ++i)
    companies.push_back(Describe(ToStr(catalogue->Item(i))));
  return companies;
}

OpenCompany Open(const std::string& ref, const std::string& password) {
  std::string path;
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  const bool has_separator = ref.find('/') != std::string::npos;
  if (has_separator) {
    path = ref;
    // Opening makes the program directory the current one: a relative path
    // is taken from here first.
    if (!platform::IsAbsolutePath(path)) {
      auto here = files.CurrentDirectory();
      if (here.ok()) path = platform::JoinPath(*here, path);
    }
    if (!files.Exists(path) && files.Exists(path + ".QRT")) path += ".QRT";
    if (!files.Exists(path)) throw Failure("no company file " + ref);
  } else {
    const int number = Digits(ref);
    std::vector<CompanyInfo> matches;
    for (CompanyInfo& c : ListCompanies()) {
      const bool by_number = number > 0 && Digits(c.number) == number;
      const bool by_name = Upper(c.name) == Upper(ref) || Upper(FileName(c.path)) == Upper(ref);
      if (by_number || by_name) matches.push_back(std::move(c));
    }
    if (matches.empty())
      throw Failure("no company " + ref + " in the data directory (see qrole companies)");
    if (matches.size() > 1) {
      std::string list;
      for (const CompanyInfo& c : matches) list += "\n  " + c.path;
      throw Failure("company " + ref + " is ambiguous; give its path:" + list);
    }
    path = matches.front().path;
  }
  OpenCompany company;
  company.enlace = server::Enlace::Create();
  Invoke(*company.enlace, "AbrirEmpresa", typelib::Kind::kMethod,
         {Variant::FromString(path), Variant::FromString(password)});
  const server::EnlaceState& s = company.enlace->state();
  company.path = s.company_path;
  company.directory = s.company_directory;
  company.number = s.company_number;
  return company;
}

}  // namespace qrole::cli
