// Late binding: one call of a member by name, as a client's runtime makes it.
//
// `Invoke` finds the member (name ignoring case, accents as written), places
// positional and named arguments, applies the defaults of omitted optional
// parameters, converts every argument to its declared type, runs the member
// and reports the values of by-reference arguments after the call.
//
// Errors, all raised as AutomationError:
//   438 no member of that name;
//   450 the member has no accessor of the requested kind, or too many arguments;
//   448 a named argument that is not a parameter;
//   449 a required argument left out;
//   6, 13, 94 conversions of an argument (as the runtime raises them).

#ifndef QROLE_AUTOMATION_DISPATCHER_H_
#define QROLE_AUTOMATION_DISPATCHER_H_

#include <string>
#include <utility>
#include <vector>

#include "automation/object.h"

namespace qrole {

struct InvokeResult {
  Variant value;
  // (parameter position, value after the call) of every by-reference
  // parameter to which the caller passed an argument.
  std::vector<std::pair<int, Variant>> byref;
};

using NamedArgs = std::vector<std::pair<std::string, Variant>>;

// Calls `name` on `target`. For kLet and kSet the value being assigned is the
// last element of `args`. `args` elements that are Variant::Missing() leave
// their parameter out.
InvokeResult Invoke(Object& target, const std::string& name, typelib::Kind kind,
                    std::vector<Variant> args, const NamedArgs& named = {});

// Chooses the entry that serves a call of `kind` on `name`, following the
// runtime's leniency (a property get may be called as a method and the
// reverse; let and set stand in for each other). Raises 438 or 450.
const typelib::MemberInfo& ResolveMember(const typelib::ClassInfo& cls, const std::string& name,
                                         typelib::Kind kind, const std::vector<Variant>& args);

// Converts a value to a declared type (objects of a named class are checked
// to be of that class; Nothing passes).
Variant ConvertToDeclared(const Variant& v, const typelib::TypeRef& type);

}  // namespace qrole

#endif  // QROLE_AUTOMATION_DISPATCHER_H_
