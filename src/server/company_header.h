// The company header: the fixed 1024-byte record at the start of a company
// file (".QRT"), made of named fields at fixed byte positions.

#ifndef QROLE_SERVER_COMPANY_HEADER_H_
#define QROLE_SERVER_COMPANY_HEADER_H_

#include <string>
#include <string_view>
#include <vector>

namespace qrole::server {

inline constexpr size_t kHeaderSize = 1024;

// Type codes of the header fields.
enum HeaderType : int {
  kHeaderText = 0,
  kHeaderSingle = 2,
  kHeaderDouble = 3,
  kHeaderLong = 4,
  kHeaderDate = 5,
  kHeaderText8 = 8,
  kHeaderByte = 9,
  kHeaderHidden = 21,
};

struct HeaderField {
  const char* name;  // UTF-8, as the interface writes it ("AÑO")
  int position;      // 1-based byte position in the file
  int length;
  int type;
};

// Every named field, in the order of the header.
const std::vector<HeaderField>& HeaderFields();

// The field of that name (matched ignoring case), or a field with position,
// length and type 0 for an unknown name.
HeaderField CampoCabecera(std::string_view name);

// The raw bytes (Windows-1252) of a text field of a header copy.
std::string HeaderBytes(const std::string& header, std::string_view name);
// A text field of a header copy as UTF-8.
std::string HeaderText(const std::string& header, std::string_view name);
// Writes a text field into a header copy: `utf8` converted, left-aligned,
// blank-padded or cut to the field's length in bytes.
void SetHeaderText(std::string* header, std::string_view name, std::string_view utf8);

}  // namespace qrole::server

#endif  // QROLE_SERVER_COMPANY_HEADER_H_
