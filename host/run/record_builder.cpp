// The host's record, built row by row.
#include "run/record_builder.h"

#include <cstring>

#include "platform/host_services_api.h"

namespace host {

RecordBuilder::RecordBuilder() { std::memset(&record_, 0, sizeof record_); }

char* RecordBuilder::Keep(const std::string& text) {
  texts_.push_back(text);
  return &texts_.back()[0];
}

DCSCell* RecordBuilder::Cells(const std::string& node, const std::string& tag, const std::string& field) {
  std::vector<DCSCell> cells(3);
  std::memset(cells.data(), 0, cells.size() * sizeof(DCSCell));
  cells[0].StrValue = Keep(node);
  cells[1].StrValue = Keep(tag);
  cells[2].StrValue = Keep(field);
  cells_.push_back(std::move(cells));
  return cells_.back().data();
}

int32_t RecordBuilder::AddCtrl(const CtrlRowValues& values) {
  DCSCtrlRow row;
  std::memset(&row, 0, sizeof row);
  row.Active = values.active;
  row.ModeValue = values.mode;
  row.OutputValue = values.output;
  row.TV1Value = values.tv1;
  row.Data = Cells(values.node, values.tag, values.field);
  ctrl_.push_back(row);
  return static_cast<int32_t>(ctrl_.size() - 1);
}

static DCSPVRow MakePVRow(const PVRowValues& values, DCSCell* cells) {
  DCSPVRow row;
  std::memset(&row, 0, sizeof row);
  row.Active = values.active;
  row.Value = values.value;
  row.Data = cells;
  return row;
}

int32_t RecordBuilder::AddPV(const PVRowValues& values) {
  pv_.push_back(MakePVRow(values, Cells(values.node, values.tag, values.field)));
  return static_cast<int32_t>(pv_.size() - 1);
}

int32_t RecordBuilder::AddPVImport(const PVRowValues& values) {
  pvImport_.push_back(MakePVRow(values, Cells(values.node, values.tag, values.field)));
  return static_cast<int32_t>(pvImport_.size() - 1);
}

bool RecordBuilder::SetInitCycle(int32_t value) {
  if (record_.GenData == nullptr) {
    const int32_t columns = record_.GenDefCnt > 0 ? record_.GenDefCnt : 1;
    auto* cells = static_cast<DCSCell*>(Plinth_new(static_cast<size_t>(columns) * sizeof(DCSCell)));
    if (cells == nullptr) {
      return false;
    }
    std::memset(cells, 0, static_cast<size_t>(columns) * sizeof(DCSCell));
    record_.GenData = cells;
  }
  record_.GenData[0].IntValue = value;
  return true;
}

DCSDataDef* RecordBuilder::record() {
  record_.CtrlRowCnt = static_cast<int32_t>(ctrl_.size());
  record_.CtrlRows = ctrl_.empty() ? nullptr : ctrl_.data();
  record_.PVRowCnt = static_cast<int32_t>(pv_.size());
  record_.PVRows = pv_.empty() ? nullptr : pv_.data();
  record_.PVImportRowCnt = static_cast<int32_t>(pvImport_.size());
  record_.PVImportRows = pvImport_.empty() ? nullptr : pvImport_.data();
  return &record_;
}

}  // namespace host
