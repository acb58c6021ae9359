#include "util/like.h"

#include <string>

#include "platform/text_encoding.h"

namespace qrole::util {

namespace {

using Byte = unsigned char;

// Matches one character `c` against the set that starts after "[" at
// `*p`; moves `*p` past the "]". False at the end of a set never closed.
bool InSet(const std::string& pat, size_t* p, Byte c, bool* closed) {
  bool negate = false;
  if (*p < pat.size() && pat[*p] == '!') {
    negate = true;
    ++*p;
  }
  bool found = false;
  bool first = true;
  while (*p < pat.size() && (pat[*p] != ']' || first)) {
    first = false;
    const Byte lo = static_cast<Byte>(pat[*p]);
    Byte hi = lo;
    if (*p + 2 < pat.size() && pat[*p + 1] == '-' && pat[*p + 2] != ']') {
      hi = static_cast<Byte>(pat[*p + 2]);
      *p += 3;
    } else {
      ++*p;
    }
    if (c >= lo && c <= hi) found = true;
  }
  *closed = *p < pat.size();
  if (*closed) ++*p;  // the "]"
  return found != negate;
}

bool Match(const std::string& s, size_t i, const std::string& pat, size_t p) {
  while (p < pat.size()) {
    const char pc = pat[p];
    if (pc == '*') {
      while (p < pat.size() && pat[p] == '*') ++p;
      if (p == pat.size()) return true;
      for (size_t k = i; k <= s.size(); ++k)
        if (Match(s, k, pat, p)) return true;
      return false;
    }
    if (i >= s.size()) return false;
    const Byte c = static_cast<Byte>(s[i]);
    if (pc == '?') {
      ++p;
    } else if (pc == '#') {
      if (c < '0' || c > '9') return false;
      ++p;
    } else if (pc == '[') {
      ++p;
      bool closed = false;
      if (!InSet(pat, &p, c, &closed) || !closed) return false;
    } else {
      if (static_cast<Byte>(pc) != c) return false;
      ++p;
    }
    ++i;
  }
  return i == s.size();
}

}  // namespace

bool Like(std::string_view text, std::string_view pattern) {
  return Match(platform::Utf8ToCp1252(text), 0, platform::Utf8ToCp1252(pattern), 0);
}

}  // namespace qrole::util
