#include "platform/profile.h"

#include <optional>
#include <utility>

#include "platform/ini_document_internal.h"
#include "platform/text_encoding.h"

namespace qrole::platform {
namespace {

// The fixed fallback of an [intl] key, or nullptr for any other key.
const char* IntlFallback(const std::string& section, const std::string& key) {
  if (!EqualsIgnoreCase(section, "intl")) return nullptr;
  if (EqualsIgnoreCase(key, "icurrdigits")) return "2";
  if (EqualsIgnoreCase(key, "sDecimal")) return ",";
  if (EqualsIgnoreCase(key, "sThousand")) return ".";
  return nullptr;
}

}  // namespace

IniProfile::IniProfile(std::string file_path, FileSystem* file_system)
    : file_path_(std::move(file_path)),
      file_system_(file_system != nullptr ? file_system : NativeFileSystem()) {}

std::string IniProfile::GetString(const std::string& section, const std::string& key,
                                  const std::string& default_value) {
  if (Result<std::string> text = file_system_->ReadAll(file_path_); text.ok()) {
    if (std::optional<std::string> value = internal::IniDocument::Parse(*text).Get(section, key)) {
      return std::move(*value);
    }
  }
  if (const char* fallback = IntlFallback(section, key)) return fallback;
  return default_value;
}

}  // namespace qrole::platform
