#include "automation/record_object.h"

#include <map>
#include <stdexcept>
#include <string>
#include <utility>

#include "automation/convert.h"
#include "qrole/error.h"

namespace qrole {

Variant ZeroValue(const typelib::TypeRef& type) {
  switch (type.vt) {
    case VarType::kString:
      return Variant::FromString("");
    case VarType::kLong:
      return Variant::FromLong(0);
    case VarType::kInteger:
      return Variant::FromInteger(0);
    case VarType::kByte:
      return Variant::FromByte(0);
    case VarType::kDouble:
      return Variant::FromDouble(0);
    case VarType::kSingle:
      return Variant::FromSingle(0);
    case VarType::kCurrency:
      return Variant::FromCurrency(Currency{});
    case VarType::kDate:
      return Variant::FromDate(Date{});
    case VarType::kBoolean:
      return Variant::FromBool(false);
    case VarType::kObject:
      return Variant::FromObject(nullptr);
    case VarType::kArray:
      return Variant::FromArray(std::make_shared<Array>(std::vector<Array::Bound>{}));
    default:
      return Variant();
  }
}

std::shared_ptr<RecordObject> RecordObject::Create(const std::string& class_name) {
  // A reading makes thousands of records of a few classes: each name is
  // looked up (a case-folding walk of the interface) once.
  using Kinds = std::pair<const typelib::ClassInfo*, const typelib::RecordInfo*>;
  static auto* const kKnown = new std::map<std::string, Kinds>();
  auto it = kKnown->find(class_name);
  if (it == kKnown->end()) {
    const typelib::Library& lib = typelib::Library::Get();
    const typelib::RecordInfo* rec = lib.FindRecord(class_name);
    if (!rec) return nullptr;
    it = kKnown->emplace(class_name, Kinds{lib.FindClass(rec->name), rec}).first;
  }
  return std::make_shared<RecordObject>(*it->second.first, *it->second.second);
}

RecordObject::RecordObject(const typelib::ClassInfo& info, const typelib::RecordInfo& record)
    : Object(info), record_(&record) {
  values_.reserve(record.fields.size());
  for (const typelib::FieldInfo& f : record.fields) values_.push_back(ZeroValue(f.type));
}

RecordObject::RecordObject(const typelib::ClassInfo& info, const typelib::RecordInfo& record,
                           std::vector<Variant> values)
    : Object(info), record_(&record), values_(std::move(values)) {
  if (values_.size() != record.fields.size())
    throw std::logic_error(record.name + ": " + std::to_string(values_.size()) + " values for " +
                           std::to_string(record.fields.size()) + " fields");
}

size_t RecordObject::FieldIndex(const typelib::RecordInfo& record, const std::string& field) {
  for (size_t i = 0; i < record.fields.size(); ++i)
    if (record.fields[i].name == field) return i;
  throw std::logic_error(record.name + " has no field " + field);
}

const Variant& RecordObject::Get(const std::string& field) const {
  return values_[FieldIndex(field)];
}

void RecordObject::Set(const std::string& field, const Variant& value) {
  size_t i = FieldIndex(field);
  values_[i] = ConvertTo(value, record_->fields[i].type.vt);
}

std::string RecordObject::GetStr(const std::string& field) const { return ToStr(Get(field)); }

double RecordObject::GetDbl(const std::string& field) const { return ToDouble(Get(field)); }

Variant RecordObject::Call(const typelib::MemberInfo& member, std::vector<Variant>& args) {
  size_t i = FieldIndex(member.name);
  switch (member.kind) {
    case typelib::Kind::kGet:
    case typelib::Kind::kMethod:
      return values_[i];
    case typelib::Kind::kLet:
    case typelib::Kind::kSet:
      values_[i] = args.back();  // the dispatcher converted it to the field's type
      return Variant();
  }
  RaiseRuntimeError(runtime_error::kNoSuchMember);
}

}  // namespace qrole
