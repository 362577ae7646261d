// Builds the benchmark cases: a realistic mix of controller fields (F_CV,
// H_DV, other float fields) and PV-import fields (F_CV, F_AUTO, A_AUTO,
// A_ROUT), some rows inactive, every point present in the simulated database.
#include "full_case.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fixdb_control.h"
#include "plinth_control.h"
#include "user32_control.h"

namespace bench {
namespace {

// One row in this many is inactive, as in a case where some loops are off.
constexpr int InactiveEvery = 20;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  std::exit(2);
}

int16_t ActiveFlag(int row) { return row % InactiveEvery == InactiveEvery - 1 ? 0 : 1; }

const char* CtrlField(int row) {
  static const char* const Fields[] = {"F_CV", "H_DV", "F_CV", "F_OUT", "F_CV", "F_SP"};
  return Fields[row % 6];
}

const char* ImportField(int row) {
  static const char* const Fields[] = {"F_CV", "F_AUTO", "A_AUTO", "A_ROUT"};
  return Fields[row % 4];
}

void AddController(host::RecordBuilder& builder, int row) {
  const std::string tag = "LIC" + std::to_string(row);
  const std::string field = CtrlField(row);
  FixdbSetFloat("SCADA1", tag.c_str(), "F_CV", 40.0F + static_cast<float>(row % 20));
  FixdbSetFloat("SCADA1", tag.c_str(), "F_TV1", 50.0F);
  FixdbSetText("SCADA1", tag.c_str(), "A_AUTO", row % 2 == 0 ? "AUTO" : "MANL");
  // The row's output point on a field of its own needs that field in the
  // database (F_CV is there already, and an H_DV row binds F_CV).
  const dcs::CtrlPointFields fields = dcs::CtrlPointFieldsOf(field.c_str());
  if (fields.output != std::string(dcs::FieldCV)) {
    FixdbSetFloat("SCADA1", tag.c_str(), fields.output, 25.0F);
  }
  builder.AddCtrl({"SCADA1", tag, field, ActiveFlag(row), row % 2 == 0 ? 1.0 : 0.0, 0.4, 50.0});
}

void AddPV(host::RecordBuilder& builder, int row) {
  const std::string tag = "AI" + std::to_string(row);
  FixdbSetFloat("SCADA1", tag.c_str(), "F_CV", 0.0F);
  builder.AddPV({"SCADA1", tag, "F_CV", ActiveFlag(row), 0.1 * row});
}

void AddPVImport(host::RecordBuilder& builder, int row) {
  const std::string tag = "DI" + std::to_string(row);
  const std::string field = ImportField(row);
  if (field == "A_AUTO") {
    FixdbSetText("SCADA1", tag.c_str(), "A_AUTO", row % 8 == 2 ? "AUTO" : "MANL");
  } else if (field == "A_ROUT") {
    FixdbSetText("SCADA1", tag.c_str(), "A_ROUT", row % 8 == 3 ? "YES" : "NO");
  } else if (field == "F_AUTO") {
    FixdbSetFloat("SCADA1", tag.c_str(), "F_AUTO", static_cast<float>(row % 2));
  } else {
    FixdbSetFloat("SCADA1", tag.c_str(), field.c_str(), 0.5F * static_cast<float>(row));
  }
  builder.AddPVImport({"SCADA1", tag, field, ActiveFlag(row), 0.0});
}

std::unique_ptr<host::DriverLibrary>& LoadedDriver() {
  static std::unique_ptr<host::DriverLibrary> driver;
  return driver;
}

unsigned long NextBinding() {
  static unsigned long bindings = 0;
  return ++bindings;
}

std::unique_ptr<BoundCase>& CurrentCase() {
  static std::unique_ptr<BoundCase> current;
  return current;
}

}  // namespace

CaseRows RowsAt(int percent) {
  CaseRows rows;
  rows.ctrl = FullCtrlRows * percent / 100;
  rows.pv = FullPVRows * percent / 100;
  rows.pvImport = FullPVImportRows * percent / 100;
  return rows;
}

const host::DriverEntryPoints& Driver() {
  auto& driver = LoadedDriver();
  if (!driver) {
    PlinthSetEcho(0);
    User32SetEcho(0);
    std::string error;
    driver = host::DriverLibrary::Load(host::DefaultDriverPath(), error);
    if (!driver) {
      Fail(error);
    }
  }
  return driver->entry();
}

BoundCase::BoundCase(int percent) : BoundCase(RowsAt(percent)) { percent_ = percent; }

BoundCase::BoundCase(const CaseRows& rows) : percent_(-1), rows_(rows) {
  const host::DriverEntryPoints& dcs = Driver();
  FixdbReset();
  builder_ = std::make_unique<host::RecordBuilder>();
  dcs.DCSLoad(builder_->record());
  for (int row = 0; row < rows_.ctrl; ++row) {
    AddController(*builder_, row);
  }
  for (int row = 0; row < rows_.pv; ++row) {
    AddPV(*builder_, row);
  }
  for (int row = 0; row < rows_.pvImport; ++row) {
    AddPVImport(*builder_, row);
  }
  if (!builder_->SetInitCycle(0)) {
    Fail("no GenData for the case");
  }
  record_ = builder_->record();
  FixdbSetJournal(0);
  PlinthClearMessages();
  if (dcs.DCSConfigure(record_) != 1) {
    Fail("the case of " + std::to_string(rows_.Total()) + " rows did not bind (" +
         (PlinthMessageCount() > 0 ? PlinthMessageKey(0) : "no message") + ")");
  }
  binding_ = NextBinding();
  // Bring FIX into step once, so that every step reads settled values.
  if (dcs.DCSStart(record_) != 1 || dcs.DCSSimulate(record_) != 1 || PlinthMessageCount() != 0) {
    Fail("the case of " + std::to_string(rows_.Total()) + " rows did not start cleanly");
  }
}

BoundCase::~BoundCase() {
  const host::DriverEntryPoints& dcs = Driver();
  dcs.DCSReset(record_);
  dcs.DCSDestroy(record_);
  builder_.reset();
}

void BoundCase::Rebound() { binding_ = NextBinding(); }

BoundCase& CaseAt(int percent) {
  auto& current = CurrentCase();
  if (!current || current->percent() != percent) {
    current.reset();
    current = std::make_unique<BoundCase>(percent);
  }
  return *current;
}

void DropCase() { CurrentCase().reset(); }

}  // namespace bench
