// The currency slot of an entry's lines: the digit of the slot of the
// currency table that holds the object's currency code, the code being added
// to the company's table when no slot holds it yet.
#ifndef QROLE_POSTING_CURRENCY_SLOT_H_
#define QROLE_POSTING_CURRENCY_SLOT_H_

#include <string>

namespace qrole::server {
class Enlace;
}

namespace qrole::posting {

// "0" (and an exchange rate of 1) for a blank currency code; the digit of
// the slot holding the code; for a new code, the digit of the first free
// record of the currency file, where the code and the exchange rate are
// stored; empty when all ten are in use (or the file cannot be written).
std::string RanuraMoneda(server::Enlace& e);

}  // namespace qrole::posting

#endif  // QROLE_POSTING_CURRENCY_SLOT_H_
