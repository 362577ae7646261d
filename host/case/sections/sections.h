// The readers of a case file's sections, one file each, and the form a section
// takes at the top of the file. Each reader reads one table into the Case its
// CaseValues fills; it never reads another section's key.
#pragma once

#include <string>

#include "case/case.h"
#include "case/case_values.h"

namespace host {

// Reads one table of a section: [case], [model], or one of [[event]].
using SectionReader = bool (*)(CaseValues& values, const toml::table& table);

// How a section's key appears at the top of the case file.
enum class SectionForm {
  Required,  // one table, always there: [case]
  Optional,  // one table, or nothing: [model]
  Array,     // any number of tables, each read alone: [[event]]
};

struct Section {
  const char* key;
  SectionForm form;
  SectionReader read;
};

// [case]: the run's settings, the files it names and the panels to plot.
bool ReadGeneral(CaseValues& values, const toml::table& table);
// [model]: the process model's type and parameters.
bool ReadModel(CaseValues& values, const toml::table& table);
// [[block]]: one block of a "blocks" model, written in the case.
bool ReadBlock(CaseValues& values, const toml::table& table);
// The [[block]] tables of the model file [model] names.
bool ReadModelFile(CaseValues& values, const std::string& file);
// [tieback]: the settings of a "tieback" model's generated loops.
bool ReadTieback(CaseValues& values, const toml::table& table);
// [[controller]], [[pv]], [[pv_import]]: one row written in the case.
template <TableKind kind>
bool ReadTagRow(CaseValues& values, const toml::table& row);
// controllers = "file.csv" and the like: every row of a CSV tag table.
bool ReadTagFile(CaseValues& values, const TableDescriptor& table, const std::string& file);
// [[expect]]: one judgement of the run.
bool ReadExpectation(CaseValues& values, const toml::table& table);
// [[malfunction]]: one instructor's fault.
bool ReadMalfunction(CaseValues& values, const toml::table& table);
// [[loop_check]]: automatic checks of the loops a pattern names.
bool ReadLoopCheck(CaseValues& values, const toml::table& table);
// [[alarm_check]]: alarm checks of the points a pattern names.
bool ReadAlarmCheck(CaseValues& values, const toml::table& table);
// matrix = "ce.csv": the cause-and-effect matrix; [matrix]: its settings.
bool ReadMatrixFile(CaseValues& values, const std::string& file);
bool ReadMatrix(CaseValues& values, const toml::table& table);
// [report]: the heading of the report's loop sheets.
bool ReadReport(CaseValues& values, const toml::table& table);
// [[event]]: one operator's change.
bool ReadEvent(CaseValues& values, const toml::table& table);

}  // namespace host
