// VAT types: the codes a VAT-book line names, their texts, and the file of
// the types with their percentages.
//
// Codes. 0 is "no type" (posted as the exempt type "00"); 1 to 99 are written
// as two digits ("07", "21"); 100 and above as a letter and a digit, the
// letter counting tens from "A" (A0 = 100, A5 = 105, B0 = 110, Z9 = 359).
//
// The VAT-type file is a run of 33-byte records without header, record n
// holding type n: description (21 bytes, Windows-1252, blank padded), second
// operation key (2), operation key (2), VAT percentage and surcharge
// percentage (4-byte little-endian floats). Its place: RutaTiposIva.

#ifndef QROLE_POSTING_VAT_TYPES_H_
#define QROLE_POSTING_VAT_TYPES_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "qrole/variant.h"

namespace qrole {
class RecordObject;
}
namespace qrole::server {
class Enlace;
}

namespace qrole::posting {

inline constexpr size_t kVatTypeRecordSize = 33;
// The records TipoIvaPorPorcentaje looks at.
inline constexpr int32_t kVatTypeScanLimit = 300;

// One record of the VAT-type file.
struct VatType {
  std::string description;  // UTF-8, blank padded as stored
  std::string second_key;   // ClaveOp2, trimmed
  std::string key;          // ClaveOp, trimmed
  float vat = 0;            // percentage
  float surcharge = 0;      // equivalence surcharge percentage
};

// The code a type text names (ValTIVA): one character, its number ("7");
// two characters, a letter and a digit ("B3" = 113) when the first is a
// letter (Windows-1252 code 65 or more), else the number of both ("07");
// any other length, 0. Characters count as Windows-1252 bytes.
int32_t ValTIVA(std::string_view text);

// The text of a code (TextoTipoIva): "00" to "99" below 100, a letter and a
// digit from 100 ("A0").
std::string TextoTipoIva(int32_t code);

// The path of the VAT-type file `base` ("IVA03") of the open company: the
// shared "IVA03.QRF" of the "Iva_Dir" setting, or, when the company's
// setting "IvaporEmpresa" is 1, the company's own copy (directory + base +
// number + ".QRF"), copied from the shared file when missing.
std::string RutaTiposIva(server::Enlace& e, const std::string& base);

// The VAT-type file, read whole when opened (it is small) and kept in memory.
class VatTypeFile {
 public:
  // Reads the file at `path`; its error when it cannot be read.
  static platform::Result<VatTypeFile> Open(const std::string& path);
  // A file of the given bytes (for tests).
  explicit VatTypeFile(std::string bytes) : bytes_(std::move(bytes)) {}

  // Whole records in the file.
  int32_t record_count() const;
  // Record `code`; nullopt when the file has no such record (code below 1
  // or past the end).
  std::optional<VatType> Find(int32_t code) const;
  // Record `code`, or a blank type (no description, 0 %) when there is none.
  VatType Read(int32_t code) const;
  // TipoIvaPorPorcentaje: the first of records 1 to 300 whose VAT
  // percentage plus surcharge percentage, in single precision, equals the
  // number `text` starts with ("5,2" and "5.2" alike; 0 when none); 0 when
  // no record matches.
  int32_t CodeByPercentage(std::string_view text) const;

 private:
  std::string bytes_;
};

// The VAT types of the company on the web service: the answer to the
// request "LEERTIPOSIVA", one item a line (LF or CR LF), each item the code
// in its first two characters (as ValTIVA reads it), the description from
// its fourth character, and after its last blank the VAT percentage, or the
// VAT and surcharge percentages joined by "+" ("21=General 21",
// "A1=Minorista 5.2+1.4"; "." or "," as decimal separator).
class WebVatTypes {
 public:
  // Asks the service of the object for the list. Raises 0x8004C35D with the
  // answer when the service answers "ERROR".
  static WebVatTypes Read(server::Enlace& e);
  // The list of an answer.
  explicit WebVatTypes(const std::string& answer);

  // The type of the first item whose code is `code`; nullopt when none is.
  std::optional<VatType> Find(int32_t code) const;
  // TipoIvaPorPorcentaje on the list: the code of the first item whose VAT
  // percentage plus surcharge percentage, in single precision, equals the
  // number `text` starts with; 0 when none does.
  int32_t CodeByPercentage(std::string_view text) const;

 private:
  std::vector<std::string> items_;
};

// TIPOSIVA: the VAT type `index` names (a number, or a code text such as
// "A0") as a new TipoIvaClass. An index that is empty once its NUL
// characters are removed gives an empty TipoIvaClass. Raises 0x8004C356
// "Empresa No Abierta ..." when no company is open and when the type cannot
// be read (no file, no such record; on the web, no such item in the list,
// whose "ERROR" answer raises 0x8004C35D).
std::shared_ptr<RecordObject> TiposIva(server::Enlace& e, const Variant& index);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_VAT_TYPES_H_
