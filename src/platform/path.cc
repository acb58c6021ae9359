#include "platform/path.h"

#include <vector>

#include "platform/text_encoding.h"

namespace qrole::platform {

std::string NormalizeSeparators(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

bool IsAbsolutePath(std::string_view path) {
  if (!path.empty() && IsSeparator(path[0])) return true;  // "/x", "\\server\share"
  // A drive letter: "C:/x", "c:\x".
  return path.size() >= 3 &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
         path[1] == ':' && IsSeparator(path[2]);
}

std::string JoinPath(std::string_view dir, std::string_view name) {
  if (dir.empty() || IsAbsolutePath(name)) return NormalizeSeparators(name);
  if (name.empty()) return NormalizeSeparators(dir);
  std::string out = NormalizeSeparators(dir);
  if (out.back() != '/') out.push_back('/');
  out += NormalizeSeparators(name);
  return out;
}

namespace {

// Length of `path` without its trailing separators, keeping a lone root.
size_t TrimmedLength(std::string_view path) {
  size_t end = path.size();
  while (end > 1 && IsSeparator(path[end - 1])) --end;
  return end;
}

size_t LastSeparator(std::string_view path, size_t end) {
  for (size_t i = end; i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return std::string_view::npos;
}

}  // namespace

std::string DirName(std::string_view path) {
  const size_t end = TrimmedLength(path);
  const size_t slash = LastSeparator(path, end);
  if (slash == std::string_view::npos) return "";
  size_t dir_end = slash;
  while (dir_end > 0 && IsSeparator(path[dir_end - 1])) --dir_end;
  if (dir_end == 0) return "/";
  return NormalizeSeparators(path.substr(0, dir_end));
}

std::string BaseName(std::string_view path) {
  const size_t end = TrimmedLength(path);
  if (end == 1 && IsSeparator(path[0])) return "";
  const size_t slash = LastSeparator(path, end);
  const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  return std::string(path.substr(start, end - start));
}

namespace {

std::vector<char32_t> Decode(std::string_view s, bool fold) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  size_t pos = 0;
  while (pos < s.size()) {
    char32_t cp;
    // Invalid bytes are kept apart from real characters (see CompareIgnoreCase).
    if (!DecodeUtf8(s, &pos, &cp)) {
      out.push_back(0x110000 + cp);
    } else {
      out.push_back(fold ? FoldCodePoint(cp) : cp);
    }
  }
  return out;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name, bool ignore_case) {
  if (pattern.empty()) return false;
  const std::vector<char32_t> p = Decode(pattern, ignore_case);
  const std::vector<char32_t> n = Decode(name, ignore_case);

  // Index from which the pattern is "." followed only by "*": that tail may
  // also match the end of the name.
  size_t dot_star_tail = p.size();
  if (p.size() >= 2 && p.back() == U'*') {
    size_t k = p.size();
    while (k > 0 && p[k - 1] == U'*') --k;
    if (k > 0 && p[k - 1] == U'.') dot_star_tail = k - 1;
  }

  // Iterative matcher with backtracking to the last "*" (linear memory,
  // worst case O(|p| * |n|)).
  size_t pi = 0;
  size_t ni = 0;
  size_t star_p = std::string_view::npos;
  size_t star_n = 0;
  while (true) {
    if (ni == n.size()) {
      if (pi == dot_star_tail) return true;
      while (pi < p.size() && p[pi] == U'*') ++pi;
      if (pi == p.size()) return true;
    } else if (pi < p.size() && p[pi] == U'*') {
      star_p = pi++;
      star_n = ni;
      continue;
    } else if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
      continue;
    }
    // Mismatch, or the name ended before the pattern: let the last star eat
    // one more character.
    if (star_p == std::string_view::npos || star_n >= n.size()) return false;
    pi = star_p + 1;
    ni = ++star_n;
  }
}

}  // namespace qrole::platform
