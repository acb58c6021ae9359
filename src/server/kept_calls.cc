#include "server/kept_calls.h"

#include <cstdio>
#include <cstring>

#include "automation/record_object.h"
#include "data/data_errors.h"
#include "data/kept_answers.h"
#include "data/transaction.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "qrole/error.h"
#include "server/enlace.h"
#include "server/web_requests.h"
#include "util/sha256.h"

namespace qrole::server {

namespace {

// What a kept answer must restore in the object that sends the call again.
struct KeyedMember {
  const char* name;
  bool posts_pending_entry;  // GrabarAsiento: the entry is part of the call
  bool sets_number;          // Número after the call is the entry posted
  bool starts_entry;         // the call leaves AsientoIniciado set
};

constexpr KeyedMember kKeyedMembers[] = {
    {"GrabarAsiento", true, true, false},
    {"AnularAsiento", false, false, true},
    {"AnularApuntePorRegistro", false, false, false},
    {"AnularApuntePorReferencia", false, false, false},
    {"AnularCartera", false, false, false},
    {"MarcarCartera", false, false, false},
    {"CobroFacturaCriterioCaja", false, true, false},
    {"PagoFacturaCriterioCaja", false, true, false},
    {"AñadirIvaCriterioCaja", false, false, false},
    {"AddVATCashBased", false, false, false},
};

const KeyedMember* KeyedMemberOf(const typelib::MemberInfo& member) {
  if (member.kind != typelib::Kind::kMethod) return nullptr;
  for (const KeyedMember& k : kKeyedMembers) {
    if (member.name == k.name) return &k;
  }
  return nullptr;
}

// The collections of the pending entry, as LimpiarAsiento empties them.
constexpr Col kPendingCollections[] = {Col::kApuntes,    Col::kIva,          Col::kCartera,
                                       Col::kAnalitica,  Col::kInmovilizado, Col::kDatosGlobales,
                                       Col::kRetenciones};

void AppendText(std::string* out, std::string_view text) {
  *out += std::to_string(text.size());
  out->push_back(':');
  out->append(text);
}

void AppendNumber(std::string* out, double d) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", d);
  *out += buffer;
}

// A value written so that two values give the same text only when they are
// the same value of the same type.
void AppendValue(std::string* out, const Variant& v) {
  *out += std::to_string(static_cast<int>(v.type()));
  out->push_back('=');
  switch (v.type()) {
    case VarType::kInteger:
      *out += std::to_string(v.integer());
      break;
    case VarType::kLong:
      *out += std::to_string(v.long_value());
      break;
    case VarType::kByte:
      *out += std::to_string(v.byte());
      break;
    case VarType::kBoolean:
      *out += v.boolean() ? "1" : "0";
      break;
    case VarType::kError:
      *out += std::to_string(v.error_code());
      break;
    case VarType::kCurrency:
      *out += std::to_string(v.currency().scaled);
      break;
    case VarType::kSingle:
      AppendNumber(out, v.single());
      break;
    case VarType::kDouble:
      AppendNumber(out, v.dbl());
      break;
    case VarType::kDate:
      AppendNumber(out, v.date().serial);
      break;
    case VarType::kString:
      AppendText(out, v.str());
      break;
    case VarType::kObject: {
      auto record = std::dynamic_pointer_cast<RecordObject>(v.object());
      if (!v.object()) {
        *out += "nothing";
      } else if (record) {
        AppendText(out, record->record_info().name);
        for (const typelib::FieldInfo& field : record->record_info().fields) {
          out->push_back(' ');
          AppendText(out, field.name);
          AppendValue(out, record->Get(field.name));
        }
      } else {
        AppendText(out, v.object()->info().name());
      }
      break;
    }
    case VarType::kArray: {
      const Array& a = *v.array();
      for (const Array::Bound& b : a.bounds())
        *out += std::to_string(b.lower) + "," + std::to_string(b.count) + ";";
      for (const Variant& item : a.items()) AppendValue(out, item);
      break;
    }
    default:
      break;
  }
  out->push_back('\n');
}

// The pending entry GrabarAsiento would post, apart from a proposed number.
std::string PendingEntryText(Enlace& e) {
  const EnlaceState& s = e.state();
  std::string out = "entry\n";
  AppendText(&out, s.accounting_date);
  AppendText(&out, s.entry_number_fixed ? s.entry_number : std::string());
  out += s.entry_started ? "started\n" : "not started\n";
  for (Col c : kPendingCollections) {
    Collection& items = e.collection(c);
    out += "collection " + std::to_string(static_cast<int>(c)) + " " +
           std::to_string(items.Count()) + "\n";
    for (int32_t i = 1; i <= items.Count(); ++i) AppendValue(&out, items.Item(i));
  }
  return out;
}

int64_t NowMs() {
  return platform::MillisecondsSince1970(platform::CurrentEnv()->GetClock().Now());
}

constexpr int64_t kMaxAgeMs = int64_t{kKeptAnswerDays} * 86400 * 1000;

}  // namespace

bool KeepsAnswers(const typelib::MemberInfo& member) { return KeyedMemberOf(member) != nullptr; }

KeptCall::KeptCall(Enlace& e, const typelib::MemberInfo& member, const std::string& key,
                   const std::string& call_text)
    : e_(e), member_(member), key_(key) {
  const KeyedMember* keyed = KeyedMemberOf(member);
  if (keyed == nullptr) return;
  EnlaceState& s = e.state();
  if (s.web_mode) {
    RaiseObjectError(
        50013, "Esta opción no está disponible con enlace a " + WebHost(e) + "\nidempotency_key");
  }
  if (!e.company_open() || s.company_directory.empty()) return;

  std::string call;
  AppendText(&call, member.name);
  call += "\n";
  AppendText(&call, call_text);
  call += "\n";
  if (keyed->posts_pending_entry) call += PendingEntryText(e);
  digest_ = util::Sha256Of(call);

  tx_ = std::make_unique<data::CompanyTransaction>(s.company_directory, s.company_number);
  std::optional<data::KeptAnswer> found;
  platform::Status status =
      data::FindKeptAnswer(s.company_directory, s.company_number, key, NowMs(), kMaxAgeMs, &found);
  if (!status.ok()) {
    data::RaiseFileInUse(data::KeptAnswersPath(s.company_directory, s.company_number) + " (" +
                         status.message() + ")");
  }
  if (!found) return;
  if (found->digest != digest_) {
    RaiseObjectError(
        kKeyReusedError,
        "La clave de idempotencia ya se usó con otra operación o con otros datos\n" + key);
  }
  nlohmann::json answer = nlohmann::json::parse(found->answer, nullptr, false);
  if (!answer.is_object() || (!answer.contains("result") && !answer.contains("error"))) {
    data::RaiseFileInUse(data::KeptAnswersPath(s.company_directory, s.company_number) +
                         " (the answer kept for the key cannot be read)");
  }
  // The object as the first call left it.
  if (keyed->posts_pending_entry) e.LimpiarAsiento();
  if (keyed->starts_entry) s.entry_started = true;
  if (keyed->sets_number) {
    auto number = answer.find("number");
    if (number != answer.end() && number->is_string()) s.entry_number = number->get<std::string>();
  }
  answer.erase("number");
  kept_ = std::move(answer);
}

KeptCall::~KeptCall() = default;

void KeptCall::Keep(nlohmann::json answer) {
  if (!active()) return;
  const KeyedMember* keyed = KeyedMemberOf(member_);
  const EnlaceState& s = e_.state();
  if (keyed != nullptr && keyed->sets_number) answer["number"] = s.entry_number;
  data::KeptAnswer record;
  record.key = key_;
  record.digest = digest_;
  record.time_ms = NowMs();
  record.answer = answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  platform::Status status = data::KeepAnswer(s.company_directory, s.company_number, record);
  if (!status.ok()) {
    // Without its key the operation is not kept either: the client may try
    // again.
    data::KeepChangesWhenRaising(false);
    data::RaiseFileInUse(data::KeptAnswersPath(s.company_directory, s.company_number) + " (" +
                         status.message() + ")");
  }
  std::unique_ptr<data::CompanyTransaction> tx = std::move(tx_);
  tx->Commit();
}

bool KeptCall::ErrorKeepsChanges() { return data::KeepingChangesWhenRaising(); }

}  // namespace qrole::server
