// The books checker: verifies, read-only, that a local company's files agree
// with each other.
//
// What it checks (each finding is a Fault with a stable `kind`):
//   - every journal entry is whole: its lines of side "1" (debit) and "2"
//     (credit), whose amounts the journal stores signed (credits negative,
//     in the company currency), sum to zero to the cent ("entry-unbalanced");
//   - every balance of every account of the chart ("PLANC"), every level,
//     every one of the fifteen periods, debit and credit, equals the sum of
//     the journal lines posting adds to it ("balance-mismatch"); the same for
//     the cost-centre chart ("Costo") and the analytic lines ("Anali");
//     an account code held by two records is "duplicate-account";
//   - every VAT-book invoice line that names an entry names one the journal
//     holds, at that accounting date ("vat-without-entry");
//   - every index file matches its record file: each record that is not
//     cancelled is in each index once, under the key its fields compose, with
//     its record number ("index-missing-key", "index-duplicate-key"); no
//     entry names a record past the end of the file, a cancelled record, or
//     a record whose fields no longer compose its key
//     ("index-dangling-key", "index-stale-key"); the index file's record
//     counter is beyond the file's records ("index-counter"); the index file
//     opens and has the table's shape ("index-unreadable", "index-shape");
//   - record files hold whole records ("partial-record") and no record that
//     was never written (all zero bytes, "blank-record").
// Files it cannot read are "file-unreadable".
//
// Notes are things worth a look that the books may legitimately hold: a
// journal line on an account missing from the chart, an entry number above
// the company's entry counter, one entry number used at two dates, a table
// whose index file is missing (the server makes it again when it opens the
// table). Notes do not make a company faulty.
//
// The checker reads the record files, the index files and the company file;
// it writes nothing, takes no lock and leaves the data layer's record slots
// and keyed engine alone (it has its own). Files beside the company's that
// are not company tables (logs, journals of the write path) are ignored.
// Run it while nothing posts to the company: a posting caught half-way looks
// like a fault. In a server process, call it from the thread that runs the
// automation calls: index files are shared by every engine of a process.
//
// Cost: one sequential pass over each record file and one over each index;
// memory in proportion to the keys of the largest table and to the number of
// entries and accounts.

#ifndef QROLE_TOOLS_CHECK_CHECK_H_
#define QROLE_TOOLS_CHECK_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/status.h"

namespace qrole::check {

struct Fault {
  std::string kind;     // "entry-unbalanced", "balance-mismatch", ... (above)
  std::string table;    // the table it concerns ("EXTRA", "PLANC", ...)
  int64_t record = 0;   // the record concerned, 0 when none
  std::string subject;  // entry ("date number"), account or index, UTF-8
  std::string text;     // one line for people, UTF-8
};

struct CheckOptions {
  // Faults (and notes) listed per kind and table; beyond it they are only
  // counted.
  size_t max_listed_per_kind = 100;
};

struct Report {
  std::string company_path;  // the company file checked
  std::string directory;     // its directory
  std::string number;        // its two-digit company number

  std::vector<Fault> faults;                   // listed faults, in the order found
  std::vector<Fault> notes;                    // listed notes
  int64_t fault_count = 0;                     // every fault, listed or not
  int64_t note_count = 0;                      // every note, listed or not
  std::map<std::string, int64_t> fault_kinds;  // every fault counted by kind
  std::map<std::string, int64_t> note_kinds;   // every note counted by kind

  // What was looked at.
  int64_t entries = 0;                      // journal entries (date + number)
  int64_t journal_lines = 0;                // journal lines not cancelled
  int64_t accounts = 0;                     // chart records checked
  int64_t cost_centres = 0;                 // cost-centre records checked
  int64_t analytic_lines = 0;               // analytic lines not cancelled
  int64_t vat_records = 0;                  // VAT-book records not cancelled
  std::vector<std::string> tables_indexed;  // tables whose index was checked

  bool clean() const { return fault_count == 0; }
};

// Checks the company whose company file (".QRT") is `company_path`. The
// table definitions are read from the program directory of the data layer
// (data::Globals().program_directory, set at start-up). Returns the report,
// whatever it finds; NotFound when the company file is missing, Corruption
// when its header cannot be read, InvalidArgument when it names no company
// number.
platform::Result<Report> CheckCompany(const std::string& company_path,
                                      const CheckOptions& options = {});

// The company file a command-line argument names: a path to a ".QRT" file
// (separators "\" or "/"; ".QRT" may be left out), or a company's name or
// two-digit number as the company catalogue of the data directory
// ("DATOS_DIR") lists it. NotFound when nothing matches, InvalidArgument when
// a number matches several companies.
platform::Result<std::string> ResolveCompany(const std::string& argument);

// The report for people: one line per listed fault and note, then a summary.
std::string FormatText(const Report& report);
// The report as one JSON document (UTF-8): company, clean, counts, faults,
// notes. Its keys are described in docs/check.md.
std::string FormatJson(const Report& report);

}  // namespace qrole::check

#endif  // QROLE_TOOLS_CHECK_CHECK_H_
