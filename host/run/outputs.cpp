// The run's outputs against its inputs and each other.
#include "run/outputs.h"

#include <set>
#include <utility>
#include <vector>

#include "system/output_file.h"

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
  if (!c.model.file.empty()) {
    inputs.emplace_back(c.model.file, "the case's model file");
  }
  if (!c.initialState.empty()) {
    inputs.emplace_back(c.initialState, "the case's initial state");
  }
  if (!options.fromState.empty()) {
    inputs.emplace_back(options.fromState, "--from-state");
  }
  return inputs;
}

namespace {

std::string Refusal(const std::string& path, const std::string& option, const std::string& input,
                    const std::string& what) {
  return option + " " + path + " names " + what + " (" + input +
         "): an output never replaces what the run reads; choose another file";
}

}  // namespace

std::string ReadByTheCase(const Case& c, const std::string& path, const std::string& option) {
  for (const auto& [input, what] : Inputs(c, RunOptions())) {
    if (SameFile(path, input)) {
      return Refusal(path, option, input, what);
    }
  }
  return std::string();
}

std::string OutputConflict(const Case& c, const RunOptions& options) {
  const std::vector<std::pair<std::string, std::string>> outputs = {
      {options.tracePath, "--trace"}, {options.plotPath, "--plot"}, {options.saveState, "--save-state"}};
  const auto inputs = Inputs(c, options);
  for (size_t i = 0; i < outputs.size(); ++i) {
    const auto& [path, option] = outputs[i];
    if (path.empty()) {
      continue;
    }
    for (const auto& [input, what] : inputs) {
      // A saved state may take the place of the state the run goes on from.
      const bool stateOverState = option == "--save-state" && what == "--from-state";
      if (!stateOverState && SameFile(path, input)) {
        return Refusal(path, option, input, what);
      }
    }
    for (size_t k = i + 1; k < outputs.size(); ++k) {
      if (!outputs[k].first.empty() && SameFile(path, outputs[k].first)) {
        return option + " and " + outputs[k].second + " name the same file (" + path +
               "): one would replace the other; choose two files";
      }
    }
  }
  return std::string();
}

}  // namespace host
