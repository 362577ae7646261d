// [report]: what the report's loop sheets carry in their heading, as a loop
// check sheet of an acceptance test does: the project, the unit, the
// document's number and its revision. Each is a text; one left out is an
// empty field on the sheet.
#include "case/sections/sections.h"

namespace host {

bool ReadReport(CaseValues& values, const toml::table& table) {
  ReportHeading& heading = values.loaded().report;
  const char* const where = "[report]";
  return values.OnlyKeys(table, {"project", "unit", "document", "revision"}, where) &&
         values.Text(table, "project", heading.project, false, where) &&
         values.Text(table, "unit", heading.unit, false, where) &&
         values.Text(table, "document", heading.document, false, where) &&
         values.Text(table, "revision", heading.revision, false, where);
}

}  // namespace host
