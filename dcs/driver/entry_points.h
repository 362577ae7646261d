// The nine entry points the host calls, one at a time on its one thread, in
// this order: DCSLoad; (host fills the record); DCSConfigure; DCSStart;
// DCSSimulate per step; DCSReset; DCSDestroy. DCSInitialize, DCSStop and
// DCSTimeZero may come at any time. The library exports nothing else.
#pragma once

#include <cstdint>

#include "datadef/record.h"

// The entry points are the library's only exports (the export list on each
// platform names them); on Linux they must stand out of the hidden default.
#if defined(_WIN32)
#define DCS_ENTRY
#else
#define DCS_ENTRY __attribute__((visibility("default")))
#endif

extern "C" {
// [any time] Does nothing.
DCS_ENTRY void DCSInitialize(void);
// [once, after load; record zeroed by the host] Declares the columns, then
// empties the ImportReader table. Always 0.
DCS_ENTRY int32_t DCSLoad(DCSDataDef* record);
// [after DCSLoad, rows filled] Binds the three tag tables to FIX. 1 = bound;
// 0 = failed, reported, and undone by DCSReset.
DCS_ENTRY int32_t DCSConfigure(DCSDataDef* record);
// [after a DCSConfigure that returned 1] Runs the initialization cycle unless
// "Init Cycle" says otherwise; a one-byte truth value.
DCS_ENTRY uint8_t DCSStart(DCSDataDef* record);
// [once per host step, binding in force] Exchanges values both ways. Always 1.
DCS_ENTRY int32_t DCSSimulate(DCSDataDef* record);
// [any time] Does nothing.
DCS_ENTRY void DCSStop(void);
// [any time] Does nothing.
DCS_ENTRY void DCSTimeZero(void);
// [any time, any number of times] Deletes the groups of the binding in force.
DCS_ENTRY void DCSReset(DCSDataDef* record);
// [last, after DCSReset when bound] Releases the declarations and GenData;
// leaves FIX groups and the driver state alone.
DCS_ENTRY void DCSDestroy(DCSDataDef* record);
}
