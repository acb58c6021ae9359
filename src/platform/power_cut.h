// A FileSystem whose power can be cut, for tests of what survives a machine
// that stops.
//
// Design: PowerCutFileSystem wraps another FileSystem and every File it
// opens, and remembers, per file, every write not yet flushed by Sync (what
// the bytes were before, and the file's size). CutAfter(n) lets n more writes
// and flushes through; the next one, and every file operation after it,
// fails with IOError, as a machine that has stopped. Restore() then undoes
// every write that was never flushed, newest first, in every file, leaving
// the disk as the machine finds it when it starts again, and lets the files
// work again. WriteAllAtomic flushes, so its writes are kept. Files created
// and never flushed are kept (empty, as a journaled file system may leave
// them).
//
//   PowerCutFileSystem fs(NativeFileSystem());
//   fs.CutAfter(37);
//   ... run until an operation fails ...
//   fs.Restore();   // the machine comes back
#ifndef QROLE_PLATFORM_POWER_CUT_H_
#define QROLE_PLATFORM_POWER_CUT_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system_wrapper.h"

namespace qrole::platform {

class PowerCutFileSystem : public FileSystemWrapper {
 public:
  explicit PowerCutFileSystem(FileSystem* target);
  ~PowerCutFileSystem() override;

  // Cuts the power after `operations` more writes and flushes (-1: never).
  void CutAfter(int operations);
  // True once the power is off.
  bool cut() const;
  // Undoes every write not flushed and turns the power back on.
  void Restore();
  // Writes and flushes seen so far.
  int operations() const;

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
  Status WriteAllAtomic(const std::string& path, std::string_view data) override;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_POWER_CUT_H_
