#include "ledger/code_field.h"

#include "data/definition_file.h"
#include "data/record_file.h"
#include "platform/env.h"
#include "platform/text_encoding.h"

namespace qrole::ledger {

bool FitsCodeField(std::string_view table, std::string_view code) {
  platform::Result<std::string> bytes =
      platform::CurrentEnv()->Files().ReadAll(data::DefinitionFilePath(table));
  if (!bytes.ok()) return true;
  platform::Result<data::TableLayout> layout = data::ParseFieldEntries(*bytes);
  if (!layout.ok()) return true;
  const int field = layout->FieldByCode(1);
  if (field == 0) return true;
  const size_t width = static_cast<size_t>(layout->fields[static_cast<size_t>(field)].width);
  return platform::Utf8ToCp1252(code).size() <= width;
}

}  // namespace qrole::ledger
