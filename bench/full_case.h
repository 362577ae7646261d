// A case at a share of the driver's full capacity, built against the simulated
// database and bound through the loaded driver, for the benchmarks and the
// instruction count. Bench-only code: it never runs inside the tests, and it
// stops the program with a message rather than measure a case that did not bind.
#pragma once

#include <memory>

#include "datadef/record.h"
#include "driver/driver_rules.h"
#include "run/driver_library.h"
#include "run/record_builder.h"

namespace bench {

// The driver's capacities: a full case has every table at its limit.
constexpr int FullCtrlRows = dcs::MaxCtrlRows;
constexpr int FullPVRows = dcs::MaxPVRows;
constexpr int FullPVImportRows = dcs::MaxPVImportRows;

struct CaseRows {
  int ctrl = 0;
  int pv = 0;
  int pvImport = 0;
  int Total() const { return ctrl + pv + pvImport; }
};

// Rows of every table at percent of its capacity.
CaseRows RowsAt(int percent);

// The entry points of the driver, loaded once per process from beside the
// running program, as the host loads it.
const host::DriverEntryPoints& Driver();

// One bound case: the database holds every point the rows name, the record is
// loaded (DCSLoad), "Init Cycle" is Perform, and DCSConfigure has bound it.
// The database's journal is off while the case lives.
class BoundCase {
 public:
  explicit BoundCase(int percent);
  // A case with these rows exactly (percent() is then -1).
  explicit BoundCase(const CaseRows& rows);
  ~BoundCase();  // DCSReset, DCSDestroy
  BoundCase(const BoundCase&) = delete;
  BoundCase& operator=(const BoundCase&) = delete;

  DCSDataDef* record() const { return record_; }
  const CaseRows& rows() const { return rows_; }
  int percent() const { return percent_; }
  // A number that changes whenever the binding does (new group and point
  // handles), so that floors recorded from an earlier binding are not reused.
  unsigned long binding() const { return binding_; }
  // To be called after the case was unbound and bound again.
  void Rebound();

 private:
  int percent_;
  unsigned long binding_ = 0;
  CaseRows rows_;
  std::unique_ptr<host::RecordBuilder> builder_;
  DCSDataDef* record_ = nullptr;
};

// The case bound now, rebuilt when another share is asked for: the driver
// holds one binding at a time.
BoundCase& CaseAt(int percent);
// Unbinds and frees the case bound now, if any.
void DropCase();

}  // namespace bench
