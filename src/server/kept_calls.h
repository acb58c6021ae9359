// Posting and cancelling calls made retry-safe by an idempotency key.
//
// A client whose connection drops after it sent GrabarAsiento cannot tell
// whether the entry was posted. It sends the call again with the same key:
// the server finds the answer it kept for the key and gives it back without
// posting again.
//
//   server::KeptCall call(e, member, key, call_text);  // lock, look up
//   if (call.kept()) return *call.kept();               // nothing is written
//   answer = ... run the member ...;
//   call.Keep(answer);                                  // with the books, at once
//
// While a KeptCall lives, a company transaction is in force on the object's
// company (the member's own transaction joins it): the lookup, the member's
// changes and the kept answer are one operation under the company lock, so
// two processes retrying one key never both post, and a crash keeps the
// answer exactly when it keeps the posting (data/kept_answers.h).
//
// What identifies a call (its digest, SHA-256): the member, the arguments as
// the client sent them (`call_text`), and for GrabarAsiento the pending entry
// it posts: every record of the pending collections field by field, the
// accounting date and a number the client fixed. A proposed number is not
// part of it: a client that rebuilds the entry after reconnecting is
// proposed another one. A key kept for another digest is refused with
// kKeyReusedError.
//
// Only local companies keep answers: with no company open the call runs as
// if it carried no key (the member refuses it, writing nothing); in web mode
// a key is refused with 0x8004C35D, the books being the web service's.
#ifndef QROLE_SERVER_KEPT_CALLS_H_
#define QROLE_SERVER_KEPT_CALLS_H_

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "typelib/interface.h"

namespace qrole::data {
class CompanyTransaction;
}

namespace qrole::server {

class Enlace;

// 0x80040000 + 50030 (0x8004C36E), source "Valdrix OLE Server": the key was
// kept for a call of another member or with other arguments or entry.
inline constexpr int32_t kKeyReusedError = 50030;
// How long a kept answer is found again.
inline constexpr int kKeptAnswerDays = 30;

// True for the members whose answers are kept under a key: those that post
// or cancel.
bool KeepsAnswers(const typelib::MemberInfo& member);

class KeptCall {
 public:
  // Begins the call of `member` on `e` with `key` (1 to 128 characters).
  // In web mode raises 0x8004C35D; when the member keeps no answers or no
  // local company is open, does nothing (active() is false). Otherwise takes
  // the company lock (raising the busy error when it cannot), and looks the
  // key up: a key kept for this call leaves its answer in kept() and the
  // object as that call left it (GrabarAsiento: the pending entry emptied,
  // Número the posted number); a key kept for another call raises
  // kKeyReusedError. Nothing is written in either case.
  KeptCall(Enlace& e, const typelib::MemberInfo& member, const std::string& key,
           const std::string& call_text);
  // Without Keep: the call's changes are dropped (unless an error in flight
  // keeps them, data::KeepChangesWhenRaising).
  ~KeptCall();
  KeptCall(const KeptCall&) = delete;
  KeptCall& operator=(const KeptCall&) = delete;

  bool active() const { return tx_ != nullptr; }
  // The answer kept for the key: {"result": ...} or {"error": ...}.
  const std::optional<nlohmann::json>& kept() const { return kept_; }

  // Keeps `answer` ({"result": ...} or {"error": ...}) under the key and
  // commits it with the call's changes. Raises when the commit fails (then
  // nothing is written). Nothing when not active.
  void Keep(nlohmann::json answer);

  // True when the error in flight leaves the call's changes to be kept (a
  // problem reported once the entry was posted): such an error is kept as
  // the call's answer; any other error leaves nothing, and the key free.
  static bool ErrorKeepsChanges();

 private:
  Enlace& e_;
  const typelib::MemberInfo& member_;
  std::string key_;
  std::string digest_;
  std::unique_ptr<data::CompanyTransaction> tx_;
  std::optional<nlohmann::json> kept_;
};

}  // namespace qrole::server

#endif  // QROLE_SERVER_KEPT_CALLS_H_
