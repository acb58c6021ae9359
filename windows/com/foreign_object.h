// A client's own object (an IDispatch the server did not make), held as a
// server object so that it can be stored, passed on and handed back: a
// collection the client assigns to Empresas, an object in a Variant field of a
// record.
//
// Its class name is the name of its type information with a leading "_"
// dropped ("_Collection" gives "Collection"), or "Object" when it has none, so
// that declared parameter types check it as they check the server's objects.
// The server can call its members by name; the dispatcher cannot, as the
// interface description does not know them.

#ifndef QROLE_WINDOWS_COM_FOREIGN_OBJECT_H_
#define QROLE_WINDOWS_COM_FOREIGN_OBJECT_H_

#include <windows.h>
// The other Windows headers need windows.h first.
#include <oaidl.h>

#include <memory>
#include <string>
#include <vector>

#include "automation/object.h"

namespace qrole::com {

class ForeignObject final : public Object {
 public:
  // Wraps `dispatch` (AddRef'd for as long as the wrapper lives).
  static std::shared_ptr<ForeignObject> Wrap(IDispatch* dispatch);

  ForeignObject(const typelib::ClassInfo& info, IDispatch* dispatch);
  ~ForeignObject() override;

  IDispatch* dispatch() const { return dispatch_; }

  // Calls member `name` of the client's object late-bound, with `args` by
  // value. Errors of the call are raised as AutomationErrors with the number,
  // source and description the object gave.
  Variant CallByName(const std::string& name, typelib::Kind kind, const std::vector<Variant>& args);

  // The dispatcher has no description of the members: raises 438.
  Variant Call(const typelib::MemberInfo& member, std::vector<Variant>& args) override;

 private:
  IDispatch* dispatch_;
};

}  // namespace qrole::com

#endif  // QROLE_WINDOWS_COM_FOREIGN_OBJECT_H_
