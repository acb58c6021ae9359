// Storing a client's record object into a table through the table
// component: a fixed asset of the open company ("inmo3") from an InmoClass,
// and a third party's global data ("Datgl00", in the global data directory,
// shared by every company) from a DatosGlobalClass. Values are stored
// trimmed of blanks; each member of the classes names one field.

#ifndef QROLE_MAINTENANCE_ASSETS_H_
#define QROLE_MAINTENANCE_ASSETS_H_

#include <cstdint>
#include <span>
#include <string>

namespace qrole {
class RecordObject;
}

namespace qrole::server {
class Enlace;
}

namespace qrole::maintenance {

// 0x80040000 + 60000: missing mandatory values of the record creations.
inline constexpr int32_t kRecordCreationError = 60000;

// CrearInmovilizado: adds the asset `datos` (an InmoClass; nullptr stands
// for Nothing) to the open company's fixed assets, every member in its
// field; I50_ImagenPdf names a file whose content is stored with the asset.
// True when added. In web mode nothing is done and the answer is False.
//
// Raises 0x8004EA60 "Empresa no Abierta" (no company number or directory),
// "Codigo sin contenido" (blank code) or "Codigo ya existe" (an asset with
// that code, as the code field stores it, exists); any failure of the table
// or of reading the image is raised as it came, with nothing added.
bool CrearInmovilizado(server::Enlace& e, const RecordObject* datos);

// CrearDatosGloblales: adds the third party `datos` (a DatosGlobalClass) to
// the global register, keyed by its NIF; when G66_Actualizar is True an
// existing record of that NIF is updated instead, with the members that are
// not blank. False, with nothing changed, when the NIF is registered and
// G66_Actualizar is False, in web mode, and when the global data directory
// holds no register (after the "NOTA" message and a posting-log line).
//
// Raises 0x8004EA60 "Nif sin contenido" for a blank NIF; failures of the
// table reach the caller.
bool CrearDatosGloblales(server::Enlace& e, const RecordObject* datos);

// A member of a record class and the field code it is stored in.
struct MemberField {
  const char* member;
  int field;
};
// The InmoClass members I01 to I49 and their fields of "inmo3", in member
// order (I50_ImagenPdf, the content of a file, goes to field 52).
std::span<const MemberField> AssetFields();
// The DatosGlobalClass members G02 to G65 and their fields of "Datgl00", in
// member order (the NIF, G01, is field 3; G66_Actualizar is not stored).
std::span<const MemberField> GlobalFields();

}  // namespace qrole::maintenance

#endif  // QROLE_MAINTENANCE_ASSETS_H_
