// What the stages of posting an entry share: the entry's date and number,
// the open chart, the journal lines on analytic accounts that analytic lines
// may distribute, the VAT-book records whose SII fields are completed at the
// end, and the deferred status reported once the whole entry is written.
#ifndef QROLE_POSTING_POSTING_CONTEXT_H_
#define QROLE_POSTING_POSTING_CONTEXT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace qrole::data {
class TableComponent;
}
namespace qrole::server {
class Enlace;
}

namespace qrole::posting {

// Deferred statuses: the entry is posted, then the status is raised.
inline constexpr int32_t kStatusVatMismatch = 50007;     // amounts differ from TOTAL
inline constexpr int32_t kStatusNoAnalyticLine = 50008;  // analytic line without its line
inline constexpr int32_t kStatusUnknownVatType = 50011;  // negative type code
inline constexpr int32_t kStatusExemptVatType = 50012;   // type 0, posted as "00"
inline constexpr int32_t kStatusNotPdf = 55000;          // attached image not a PDF

// A posted journal line on an analytic account.
struct AnalyticCapableLine {
  std::string account;  // chart field 1
  int32_t record = 0;   // record number of the stored journal line
  double amount = 0;    // its base-currency amount (journal field 6)
  double covered = 0;   // amount already distributed by analytic lines
};

struct PostingContext {
  explicit PostingContext(server::Enlace& enlace) : e(enlace) {}

  server::Enlace& e;
  std::string accounting_date;            // stored form (yymmdd, letter for 20xx)
  std::string entry_number;               // NumeroAsientoActual
  data::TableComponent* chart = nullptr;  // "PLANC", open for the whole posting
  std::vector<AnalyticCapableLine> analytic_lines;

  // VAT book: each record written (its number and "id~description~~~
  // reference"), for the SII completion pass, and whether any VAT line was
  // posted.
  struct SiiPending {
    int32_t record = 0;
    std::string text;
  };
  std::vector<SiiPending> sii_pending;
  bool vat_posted = false;

  // The last status set wins.
  int32_t deferred_status = 0;
  std::string deferred_text;
  void Defer(int32_t status, std::string text) {
    deferred_status = status;
    deferred_text = std::move(text);
  }
};

}  // namespace qrole::posting

#endif  // QROLE_POSTING_POSTING_CONTEXT_H_
