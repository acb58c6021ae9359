// A FileSystem that fails on request, for tests of the layers above.
//
// Design: FaultInjectingFileSystem wraps another FileSystem and every File it
// opens. The knobs and counters live in one shared state object guarded by a
// mutex, so Files opened through the wrapper keep obeying the knobs even when
// used from several threads, and stay usable if they outlive the wrapper.
//
//   FaultInjectingFileSystem fs(NativeFileSystem());
//   fs.FailWritesAfter(2, Status::NoSpace("disk full"));  // 3rd write on fails
//   fs.FailLocks(1);                                      // next lock is Busy
//   fs.FailOpen("/data/EXTRA01.QRD", Status::Busy("in use"));
//
// "Writes" are File::WriteAt and FileSystem::WriteAllAtomic calls; a failed
// write changes nothing on disk. "Locks" are File::LockRange and
// File::LockWhole calls. Open faults also apply to ReadAll and WriteAllAtomic,
// which open the file internally.

#ifndef QROLE_PLATFORM_FAULT_INJECTION_H_
#define QROLE_PLATFORM_FAULT_INJECTION_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system_wrapper.h"

namespace qrole::platform {

class FaultInjectingFileSystem : public FileSystemWrapper {
 public:
  // Wraps `target` (not owned; must outlive this object and its Files).
  // Injects nothing until a knob is set.
  explicit FaultInjectingFileSystem(FileSystem* target);
  ~FaultInjectingFileSystem() override;

  // Lets `successful` more writes through, then fails the next `failures`
  // writes (every later write when `failures` is negative) with `error`, after
  // which writes succeed again. An ok `error` is treated as IOError.
  void FailWritesAfter(int successful, Status error, int failures = -1);
  // Cancels FailWritesAfter.
  void StopFailingWrites();

  // The next `attempts` lock calls report Busy without locking.
  void FailLocks(int attempts);

  // Every Open (and ReadAll, WriteAllAtomic) of `path` fails with `error` until
  // ClearOpenFailure. Paths are compared after Resolve, ignoring case. An ok
  // `error` is treated as IOError.
  void FailOpen(const std::string& path, Status error);
  void ClearOpenFailure(const std::string& path);

  // Clears every knob (counters are kept).
  void Reset();

  // Writes attempted so far (failed ones included).
  int write_count() const;
  // Writes failed by injection so far.
  int failed_write_count() const;
  // Lock calls attempted so far (failed ones included).
  int lock_count() const;

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
  Result<std::string> ReadAll(const std::string& path) override;
  Status WriteAllAtomic(const std::string& path, std::string_view data) override;

  // Knobs and counters shared with the Files opened through this object.
  struct State;

 private:
  // The injected Open failure for `path`, or Ok.
  Status OpenFault(const std::string& path);

  std::shared_ptr<State> state_;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_FAULT_INJECTION_H_
