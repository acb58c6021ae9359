// Automation objects.
//
// Every object a client can hold (an `Enlace`, a `StrBuilder`, a collection,
// a record object) derives from `Object` and is described by a
// `typelib::ClassInfo`. The late-binding dispatcher (dispatcher.h) finds the
// member, converts the arguments and applies defaults, then calls `Call` with
// arguments of the declared types; by-reference arguments are changed in
// place and reported back by the dispatcher.

#ifndef QROLE_AUTOMATION_OBJECT_H_
#define QROLE_AUTOMATION_OBJECT_H_

#include <memory>
#include <string>
#include <vector>

#include "qrole/variant.h"
#include "typelib/interface.h"

namespace qrole {

class Object : public std::enable_shared_from_this<Object> {
 public:
  explicit Object(const typelib::ClassInfo& info) : info_(&info) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  const typelib::ClassInfo& info() const { return *info_; }
  const std::string& class_name() const { return info_->name(); }

  // Runs `member` with `args` already converted to the parameter types (for
  // let and set the last element is the value being assigned). Returns the
  // result (Empty for a let, a set or a method without result). Errors are
  // thrown as AutomationError.
  virtual Variant Call(const typelib::MemberInfo& member, std::vector<Variant>& args) = 0;

 private:
  const typelib::ClassInfo* info_;
};

// Typed view of the arguments of one call, for member implementations.
class Args {
 public:
  explicit Args(std::vector<Variant>& values) : values_(values) {}

  size_t size() const { return values_.size(); }
  const Variant& operator[](size_t i) const { return values_.at(i); }
  // The argument itself, to write a by-reference result into.
  Variant& ref(size_t i) { return values_.at(i); }
  bool Missing(size_t i) const { return i >= values_.size() || values_[i].IsMissing(); }

  // The argument converted (a copy) to a type.
  std::string Str(size_t i) const;
  double Dbl(size_t i) const;
  int32_t Lng(size_t i) const;
  int16_t Int(size_t i) const;
  uint8_t Byte(size_t i) const;
  bool Bool(size_t i) const;
  // The value being assigned by a let or set: the last argument.
  const Variant& value() const { return values_.back(); }

 private:
  std::vector<Variant>& values_;
};

}  // namespace qrole

#endif  // QROLE_AUTOMATION_OBJECT_H_
