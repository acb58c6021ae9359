// Pure path helpers: no file system access.
//
// Paths inside the server use "/" as separator. Clients and stored settings may
// use "\" (they were written for Windows): NormalizeSeparators turns those into
// "/". The other helpers accept either separator. A path that leaves the
// server (a member's result, a by-reference argument, a setting or a value
// written into a company file) is spelled as the system spells it: NativePath.

#ifndef QROLE_PLATFORM_PATH_H_
#define QROLE_PLATFORM_PATH_H_

#include <string>
#include <string_view>

namespace qrole::platform {

// `path` with every "\" replaced by "/".
std::string NormalizeSeparators(std::string_view path);

// `path` in this system's own spelling, for paths handed to clients or
// stored: on Windows every "/" becomes "\" ("C:/Datos/A.QRT" gives
// "C:\Datos\A.QRT"); on other systems `path` unchanged (the server's own
// paths already use "/", and a stored value goes back as it was written).
std::string NativePath(std::string_view path);

// True for "/" and "\".
inline bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// True when `path` starts with a separator.
bool IsAbsolutePath(std::string_view path);

// `dir` and `name` joined by one "/" (separators normalised). An empty `dir`
// gives `name`; an absolute `name` gives `name` alone; an empty `name` gives
// `dir`.
std::string JoinPath(std::string_view dir, std::string_view name);

// Everything before the last separator, without trailing separators:
// "a/b/c" -> "a/b", "/c" -> "/", "c" -> "" (no directory part), "a/b/" -> "a".
// Separators are normalised.
std::string DirName(std::string_view path);

// The last component: "a/b/c.txt" -> "c.txt", "a\b" -> "b", "a/b/" -> "b",
// "/" -> "".
std::string BaseName(std::string_view path);

// True when `name` matches the Windows wildcard `pattern`: "*" matches any run
// of characters (none included), "?" exactly one character (a UTF-8 character,
// not a byte), everything else itself; with `ignore_case`, letters are compared
// by FoldCase. As on Windows, a pattern ending in ".*" also matches a name with
// nothing after its base part, so "*.*" matches "README" and "DATA.*" matches
// "DATA". An empty pattern matches nothing.
bool WildcardMatch(std::string_view pattern, std::string_view name, bool ignore_case);

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_PATH_H_
