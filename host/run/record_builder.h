// Builds and owns a host record: the DCSDataDef, its rows, their cells and
// texts, and GenData (allocated with Plinth_new, as the host does, and freed
// by the driver at DCSDestroy). Pointers in the record stay valid while the
// builder lives; record() brings counts and row pointers up to date.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "datadef/record.h"

namespace host {

struct CtrlRowValues {
  std::string node, tag, field;
  int16_t active = 1;
  double mode = 1.0;    // 1.0 automatic, anything else manual
  double output = 0.0;  // a fraction
  double tv1 = 0.0;
};

struct PVRowValues {
  std::string node, tag, field;
  int16_t active = 1;
  double value = 0.0;
};

class RecordBuilder {
 public:
  RecordBuilder();
  RecordBuilder(const RecordBuilder&) = delete;
  RecordBuilder& operator=(const RecordBuilder&) = delete;

  int32_t AddCtrl(const CtrlRowValues& values);
  int32_t AddPV(const PVRowValues& values);
  int32_t AddPVImport(const PVRowValues& values);
  // Supplies GenData (one cell per declared general column, with Plinth_new)
  // if the record has none yet, and sets "Init Cycle" (0 Perform, 1 Skip).
  bool SetInitCycle(int32_t value);

  DCSDataDef* record();
  DCSCtrlRow& ctrl(int32_t row) { return ctrl_[static_cast<size_t>(row)]; }
  DCSPVRow& pv(int32_t row) { return pv_[static_cast<size_t>(row)]; }
  DCSPVRow& pvImport(int32_t row) { return pvImport_[static_cast<size_t>(row)]; }

 private:
  DCSCell* Cells(const std::string& node, const std::string& tag, const std::string& field);
  char* Keep(const std::string& text);

  DCSDataDef record_{};
  std::vector<DCSCtrlRow> ctrl_;
  std::vector<DCSPVRow> pv_;
  std::vector<DCSPVRow> pvImport_;
  std::deque<std::vector<DCSCell>> cells_;
  std::deque<std::string> texts_;
};

}  // namespace host
