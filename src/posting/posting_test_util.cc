#include "posting/posting_test_util.h"

#include "automation/record_object.h"
#include "data/table_component.h"
#include "platform/text_encoding.h"

namespace qrole::posting {

std::vector<std::string> PostingTest::LogLines() {
  const server::EnlaceState& s = e_->state();
  auto text = platform::CurrentEnv()->Files().ReadAll(s.company_directory + "QROLE_" +
                                                      s.company_number + "_2026.log");
  std::vector<std::string> lines;
  if (!text.ok()) return lines;
  const std::string utf8 = platform::Cp1252ToUtf8(*text);
  size_t start = 0;
  for (size_t end; (end = utf8.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(utf8.substr(start, end - start));
  EXPECT_EQ(start, utf8.size()) << "a line without CR LF at the end of the log";
  return lines;
}

Variant PostingTest::Field(const Variant& record, const std::string& field) {
  auto* r = dynamic_cast<RecordObject*>(record.object().get());
  if (r == nullptr) {
    ADD_FAILURE() << "not a record object";
    return Variant();
  }
  return r->Get(field);
}

void PostingTest::AddJournalLine(const std::string& number) {
  data::TableComponent t;
  t.OpenCompanyTable("EXTRA", e_->state().company_directory, e_->state().company_number);
  t.AddNew();
  t.SetField(3, 0, Variant::FromString(number));
  t.Update();
}

std::string PostingTest::CounterInFile() {
  auto text = platform::CurrentEnv()->Files().ReadAll(e_->state().company_path);
  if (!text.ok() || text->size() < 1024) return "<unreadable>";
  return text->substr(182, 6);
}

int32_t ErrorNumber(const std::function<void()>& f, std::string* description) {
  try {
    f();
  } catch (const AutomationError& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

}  // namespace qrole::posting
