// Answers kept under idempotency keys: what a posting or cancelling call
// answered, kept per company so that the same call sent again (after a
// dropped connection) gets that answer instead of running twice.
//
// The answers of a company live in "QRKEY" + number + ".QRK" in the company
// directory (docs/formats.md), a file that is only ever appended to, always
// inside the operation's CompanyTransaction and through OpenDataFile: the
// company log carries a kept answer together with the changes of its
// operation, so a crash keeps both or neither, and every reader (who holds the
// company lock) sees whole records only.
//
// Each process keeps, per file, an index of the records it has read (a hash
// of the key -> where the record lies) and the size it has read up to. A
// lookup first reads what was appended since, by this process or by others,
// then reads the record the index points at. A file found shorter than the
// size read, or with another identifier in its header (replaced by hand), is
// read again from its start. Records older
// than the age a lookup allows are passed over, as if they were not there.
#ifndef QROLE_DATA_KEPT_ANSWERS_H_
#define QROLE_DATA_KEPT_ANSWERS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "platform/status.h"

namespace qrole::data {

struct KeptAnswer {
  std::string key;      // the client's key, 1 to 512 bytes of UTF-8
  std::string digest;   // 32 bytes that identify the call the key was used for
  int64_t time_ms = 0;  // when it was kept: local time, ms since 1970-01-01 00:00
  std::string answer;   // the answer, as the caller encoded it
};

// The path of a company's kept answers.
std::string KeptAnswersPath(const std::string& company_directory,
                            const std::string& company_number);

// The newest record of `key` in the company's kept answers that is not older
// than `max_age_ms` at `now_ms`; nullopt when there is none (also when the
// file does not exist). Precondition: a CompanyTransaction on the company is
// in force (its lock keeps other processes from appending meanwhile). An
// error reading the file is returned, *out unchanged.
platform::Status FindKeptAnswer(const std::string& company_directory,
                                const std::string& company_number, const std::string& key,
                                int64_t now_ms, int64_t max_age_ms, std::optional<KeptAnswer>* out);

// Appends `answer` to the company's kept answers (creating the file): held
// back with the rest of the operation until the transaction commits.
// Precondition: a CompanyTransaction on the company is in force.
platform::Status KeepAnswer(const std::string& company_directory, const std::string& company_number,
                            const KeptAnswer& answer);

// Forgets the indexes this process built (tests: a new process).
void ForgetKeptAnswersForTesting();

}  // namespace qrole::data

#endif  // QROLE_DATA_KEPT_ANSWERS_H_
