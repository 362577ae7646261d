// Fault injection through the loaded driver, driven by one table of (entry
// point, outside call, failure). Each fault is armed just before its entry
// point in a full run of the host's calling order and fails the 1st, 2nd, ...
// Nth call, once (transient) and from then on (persistent), until a run no
// longer reaches the Nth call. Every run must give the documented result and
// messages and end with no live block, no live Text and no live FIX group.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "run/driver_library.h"
#include "journals.h"
#include "message_boxes.h"
#include "run/record_builder.h"

namespace {

using testing_support::Messages;
using testing_support::MessageBoxes;
using Lines = std::vector<std::string>;

enum class Entry { Load, Configure, Start, Simulate, Reset, Destroy };

const char* EntryName(Entry entry) {
  switch (entry) {
    case Entry::Load: return "DCSLoad";
    case Entry::Configure: return "DCSConfigure";
    case Entry::Start: return "DCSStart";
    case Entry::Simulate: return "DCSSimulate";
    case Entry::Reset: return "DCSReset";
    case Entry::Destroy: return "DCSDestroy";
  }
  return "";
}

// The outside call that fails: a FIX function by name, or any allocation
// request to the host's heap.
constexpr const char* Allocation = "Plinth allocation";

// A condition a fault needs besides the failing call, set just before the
// entry point runs (for example a point error, so that FixErrorText is asked).
enum class Arrange { None, CtrlModePointError };

struct Fault {
  Entry entry;
  const char* call;
  int32_t result;  // what the failing call answers (ignored for allocations)
  Arrange arrange;
};

// Statuses a group operation, a get or a set may answer: FIX's own codes, a
// code FIX has no text for, and the extremes of the 16-bit range.
const int32_t Statuses[] = {-1, 1, FixdbBadGroup, FixdbNotRead, SHRT_MAX, SHRT_MIN};
// Error codes a point may report: every code the database defines (each has a
// text) and codes without a text.
const int32_t PointCodes[] = {FixdbNodeNotFound, FixdbTagNotFound, FixdbFieldNotFound, FixdbWrongFieldType,
                              FixdbBadGroup,     FixdbBadPoint,    FixdbNotResolved,   FixdbNotRead,
                              FixdbGroupFull,    -1,               7,                  SHRT_MAX,
                              SHRT_MIN};
// FixErrorText answers other than "text found" (11000).
const int32_t NoText[] = {0, -1, 10999, 11001};

std::vector<Fault> FaultTable() {
  std::vector<Fault> table;
  auto add = [&table](Entry entry, const char* call, const int32_t* results, size_t count,
                      Arrange arrange = Arrange::None) {
    for (size_t i = 0; i < count; ++i) {
      table.push_back({entry, call, results[i], arrange});
    }
  };
  const int32_t zero[] = {0};
  const int32_t handles[] = {0, -1};
  add(Entry::Load, Allocation, zero, 1);

  add(Entry::Configure, Allocation, zero, 1);
  add(Entry::Configure, "FixRunningCheck", zero, 1);
  add(Entry::Configure, "EdaCreateGroup", zero, 1);
  add(Entry::Configure, "EdaDefinePoint", handles, 2);
  for (const char* call : {"EdaResolveGroup", "EdaWaitGroup"}) {
    add(Entry::Configure, call, Statuses, std::size(Statuses));
  }
  add(Entry::Configure, "EdaPointError", PointCodes, std::size(PointCodes));
  add(Entry::Configure, "FixErrorText", NoText, std::size(NoText), Arrange::CtrlModePointError);

  add(Entry::Start, Allocation, zero, 1);
  for (const char* call : {"EdaReadGroup", "EdaWriteGroup", "EdaWaitGroup", "EdaSetFloat", "EdaSetAscii"}) {
    add(Entry::Start, call, Statuses, std::size(Statuses));
  }
  add(Entry::Start, "EdaPointError", PointCodes, std::size(PointCodes));
  add(Entry::Start, "FixErrorText", NoText, std::size(NoText), Arrange::CtrlModePointError);

  add(Entry::Simulate, Allocation, zero, 1);
  for (const char* call :
       {"EdaReadGroup", "EdaWaitGroup", "EdaGetFloat", "EdaGetAscii", "EdaSetFloat", "EdaWriteGroup"}) {
    add(Entry::Simulate, call, Statuses, std::size(Statuses));
  }

  add(Entry::Reset, Allocation, zero, 1);
  add(Entry::Reset, "EdaDeleteGroup", Statuses, std::size(Statuses));

  add(Entry::Destroy, Allocation, zero, 1);
  return table;
}

// How a fault reads in test output (instead of its bytes, padding included).
void PrintTo(const Fault& fault, std::ostream* out) {
  *out << EntryName(fault.entry) << ": " << fault.call << " answers " << fault.result;
}

std::string FaultName(const testing::TestParamInfo<Fault>& info) {
  std::string call = info.param.call == Allocation ? "Allocation" : info.param.call;
  std::string result = std::to_string(info.param.result);
  for (char& c : result) {
    if (c == '-') {
      c = 'm';
    }
  }
  return std::string(EntryName(info.param.entry)) + "_" + call + "_" + result + "_" +
         std::to_string(info.index);
}

// ---- The case every run uses --------------------------------------------
//
// Controllers: C0 on F_CV (active, automatic), C1 on H_DV (active, manual),
// C2 on F_CV (inactive). PV rows: P0 active, P1 inactive. PV-import rows on
// F_AUTO, A_AUTO, A_ROUT and F_CV, all active.
constexpr int CtrlRows = 3;
constexpr int PVRows = 2;
constexpr int ImportRows = 4;
const char* const ImportFields[ImportRows] = {"F_AUTO", "A_AUTO", "A_ROUT", "F_CV"};

void FillDatabase() {
  for (int i = 0; i < CtrlRows; ++i) {
    const std::string tag = "C" + std::to_string(i);
    FixdbSetFloat("N", tag.c_str(), "F_CV", 40.0F + static_cast<float>(i));
    FixdbSetFloat("N", tag.c_str(), "F_TV1", 7.0F);
    FixdbSetText("N", tag.c_str(), "A_AUTO", "AUTO");
  }
  for (int i = 0; i < PVRows; ++i) {
    FixdbSetFloat("N", ("P" + std::to_string(i)).c_str(), "F_CV", 0.0F);
  }
  FixdbSetFloat("N", "I0", "F_AUTO", 1.0F);
  FixdbSetText("N", "I1", "A_AUTO", "AUTO");
  FixdbSetText("N", "I2", "A_ROUT", "YES");
  FixdbSetFloat("N", "I3", "F_CV", 12.5F);
}

void FillRecord(host::RecordBuilder& builder) {
  builder.AddCtrl({"N", "C0", "F_CV", 1, 1.0, 0.25, 3.0});
  builder.AddCtrl({"N", "C1", "H_DV", 1, 0.0, 0.5, 4.0});
  builder.AddCtrl({"N", "C2", "F_CV", 0, 1.0, 0.75, 5.0});
  builder.AddPV({"N", "P0", "F_CV", 1, 1.5});
  builder.AddPV({"N", "P1", "F_CV", 0, 2.5});
  for (int i = 0; i < ImportRows; ++i) {
    builder.AddPVImport({"N", "I" + std::to_string(i), ImportFields[i], 1, 1.0});
  }
  (void)builder.SetInitCycle(0);
}

// ---- What the documented behaviour predicts ------------------------------

bool Fails(unsigned long call, unsigned long nth, bool persistent) {
  return persistent ? call >= nth : call == nth;
}

// The FIX text of a code, or empty when FIX has none.
std::string TextOf(int32_t code) {
  switch (code) {
    case FixdbNodeNotFound: return "Node not found";
    case FixdbTagNotFound: return "Tag not found in the process database";
    case FixdbFieldNotFound: return "Field not found for this block";
    case FixdbWrongFieldType: return "Field value is of another type";
    case FixdbBadGroup: return "Invalid group handle";
    case FixdbBadPoint: return "Invalid point handle";
    case FixdbNotResolved: return "Point not resolved";
    case FixdbNotRead: return "Point value not read yet";
    case FixdbGroupFull: return "Group holds no more points";
    default: return "";
  }
}

// The report of one bad point of a table ("Ctrl", "PV", "PVImport").
std::string PointReport(const std::string& table, int32_t code, int row, bool textAnswered = true) {
  const std::string text = textAnswered ? TextOf(code) : "";
  if (!text.empty()) {
    return "DCS" + table + "VendorMsg(\"" + text + "\"," + std::to_string(row) + ")";
  }
  return "DCS" + table + "VendorCode(" + std::to_string(code) + "," + std::to_string(row) + ")";
}

// The point checks of a configuration, in order: per table its points per row.
struct PointCheck {
  const char* table;
  int pointsPerRow;
  std::vector<int> rows;
};

// Walks point checks as the driver does: rows in order, a row's points in
// order, each check stopping at its first bad point. Returns the reports and
// whether the last check passed; `bad` says whether the kth point asked is bad.
template <typename Bad>
bool WalkChecks(const std::vector<PointCheck>& checks, Bad bad, int32_t code, Lines& reports,
                bool stopAtFirstFailedCheck) {
  unsigned long asked = 0;
  bool lastPassed = true;
  for (const PointCheck& check : checks) {
    lastPassed = true;
    for (int row : check.rows) {
      bool rowBad = false;
      for (int p = 0; p < check.pointsPerRow && !rowBad; ++p) {
        rowBad = bad(++asked);
      }
      if (rowBad) {
        reports.push_back(PointReport(check.table, code, row));
        lastPassed = false;
        break;
      }
    }
    if (!lastPassed && stopAtFirstFailedCheck) {
      return false;
    }
  }
  return lastPassed;
}

const std::vector<PointCheck> ConfigureChecks = {
    {"Ctrl", 3, {0, 1, 2}}, {"PV", 1, {0, 1}}, {"PVImport", 1, {0, 1, 2, 3}}};

// The table-level reports after a failed check of a configuration.
Lines TableFailure(const std::string& table) {
  if (table == "PV") {
    return {"DCSPVTagFieldError", "DCSPVTagFieldError"};
  }
  return {"DCS" + table + "TagFieldError"};
}

// The table whose kth defined point it is (points are defined and checked in
// the same order), and the row.
std::pair<std::string, int> PointOwner(unsigned long k) {
  unsigned long index = k - 1;
  for (const PointCheck& check : ConfigureChecks) {
    const unsigned long points = check.rows.size() * static_cast<unsigned long>(check.pointsPerRow);
    if (index < points) {
      return {check.table, static_cast<int>(index / static_cast<unsigned long>(check.pointsPerRow))};
    }
    index -= points;
  }
  return {"", -1};
}

// The message boxes of a DCSLoad whose allocations fail as given: each
// definition array is followed by its column names (only when the array was
// allocated), then the three default cell arrays. Also says which of the
// three tag tables kept their definitions.
Lines LoadBoxes(unsigned long nth, bool persistent, bool tagDefs[3]) {
  struct Table {
    const char* box;
    int names;
  };
  const Table tables[] = {{"KVDCSAPI|Could not allocate DCSDataDef(Gen)", 1},
                          {"KVDCSAPI|Could not allocate DCSDataDef(Ctrl)", 3},
                          {"KVDCSAPI|Could not allocate DCSDataDef(PV)", 3},
                          {"KVDCSAPI|Could not allocate DCSDataDef(PVImport)", 3}};
  const char* const cells[] = {"KVDCSAPI Error|Memory Allocation Error: CtrlDataDefault",
                               "KVDCSAPI Error|Memory Allocation Error: PVDataDefault",
                               "KVDCSAPI Error|Memory Allocation Error: PVImportDataDefault"};
  Lines boxes;
  unsigned long k = 0;
  for (int t = 0; t < 4; ++t) {
    const bool failed = Fails(++k, nth, persistent);
    if (failed) {
      boxes.emplace_back(tables[t].box);
    } else {
      k += static_cast<unsigned long>(tables[t].names);
    }
    if (t > 0) {
      tagDefs[t - 1] = !failed;
    }
  }
  for (const char* box : cells) {
    if (Fails(++k, nth, persistent)) {
      boxes.emplace_back(box);
    }
  }
  return boxes;
}

// ---- The runs -----------------------------------------------------------

struct Outcome {
  int32_t result = 0;   // of the entry point under fault (DCSStart widened)
  Lines messages;       // reported by it
  Lines boxes;          // shown by it
  unsigned long hits = 0;  // failed calls during it
  int32_t configured = -1;  // DCSConfigure's result in the run
  int unchangedValues = 0;   // DCSSimulate: row values a fetch left unchanged
};

class FaultInjection : public testing_support::StandinTest, public testing::WithParamInterface<Fault> {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    std::string error;
    driver_ = host::DriverLibrary::Load(host::DefaultDriverPath(), error);
    ASSERT_TRUE(driver_) << error;
    testing_support::RecordMessageBoxesOf(driver_->handle());
  }
  const host::DriverEntryPoints& dcs() const { return driver_->entry(); }

  void Arm(const Fault& fault, unsigned long nth, bool persistent) {
    if (fault.call == Allocation) {
      PlinthFailAllocation(nth, persistent ? 1 : 0);
    } else {
      FixdbInject(fault.call, nth, fault.result, persistent ? 1 : 0);
    }
  }
  void Disarm(const Fault& fault) {
    if (fault.call == Allocation) {
      PlinthFailAllocation(0, 0);
    } else {
      FixdbInject(fault.call, 0, 0, 0);
    }
  }
  unsigned long Calls(const Fault& fault) {
    return fault.call == Allocation ? PlinthAllocationCount() : FixdbCallCount(fault.call);
  }

  // Runs the entry point with the fault armed; everything else runs clean.
  template <typename Body>
  void UnderFault(bool armed, const Fault& fault, unsigned long nth, bool persistent, Outcome& outcome,
                  Body body) {
    if (!armed) {
      outcome.result = body();
      return;
    }
    if (fault.arrange == Arrange::CtrlModePointError) {
      FixdbSetFieldError("N", "C0", "A_AUTO", FixdbTagNotFound);
    }
    PlinthClearMessages();
    User32ClearMessageBoxes();
    const unsigned long before = Calls(fault);
    Arm(fault, nth, persistent);
    outcome.result = body();
    Disarm(fault);
    const unsigned long made = Calls(fault) - before;
    outcome.hits = made < nth ? 0 : (persistent ? made - nth + 1 : 1);
    outcome.messages = Messages();
    outcome.boxes = MessageBoxes();
    if (fault.arrange == Arrange::CtrlModePointError) {
      FixdbSetFieldError("N", "C0", "A_AUTO", 0);
    }
  }

  // One whole run in the host's calling order, with the fault armed at its
  // entry point only.
  Outcome Run(const Fault& fault, unsigned long nth, bool persistent) {
    FixdbReset();
    FillDatabase();
    PlinthClearMessages();
    const size_t blocksAtStart = PlinthLiveBlocks();
    const long textsAtStart = PlinthLiveTexts();
    Outcome outcome;
    {
      host::RecordBuilder builder;
      DCSDataDef* record = builder.record();
      dcs().DCSInitialize();
      UnderFault(fault.entry == Entry::Load, fault, nth, persistent, outcome, [&] { return dcs().DCSLoad(record); });
      FillRecord(builder);
      record = builder.record();
      Outcome configure;
      UnderFault(fault.entry == Entry::Configure, fault, nth, persistent, configure,
                 [&] { return dcs().DCSConfigure(record); });
      outcome.configured = configure.result;
      if (fault.entry == Entry::Configure) {
        outcome = configure;
        EXPECT_EQ(FixdbLiveGroups(), configure.result == 1 ? 3U : 0U);
      }
      UnderFault(fault.entry == Entry::Start, fault, nth, persistent, fault.entry == Entry::Start ? outcome : configure,
                 [&] { return static_cast<int32_t>(dcs().DCSStart(record)); });
      for (int step = 0; step < 2; ++step) {
        // Values the step must replace, so that a value a fetch left alone shows.
        for (int i = 0; i < CtrlRows; ++i) {
          builder.ctrl(i).OutputUpdated = 0;
          builder.ctrl(i).TV1Updated = 0;
        }
        for (int i = 0; i < ImportRows; ++i) {
          builder.pvImport(i).Value = -99.0;
        }
        Outcome ignored;
        UnderFault(fault.entry == Entry::Simulate && step == 1, fault, nth, persistent,
                   fault.entry == Entry::Simulate && step == 1 ? outcome : ignored,
                   [&] { return dcs().DCSSimulate(record); });
        if (fault.entry == Entry::Simulate && step == 1) {
          // Fetched each step: C0 output and TV1, C1 output, C2 TV1, four imports.
          const bool fetched[] = {builder.ctrl(0).OutputUpdated == 1, builder.ctrl(0).TV1Updated == 1,
                                  builder.ctrl(1).OutputUpdated == 1, builder.ctrl(2).TV1Updated == 1,
                                  builder.pvImport(0).Value != -99.0, builder.pvImport(1).Value != -99.0,
                                  builder.pvImport(2).Value != -99.0, builder.pvImport(3).Value != -99.0};
          for (bool value : fetched) {
            outcome.unchangedValues += value ? 0 : 1;
          }
          EXPECT_EQ(builder.ctrl(2).OutputUpdated, 0);  // inactive: output never fetched
          EXPECT_EQ(builder.ctrl(1).TV1Updated, 0);     // H_DV: no second value
        }
      }
      dcs().DCSStop();
      dcs().DCSTimeZero();
      UnderFault(fault.entry == Entry::Reset, fault, nth, persistent, fault.entry == Entry::Reset ? outcome : configure, [&] {
        dcs().DCSReset(record);
        return 0;
      });
      // Every handle is 0 now: a second reset and a step make no FIX call.
      FixdbClearJournal();
      dcs().DCSReset(record);
      EXPECT_EQ(dcs().DCSSimulate(record), 1);
      EXPECT_EQ(dcs().DCSStart(record), 0);
      EXPECT_TRUE(testing_support::FixJournal().empty());
      UnderFault(fault.entry == Entry::Destroy, fault, nth, persistent, fault.entry == Entry::Destroy ? outcome : configure,
                 [&] {
                   dcs().DCSDestroy(record);
                   return 0;
                 });
      EXPECT_EQ(record->GenData, nullptr);
    }
    EXPECT_EQ(PlinthLiveBlocks(), blocksAtStart) << "blocks left allocated";
    EXPECT_EQ(PlinthLiveTexts(), textsAtStart) << "Text objects left alive";
    EXPECT_EQ(PlinthMisuseCount(), 0U);
    if (!(fault.entry == Entry::Reset && fault.call == std::string("EdaDeleteGroup"))) {
      EXPECT_EQ(FixdbLiveGroups(), 0U) << "FIX groups left alive";
    }
    return outcome;
  }

  std::unique_ptr<host::DriverLibrary> driver_;
};

// What the documented behaviour says about one run under fault.
void ExpectDocumentedOutcome(const Fault& fault, unsigned long nth, bool persistent, const Outcome& out) {
  const std::string call = fault.call;
  switch (fault.entry) {
    case Entry::Load: {
      bool tagDefs[3] = {true, true, true};
      EXPECT_EQ(out.result, 0);
      EXPECT_EQ(out.boxes, LoadBoxes(nth, persistent, tagDefs));
      EXPECT_TRUE(out.messages.empty());
      // A table without definitions cannot be validated: its configuration fails.
      EXPECT_EQ(out.configured, tagDefs[0] && tagDefs[1] && tagDefs[2] ? 1 : 0);
      break;
    }
    case Entry::Configure: {
      Lines expected;
      if (call == "FixRunningCheck") {
        expected = {"DCSAppNotRunning"};
      } else if (call == "EdaCreateGroup") {
        const char* labels[] = {"FIX CtrlGroupHandle", "FIX PVGroupHandle", "FIX PVImportGroupHandle"};
        expected = {"DCSMemAllocError(\"" + std::string(labels[nth - 1]) + "\")"};
      } else if (call == "EdaDefinePoint") {
        // A point FIX gave no handle for is found by the check: FIX knows no such point.
        const auto [table, row] = PointOwner(nth);
        expected = {PointReport(table, FixdbBadPoint, row)};
        for (const std::string& line : TableFailure(table)) {
          expected.push_back(line);
        }
      } else if (call == "EdaResolveGroup" || call == "EdaWaitGroup") {
        // A group never resolved: its first point is not resolved.
        const std::string table = ConfigureChecks[nth - 1].table;
        expected = {PointReport(table, FixdbNotResolved, 0)};
        for (const std::string& line : TableFailure(table)) {
          expected.push_back(line);
        }
      } else if (call == "EdaPointError") {
        const auto [table, row] = PointOwner(nth);
        expected = {PointReport(table, fault.result, row)};
        for (const std::string& line : TableFailure(table)) {
          expected.push_back(line);
        }
      } else if (call == "FixErrorText") {
        expected = {PointReport("Ctrl", FixdbTagNotFound, 0, false), "DCSCtrlTagFieldError"};
      }
      EXPECT_EQ(out.messages, expected);
      EXPECT_EQ(out.result, expected.empty() ? 1 : 0);
      break;
    }
    case Entry::Start: {
      // Checks of the cycle: modes of the active controllers, every PV point,
      // modes, value points of every controller, and the final mode check.
      const std::vector<PointCheck> checks = {
          {"Ctrl", 1, {0, 1}}, {"PV", 1, {0, 1}}, {"Ctrl", 1, {0, 1}}, {"Ctrl", 2, {0, 1, 2}}, {"Ctrl", 1, {0, 1}}};
      Lines expected;
      bool passed = true;
      if (call == "EdaPointError") {
        passed = WalkChecks(
            checks, [&](unsigned long k) { return Fails(k, nth, persistent); }, fault.result, expected, false);
      } else if (call == "FixErrorText") {
        // C0's mode point is bad at each of the three mode checks; the
        // answers without text turn those reports into code reports.
        for (unsigned long k = 1; k <= 3; ++k) {
          expected.push_back(PointReport("Ctrl", FixdbTagNotFound, 0, !Fails(k, nth, persistent)));
        }
        passed = false;
      }
      EXPECT_EQ(out.messages, expected);
      EXPECT_EQ(out.result, passed ? 1 : 0);
      break;
    }
    case Entry::Simulate:
      EXPECT_EQ(out.result, 1);
      EXPECT_TRUE(out.messages.empty());
      if (call == "EdaGetFloat" || call == "EdaGetAscii") {
        // Every failed fetch keeps exactly one value as it was.
        EXPECT_EQ(out.unchangedValues, static_cast<int>(out.hits));
      } else if (call == "EdaReadGroup" || call == "EdaWaitGroup") {
        // Gets see the group's last completed read: nothing is lost.
        EXPECT_EQ(out.unchangedValues, 0);
      }
      break;
    case Entry::Reset:
      EXPECT_TRUE(out.messages.empty());
      // The driver lets go of every group; FIX keeps those it refused to delete.
      EXPECT_EQ(FixdbLiveGroups(), out.hits);
      break;
    case Entry::Destroy:
      EXPECT_TRUE(out.messages.empty());
      EXPECT_TRUE(out.boxes.empty());
      break;
  }
}

TEST_P(FaultInjection, EveryNthCallFailingGivesTheDocumentedOutcome) {
  const Fault fault = GetParam();
  unsigned long faultyRuns = 0;
  for (bool persistent : {false, true}) {
    for (unsigned long nth = 1;; ++nth) {
      SCOPED_TRACE(std::string(persistent ? "persistent" : "transient") + " failure from call " +
                   std::to_string(nth));
      const Outcome outcome = Run(fault, nth, persistent);
      if (outcome.hits == 0) {
        break;  // the entry point no longer reaches the nth call
      }
      ++faultyRuns;
      ExpectDocumentedOutcome(fault, nth, persistent, outcome);
      if (HasFailure()) {
        return;  // one failing run says enough
      }
    }
  }
  if (fault.call == Allocation && fault.entry != Entry::Load) {
    // Only DCSLoad allocates: binding, starting, stepping and releasing do not.
    EXPECT_EQ(faultyRuns, 0U);
  } else {
    EXPECT_GT(faultyRuns, 0U) << "the entry point never made the call";
  }
  RecordProperty("faulty_runs", static_cast<int>(faultyRuns));
}

INSTANTIATE_TEST_SUITE_P(Table, FaultInjection, testing::ValuesIn(FaultTable()), FaultName);

// The case itself runs clean: every entry point succeeds and reports nothing.
class FaultFreeRun : public FaultInjection {};

TEST_F(FaultFreeRun, CaseRunsCleanWithoutFaults) {
  const Fault none{Entry::Destroy, "EdaCreateGroup", 0, Arrange::None};
  const Outcome outcome = Run(none, 1000, false);
  EXPECT_EQ(outcome.configured, 1);
  EXPECT_EQ(outcome.hits, 0U);
}

}  // namespace
