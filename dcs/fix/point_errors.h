// Point error reporting: asks FIX for each point's error code and reports a
// bad point with its table's key and either FIX's text for the code or the
// bare code, followed by the 0-based row. Every check stops at its first bad
// point, so one run reports at most one point.
#pragma once

#include <cstdint>

#include "datadef/record.h"

namespace dcs {

// Message keys of a tag table's point reports.
struct PointErrorKeys {
  const char* withText;
  const char* withCode;
};
extern const PointErrorKeys CtrlPointKeys;
extern const PointErrorKeys PVPointKeys;
extern const PointErrorKeys PVImportPointKeys;

// True when the row's point is good; false after reporting it.
bool CheckPointError(int32_t group, const int32_t* points, int32_t row, const PointErrorKeys& keys);

// [after a resolve or group write and its wait] True when every examined
// point of the first count rows is good. A count of 0 or below checks nothing.
bool CheckCtrlPoints(int32_t count);                                // field, TV1 and mode point of every row
bool CheckCtrlValuePoints(int32_t count);                           // field and TV1 point of every row
bool CheckCtrlModePoints(const DCSDataDef* record, int32_t count);  // active rows only
bool CheckPVPoints(int32_t count);
bool CheckPVImportPoints(int32_t count);

}  // namespace dcs
