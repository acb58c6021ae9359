// The command-line grammar of qrole's subcommands.

#include "cli.h"

#include <gtest/gtest.h>

namespace qrole::cli {
namespace {

const Grammar kExport = {{"--format", "--from"}, 1, 2};

TEST(CliParseTest, OptionsWithValuesFlagsAndPositionals) {
  Arguments a =
      Parse({"Empresa", "--format", "csv", "--from=2025-01-01", "--json", "EXTRA"}, kExport);
  EXPECT_EQ(a.positional, (std::vector<std::string>{"Empresa", "EXTRA"}));
  EXPECT_EQ(a.Get("--format"), "csv");
  EXPECT_EQ(a.Get("--from"), "2025-01-01");
  EXPECT_EQ(a.Get("--to", "none"), "none");
  EXPECT_TRUE(a.json);
  EXPECT_FALSE(a.help);
}

TEST(CliParseTest, DoubleDashEndsTheOptions) {
  Arguments a = Parse({"--", "--json"}, kExport);
  EXPECT_FALSE(a.json);
  EXPECT_EQ(a.positional, (std::vector<std::string>{"--json"}));
}

TEST(CliParseTest, WrongCommandLinesAreUsageErrors) {
  EXPECT_THROW(Parse({"Empresa", "--output", "x"}, kExport), UsageError);  // unknown
  EXPECT_THROW(Parse({"Empresa", "--format"}, kExport), UsageError);       // no value
  EXPECT_THROW(Parse({}, kExport), UsageError);                            // too few
  EXPECT_THROW(Parse({"a", "b", "c"}, kExport), UsageError);               // too many
}

TEST(CliParseTest, HelpNeedsNothingElse) {
  Arguments a = Parse({"--help"}, kExport);
  EXPECT_TRUE(a.help);
}

}  // namespace
}  // namespace qrole::cli
