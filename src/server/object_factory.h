// Creation of objects by class name, as a client's CreateObject.

#ifndef QROLE_SERVER_OBJECT_FACTORY_H_
#define QROLE_SERVER_OBJECT_FACTORY_H_

#include <memory>
#include <string>

#include "automation/object.h"

namespace qrole::server {

// Creates an object of the class `name`: "Enlace", "StrBuilder",
// "Collection" or a record class, also in the ProgID form "QROLE75.Enlace";
// matched ignoring case. Returns nullptr for an unknown class.
std::shared_ptr<Object> CreateObjectByName(const std::string& name);

}  // namespace qrole::server

#endif  // QROLE_SERVER_OBJECT_FACTORY_H_
