// The checker's report for people and for programs.

#include <nlohmann/json.hpp>

#include "check/check.h"

namespace qrole::check {

namespace {

std::string Line(const char* what, const Fault& f) {
  return std::string(what) + " [" + f.kind + "] " + f.text + "\n";
}

nlohmann::json FaultJson(const Fault& f) {
  return nlohmann::json{{"kind", f.kind},
                        {"table", f.table},
                        {"record", f.record},
                        {"subject", f.subject},
                        {"text", f.text}};
}

}  // namespace

std::string FormatText(const Report& r) {
  std::string out = "Company " + r.company_path + " (number " + r.number + ")\n";
  for (const Fault& f : r.faults) out += Line("FAULT", f);
  for (const Fault& f : r.notes) out += Line("note ", f);
  const int64_t unlisted =
      r.fault_count + r.note_count - static_cast<int64_t>(r.faults.size() + r.notes.size());
  if (unlisted > 0) out += "(" + std::to_string(unlisted) + " more not listed)\n";
  out += "Checked " + std::to_string(r.entries) + " entries (" + std::to_string(r.journal_lines) +
         " journal lines), " + std::to_string(r.accounts) + " accounts, " +
         std::to_string(r.cost_centres) + " cost centres (" + std::to_string(r.analytic_lines) +
         " analytic lines), " + std::to_string(r.vat_records) + " VAT-book records, the indexes of";
  if (r.tables_indexed.empty()) out += " no table";
  for (size_t i = 0; i < r.tables_indexed.size(); ++i)
    out += (i == 0 ? " " : ", ") + r.tables_indexed[i];
  out += ".\n";
  if (r.fault_count > 0) {
    out += std::to_string(r.fault_count) + (r.fault_count == 1 ? " fault" : " faults");
    std::string sep = ": ";
    for (const auto& [kind, n] : r.fault_kinds) {
      out += sep + kind + " " + std::to_string(n);
      sep = ", ";
    }
    out += ".\n";
  } else {
    out += "The books are whole: no fault.\n";
  }
  if (r.note_count > 0) out += std::to_string(r.note_count) + " notes.\n";
  return out;
}

std::string FormatJson(const Report& r) {
  nlohmann::json faults = nlohmann::json::array();
  for (const Fault& f : r.faults) faults.push_back(FaultJson(f));
  nlohmann::json notes = nlohmann::json::array();
  for (const Fault& f : r.notes) notes.push_back(FaultJson(f));
  nlohmann::json doc{
      {"company", r.company_path},
      {"number", r.number},
      {"clean", r.clean()},
      {"fault_count", r.fault_count},
      {"note_count", r.note_count},
      {"fault_kinds", r.fault_kinds},
      {"note_kinds", r.note_kinds},
      {"checked",
       {{"entries", r.entries},
        {"journal_lines", r.journal_lines},
        {"accounts", r.accounts},
        {"cost_centres", r.cost_centres},
        {"analytic_lines", r.analytic_lines},
        {"vat_records", r.vat_records},
        {"tables_indexed", r.tables_indexed}}},
      {"faults", faults},
      {"notes", notes},
  };
  return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace qrole::check
