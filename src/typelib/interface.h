// The automation interface, as data.
//
// interface.json (beside this file) is the one description of the whole
// interface: every member of `_Enlace` and `_StrBuilder` with its kind,
// parameters and types, the record classes' fields and the enumerations. It
// is compiled into the server; the late-binding dispatcher, the socket
// server's `create` and the type-library generator all read it from here.

#ifndef QROLE_TYPELIB_INTERFACE_H_
#define QROLE_TYPELIB_INTERFACE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "qrole/variant.h"

namespace qrole::typelib {

enum class Kind { kMethod, kGet, kLet, kSet };
const char* KindName(Kind k);  // "method", "get", "let", "set"

// A declared type. `vt` is kVariant for "any value", kEmpty for a method
// without result, kObject for objects (`class_name` names the class when
// typed: "Collection", "ApunteClass", ...), kArray for arrays, kLong for
// enumerations (`enum_name` then names the enumeration).
struct TypeRef {
  VarType vt = VarType::kVariant;
  std::string class_name;
  std::string enum_name;
  std::string spelling;  // as written in the description ("String", "Variant[]")
};

struct ParamInfo {
  std::string name;
  TypeRef type;
  bool byref = true;
  bool optional = false;
  std::optional<Variant> default_value;  // only for optional parameters
};

struct MemberInfo {
  std::string name;
  Kind kind = Kind::kMethod;
  TypeRef type;  // result of a method or get; value of a let or set
  std::vector<ParamInfo> params;
  int32_t dispid = 0;  // shared by the accessors of one property
  int index = 0;       // position of the entry in its class
  std::string family;
};

// A class as late binding sees it: its members, found by name ignoring case.
class ClassInfo {
 public:
  ClassInfo(std::string name, std::string interface_name, std::vector<MemberInfo> members);

  const std::string& name() const { return name_; }
  const std::string& interface_name() const { return interface_name_; }
  const std::vector<MemberInfo>& members() const { return members_; }

  // The entries with this name (ignoring case, accents must match); empty
  // when the class has no such member.
  std::vector<const MemberInfo*> FindByName(const std::string& name) const;
  // The entry with this name and kind, or nullptr.
  const MemberInfo* Find(const std::string& name, Kind kind) const;
  // Number of distinct names.
  size_t NameCount() const { return by_name_.size(); }

 private:
  std::string name_;
  std::string interface_name_;
  std::vector<MemberInfo> members_;
  std::unordered_map<std::string, std::vector<int>> by_name_;  // folded name -> entries
};

struct FieldInfo {
  std::string name;
  TypeRef type;
};

struct RecordInfo {
  std::string name;
  std::vector<FieldInfo> fields;
};

struct EnumValue {
  std::string name;
  int32_t value = 0;
};

struct EnumInfo {
  std::string name;
  std::vector<EnumValue> values;
};

// The whole library, loaded once from the compiled-in description.
class Library {
 public:
  // The library of this server. Loading a broken description is a build
  // fault: it throws std::runtime_error naming the entry.
  static const Library& Get();
  // Parses a description (for tests and tools).
  static Library Parse(const std::string& json_text);

  const std::string& name() const { return name_; }
  const ClassInfo& enlace() const { return *FindClass("Enlace"); }
  const ClassInfo* FindClass(const std::string& name) const;  // coclass or record class
  const RecordInfo* FindRecord(const std::string& name) const;
  const EnumInfo* FindEnum(const std::string& name) const;
  const std::vector<RecordInfo>& records() const { return records_; }
  const std::vector<EnumInfo>& enums() const { return enums_; }
  const std::vector<ClassInfo>& classes() const { return classes_; }

 private:
  std::string name_;
  std::vector<ClassInfo> classes_;  // coclasses, then one per record class
  std::vector<RecordInfo> records_;
  std::vector<EnumInfo> enums_;
};

// Name folding used by late binding: ASCII and Latin-1 letters lower-cased.
std::string FoldName(const std::string& utf8);

// The compiled-in description text.
const std::string& InterfaceJson();

}  // namespace qrole::typelib

#endif  // QROLE_TYPELIB_INTERFACE_H_
