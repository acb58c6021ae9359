// Outcome of a platform operation.
//
// `Status` carries a kind (Ok, NotFound, Corruption, IOError, InvalidArgument,
// Busy, NoSpace) and a message for people. `Result<T>` carries either a value
// of type T or a failed Status. Both are small value types, cheap to move, and
// marked [[nodiscard]] so that a failure cannot be dropped silently: a caller
// that really means to ignore one says so with `IgnoreError()`.

#ifndef QROLE_PLATFORM_STATUS_H_
#define QROLE_PLATFORM_STATUS_H_

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace qrole::platform {

enum class StatusCode {
  Ok = 0,
  NotFound,         // The file, directory, key or value does not exist.
  Corruption,       // Stored data cannot be understood.
  IOError,          // The operating system refused or failed the operation.
  InvalidArgument,  // The caller asked for something that cannot be done.
  Busy,             // Locked by another process or another open file.
  NoSpace,          // The disk or the quota is full.
};

class [[nodiscard]] Status {
 public:
  // An ok status.
  Status() = default;

  // Factories: each returns a status of that kind carrying `message`.
  static Status Ok() { return Status(); }
  static Status NotFound(std::string message) {
    return Status(StatusCode::NotFound, std::move(message));
  }
  static Status Corruption(std::string message) {
    return Status(StatusCode::Corruption, std::move(message));
  }
  static Status IOError(std::string message) {
    return Status(StatusCode::IOError, std::move(message));
  }
  static Status InvalidArgument(std::string message) {
    return Status(StatusCode::InvalidArgument, std::move(message));
  }
  static Status Busy(std::string message) { return Status(StatusCode::Busy, std::move(message)); }
  static Status NoSpace(std::string message) {
    return Status(StatusCode::NoSpace, std::move(message));
  }
  // A status of the given kind; Ok drops the message.
  static Status FromCode(StatusCode code, std::string message);

  bool ok() const { return code_ == StatusCode::Ok; }
  bool IsNotFound() const { return code_ == StatusCode::NotFound; }
  bool IsCorruption() const { return code_ == StatusCode::Corruption; }
  bool IsIOError() const { return code_ == StatusCode::IOError; }
  bool IsInvalidArgument() const { return code_ == StatusCode::InvalidArgument; }
  bool IsBusy() const { return code_ == StatusCode::Busy; }
  bool IsNoSpace() const { return code_ == StatusCode::NoSpace; }

  StatusCode code() const { return code_; }
  const std::string& message() const { return message_; }

  // "OK", or the kind's name, ": " and the message ("Not found: /a/b").
  std::string ToString() const;

  // Marks a status as deliberately not looked at.
  void IgnoreError() const {}

 private:
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}

  StatusCode code_ = StatusCode::Ok;
  std::string message_;
};

// Name of a kind without message ("OK", "Not found", "IO error", ...).
const char* StatusCodeName(StatusCode code);

namespace internal {
// Prints `what` and the status to stderr and aborts the process. Used when a
// Result's value is taken although it holds an error: a programming error that
// must not run on with a garbage value.
[[noreturn]] void DieOnBadResultAccess(const Status& status);
}  // namespace internal

// A value of type T, or the Status telling why there is none.
template <class T>
class [[nodiscard]] Result {
 public:
  // Holds `status`, which must not be ok: an ok status without a value is
  // turned into an InvalidArgument error, so that `ok()` never lies.
  Result(Status status)  // NOLINT(google-explicit-constructor)
      : status_(status.ok() ? Status::InvalidArgument("ok status without a value")
                            : std::move(status)) {}

  // Holds a value (anything T can be built from, other than a Status).
  template <class U = T>
  requires(std::is_constructible_v<T, U&&> && !std::is_same_v<std::remove_cvref_t<U>, Status> &&
           !std::is_same_v<std::remove_cvref_t<U>, Result<T>>)
      Result(U&& value)  // NOLINT(google-explicit-constructor)
      : value_(std::forward<U>(value)) {}

  bool ok() const { return value_.has_value(); }
  // Ok when there is a value, else the error.
  const Status& status() const { return status_; }

  // The value. Taking the value of a failed Result aborts the process.
  T& value() & {
    if (!ok()) internal::DieOnBadResultAccess(status_);
    return *value_;
  }
  const T& value() const& {
    if (!ok()) internal::DieOnBadResultAccess(status_);
    return *value_;
  }
  T&& value() && {
    if (!ok()) internal::DieOnBadResultAccess(status_);
    return std::move(*value_);
  }
  // The value, or `fallback` when there is none.
  T value_or(T fallback) const& { return ok() ? *value_ : std::move(fallback); }

  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  void IgnoreError() const {}

 private:
  Status status_;
  std::optional<T> value_;
};

}  // namespace qrole::platform

#endif  // QROLE_PLATFORM_STATUS_H_
