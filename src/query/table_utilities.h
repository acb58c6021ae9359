// The table utilities: the tables the product defines, their fields, and
// the rows of a company table as text.

#ifndef QROLE_QUERY_TABLE_UTILITIES_H_
#define QROLE_QUERY_TABLE_UTILITIES_H_

#include <memory>
#include <string>

#include "qrole/variant.h"

namespace qrole::query {

// One line per definition file of the program directory: the table's name,
// TAB, its description, CR LF; empty when there is none.
std::string LeerTablas();

// The field names of table `tabla` (23 characters each, as stored), in an
// array indexed from 1. Raises 0x8004EA60 "Tabla Obligatorio" for an empty
// name, and 0x8004EA60 "Nombre de tabla no válido" for a name that could
// reach a file outside the program directory.
std::shared_ptr<Array> LeerCampos(const std::string& tabla);

// Refuses a table name a client passes that is empty (0x8004EA60 "Tabla
// Obligatorio") or could name a file elsewhere (a separator or "..").
void CheckTableName(const std::string& tabla);

}  // namespace qrole::query

#endif  // QROLE_QUERY_TABLE_UTILITIES_H_
