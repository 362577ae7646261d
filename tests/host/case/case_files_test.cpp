// Case files: malformed case, table and database files each refused with a clear "file:line: what
// is wrong" and exit status 2; spreadsheet exports read as spreadsheets write them.
#include "dcshost_fixture.h"

namespace host_tests {

struct Malformed {
  const char* file;
  const char* error;  // what follows "<path>:"
};

TEST_F(DcshostTest, MalformedFilesGiveFileAndLineAndStatusTwo) {
  const std::string dir = Source + "/tests/host/malformed/";
  const Malformed cases[] = {
      {"syntax-error.toml", "2: "},
      {"no-case-table.toml", "1: missing the [case] table"},
      {"unknown-key.toml", "3: unknown key 'stpes' in [case]"},
      {"steps-text.toml", "3: 'steps' must be a whole number"},
      {"init-cycle.toml", "3: init_cycle must be \"Perform\" or \"Skip\", not \"Maybe\""},
      {"controller-no-tag.toml", "4: missing 'tag' in a controller row"},
      {"event-point.toml", "7: point must read NODE:TAG.FIELD, not \"N-T101\""},
      {"event-step.toml", "6: event step 9 lies outside the run of 5 steps"},
      {"model-type.toml", "5: unknown model type \"reactor\" (none or tank)"},
      {"event-type.toml", "8: N:T101.F_CV holds a number: give it value = a number, not a text"},
      {"event-number-on-text.toml", "8: N:T101.A_AUTO holds a text: give it text = \"...\", not a number"},
      {"pv-beyond-float.toml", "4: value 1e+39 is beyond what FIX can hold (a float, at most 3.4e+38)"},
  };
  for (const Malformed& c : cases) {
    SCOPED_TRACE(c.file);
    const Outcome check = Dcshost({"check", dir + c.file});
    EXPECT_EQ(check.status, 2);
    EXPECT_NE(check.output.find("dcshost: " + dir + c.file + ":" + c.error), std::string::npos) << check.output;
  }
  // Problems in the files a case names are reported against those files.
  const Malformed referenced[] = {
      {"csv-header.toml", "bad-header.csv:1: the header must read NODE,TAG,FIELD,Active,Value[,From]"},
      {"csv-active.toml", "bad-active.csv:3: Active must be a number, not 'yes'"},
      {"db-type.toml", "bad-type-db.csv:3: unknown block type 'XYZ' (AI, AO, PID or DI)"},
      {"db-pid-input.toml", "no-input-db.csv:3: a PID block needs INPUT=TAG"},
      {"db-number.toml", "bad-number-db.csv:3: value of F_CV is not a number: 'one'"},
      {"db-missing.toml", "missing-db.csv: cannot open the database file"},
      {"db-empty.toml", "empty-db.csv: the database file is empty"},
      {"db-folder.toml", ".: is a folder, not a database file"},
  };
  for (const Malformed& c : referenced) {
    SCOPED_TRACE(c.file);
    const Outcome check = Dcshost({"check", dir + c.file});
    EXPECT_EQ(check.status, 2);
    EXPECT_NE(check.output.find(std::string("dcshost: ") + dir + c.error), std::string::npos) << check.output;
  }
  const Outcome missing = Dcshost({"run", dir + "no-such-case.toml"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.output.find("no-such-case.toml: no such case file"), std::string::npos);
  const Outcome usage = Dcshost({"run"});
  EXPECT_EQ(usage.status, 2);
}

TEST_F(DcshostTest, SpreadsheetExportsWithAByteOrderMarkAndQuotedCellsAreRead) {
  host::Case c;
  std::string error;
  ASSERT_TRUE(host::LoadCase(Source + "/tests/host/spreadsheet.toml", c, error)) << error;
  ASSERT_EQ(c.pv.size(), 2U);
  EXPECT_EQ(c.pv[0].node, "N");
  EXPECT_EQ(c.pv[0].tag, "T,101");
  EXPECT_EQ(c.pv[0].value, 2.5);
  EXPECT_EQ(c.pv[1].tag, "say \"hi\"");
  EXPECT_EQ(c.pv[1].active, 0);
}

}  // namespace host_tests
