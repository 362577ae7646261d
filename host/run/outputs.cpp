// The run's inputs and outputs, for the plan that checks them.
#include "run/outputs.h"

#include <set>
#include <utility>
#include <vector>

#include "case/case_values.h"

namespace host {

std::vector<std::pair<std::string, std::string>> Inputs(const Case& c, const RunOptions& options) {
  std::vector<std::pair<std::string, std::string>> inputs = {{c.path, "the case"}};
  std::set<std::string> tables;
  const auto addTables = [&](const auto& rows) {
    for (const auto& row : rows) {
      if (row.origin.file != c.path && tables.insert(row.origin.file).second) {
        inputs.emplace_back(row.origin.file, "the case's table");
      }
    }
  };
  addTables(c.controllers);
  addTables(c.pv);
  addTables(c.pvImport);
  if (!c.database.empty()) {
    inputs.emplace_back(c.database, "the case's database");
  }
  if (!c.matrix.path.empty()) {
    inputs.emplace_back(c.matrix.path, "the case's matrix");
  }
  if (!c.model.file.empty()) {
    inputs.emplace_back(c.model.file, "the case's model file");
  }
  for (const CaseBlock& block : c.model.blocks) {
    const auto file = block.keys.find("file");
    if (block.kind == "fmu" && file != block.keys.end() && file->second.form == BlockValue::Form::Text) {
      inputs.emplace_back(ResolveBeside(block.origin.file, file->second.text), "the FMU of block " + block.name);
    }
  }
  if (!c.initialState.empty()) {
    inputs.emplace_back(c.initialState, "the case's initial state");
  }
  if (!options.fromState.empty()) {
    inputs.emplace_back(options.fromState, "--from-state");
  }
  return inputs;
}

void ReadCase(const Case& c, OutputPlan& plan) {
  for (const auto& [path, what] : Inputs(c, RunOptions())) {
    plan.Read(path, what);
  }
}

OutputPlan RunOutputs(const Case& c, const RunOptions& options) {
  OutputPlan plan;
  for (const auto& [path, what] : Inputs(c, options)) {
    plan.Read(path, what);
  }
  plan.Write(options.tracePath, "--trace");
  plan.Write(options.tracePath.empty() ? std::string() : options.tracePath + ".partial", "--trace's partial file");
  plan.Write(options.plotPath, "--plot");
  plan.Write(options.saveState, "--save-state", "--from-state");  // a state may go on from itself
  plan.Write(options.verdictsPath, "--verdicts");
  plan.WriteReport(options.reportFolder, "--report");
  return plan;
}

}  // namespace host
