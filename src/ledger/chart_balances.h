// The balances of the chart of accounts, through the record code: the
// monthly debits and credits of an account and of every account above it.
//
// A journal line stands in the debit (side 1) or credit (side 2) element of
// its period at every chart record whose code begins its account: the
// account itself and each level above it that the chart holds. Posting adds
// a line's signed amount in the company's currency; a cancellation takes the
// same amount away.
//
// The routines work on the record slots of the open company: the chart
// "PLANC" in slot 1 with its index (opened with the company's tables). Each
// balance is read and written under its record's lock, so that another
// process changing the same balance meanwhile loses nothing. Account codes
// are Windows-1252 bytes without blanks around them.
#ifndef QROLE_LEDGER_CHART_BALANCES_H_
#define QROLE_LEDGER_CHART_BALANCES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

namespace qrole::ledger {

inline constexpr int kChartSlot = 1;
inline constexpr int kJournalSlot = 2;

// Chart field codes.
inline constexpr int kChartAccount = 1;
inline constexpr int kChartTitle = 2;
inline constexpr int kChartLevel = 3;
inline constexpr int kChartAnalytic = 6;
inline constexpr int kChartClave347 = 8;
inline constexpr int kChartDebit = 12;
inline constexpr int kChartCredit = 13;
inline constexpr int kChartNif = 14;
// Elements of the debit and credit arrays: 0 opening, 1..12 the months,
// 13 regularisation, 14 closing.
inline constexpr int kBalanceElements = 15;

// The balance element of a line: 0 for journal "A", 13 for "B", 14 for "C",
// otherwise the month of its date (characters 3 and 4 of the stored form; 0
// when not 1..12).
int BalanceElement(const std::string& journal, const std::string& date);

// True when the chart slot is open with its index.
bool ChartOpen();

// The record of the chart whose code is `code`, read into the chart slot's
// field values; 0 when there is none.
platform::Result<int32_t> FindChartAccount(const std::string& code);

// The chart records whose code is the first 1, 2, ... n characters of
// `account`, shortest first.
platform::Result<std::vector<int32_t>> ChartLevelsOf(const std::string& account);

// Adds `amount` to element `element` of the debit (`side` 1) or credit
// (`side` 2) array of chart record `record`, under the record's lock. On
// failure nothing was added.
platform::Status AddToChartBalance(int32_t record, int side, int element, double amount);

// Adds `amount` to element `element` of the debit or credit of every record
// ChartLevelsOf(account) gives. Nothing for a side other than 1 or 2. A
// failure may leave the levels before it changed: callers that try again
// go level by level with AddToChartBalance.
platform::Status AddToAccountLevels(const std::string& account, int side, int element,
                                    double amount);

}  // namespace qrole::ledger

#endif  // QROLE_LEDGER_CHART_BALANCES_H_
