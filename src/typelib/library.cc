#include <nlohmann/json.hpp>
#include <stdexcept>

#include "platform/text_encoding.h"
#include "typelib/interface.h"

namespace qrole::typelib {

using nlohmann::json;

const char* KindName(Kind k) {
  switch (k) {
    case Kind::kMethod:
      return "method";
    case Kind::kGet:
      return "get";
    case Kind::kLet:
      return "let";
    case Kind::kSet:
      return "set";
  }
  return "?";
}

std::string FoldName(const std::string& utf8) { return platform::FoldCase(utf8); }

ClassInfo::ClassInfo(std::string name, std::string interface_name, std::vector<MemberInfo> members)
    : name_(std::move(name)),
      interface_name_(std::move(interface_name)),
      members_(std::move(members)) {
  for (size_t i = 0; i < members_.size(); ++i) {
    members_[i].index = static_cast<int>(i);
    by_name_[FoldName(members_[i].name)].push_back(static_cast<int>(i));
  }
}

std::vector<const MemberInfo*> ClassInfo::FindByName(const std::string& name) const {
  std::vector<const MemberInfo*> out;
  auto it = by_name_.find(FoldName(name));
  if (it == by_name_.end()) return out;
  for (int i : it->second) out.push_back(&members_[static_cast<size_t>(i)]);
  return out;
}

const MemberInfo* ClassInfo::Find(const std::string& name, Kind kind) const {
  for (const MemberInfo* m : FindByName(name))
    if (m->kind == kind) return m;
  return nullptr;
}

namespace {

[[noreturn]] void Broken(const std::string& what) {
  throw std::runtime_error("interface description: " + what);
}

struct Parser {
  std::vector<std::string> record_names;
  std::vector<std::string> enum_names;

  TypeRef ParseType(const std::string& s, const std::string& where) const {
    TypeRef t;
    t.spelling = s;
    if (s.size() > 2 && s.compare(s.size() - 2, 2, "[]") == 0) {
      t.vt = VarType::kArray;
      return t;
    }
    static const std::pair<const char*, VarType> kBasic[] = {
        {"String", VarType::kString},     {"Long", VarType::kLong},
        {"Integer", VarType::kInteger},   {"Byte", VarType::kByte},
        {"Double", VarType::kDouble},     {"Single", VarType::kSingle},
        {"Currency", VarType::kCurrency}, {"Boolean", VarType::kBoolean},
        {"Date", VarType::kDate},         {"Variant", VarType::kVariant},
        {"void", VarType::kEmpty}};
    for (const auto& [n, vt] : kBasic) {
      if (s == n) {
        t.vt = vt;
        return t;
      }
    }
    if (s == "Object") {
      t.vt = VarType::kObject;
      return t;
    }
    if (s == "Collection" || s == "StrBuilder" ||
        std::find(record_names.begin(), record_names.end(), s) != record_names.end()) {
      t.vt = VarType::kObject;
      t.class_name = s;
      return t;
    }
    if (std::find(enum_names.begin(), enum_names.end(), s) != enum_names.end()) {
      t.vt = VarType::kLong;
      t.enum_name = s;
      return t;
    }
    Broken("unknown type \"" + s + "\" in " + where);
  }

  Variant ParseDefault(const json& j, const TypeRef& t, const std::string& where) const {
    if (j.is_string()) return Variant::FromString(j.get<std::string>());
    if (j.is_boolean()) return Variant::FromBool(j.get<bool>());
    if (j.is_number_integer()) {
      int64_t v = j.get<int64_t>();
      if (t.vt == VarType::kDouble || t.vt == VarType::kSingle)
        return Variant::FromDouble(static_cast<double>(v));
      return Variant::FromLong(static_cast<int32_t>(v));
    }
    if (j.is_number()) return Variant::FromDouble(j.get<double>());
    Broken("bad default in " + where);
  }

  MemberInfo ParseMember(const json& m, const std::string& cls) const {
    MemberInfo info;
    info.name = m.at("name").get<std::string>();
    std::string where = cls + "." + info.name;
    std::string kind = m.at("kind").get<std::string>();
    if (kind == "method")
      info.kind = Kind::kMethod;
    else if (kind == "get")
      info.kind = Kind::kGet;
    else if (kind == "let")
      info.kind = Kind::kLet;
    else if (kind == "set")
      info.kind = Kind::kSet;
    else
      Broken("bad kind \"" + kind + "\" in " + where);
    info.type = ParseType(m.at("type").get<std::string>(), where);
    info.family = m.value("family", "");
    if (m.contains("params")) {
      for (const json& p : m.at("params")) {
        ParamInfo pi;
        pi.name = p.at("name").get<std::string>();
        pi.type = ParseType(p.at("type").get<std::string>(), where + "(" + pi.name + ")");
        pi.byref = p.value("byref", true);
        pi.optional = p.value("optional", false);
        if (p.contains("default")) {
          if (!pi.optional) Broken("default on a required parameter in " + where);
          pi.default_value = ParseDefault(p.at("default"), pi.type, where);
        }
        info.params.push_back(std::move(pi));
      }
    }
    return info;
  }
};

// Assigns dispatch identifiers: one per distinct name, in order of first
// appearance, from the base the runtime gives a class's own members.
void AssignDispIds(std::vector<MemberInfo>& members) {
  std::unordered_map<std::string, int32_t> ids;
  int32_t next = 0x60030000;
  for (MemberInfo& m : members) {
    std::string key = FoldName(m.name);
    auto it = ids.find(key);
    if (it == ids.end()) it = ids.emplace(key, next++).first;
    m.dispid = it->second;
  }
}

}  // namespace

Library Library::Parse(const std::string& json_text) {
  json doc;
  try {
    doc = json::parse(json_text);
  } catch (const json::exception& e) {
    Broken(std::string("not valid JSON: ") + e.what());
  }
  Library lib;
  Parser parser;
  try {
    lib.name_ = doc.at("library").get<std::string>();
    for (const json& e : doc.at("enums")) parser.enum_names.push_back(e.at("name"));
    for (const json& r : doc.at("records")) parser.record_names.push_back(r.at("name"));
    for (const json& e : doc.at("enums")) {
      EnumInfo info;
      info.name = e.at("name").get<std::string>();
      for (const json& v : e.at("values"))
        info.values.push_back({v.at("name").get<std::string>(), v.at("value").get<int32_t>()});
      lib.enums_.push_back(std::move(info));
    }
    for (const json& r : doc.at("records")) {
      RecordInfo info;
      info.name = r.at("name").get<std::string>();
      for (const json& f : r.at("fields"))
        info.fields.push_back({f.at("name").get<std::string>(),
                               parser.ParseType(f.at("type").get<std::string>(), info.name)});
      lib.records_.push_back(std::move(info));
    }
    for (const json& i : doc.at("interfaces")) {
      std::string coclass = i.at("coclass").get<std::string>();
      std::vector<MemberInfo> members;
      for (const json& m : i.at("members")) members.push_back(parser.ParseMember(m, coclass));
      AssignDispIds(members);
      lib.classes_.emplace_back(coclass, i.at("name").get<std::string>(), std::move(members));
    }
  } catch (const json::exception& e) {
    Broken(std::string("malformed entry: ") + e.what());
  }
  // Every record class is a class of public fields: a field is a property
  // with get and let (objects: set; Variants: let and set).
  for (const RecordInfo& r : lib.records_) {
    std::vector<MemberInfo> members;
    for (const FieldInfo& f : r.fields) {
      MemberInfo get;
      get.name = f.name;
      get.kind = Kind::kGet;
      get.type = f.type;
      members.push_back(get);
      bool object = f.type.vt == VarType::kObject;
      bool variant = f.type.vt == VarType::kVariant;
      if (!object) {
        MemberInfo let = get;
        let.kind = Kind::kLet;
        members.push_back(let);
      }
      if (object || variant) {
        MemberInfo set = get;
        set.kind = Kind::kSet;
        members.push_back(set);
      }
    }
    AssignDispIds(members);
    lib.classes_.emplace_back(r.name, "_" + r.name, std::move(members));
  }
  return lib;
}

const Library& Library::Get() {
  static const Library lib = Parse(InterfaceJson());
  return lib;
}

const ClassInfo* Library::FindClass(const std::string& name) const {
  for (const ClassInfo& c : classes_)
    if (FoldName(c.name()) == FoldName(name)) return &c;
  return nullptr;
}

const RecordInfo* Library::FindRecord(const std::string& name) const {
  for (const RecordInfo& r : records_)
    if (FoldName(r.name) == FoldName(name)) return &r;
  return nullptr;
}

const EnumInfo* Library::FindEnum(const std::string& name) const {
  for (const EnumInfo& e : enums_)
    if (e.name == name) return &e;
  return nullptr;
}

}  // namespace qrole::typelib
