// Splitting a text into a two-dimensional table.

#ifndef QROLE_UTIL_TEXT_TABLE_H_
#define QROLE_UTIL_TEXT_TABLE_H_

#include <memory>
#include <string>
#include <string_view>

#include "qrole/variant.h"

namespace qrole::util {

// Splits `text` into rows (at CR LF or CR; every line counts, the empty line
// after a final line end included) and columns (at `separator`), as a
// rows × columns array whose first row and column are numbered `first_row`
// and `first_column`. Cells are texts; cells past the end of a shorter line
// are Empty. An empty text gives a one-by-one array holding Empty.
std::shared_ptr<Array> TextoATabla(std::string_view text, int32_t first_row = 0,
                                   int32_t first_column = 0, std::string_view separator = "\t");

}  // namespace qrole::util

#endif  // QROLE_UTIL_TEXT_TABLE_H_
