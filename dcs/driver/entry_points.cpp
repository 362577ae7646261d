// The nine exported entry points. Each frames the work of one subsystem and
// fixes the result the host expects; no entry point keeps the record pointer.
#include "driver/entry_points.h"

#include "datadef/declarations.h"
#include "exchange/converters.h"
#include "exchange/initialization.h"
#include "exchange/simulation_step.h"
#include "fix/configuration.h"
#include "platform/host.h"

extern "C" {

void DCSInitialize(void) {}

int32_t DCSLoad(DCSDataDef* record) {
  dcs::DeclareColumns(record);
  dcs::ClearImportReaders();
  return 0;
}

int32_t DCSConfigure(DCSDataDef* record) { return dcs::ConfigurePoints(record); }

uint8_t DCSStart(DCSDataDef* record) { return dcs::StartRun(record); }

int32_t DCSSimulate(DCSDataDef* record) {
  dcs::SimulationStep(record);
  return 1;
}

void DCSStop(void) {}

void DCSTimeZero(void) {}

void DCSReset(DCSDataDef* record) { dcs::ResetPoints(record); }

void DCSDestroy(DCSDataDef* record) {
  const dcs::platform::HostTextScope text;
  (void)dcs::ReleaseDeclarations(record);
}

}  // extern "C"
