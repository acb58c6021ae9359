// Dispatch identifiers of a class, for IDispatch.
//
// Classes of the interface description carry their identifiers (one per
// member name, shared by a property's accessors). The runtime's Collection has
// none in its description: it gets DISPID_VALUE for Item (its default member,
// so that c(1) works), DISPID_NEWENUM for _NewEnum (For Each) and 1, 2, ... for
// the others.

#ifndef QROLE_WINDOWS_COM_DISPATCH_TABLE_H_
#define QROLE_WINDOWS_COM_DISPATCH_TABLE_H_

#include <windows.h>
// The other Windows headers need windows.h first.
#include <oaidl.h>

#include <optional>
#include <string>
#include <unordered_map>

#include "typelib/interface.h"

namespace qrole::com {

class DispatchTable {
 public:
  // The table of `cls`, built on first use and kept for the process's life
  // (`cls` must live as long).
  static const DispatchTable& For(const typelib::ClassInfo& cls);

  explicit DispatchTable(const typelib::ClassInfo& cls);

  // The identifier of a member name (matched as late binding matches it), or
  // nullopt when the class has no such member.
  std::optional<DISPID> IdOf(const std::string& name) const;
  // The member name of an identifier, or nullptr.
  const std::string* NameOf(DISPID id) const;
  // The identifier of a parameter name of member `member_name`, or nullopt.
  std::optional<DISPID> ParamIdOf(const std::string& member_name, const std::string& param) const;
  // True when the class can be enumerated (For Each).
  bool enumerable() const { return enumerable_; }

 private:
  const typelib::ClassInfo& cls_;
  std::unordered_map<DISPID, std::string> names_;
  std::unordered_map<std::string, DISPID> ids_;  // folded name -> id
  bool enumerable_ = false;
};

}  // namespace qrole::com

#endif  // QROLE_WINDOWS_COM_DISPATCH_TABLE_H_
