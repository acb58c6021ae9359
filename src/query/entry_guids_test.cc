#include "query/entry_guids.h"

#include <gtest/gtest.h>

#include "data/table_component.h"
#include "query/entry_test_util.h"
#include "query/web_query_test_util.h"

namespace qrole::query {
namespace {

constexpr int32_t kGuidError = 50200;
constexpr char kGuid1[] = "{0F8FAD5B-D9CB-469F-A165-70867728950E}";
constexpr char kGuid2[] = "{7C9E6679-7425-40DE-944B-E07FC1F90AE7}";

class EntryGuidsTest : public EntryTest {
 protected:
  std::string GuidOf(const std::string& asiento) { return ToStr(Get("Guid", {S(asiento)})); }
  void SetGuid(const std::string& asiento, const std::string& guid) {
    Let("Guid", S(guid), {S(asiento)});
  }
  // The records of the identifier table as "number=identifier".
  std::vector<std::string> Records() {
    data::TableComponent t;
    t.OpenCompanyTable("GUID1", e_->state().company_directory, e_->state().company_number);
    std::vector<std::string> out;
    for (t.MoveFirst(); !t.IsEof(); t.MoveNext())
      out.push_back(RTrim(ToStr(t.GetField(1))) + "=" + RTrim(ToStr(t.GetField(2))));
    return out;
  }
};

TEST_F(EntryGuidsTest, SetReplaceAndRemoveAnIdentifier) {
  EXPECT_EQ(GuidOf("000001"), "");
  SetGuid("000001", kGuid1);
  SetGuid("000002", kGuid2);
  EXPECT_EQ(GuidOf("000001"), kGuid1);
  EXPECT_EQ(GuidOf("000002"), kGuid2);
  SetGuid("000001", kGuid2);
  EXPECT_EQ(GuidOf("000001"), kGuid2);
  EXPECT_EQ(Records(), (std::vector<std::string>{std::string("000001=") + kGuid2,
                                                 std::string("000002=") + kGuid2}));
  SetGuid("000001", "");
  EXPECT_EQ(GuidOf("000001"), "");
  EXPECT_EQ(Records(), (std::vector<std::string>{std::string("000002=") + kGuid2}));
  SetGuid("000009", "");  // nothing to remove
  EXPECT_EQ(Records().size(), 1u);
  EXPECT_EQ(GuidOf("000003"), "");
}

TEST_F(EntryGuidsTest, WhatTheTableCannotHoldIsRefused) {
  std::string why;
  EXPECT_EQ(ErrorOf([&] { SetGuid("000001", std::string(41, 'x')); }, &why), kGuidError);
  EXPECT_EQ(why, "Error al crear un GUID");
  EXPECT_EQ(ErrorOf([&] { SetGuid("0000001", kGuid1); }), kGuidError);
  SetGuid("000001", kGuid1);
  EXPECT_EQ(ErrorOf([&] { SetGuid("000001", std::string(41, 'x')); }), kGuidError);
  EXPECT_EQ(Records(), (std::vector<std::string>{std::string("000001=") + kGuid1}));
  // A character the company files cannot hold.
  EXPECT_EQ(ErrorOf([&] { SetGuid("000002", "\xe2\x82\xac\xe2\x88\x9e"); }), kGuidError);
  EXPECT_EQ(Records().size(), 1u);
}

TEST_F(EntryGuidsTest, EntriesOfAnIdentifier) {
  SetGuid("000001", kGuid1);
  SetGuid("000002", kGuid2);
  SetGuid("000003", kGuid1);
  EXPECT_EQ(Texts(Call("GetAsientos", {S(kGuid1)})),
            (std::vector<std::string>{"000001", "000003"}));
  EXPECT_EQ(Texts(Call("GetAsientos", {S(kGuid2)})), (std::vector<std::string>{"000002"}));
  EXPECT_TRUE(Texts(Call("GetAsientos", {S("{otro}")})).empty());
}

TEST_F(EntryGuidsTest, DatesOfAnEntryNumberOnceEachInDateOrder) {
  PostEntry("20/03/24", "Tarde", 100, "000007");
  PostEntry("05/03/24", "Pronto", 100, "000007");
  PostEntry("12/03/24", "Otro", 100, "000008");
  EXPECT_EQ(Texts(Call("GetFechas", {S("000007")})),
            (std::vector<std::string>{"C40305", "C40320"}));
  EXPECT_EQ(Texts(Call("GetFechas", {S("000008")})), (std::vector<std::string>{"C40312"}));
  EXPECT_TRUE(Texts(Call("GetFechas", {S("000009")})).empty());
}

TEST_F(EntryGuidsTest, RefusalsWithoutACompany) {
  auto closed = server::Enlace::Create();
  auto invoke = [&](const std::string& name, typelib::Kind kind, std::vector<Variant> args) {
    return [&closed, name, kind, args] { Invoke(*closed, name, kind, args); };
  };
  EXPECT_EQ(ErrorOf(invoke("Guid", typelib::Kind::kGet, {S("000001")})), kNoCompany);
  EXPECT_EQ(ErrorOf(invoke("Guid", typelib::Kind::kLet, {S("000001"), S(kGuid1)})), kNoCompany);
  EXPECT_EQ(ErrorOf(invoke("GetAsientos", typelib::Kind::kMethod, {S(kGuid1)})), kNoCompany);
  EXPECT_EQ(ErrorOf(invoke("GetFechas", typelib::Kind::kMethod, {S("000001")})), kNoCompany);
}

// On the web the identifiers are the service's.
using EntryGuidsWebTest = WebQueryTest;

TEST_F(EntryGuidsWebTest, IdentifiersTravelAsRequests) {
  Answer("{a-1}");
  EXPECT_EQ(ToStr(Get("Guid", {S("000007")})), "{a-1}");
  Answer("OK");
  Let("Guid", S("{b:2}"), {S("000007")});
  Answer("000007\t\t000009\t");
  EXPECT_EQ(Texts(Call("GetAsientos", {S("{b:2}")})),
            (std::vector<std::string>{"000007", "000009"}));
  Answer("01/02/24\t05/02/24");
  EXPECT_EQ(Texts(Call("GetFechas", {S("000007")})),
            (std::vector<std::string>{"01/02/24", "05/02/24"}));
  Answer("");
  EXPECT_TRUE(Texts(Call("GetFechas", {S("000008")})).empty());
  EXPECT_EQ(Requests(), (std::vector<std::string>{
                            Doc("GETGUID", {{"ASIENTO", "000007"}}),
                            Doc("SETGUID", {{"ASIENTO", "000007"}, {"VALOR", "{b:2}"}}),
                            Doc("GETASIENTOS", {{"GUID", "{b:2}"}}),
                            Doc("GETFECHAS", {{"ASIENTO", "000007"}}),
                            Doc("GETFECHAS", {{"ASIENTO", "000008"}}),
                        }));

  Answer("Error: asiento inexistente");
  std::string description;
  EXPECT_EQ(ErrorOf([&] { Let("Guid", S("{c}"), {S("000099")}); }, &description), kWebRefusal);
  EXPECT_EQ(description, "Error: asiento inexistente");
}

}  // namespace
}  // namespace qrole::query
