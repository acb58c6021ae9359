#include "platform/file_looks.h"

#include <unordered_map>

namespace qrole::platform {

namespace {

struct Looks {
  int depth = 0;
  std::unordered_map<std::string, FileLook> followed;
  std::unordered_map<std::string, FileLook> unfollowed;
  std::unordered_map<std::string, std::string> resolved;
};

Looks& State() {
  static auto* looks = new Looks();
  return *looks;
}

// A call names a few dozen files; a scope that sees many more (a listing
// walked name by name) starts over rather than grow.
constexpr size_t kMostKept = 512;

}  // namespace

FileLookScope::FileLookScope() {
  if (State().depth++ == 0) ForgetFileLooks();
}

FileLookScope::~FileLookScope() {
  if (--State().depth == 0) ForgetFileLooks();
}

void ForgetFileLooks() {
  Looks& s = State();
  s.followed.clear();
  s.unfollowed.clear();
  s.resolved.clear();
}

void ForgetFileLook(const std::string& path) {
  Looks& s = State();
  if (s.depth == 0) return;
  s.followed.erase(path);
  s.unfollowed.erase(path);
}

namespace internal {

const FileLook* KeptLook(const std::string& path, bool follow) {
  Looks& s = State();
  if (s.depth == 0) return nullptr;
  auto& map = follow ? s.followed : s.unfollowed;
  auto it = map.find(path);
  return it == map.end() ? nullptr : &it->second;
}

void KeepLook(const std::string& path, bool follow, const FileLook& look) {
  Looks& s = State();
  if (s.depth == 0) return;
  auto& map = follow ? s.followed : s.unfollowed;
  if (map.size() >= kMostKept) map.clear();
  map[path] = look;
}

const std::string* KeptResolution(const std::string& path) {
  Looks& s = State();
  if (s.depth == 0) return nullptr;
  auto it = s.resolved.find(path);
  return it == s.resolved.end() ? nullptr : &it->second;
}

void KeepResolution(const std::string& path, const std::string& resolved) {
  Looks& s = State();
  if (s.depth == 0) return;
  if (s.resolved.size() >= kMostKept) s.resolved.clear();
  s.resolved[path] = resolved;
}

}  // namespace internal

}  // namespace qrole::platform
