#include "data/registry.h"

#include <vector>

#include "automation/convert.h"
#include "platform/env.h"
#include "platform/executable.h"
#include "platform/path.h"
#include "platform/text_encoding.h"

namespace qrole::data {

namespace {

std::string KeyPath(const std::string& section, const std::string& product) {
  return "SOFTWARE\\QRN\\" + product + "\\" + section;
}

// The first `n` characters of a UTF-8 text.
std::string FirstChars(const std::string& s, size_t n) {
  size_t pos = 0, count = 0;
  char32_t cp;
  while (pos < s.size() && count < n) {
    if (!platform::DecodeUtf8(s, &pos, &cp)) ++pos;
    ++count;
  }
  return s.substr(0, pos);
}

}  // namespace

std::string ShippedProgramDirectory() {
  std::string dir = platform::EnvironmentVariable("QROLE_PROGRAM_DIR");
  if (dir.empty()) {
    // The first folder that holds the chart's table definition, else the
    // usual one.
    const std::vector<std::string> folders = platform::ShippedFileFolders();
    if (!folders.empty()) dir = folders.front();
    for (const std::string& folder : folders) {
      if (platform::CurrentEnv()->Files().Exists(platform::JoinPath(folder, "PLANC.QRA"))) {
        dir = folder;
        break;
      }
    }
  }
  dir = platform::NormalizeSeparators(dir);
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

Variant LeerRegistro(const std::string& name, const std::string& section,
                     const Variant& default_value, const std::string& product) {
  platform::SettingsStore& store = platform::CurrentEnv()->Settings();
  const std::string key = KeyPath(section, product);
  store.EnsureKey(key);
  std::optional<std::string> raw = store.Read(key, name);
  if (!raw && section == kDefaultSection && product == kDefaultProduct &&
      platform::EqualsIgnoreCase(name, "Directory")) {
    raw = ShippedProgramDirectory();
  }
  Variant value = default_value;
  if (raw && *raw != " ") value = Variant::FromString(FirstChars(*raw, 255));
  if (value.IsString()) {
    if (value.str() == "Verdadero") return Variant::FromBool(true);
    if (value.str() == "Falso") return Variant::FromBool(false);
  }
  return value;
}

void GrabarRegistro(const std::string& name, const Variant& value, const std::string& section,
                    const std::string& product) {
  platform::Env* env = platform::CurrentEnv();
  platform::SettingsStore& store = env->Settings();
  const std::string key = KeyPath(section, product);
  if (!store.EnsureKey(key)) {
    env->Messages().Show("Unable to Create/Open SubKey.\rValdrix will now abort.", "",
                         platform::MsgIcon::None, platform::MsgButtons::Ok);
  }
  std::string text = ToStr(value);
  if (text.empty()) text = " ";
  store.Write(key, name, text);
}

}  // namespace qrole::data
