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

// The records of the open company's table `tabla` that match `campo` =
// `valor` (or the condition `filtro` when it is not blank; every record when
// both are blank), one line each: every field as text followed by TAB, then
// CR LF. Raises 0x8004EA60 "Tabla Obligatorio" or "Empresa no Abierta"; any
// other failure closes the table and is raised again with its number and
// description.
std::string LeerDatos(const std::string& company_directory, const std::string& company_number,
                      const std::string& tabla, const std::string& campo, const std::string& valor,
                      const std::string& filtro);

// Refuses a table name a client passes that is empty (0x8004EA60 "Tabla
// Obligatorio") or could name a file elsewhere (a separator or "..").
void CheckTableName(const std::string& tabla);

}  // namespace qrole::query

#endif  // QROLE_QUERY_TABLE_UTILITIES_H_
