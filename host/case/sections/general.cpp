// [case]: the run's name, length and step, whether the driver's first cycle
// initialises, the panels to plot, and the files the case names (a saved
// state, the simulated database, CSV tag tables). Files are named relative to
// the case file; this reader never reads the saved state or the database.
#include <filesystem>
#include <string>
#include <vector>

#include "case/sections/sections.h"
#include "system/paths.h"

namespace host {
namespace {

namespace fs = std::filesystem;

const char* const InCase = "[case]";

bool ReadRunSettings(CaseValues& values, const toml::table& table) {
  Case& loaded = values.loaded();
  std::string initCycle = "Perform";
  int64_t steps = loaded.steps;
  if (!values.Text(table, "name", loaded.name, false, InCase) ||
      !values.Text(table, "init_cycle", initCycle, false, InCase) ||
      !values.WholeNumber(table, "steps", steps, false, InCase) ||
      !values.Number(table, "step_seconds", loaded.stepSeconds, false, InCase)) {
    return false;
  }
  if (initCycle != "Perform" && initCycle != "Skip") {
    return values.Fail(*table.get("init_cycle"),
                       "init_cycle must be \"Perform\" or \"Skip\", not \"" + initCycle + "\"");
  }
  loaded.initCycle = initCycle == "Skip" ? 1 : 0;
  if (steps < 0 || steps > MaxSteps) {
    return values.Fail(*table.get("steps"), "steps must be between 0 and " + std::to_string(MaxSteps));
  }
  loaded.steps = static_cast<int>(steps);
  if (loaded.stepSeconds <= 0.0 || loaded.stepSeconds > MaxStepSeconds) {
    return values.Fail(*table.get("step_seconds"), "step_seconds must be above 0 and at most " + Shown(MaxStepSeconds) +
                                                       " (a day), not " + Shown(loaded.stepSeconds));
  }
  return true;
}

bool ReadPlot(CaseValues& values, const toml::table& table) {
  const toml::node* plot = table.get("plot");
  if (plot != nullptr) {
    values.loaded().plotOrigin = values.OriginOf(*plot);
  }
  return plot == nullptr || values.TextList(*plot, values.loaded().plot,
                                            "plot must be a list of texts, such as [\"level+LIC101.tv1\", \"valve\"]",
                                            "each entry of plot must be a text");
}

// A file the case names must be a file with something in it.
bool UsableFile(CaseValues& values, const std::string& file, const std::string& what) {
  std::error_code ec;
  const fs::file_status status = fs::status(PathOf(file), ec);
  const auto size = fs::is_regular_file(status) ? fs::file_size(PathOf(file), ec) : 0;
  if (ec || !fs::exists(status)) {
    return values.FailWith(file + ": cannot open the " + what);
  }
  if (fs::is_directory(status)) {
    return values.FailWith(file + ": is a folder, not a " + what);
  }
  if (size == 0) {
    return values.FailWith(file + ": the " + what + " is empty");
  }
  return true;
}

bool ReadNamedFiles(CaseValues& values, const toml::table& table) {
  Case& loaded = values.loaded();
  std::string state;
  if (!values.Text(table, "initial_state", state, false, InCase)) {
    return false;
  }
  loaded.initialState = state.empty() ? std::string() : values.Resolve(state);
  // The simulated database's file; a real FIX has its own database.
  std::string database;
  if (!values.Text(table, "database", database, false, InCase)) {
    return false;
  }
  if (!database.empty()) {
    loaded.database = values.Resolve(database);
    if (!UsableFile(values, loaded.database, "database file")) {
      return false;
    }
  }
  for (const TableDescriptor& kind : TableDescriptors()) {
    std::string file;
    if (!values.Text(table, kind.fileKey, file, false, InCase)) {
      return false;
    }
    if (!file.empty() && !ReadTagFile(values, kind, values.Resolve(file))) {
      return false;
    }
  }
  std::string matrix;
  if (!values.Text(table, "matrix", matrix, false, InCase)) {
    return false;
  }
  return matrix.empty() ||
         (UsableFile(values, values.Resolve(matrix), "matrix file") && ReadMatrixFile(values, values.Resolve(matrix)));
}

}  // namespace

bool ReadGeneral(CaseValues& values, const toml::table& table) {
  std::vector<const char*> keys = {"name",     "init_cycle", "steps",         "step_seconds",
                                   "database", "plot",       "initial_state", "matrix"};
  for (const TableDescriptor& kind : TableDescriptors()) {
    keys.push_back(kind.fileKey);
  }
  return values.OnlyKeys(table, keys, InCase) && ReadRunSettings(values, table) && ReadPlot(values, table) &&
         ReadNamedFiles(values, table);
}

}  // namespace host
