#include "posting/entry_numbers.h"

#include <gtest/gtest.h>

#include "ledger/audit_log.h"
#include "platform/text_encoding.h"
#include "posting/posting_test_util.h"
#include "server/company_header.h"
#include "server/process_state.h"

namespace qrole::posting {
namespace {

class EntryNumbersTest : public PostingTest {
 protected:
  void SetUp() override { OpenCompany(); }

  // Puts `value` into the company file's entry counter.
  void SetCounterInFile(const std::string& value) {
    Call("PutTotal", {S("CONTADORASIENTOS"), S(value)});
  }
  void AddPendingLine() {
    Call("AñadirApunte", {S("4300001"), S("x"), Variant::FromByte(1), D(1), S("1")});
  }
};

TEST_F(EntryNumbersTest, ProposalFollowsTheCounterStoredAfterPosting) {
  // A new company has no entry yet: the first proposal is 000001.
  Let("Número", S(""));
  EXPECT_EQ(Get("Número"), S("000001"));
  EXPECT_EQ(CounterInFile(), "000001");  // a proposal reserves its number
  SetCounterInFile("000041");
  Let("Número", S(""));
  EXPECT_EQ(Get("Number"), S("000042"));
  EXPECT_EQ(CounterInFile(), "000042");
  // A second proposal never repeats the first, even from the same object;
  // the number left unused is a gap.
  Let("Number", S(""));
  EXPECT_EQ(Get("Número"), S("000043"));
  // Storing a number the counter has passed does not take it back.
  e_->state().entry_number = "000042";
  Call("GrabarNuevoNumeroAsiento");
  EXPECT_EQ(CounterInFile(), "000043");
  Let("Número", S(""));
  EXPECT_EQ(Get("Número"), S("000044"));
}

TEST_F(EntryNumbersTest, ClientNumberIsKeptAndDoesNotMoveTheCounter) {
  SetCounterInFile("000041");
  Let("Número", S("ABC"));
  EXPECT_EQ(Get("Número"), S("ABC"));
  EXPECT_TRUE(e_->state().entry_number_fixed);
  Call("GrabarNuevoNumeroAsiento");
  EXPECT_EQ(CounterInFile(), "000041");
  Let("Número", Variant::FromLong(77));
  EXPECT_EQ(Get("Número"), S("77"));
  // Only the empty text asks for a proposal again.
  Let("Número", S(""));
  EXPECT_FALSE(e_->state().entry_number_fixed);
  EXPECT_EQ(Get("Número"), S("000042"));
}

TEST_F(EntryNumbersTest, ProposalOfAUsedNumberStopsPosting) {
  SetCounterInFile("000041");
  AddJournalLine("000042");
  AddPendingLine();
  env_.TakeMessages();
  Let("Número", S(""));
  EXPECT_EQ(Get("Número"), S("-1"));
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
  EXPECT_TRUE(server::Process().stop_posting);
  auto boxes = env_.TakeMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "NOTA");
  EXPECT_EQ(boxes[0].icon, platform::MsgIcon::Information);
  EXPECT_EQ(boxes[0].text.rfind("El número de asiento 000042 ya está asignado.\r\nPara evitar", 0),
            0u);
  EXPECT_NE(boxes[0].text.find("con el NUM. 21.0003"), std::string::npos);
  std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), 2u);  // the journal line, then the incident
  EXPECT_EQ(log[1].substr(log[1].rfind('\t') + 1),
            "GrabarAsiento. EL NUMERO DE ASIENTO NO ES CORRECTO. NÚMERO ASIENTO EN CONFLICTO: "
            "000042");
  // Opening a company again lets posting go on.
  Call("AbrirEmpresa", {S("Libros")});
  EXPECT_FALSE(server::Process().stop_posting);
}

TEST_F(EntryNumbersTest, CheckOfANumber) {
  AddJournalLine("000007");
  AddPendingLine();
  env_.TakeMessages();
  EXPECT_EQ(Call("IsNumeroAsiento", {S("000008"), Variant::FromBool(true)}).value,
            Variant::FromBool(false));
  EXPECT_TRUE(env_.TakeMessages().empty());
  EXPECT_FALSE(server::Process().stop_posting);
  // A used number without closing: reported and posting stopped, but the
  // pending entry stays.
  EXPECT_EQ(Call("IsNumeroAsiento", {S("000007"), Variant::FromBool(false)}).value,
            Variant::FromBool(true));
  EXPECT_EQ(env_.TakeMessages().size(), 1u);
  EXPECT_TRUE(server::Process().stop_posting);
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(1));
  // Closing (the default) empties it.
  EXPECT_EQ(Call("IsNumeroAsiento", {S("000007")}).value, Variant::FromBool(true));
  EXPECT_EQ(Get("ContadorApuntes"), Variant::FromLong(0));
  // A blank number, with no current number, counts as used.
  server::Process().stop_posting = false;
  EXPECT_EQ(Call("IsNumeroAsiento", {S("  "), Variant::FromBool(false)}).value,
            Variant::FromBool(true));
  EXPECT_TRUE(server::Process().stop_posting);
  // Without an argument the current number is checked.
  Let("Número", S("000008"));
  EXPECT_EQ(Call("IsNumeroAsiento").value, Variant::FromBool(false));
}

TEST_F(EntryNumbersTest, ProposalNeedsACompanyAndIsAutomaticOnTheWeb) {
  auto other = server::Enlace::Create();
  EXPECT_EQ(ErrorNumber(
                [&] { Invoke(*other, "Número", typelib::Kind::kLet, {Variant::FromString("")}); }),
            static_cast<int32_t>(0x8004C356));
  EXPECT_EQ(Invoke(*other, "Número", typelib::Kind::kGet, {}).value, Variant::FromString(""));
  e_->state().web_mode = true;
  Let("Número", S(""));
  EXPECT_EQ(Get("Número"), S("(Auto)"));
  Call("GrabarNuevoNumeroAsiento");  // nothing to store on the web
  EXPECT_EQ(CounterInFile(), "      ");
}

TEST_F(EntryNumbersTest, MissingCompanyFileEndsTheProposalAtOnce) {
  Let("Número", S(""));
  ASSERT_EQ(Get("Número"), S("000001"));
  ASSERT_TRUE(platform::CurrentEnv()->Files().Remove(e_->state().company_path).ok());
  const int64_t slept = env_.clock().slept_ms();
  Let("Número", S(""));
  EXPECT_EQ(env_.clock().slept_ms(), slept);
  Call("GrabarNuevoNumeroAsiento");  // swallowed: nothing to write into
  EXPECT_FALSE(platform::CurrentEnv()->Files().Exists(e_->state().company_path));
}

TEST_F(EntryNumbersTest, AuditFilesAndTheLastInsertionFile) {
  Call("AuditoriaSave", {S("  primera  "), S("   ")});
  const std::string own = dirs_.path() + "/propio.log";
  Call("AuditoriaSave", {Variant::FromDouble(2.5), S(own)});
  std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].substr(log[0].rfind('\t') + 1), "primera");
  auto text = platform::CurrentEnv()->Files().ReadAll(own);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(text->substr(text->size() - 6), "\t2,5\r\n");
  // A log that cannot be written is skipped without an error.
  Call("AuditoriaSave", {S("x"), S(dirs_.path() + "/no/such/folder/x.log")});

  const std::string last =
      e_->state().company_directory + "ultimainsercion" + e_->state().company_number + ".txt";
  EXPECT_FALSE(platform::CurrentEnv()->Files().Exists(last));
  GrabarUltimaInsercion(*e_);
  EXPECT_TRUE(platform::CurrentEnv()->Files().Exists(last));
}

TEST_F(EntryNumbersTest, ALogMovedAwayOrRemovedIsStartedAgain) {
  platform::FileSystem& fs = platform::CurrentEnv()->Files();
  const std::string own = dirs_.path() + "/caja.log";
  Call("AuditoriaSave", {S("uno"), S(own)});
  // Another program takes the log away (kept open here between calls on
  // some systems): the next line starts a new log where the old one was.
  ASSERT_TRUE(fs.Rename(own, own + ".old").ok());
  Call("AuditoriaSave", {S("dos"), S(own)});
  auto old_text = fs.ReadAll(own + ".old");
  auto new_text = fs.ReadAll(own);
  ASSERT_TRUE(old_text.ok() && new_text.ok());
  EXPECT_NE(old_text->find("\tuno\r\n"), std::string::npos);
  EXPECT_EQ(old_text->find("dos"), std::string::npos);
  EXPECT_NE(new_text->find("\tdos\r\n"), std::string::npos);
  ASSERT_TRUE(fs.Remove(own).ok());
  Call("AuditoriaSave", {S("tres"), S(own)});
  new_text = fs.ReadAll(own);
  ASSERT_TRUE(new_text.ok());
  EXPECT_NE(new_text->find("\ttres\r\n"), std::string::npos);
  EXPECT_EQ(new_text->find("dos"), std::string::npos);
}

TEST(AuditLogTest, ObjectWithoutACompanyWritesNoDefaultLog) {
  server::TestEnv env;
  auto e = server::Enlace::Create();
  EXPECT_EQ(ledger::DefaultAuditPath(*e), "");
  ledger::AuditoriaSave(*e, "nada");  // nowhere to write: skipped
  e->state().company_directory = env.home() + "/";
  e->state().company_number = "03";
  EXPECT_EQ(ledger::DefaultAuditPath(*e).substr(env.home().size() + 1, 9), "QROLE_03_");
}

}  // namespace
}  // namespace qrole::posting
