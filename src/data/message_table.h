// The numbered message texts of the record layer (1..1000), filled once at
// server start-up; unfilled entries are empty.

#ifndef QROLE_DATA_MESSAGE_TABLE_H_
#define QROLE_DATA_MESSAGE_TABLE_H_

#include <string>

namespace qrole::data {

// Sizes the table to 1..1000, dropping what it held, and fills the entries
// the record layer uses.
void FillMessageTable();

// Text of message `n`; empty for an unfilled entry or a number outside 1..1000.
const std::string& Message(int n);

}  // namespace qrole::data

#endif  // QROLE_DATA_MESSAGE_TABLE_H_
