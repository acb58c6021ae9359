// Automation values as JSON, as the socket contract writes them.
//
//   String            string (UTF-8)
//   Boolean           true / false
//   Byte, Integer,    number; a Single as the shortest decimal that reads
//   Long, Single,     back as the same Single, a Currency as its amount, a
//   Double, Currency, Date as its serial number (days since 30/12/1899)
//   Date
//   Empty             null
//   Null              {"$null": true}
//   omitted argument  {"$missing": true}
//   other error code  {"$error": CODE}
//   object            {"$object": N, "class": C}; Nothing is {"$object": null}
//   array             {"$array": NESTED, "lbound": [..]}, NESTED being nested
//                     lists, first dimension outermost
//
// From JSON, a number written without fraction or exponent that fits 32 bits
// becomes a Long, any other number a Double. "lbound" may be left out (every
// lower bound 0, the number of dimensions read from the nesting). A plain JSON
// list or object that is none of the forms above, a ragged array, a string
// that is not valid UTF-8 or an unknown object handle is refused with
// InvalidParams.

#ifndef QROLE_RPC_VALUE_JSON_H_
#define QROLE_RPC_VALUE_JSON_H_

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "automation/object.h"
#include "qrole/variant.h"

namespace qrole::rpc {

// A request whose parameters are not acceptable (JSON-RPC "invalid params").
class InvalidParams : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Most dimensions an array may have.
inline constexpr size_t kMaxArrayDims = 60;
// Deepest nesting of values inside values (arrays holding arrays).
inline constexpr int kMaxValueDepth = 32;

// The object references of one connection, as value conversion sees them.
class ObjectRefs {
 public:
  virtual ~ObjectRefs() = default;
  // The handle of `object` (never null) in this connection; an object the
  // connection does not hold yet is given a new handle.
  virtual int64_t HandleOf(const std::shared_ptr<Object>& object) = 0;
  // The object of `handle`; throws InvalidParams when this connection holds
  // no object of that handle.
  virtual std::shared_ptr<Object> ObjectOf(int64_t handle) = 0;
};

// The JSON form of `value`; objects get their handles from `refs`.
nlohmann::json VariantToJson(const Variant& value, ObjectRefs& refs);

// The value of a JSON form; throws InvalidParams when `json` is not one.
Variant JsonToVariant(const nlohmann::json& json, ObjectRefs& refs);

// The double whose shortest decimal form is the shortest decimal form of `f`
// (0.1f gives 0.1, not 0.10000000149011612).
double SingleAsDouble(float f);

}  // namespace qrole::rpc

#endif  // QROLE_RPC_VALUE_JSON_H_
