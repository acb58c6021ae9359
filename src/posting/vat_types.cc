#include "posting/vat_types.h"

#include <cmath>
#include <cstring>

#include "automation/convert.h"
#include "automation/record_object.h"
#include "data/catalogue.h"
#include "data/record_file.h"
#include "platform/env.h"
#include "platform/text_encoding.h"
#include "qrole/error.h"
#include "server/company_params.h"
#include "server/enlace.h"

namespace qrole::posting {

namespace {

constexpr const char* kSharedVatFile = "IVA03.QRF";

float SingleAt(const char* bytes) {
  float f;
  std::memcpy(&f, bytes, sizeof f);
  return f;
}

// The code a letter and a digit name: the letter counts tens from "A" = 100.
double LetterCode(unsigned char letter, std::string_view digit) {
  return (static_cast<double>(letter) - 65) * 10 + 100 + Val(digit);
}

// A number of a record of the file, or of a type text; 0 when it is too
// large for a code.
int32_t CodeOf(double value) {
  if (!(std::fabs(value) < 2147483647.0)) return 0;
  return RoundToLong(value);
}

// The text of an index as the client gave it: Empty and Null read as "".
std::string IndexText(const Variant& index) {
  if (index.IsEmpty() || index.IsNull() || index.IsMissing()) return "";
  return ToStr(index);
}

// The record an index names: its number when it reads as one, else the
// code of its first and last characters as a letter and a digit.
int32_t RecordOfIndex(const Variant& index, const std::string& text) {
  if (index.IsNumeric()) return CodeOf(ToDouble(index));
  double number;
  if (ParseLocaleNumber(text, &number)) return CodeOf(number);
  const std::string bytes = platform::Utf8ToCp1252(text);
  return CodeOf(LetterCode(static_cast<unsigned char>(bytes.front()),
                           std::string_view(bytes).substr(bytes.size() - 1)));
}

}  // namespace

int32_t ValTIVA(std::string_view text) {
  const std::string bytes = platform::Utf8ToCp1252(text);
  if (bytes.size() == 1) return CodeOf(Val(bytes));
  if (bytes.size() != 2) return 0;
  const auto first = static_cast<unsigned char>(bytes[0]);
  if (first >= 65) return CodeOf(LetterCode(first, std::string_view(bytes).substr(1)));
  return CodeOf(Val(bytes));
}

std::string TextoTipoIva(int32_t code) {
  // Past "ÿ9" no letter is left: the number itself.
  if (code < 100 || code > 100 + (255 - 65) * 10 + 9) return FormatNumber(code, "00");
  const int32_t tens = (code - 100) / 10;
  const int32_t unit = (code - 100) % 10;
  std::string text;
  platform::AppendUtf8(platform::Cp1252ToCodePoint(static_cast<unsigned char>(65 + tens)), &text);
  return text + static_cast<char>('0' + unit);
}

std::string RutaTiposIva(server::Enlace& e, const std::string& base) {
  const server::EnlaceState& s = e.state();
  // The shared file is never one of the company's: its name is resolved
  // without the company number, which would take the "03" of "IVA03" for the
  // number of company 03.
  if (Val(server::GetSetting(s.company_path, "IvaporEmpresa")) != 1)
    return data::ResolveSharedFile("Iva_Dir", kSharedVatFile, "", "");
  const std::string own =
      data::CompanyFileName(s.company_directory, base, s.company_number, ".QRF");
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  if (!fs.Exists(own)) {
    auto bytes = fs.ReadAll(data::ResolveSharedFile("Iva_Dir", kSharedVatFile, "", ""));
    if (bytes.ok()) fs.WriteAllAtomic(own, *bytes).IgnoreError();
  }
  return own;
}

// --- VatTypeFile -------------------------------------------------------------

platform::Result<VatTypeFile> VatTypeFile::Open(const std::string& path) {
  auto bytes = data::ReadKeptFile(path);
  if (!bytes.ok()) return bytes.status();
  return VatTypeFile(std::move(*bytes));
}

int32_t VatTypeFile::record_count() const {
  return static_cast<int32_t>(bytes_.size() / kVatTypeRecordSize);
}

std::optional<VatType> VatTypeFile::Find(int32_t code) const {
  if (code < 1 || code > record_count()) return std::nullopt;
  const char* r = bytes_.data() + static_cast<size_t>(code - 1) * kVatTypeRecordSize;
  VatType t;
  t.description = platform::Cp1252ToUtf8(std::string_view(r, 21));
  t.second_key = Trim(platform::Cp1252ToUtf8(std::string_view(r + 21, 2)));
  t.key = Trim(platform::Cp1252ToUtf8(std::string_view(r + 23, 2)));
  t.vat = SingleAt(r + 25);
  t.surcharge = SingleAt(r + 29);
  return t;
}

VatType VatTypeFile::Read(int32_t code) const { return Find(code).value_or(VatType{}); }

int32_t VatTypeFile::CodeByPercentage(std::string_view text) const {
  std::string point(text);
  for (char& c : point)
    if (c == ',') c = '.';
  const auto wanted = static_cast<float>(Val(point));
  const int32_t last = std::min(record_count(), kVatTypeScanLimit);
  for (int32_t code = 1; code <= last; ++code) {
    const VatType t = *Find(code);
    const float sum = t.vat + t.surcharge;
    if (sum == wanted) return code;
  }
  return 0;
}

// --- TIPOSIVA ----------------------------------------------------------------

std::shared_ptr<RecordObject> TiposIva(server::Enlace& e, const Variant& index) {
  std::string text = IndexText(index);
  std::erase(text, '\0');
  auto result = RecordObject::Create("TipoIvaClass");
  if (text.empty()) return result;
  e.ComprobarEmpresaAbierta();
  std::optional<VatType> type;
  int32_t record = 0;
  if (e.state().web_mode) {
    // The service's refusal of the list reaches the client as it is.
    const WebVatTypes list = WebVatTypes::Read(e);
    try {
      record = RecordOfIndex(index, text);
    } catch (const AutomationError&) {
      // Reported below as the type not read.
    }
    type = list.Find(record);
  } else {
    try {
      record = RecordOfIndex(index, text);
      auto file = VatTypeFile::Open(RutaTiposIva(e, "IVA03"));
      if (file.ok()) type = file->Find(record);
    } catch (const AutomationError&) {
      // Reported below as the type not read.
    }
  }
  if (!type) server::RaiseEmpresaNoAbierta();
  result->Set("Cuota", Variant::FromDouble(type->vat));
  result->Set("Descripción", Variant::FromString(type->description));
  result->Set("Recargo", Variant::FromDouble(type->surcharge));
  result->Set("TIPO", Variant::FromString(TextoTipoIva(record)));
  result->Set("ClaveOp", Variant::FromString(type->key));
  result->Set("ClaveOp2", Variant::FromString(type->second_key));
  return result;
}

}  // namespace qrole::posting
