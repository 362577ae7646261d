// Loop pairing: tags read as loops in several styles, and the rules in their
// order, discrete commands with their feedback, ambiguous and unpaired rows
// listed, never guessed, and the rows a case's own blocks hold left out.
#include <gtest/gtest.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "plant/loop_pairing.h"

namespace {

TEST(ReadLoopTag, LeadingLettersAreTheFunctionTheRestWithoutSeparatorsTheKey) {
  struct Row {
    const char* tag;
    bool reads;
    const char* function;
    const char* key;
    const char* measured;
  };
  const Row rows[] = {
      {"LIC101", true, "LIC", "101", "L"},        {"FIC-2001A", true, "FIC", "2001A", "F"},
      {"PDIC_7", true, "PDIC", "7", "PD"},        {"FQI 12.3", true, "FQI", "123", "FQ"},
      {"TT-10/B", true, "TT", "10B", "T"},        {"101", false, "", "101", ""},
      {"LIC", false, "LIC", "", "L"},             {"", false, "", "", ""},
      {"20-TIC-005", true, "TIC", "20|005", "T"}, {"20-TT-005", true, "TT", "20|005", "T"},  // an area prefix
      {"U1.FIC101", true, "FIC", "U1|101", "F"},  {"LT.101", true, "LT", "101", "L"},        // a unit's; none
  };
  for (const Row& row : rows) {
    host::LoopTag loop;
    EXPECT_EQ(host::ReadLoopTag(row.tag, loop), row.reads) << row.tag;
    EXPECT_EQ(loop.function, row.function) << row.tag;
    EXPECT_EQ(loop.key, row.key) << row.tag;
    EXPECT_EQ(host::MeasuredVariable(loop.function), row.measured) << row.tag;
  }
}

host::CaseCtrlRow Controller(const std::string& node, const std::string& tag, const std::string& drives = "") {
  host::CaseCtrlRow row;
  row.node = node;
  row.tag = tag;
  row.field = "F_CV";
  row.drives = drives;
  row.origin = {"case.toml", 1};
  return row;
}

host::CasePVRow Pv(const std::string& node, const std::string& tag, const std::string& from = "") {
  host::CasePVRow row;
  row.node = node;
  row.tag = tag;
  row.field = "F_CV";
  row.from = from;
  row.origin = {"case.toml", 2};
  return row;
}

TEST(PairLoops, PairsByTheRulesInOrderAndListsTheRest) {
  host::Case c;
  c.controllers = {
      Controller("N", "LIC101"),             // 0: by loop key with LT101
      Controller("N", "FIC-2001A"),          // 1: by loop key with FT-2001A, another style
      Controller("N", "PDIC_7"),             // 2: PD, not P: PDT_7, not PT_7
      Controller("N", "TIC5", "heat"),       // 3: explicit, though TT5 would pair by key
      Controller("N", "XIC9"),               // 4: by the PID's INPUT
      Controller("N", "AIC3"),               // 5: two analysers of loop 3: ambiguous
      Controller("N", "HIC4"),               // 6: nothing of its loop: unpaired
      Controller("M", "LIC200"),             // 7: LT200 is on another node: unpaired
  };
  c.pv = {
      Pv("N", "LT101"), Pv("N", "FT-2001A"), Pv("N", "PT_7"), Pv("N", "PDT_7"), Pv("N", "TT5"),
      Pv("N", "TE5-raw", "heat"), Pv("N", "ZT77"), Pv("N", "AT3"), Pv("N", "AE3"), Pv("N", "LT200"),
      Pv("N", "LIC101"),  // the controller's own tag: never its loop's measurement
  };
  // Discrete commands: a flag pairs with the feedback of its loop that no controller took.
  c.pv.push_back(Pv("N", "ZS401"));  // 11
  c.pvImport = {Pv("N", "HS401"), Pv("N", "HS402"), Pv("N", "XV101")};
  c.pvImport[0].field = c.pvImport[1].field = "A_ROUT";  // XV101 is a value, not a command
  const std::unordered_map<std::string, std::string> inputs = {{"N:XIC9", "ZT77"}};
  const host::LoopPairing pairing = host::PairLoops(c, inputs);
  struct Expected {
    size_t controller, pv;
    const char* rule;
  };
  const std::vector<Expected> expected = {
      {0, 0, "loop key"}, {1, 1, "loop key"}, {2, 3, "loop key"}, {3, 5, "explicit link"}, {4, 6, "PID INPUT"}};
  ASSERT_EQ(pairing.pairs.size(), expected.size());
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(pairing.pairs[k].controller, expected[k].controller) << k;
    EXPECT_EQ(pairing.pairs[k].pv, expected[k].pv) << k;
    EXPECT_EQ(pairing.pairs[k].rule, expected[k].rule) << k;
  }
  ASSERT_EQ(pairing.ambiguous.size(), 1U);
  EXPECT_EQ(pairing.ambiguous[0], "controller row 6 (case.toml:1) AIC3: PV rows 8, 9 all match by loop key");
  ASSERT_EQ(pairing.commands.size(), 1U);
  EXPECT_EQ(pairing.commands[0].controller, 0U);
  EXPECT_EQ(pairing.commands[0].pv, 11U);
  ASSERT_EQ(pairing.unpaired.size(), 3U);
  EXPECT_EQ(pairing.unpaired[0], "controller row 7 (case.toml:1) HIC4: no PV row of its loop");
  EXPECT_EQ(pairing.unpaired[1], "controller row 8 (case.toml:1) LIC200: no PV row of its loop");
  EXPECT_EQ(pairing.unpaired[2], "PV-import row 2 (case.toml:2) HS402: no feedback PV row of its loop");
}

// A case's own blocks hold the PV rows they carry ("BLOCK" or "BLOCK.OUTPUT")
// and the rows they read wherever the reading is written (a key, a list, a
// table); pairing among the free rows never touches them.
TEST(PairLoops, RowsTheCasesOwnBlocksHoldAreLeftToThem) {
  host::Case c;
  c.controllers = {Controller("N", "LIC1"), Controller("N", "FIC2"), Controller("N", "TIC3")};
  c.pv = {Pv("N", "LT1", "TANK.level"), Pv("N", "FT2"), Pv("N", "TT3", "HEATER"), Pv("N", "PT9", "link")};
  c.pvImport = {Pv("N", "HS4"), Pv("N", "XV5")};
  c.pvImport[0].field = "A_ROUT";
  const auto text = [](const std::string& t) {
    host::BlockValue v;
    v.form = host::BlockValue::Form::Text;
    v.text = t;
    return v;
  };
  host::CaseBlock tank{"TANK", "fmu", "", {}, {}}, heater{"HEATER", "lag", "", {}, {}};
  tank.keys["inputs"].form = host::BlockValue::Form::Table;
  tank.keys["inputs"].fields = {{"valve", text("LIC1.output")}, {"pump", text("N:HS4.A_ROUT")}};
  heater.keys["input"] = text("TIC3.output");
  heater.keys["others"].form = host::BlockValue::Form::List;
  heater.keys["others"].items = {text("XV5.F_CV")};
  c.model.blocks = {tank, heater};
  const host::HeldRows rows = host::RowsHeldByBlocks(c);
  EXPECT_EQ(rows.held.controllers, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(rows.held.pv, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(rows.held.pvImport, (std::vector<bool>{true, true}));
  EXPECT_EQ(rows.free.controllers, (std::vector<bool>{false, true, false}));
  const host::LoopPairing free = host::PairLoops(c, {}, &rows.free);
  ASSERT_EQ(free.pairs.size(), 1U);
  EXPECT_EQ(free.pairs[0].controller, 1U);
  EXPECT_EQ(free.pairs[0].pv, 1U);
  EXPECT_TRUE(free.unpaired.empty());  // held rows are neither paired nor listed
  const host::LoopPairing held = host::PairLoops(c, {}, &rows.held);
  ASSERT_EQ(held.pairs.size(), 2U);
  EXPECT_EQ(held.pairs[0].pv, 0U);
  EXPECT_EQ(held.pairs[1].pv, 2U);
}

}  // namespace
