#include "rpc/value_json.h"

#include <charconv>
#include <limits>
#include <string>
#include <vector>

#include "rpc/json_writer.h"

namespace qrole::rpc {

namespace {

using nlohmann::json;

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();

json ToJson(const Variant& v, ObjectRefs& refs, int depth);
Variant FromJson(const json& j, ObjectRefs& refs, int depth);

json ArrayToJson(const Array& a, ObjectRefs& refs, int depth) {
  const auto& bounds = a.bounds();
  json lbound = json::array();
  for (const auto& b : bounds) lbound.push_back(b.lower);
  size_t index = 0;
  // Builds the lists of dimension `level` onwards from items_[index...].
  auto build = [&](auto&& self, size_t level) -> json {
    json list = json::array();
    for (int32_t i = 0; i < bounds[level].count; ++i) {
      if (level + 1 == bounds.size()) {
        list.push_back(ToJson(a.items().at(index++), refs, depth + 1));
      } else {
        list.push_back(self(self, level + 1));
      }
    }
    return list;
  };
  json nested = bounds.empty() ? json::array() : build(build, 0);
  return json{{"$array", std::move(nested)}, {"lbound", std::move(lbound)}};
}

json ToJson(const Variant& v, ObjectRefs& refs, int depth) {
  if (depth > kMaxValueDepth)
    throw std::runtime_error("value nested more than " + std::to_string(kMaxValueDepth) +
                             " levels deep");
  switch (v.type()) {
    case VarType::kEmpty:
      return nullptr;
    case VarType::kNull:
      return json{{"$null", true}};
    case VarType::kInteger:
      return v.integer();
    case VarType::kLong:
      return v.long_value();
    case VarType::kByte:
      return v.byte();
    case VarType::kBoolean:
      return v.boolean();
    case VarType::kSingle:
      return SingleAsDouble(v.single());
    case VarType::kDouble:
      return v.dbl();
    case VarType::kCurrency:
      // Correctly rounded: the shortest form of the result is the amount's
      // own decimal text for every amount of up to 15 significant digits.
      return static_cast<double>(v.currency().scaled) / 10000.0;
    case VarType::kDate:
      return v.date().serial;
    case VarType::kString:
      return v.str();
    case VarType::kObject: {
      const auto& object = v.object();
      if (!object) return json{{"$object", nullptr}};
      return json{{"$object", refs.HandleOf(object)}, {"class", object->class_name()}};
    }
    case VarType::kError:
      if (v.IsMissing()) return json{{"$missing", true}};
      return json{{"$error", v.error_code()}};
    case VarType::kArray:
      if (!v.array()) return json{{"$array", json::array()}, {"lbound", json::array()}};
      return ArrayToJson(*v.array(), refs, depth);
    case VarType::kVariant:
      break;
  }
  throw std::logic_error("value of unknown type " + std::to_string(static_cast<int>(v.type())));
}

// Accepts only the keys `allowed` in the object `j`.
void CheckKeys(const json& j, std::initializer_list<const char*> allowed) {
  for (const auto& [key, value] : j.items()) {
    bool known = false;
    for (const char* a : allowed) known = known || key == a;
    if (!known) throw InvalidParams("unexpected member \"" + key + "\" in a value");
  }
}

bool TrueFlag(const json& j, const char* key) {
  const json& flag = j.at(key);
  if (!flag.is_boolean() || !flag.get<bool>())
    throw InvalidParams(std::string("\"") + key + "\" must be true");
  return true;
}

int32_t ToInt32(const json& j, const char* what) {
  if (!j.is_number_integer()) throw InvalidParams(std::string(what) + " must be an integer");
  if (j.is_number_unsigned()) {
    uint64_t u = j.get<uint64_t>();
    if (u > static_cast<uint64_t>(kInt32Max))
      throw InvalidParams(std::string(what) + " is out of range");
    return static_cast<int32_t>(u);
  }
  int64_t i = j.get<int64_t>();
  if (i < kInt32Min || i > kInt32Max) throw InvalidParams(std::string(what) + " is out of range");
  return static_cast<int32_t>(i);
}

Variant ArrayFromJson(const json& j, ObjectRefs& refs, int depth) {
  CheckKeys(j, {"$array", "lbound"});
  const json& nested = j.at("$array");
  if (!nested.is_array()) throw InvalidParams("\"$array\" must be a list");

  std::vector<int32_t> lower;
  if (j.contains("lbound")) {
    const json& lb = j.at("lbound");
    if (!lb.is_array()) throw InvalidParams("\"lbound\" must be a list of integers");
    if (lb.size() > kMaxArrayDims)
      throw InvalidParams("an array may have at most " + std::to_string(kMaxArrayDims) +
                          " dimensions");
    for (const json& b : lb) lower.push_back(ToInt32(b, "a lower bound"));
  } else {
    // As many dimensions as the nesting of the first elements shows.
    for (const json* p = &nested; p->is_array(); p = &(*p)[0]) {
      if (lower.size() == kMaxArrayDims)
        throw InvalidParams("an array may have at most " + std::to_string(kMaxArrayDims) +
                            " dimensions");
      lower.push_back(0);
      if (p->empty()) break;
    }
  }
  const size_t dims = lower.size();
  if (dims == 0) {
    if (!nested.empty()) throw InvalidParams("an array without dimensions must be empty");
    return Variant::FromArray(std::make_shared<Array>(std::vector<Array::Bound>{}));
  }

  // The element count of each dimension, from the first list of each level.
  std::vector<Array::Bound> bounds(dims);
  const json* p = &nested;
  for (size_t level = 0; level < dims; ++level) {
    bounds[level].lower = lower[level];
    if (p == nullptr) continue;  // below an empty list: no elements
    if (!p->is_array()) throw InvalidParams("array nesting does not match its dimensions");
    if (p->size() > static_cast<size_t>(kInt32Max))
      throw InvalidParams("array dimension too large");
    bounds[level].count = static_cast<int32_t>(p->size());
    if (static_cast<int64_t>(lower[level]) + bounds[level].count - 1 > kInt32Max)
      throw InvalidParams("array bounds out of range");
    p = p->empty() ? nullptr : &(*p)[0];
  }

  // Every list of a level must have that level's count: no ragged arrays.
  std::vector<Variant> items;
  auto fill = [&](auto&& self, const json& node, size_t level) -> void {
    if (level == dims) {
      items.push_back(FromJson(node, refs, depth + 1));
      return;
    }
    if (!node.is_array() || node.size() != static_cast<size_t>(bounds[level].count))
      throw InvalidParams("array is not rectangular (dimension " + std::to_string(level + 1) + ")");
    for (const json& child : node) self(self, child, level + 1);
  };
  fill(fill, nested, 0);

  auto array = std::make_shared<Array>(std::move(bounds));
  if (array->items().size() != items.size())
    throw InvalidParams("array is not rectangular");  // unreachable once the walk passed
  array->items() = std::move(items);
  return Variant::FromArray(std::move(array));
}

Variant FromJson(const json& j, ObjectRefs& refs, int depth) {
  if (depth > kMaxValueDepth)
    throw InvalidParams("value nested more than " + std::to_string(kMaxValueDepth) +
                        " levels deep");
  switch (j.type()) {
    case json::value_t::null:
      return Variant();
    case json::value_t::boolean:
      return Variant::FromBool(j.get<bool>());
    case json::value_t::number_integer: {
      int64_t i = j.get<int64_t>();
      if (i >= kInt32Min && i <= kInt32Max) return Variant::FromLong(static_cast<int32_t>(i));
      return Variant::FromDouble(static_cast<double>(i));
    }
    case json::value_t::number_unsigned: {
      uint64_t u = j.get<uint64_t>();
      if (u <= static_cast<uint64_t>(kInt32Max)) return Variant::FromLong(static_cast<int32_t>(u));
      return Variant::FromDouble(static_cast<double>(u));
    }
    case json::value_t::number_float:
      return Variant::FromDouble(j.get<double>());
    case json::value_t::string: {
      const std::string& s = j.get_ref<const std::string&>();
      if (!IsValidUtf8(s)) throw InvalidParams("a string is not valid UTF-8");
      return Variant::FromString(s);
    }
    case json::value_t::object:
      break;
    case json::value_t::array:
      throw InvalidParams("a plain list is not a value; arrays are written {\"$array\": ...}");
    default:
      throw InvalidParams("unsupported JSON value");
  }
  if (j.contains("$null")) {
    CheckKeys(j, {"$null"});
    TrueFlag(j, "$null");
    return Variant::Null();
  }
  if (j.contains("$missing")) {
    CheckKeys(j, {"$missing"});
    TrueFlag(j, "$missing");
    return Variant::Missing();
  }
  if (j.contains("$object")) {
    CheckKeys(j, {"$object", "class"});
    const json& handle = j.at("$object");
    if (handle.is_null()) return Variant::FromObject(nullptr);
    if (!handle.is_number_integer()) throw InvalidParams("\"$object\" must be a handle or null");
    // A number beyond int64 is no handle of this connection.
    int64_t h =
        handle.is_number_unsigned() && handle.get<uint64_t>() > static_cast<uint64_t>(kInt64Max)
            ? -1
            : handle.get<int64_t>();
    return Variant::FromObject(refs.ObjectOf(h));
  }
  if (j.contains("$array")) return ArrayFromJson(j, refs, depth);
  if (j.contains("$error")) {
    CheckKeys(j, {"$error"});
    return Variant::FromError(ToInt32(j.at("$error"), "\"$error\""));
  }
  throw InvalidParams("a JSON object is not a value unless it is one of the \"$\" forms");
}

}  // namespace

double SingleAsDouble(float f) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f);
  double d = 0;
  std::from_chars(buf, end, d);
  // A NaN or infinity does not round-trip as text; keep its value.
  if (f != f || f - f != 0) return static_cast<double>(f);
  return d;
}

json VariantToJson(const Variant& value, ObjectRefs& refs) { return ToJson(value, refs, 0); }

Variant JsonToVariant(const json& j, ObjectRefs& refs) { return FromJson(j, refs, 0); }

}  // namespace qrole::rpc
