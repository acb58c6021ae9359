// Finding the company, reading what the checks need from its company file,
// and running the checks.

#include <optional>

#include "automation/convert.h"
#include "check/check.h"
#include "check/check_internal.h"
#include "data/registry.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "server/company_catalogue.h"
#include "server/company_header.h"
#include "server/company_params.h"

namespace qrole::check {

namespace {

bool EndsWithQrt(const std::string& path) {
  return path.size() >= 4 && platform::ToUpperCase(path.substr(path.size() - 4)) == ".QRT";
}

bool IsCompanyNumber(const std::string& text) {
  return !text.empty() && text.size() <= 2 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

std::string DataDirectory() {
  return platform::NormalizeSeparators(ToStr(data::LeerRegistro("DATOS_DIR")));
}

// The company number a company file's header starts with, if it can be read.
std::optional<std::string> CompanyNumberOf(const std::string& path) {
  auto f = platform::CurrentEnv()->Files().Open(path, platform::OpenMode::ReadOnly);
  if (!f.ok()) return std::nullopt;
  std::string two;
  if (!(*f)->ReadAt(0, 2, &two).ok() || two.size() != 2) return std::nullopt;
  return platform::Cp1252ToUtf8(two);
}

// The level lengths of the cost-centre chart, as the company's
// "NivelesCosto" setting gives them (levels 1 to 5; 0 = none).
std::vector<int> CostCentreLevels(const std::string& path) {
  const std::string s = server::GetSetting(path, "NivelesCosto");
  std::vector<int> levels;
  if (s.empty()) return levels;
  auto digit = [&](size_t i) { return i < s.size() ? static_cast<int>(Val(s.substr(i, 1))) : 0; };
  for (size_t i = 0; i < 3; ++i) levels.push_back(digit(i));
  if (s.size() == 7) {
    levels.push_back(digit(3));
    levels.push_back(digit(4));
  }
  return levels;
}

}  // namespace

platform::Result<std::string> ResolveCompany(const std::string& argument) {
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  const std::string given = platform::NormalizeSeparators(Trim(argument));
  if (given.empty()) return platform::Status::InvalidArgument("no company named");
  const bool has_separator = given.find('/') != std::string::npos;
  if (has_separator || EndsWithQrt(given)) {
    std::string path = EndsWithQrt(given) ? given : given + ".QRT";
    if (!has_separator) path = platform::JoinPath(DataDirectory(), path);
    path = files.Resolve(path);
    if (!files.Exists(path) || files.IsDirectory(path))
      return platform::Status::NotFound("no company file " + path);
    return path;
  }
  const std::string directory = DataDirectory();
  auto names = files.List(directory.empty() ? "." : directory, "*.QRT");
  if (!names.ok()) {
    return platform::Status::NotFound("the data directory " + directory +
                                      " cannot be listed: " + names.status().message());
  }
  const std::string wanted = platform::ToUpperCase(given + ".QRT");
  for (const std::string& name : *names) {
    if (platform::ToUpperCase(name) == wanted) return platform::JoinPath(directory, name);
  }
  if (IsCompanyNumber(given)) {
    std::vector<std::string> matches;
    for (const std::string& name : *names) {
      const std::string path = platform::JoinPath(directory, name);
      const std::optional<std::string> number = CompanyNumberOf(path);
      if (number && Val(*number) != 0 && Val(*number) == Val(given)) matches.push_back(path);
    }
    if (matches.size() == 1) return matches.front();
    if (matches.size() > 1) {
      return platform::Status::InvalidArgument("company number " + given + " is " + matches[0] +
                                               " and " + matches[1]);
    }
  }
  return platform::Status::NotFound("no company " + given + " in " + directory);
}

platform::Result<Report> CheckCompany(const std::string& company_path,
                                      const CheckOptions& options) {
  platform::FileSystem& files = platform::CurrentEnv()->Files();
  const std::string path = files.Resolve(platform::NormalizeSeparators(company_path));
  auto f = files.Open(path, platform::OpenMode::ReadOnly);
  if (!f.ok()) return f.status();
  std::string header;
  platform::Status read = (*f)->ReadAt(0, server::kHeaderSize, &header);
  f->reset();
  if (!read.ok()) return read;
  if (header.size() < server::kHeaderSize)
    return platform::Status::Corruption(path + ": the company header is incomplete");
  const std::string number = platform::Cp1252ToUtf8(header.substr(0, 2));
  if (Val(number) == 0)
    return platform::Status::InvalidArgument(path + ": no company number in its header");

  Report report;
  report.company_path = path;
  report.directory = server::SepararRuta(path).directory;
  report.number = number;
  internal::Findings findings(report, options);
  internal::CheckBooks(report.directory, number,
                       Trim(server::HeaderText(header, "CONTADORASIENTOS")), CostCentreLevels(path),
                       findings);
  internal::CheckIndexes(report.directory, number, findings);
  return report;
}

}  // namespace qrole::check
