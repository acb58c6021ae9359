// Facts about the user and the machine.
//
// Known folders map the Windows shell folders onto the XDG base directories:
//
//   AppData        $XDG_CONFIG_HOME, else $HOME/.config
//   LocalAppData   $XDG_DATA_HOME, else $HOME/.local/share
//   CommonAppData  /var/lib (machine-wide data; writable by root only)
//   Documents      $XDG_DOCUMENTS_DIR, else XDG_DOCUMENTS_DIR of
//                  <AppData>/user-dirs.dirs, else $HOME/Documents
//   Desktop        $XDG_DESKTOP_DIR, else XDG_DESKTOP_DIR of
//                  <AppData>/user-dirs.dirs, else $HOME/Desktop
//   ProgramFiles   /opt
//   Temp           $TMPDIR, else /tmp
//
// Variables that are empty or hold a relative path are ignored, as the XDG
// rules say. $HOME, when unset or relative, comes from the password database.
// Paths carry no trailing "/".

#ifndef QROLE_PLATFORM_SYSTEM_INFO_H_
#define QROLE_PLATFORM_SYSTEM_INFO_H_

#include <optional>
#include <string>
#include <string_view>

namespace qrole::platform {

enum class KnownFolder {
  AppData,
  LocalAppData,
  CommonAppData,
  Documents,
  Desktop,
  ProgramFiles,
  Temp
};

// Login name of the user the process runs as; its numeric id when the name
// cannot be found. Never empty.
std::string UserName();

// Name of this machine: the host name up to its first ".", or "localhost"
// when it has none. Never empty.
std::string ComputerName();

// Names the current boot of the machine (see Env::BootId); never empty.
std::string BootId();

// Directory of a known folder (see the table above). The directory need not
// exist.
std::string KnownFolderPath(KnownFolder folder);

// The user's home directory, without trailing "/".
std::string HomeDirectory();

// The short (8.3) form Windows can give a path: here the path itself, with "/"
// as separator.
std::string ShortPathName(std::string_view path);

// The value that a user-dirs.dirs file (`text`) gives `variable`
// ("XDG_DOCUMENTS_DIR"), with "$HOME" expanded to `home`; nullopt when the file
// does not set it or sets it to a relative path.
std::optional<std::string> ParseUserDirs(std::string_view text, std::string_view variable,
                                         const std::string& home);

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_SYSTEM_INFO_H_
