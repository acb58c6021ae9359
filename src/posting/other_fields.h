// The fields a client names in a line's `OtrosCampos`: "position=value" or
// "NAME=value" pieces separated by "|", set on the record being written.
#ifndef QROLE_POSTING_OTHER_FIELDS_H_
#define QROLE_POSTING_OTHER_FIELDS_H_

#include <string>

namespace qrole::data {
class TableComponent;
}

namespace qrole::posting {

// Sets each field `otros` names, between AddNew or Edit and Update. Blank
// pieces are skipped; the value is the text between the first "=" and a
// second one, trimmed; a piece without "=" is refused (5).
void SetOtherFields(data::TableComponent& t, const std::string& otros);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_OTHER_FIELDS_H_
