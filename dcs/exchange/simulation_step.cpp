// The per-step exchange. Runs once per host step: three group operations, each
// waited for; allocates nothing; compares no text but each controller's FIELD
// with "F_CV". Without a binding in force it makes no FIX call at all.
#include "exchange/simulation_step.h"

#include "datadef/access.h"
#include "driver/driver_state.h"
#include "driver/row_limits.h"
#include "exchange/converters.h"
#include "platform/fix.h"

namespace dcs {
namespace {

constexpr int32_t FieldColumn = 2;
// FIX holds a controller's output in percent, the simulation a fraction.
constexpr double PercentToFraction = 0.01;

// True when the text is exactly "F_CV": the five bytes with the NUL, compared
// one at a time so that a shorter text is never read past its end, and
// without a call into the C library for each controller at each step.
bool IsFCV(const char* field) {
  return field[0] == 'F' && field[1] == '_' && field[2] == 'C' && field[3] == 'V' && field[4] == '\0';
}

void ReadGroupAndWait(int32_t group) {
  platform::ReadGroup(group);
  platform::WaitGroup(group);
}

void ImportValues(DCSDataDef* record, int32_t count) {
  ReadGroupAndWait(DriverState.PVImportGroupHandle);
  DCSPVRow* rows = GetPVImportRows(record);
  for (int32_t row = 0; row < count; ++row) {
    if (GetActive(rows[row]) != 1) {
      continue;
    }
    int16_t status = -1;  // stays non-zero for a row without a reader
    const float value = ReadImportValue(row, status);
    if (status == 0) {
      SetPVImportValue(rows[row], static_cast<double>(value));
    }
  }
}

void ControllerValues(DCSDataDef* record, int32_t count) {
  const int32_t group = DriverState.CtrlGroupHandle;
  ReadGroupAndWait(group);
  DCSCtrlRow* rows = GetCtrlRows(record);
  for (int32_t row = 0; row < count; ++row) {
    float value = 0.0F;
    if (GetActive(rows[row]) == 1 && platform::GetFloat(group, DriverState.CtrlFieldPoint[row], value) == 0) {
      SetCtrlOutputValue(rows[row], static_cast<double>(value) * PercentToFraction);
    }
    // A row whose cells or FIELD text are missing is not "F_CV".
    const char* field = GetCellText(rows[row], FieldColumn);
    if (field != nullptr && IsFCV(field) && platform::GetFloat(group, DriverState.CtrlTV1Point[row], value) == 0) {
      SetCtrlTV1Value(rows[row], static_cast<double>(value));
    }
  }
}

void ProcessValues(const DCSDataDef* record, int32_t count) {
  const int32_t group = DriverState.PVGroupHandle;
  const DCSPVRow* rows = GetPVRows(record);
  for (int32_t row = 0; row < count; ++row) {
    if (GetActive(rows[row]) == 1) {
      platform::SetFloat(group, DriverState.PVPoint[row], static_cast<float>(GetPVValue(rows[row])));
    }
  }
  platform::WriteGroup(group);
  platform::WaitGroup(group);
}

}  // namespace

void SimulationStep(DCSDataDef* record) {
  if (!BindingInForce()) {
    return;
  }
  const RowCounts counts = TakeRowCounts(record);
  ImportValues(record, counts.pvImport);
  ControllerValues(record, counts.ctrl);
  ProcessValues(record, counts.pv);
}

}  // namespace dcs
