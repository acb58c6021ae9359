#include "ledger/audit_log.h"

#include <cstdio>
#include <memory>

#include "automation/convert.h"
#include "platform/env.h"
#include "platform/file_identity.h"
#include "platform/path.h"
#include "platform/text_encoding.h"
#include "server/enlace.h"
#include "server/version.h"

namespace qrole::ledger {

namespace {

// A system name as the log records it: up to the first NUL, trimmed.
std::string CleanName(std::string name) {
  size_t nul = name.find('\0');
  if (nul != std::string::npos) name.resize(nul);
  return Trim(name);
}

}  // namespace

std::string DefaultAuditPath(const server::Enlace& e) {
  const server::EnlaceState& s = e.state();
  if (s.company_directory.empty()) return "";
  const platform::LocalDateTime now = platform::CurrentEnv()->GetClock().Now();
  return s.company_directory + "QROLE_" + s.company_number + "_" + std::to_string(now.year) +
         ".log";
}

std::string AuditLine(const server::Enlace& e, const std::string& message) {
  platform::Env* env = platform::CurrentEnv();
  const platform::LocalDateTime now = env->GetClock().Now();
  char date[16], time[16];
  std::snprintf(date, sizeof date, "%02d-%02d-%04d", now.month, now.day, now.year);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour, now.minute, now.second);
  const server::EnlaceState& s = e.state();
  std::string line;
  for (const std::string& value :
       {std::string(date), std::string(time), std::string(server::kServerVersion),
        CleanName(env->ComputerName()), CleanName(env->UserName()), s.company_number,
        platform::NativePath(s.company_directory), platform::NativePath(s.company_path),
        Trim(message)}) {
    if (!line.empty()) line += '\t';
    line += value;
  }
  return line;
}

namespace {

// The log last written, kept open between calls where open files stop no
// other program (a line is written for every journal line posted). It is
// opened afresh when the name changes (a new year) or another file took its
// place (moved away, removed and made again).
struct KeptLog {
  std::string path;
  std::string stamp;
  std::unique_ptr<platform::File> file;
};

platform::File* OpenLog(const std::string& path, std::unique_ptr<platform::File>* owned) {
  static auto* kept = new KeptLog();
  const bool keep = platform::KeepFilesOpenBetweenCalls();
  if (keep && kept->file != nullptr && kept->path == path &&
      platform::FileStamp(kept->file->path()) == kept->stamp)
    return kept->file.get();
  kept->file.reset();
  auto opened = platform::CurrentEnv()->Files().Open(path, platform::OpenMode::ReadWriteCreate);
  if (!opened.ok()) return nullptr;
  if (!keep) {
    *owned = std::move(*opened);
    return owned->get();
  }
  kept->path = path;
  kept->stamp = platform::FileStamp((*opened)->path());
  kept->file = std::move(*opened);
  return kept->file.get();
}

}  // namespace

void AuditoriaSave(const server::Enlace& e, const std::string& message, const std::string& file) {
  const std::string path = Trim(file).empty() ? DefaultAuditPath(e) : file;
  if (path.empty()) return;
  const std::string bytes = platform::Utf8ToCp1252(AuditLine(e, message) + "\r\n");
  std::unique_ptr<platform::File> owned;
  platform::File* f = OpenLog(path, &owned);
  if (f == nullptr) return;
  // Appends by several processes must not overwrite each other.
  if (!f->LockWhole().ok()) return;
  auto size = f->Size();
  if (size.ok()) f->WriteAt(*size, bytes).IgnoreError();
  f->UnlockWhole().IgnoreError();
}

}  // namespace qrole::ledger
