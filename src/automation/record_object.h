// Record objects: the public classes that are plain holders of fields
// (`ApunteClass`, `IVAClass`, ..., `FechaAsto`).
//
// A record object is described by its `typelib::RecordInfo`; every field
// starts at the zero value of its type ("" for texts, 0 for numbers, False,
// Empty for Variants, Nothing for objects). A client reads a field with get
// and writes it with let (converted to the field's type) or set.

#ifndef QROLE_AUTOMATION_RECORD_OBJECT_H_
#define QROLE_AUTOMATION_RECORD_OBJECT_H_

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "automation/object.h"

namespace qrole {

class RecordObject : public Object {
 public:
  // Creates a record of the named class; nullptr when no record class has
  // that name (matched ignoring case).
  static std::shared_ptr<RecordObject> Create(const std::string& class_name);

  RecordObject(const typelib::ClassInfo& info, const typelib::RecordInfo& record);
  // A record whose fields hold `values`: one for each field of `record`, in
  // its order, each already of the field's type (for readers that fill many
  // records of one class; see FieldIndex).
  RecordObject(const typelib::ClassInfo& info, const typelib::RecordInfo& record,
               std::vector<Variant> values);

  const typelib::RecordInfo& record_info() const { return *record_; }

  // Field access by exact name, for the server's own code. An unknown name
  // is a programming fault (std::logic_error).
  const Variant& Get(const std::string& field) const;
  void Set(const std::string& field, const Variant& value);  // converted to the field's type
  std::string GetStr(const std::string& field) const;
  double GetDbl(const std::string& field) const;

  Variant Call(const typelib::MemberInfo& member, std::vector<Variant>& args) override;

  // The position of `field` among the fields of `record`, by exact name; an
  // unknown name is a programming fault (std::logic_error).
  static size_t FieldIndex(const typelib::RecordInfo& record, const std::string& field);

 private:
  size_t FieldIndex(const std::string& field) const { return FieldIndex(*record_, field); }
  const typelib::RecordInfo* record_;
  std::vector<Variant> values_;
};

// The zero value of a declared type.
Variant ZeroValue(const typelib::TypeRef& type);

}  // namespace qrole

#endif  // QROLE_AUTOMATION_RECORD_OBJECT_H_
