// The read-only binding check of `dcshost check`: every point the driver will
// bind, defined and resolved in groups of dcshost's own, with any FIX. It
// never sets a value or writes a group.
#pragma once

#include <string>
#include <vector>

#include "case/case.h"
#include "fix/fix_library.h"

namespace host {

// Every problem found, one line each: "TABLE row N (file:line): what".
std::vector<std::string> BindingProblems(const Case& c, const FixLibrary& fix);

// Rows that write the same FIX point (two PV rows, or a PV row and one of a
// controller's points), one line each: the case binds, but one of the two
// writes is lost at every step. Reading a point through several PV-import
// rows is fine and not listed.
std::vector<std::string> SharedWrites(const Case& c);

// What the loop sheets will lack: for the description (A_DESC) and the
// engineering units (A_EGUDESC), the controllers' and PV rows' tags whose
// block in this FIX has no such field, one line per field. Resolves only.
std::vector<std::string> MissingSheetFields(const Case& c, const FixLibrary& fix);

}  // namespace host
