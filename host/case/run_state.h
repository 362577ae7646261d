// A run's state at a step boundary, saved as a readable TOML file and loaded
// to go on from it: the step reached, the model's variables, the values the
// host's record holds from the DCS, the state of a model's blocks, the frozen transmitters, and the
// simulated database in its own file format (every field, and each PID's
// integral). Numbers are written so that they read back to the same value,
// so a run from a saved state goes on exactly as the run that saved it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace host {

struct RunState {
  std::string casePath;
  int64_t step = 0;
  std::map<std::string, double> model;
  // The state of a model's blocks beyond their outputs, by block name; empty for the tank.
  std::vector<std::pair<std::string, std::vector<double>>> plant;
  // The platform of the binary that wrote each FMU block's bytes ("linux64"),
  // by block name, with the line it is on; older states have none.
  std::map<std::string, std::pair<std::string, int>> fmuPlatforms;
  std::vector<double> ctrlOutput;
  std::vector<double> ctrlTV1;
  std::vector<double> pvImport;
  std::vector<std::pair<size_t, double>> frozen;  // PV row, value
  std::string database;
  int databaseLine = 0;  // the line of the state file before the database's first line
};

// False with a message when the file cannot be written.
bool SaveState(const std::string& path, const RunState& state, std::string& error);
// False with "file:line: what is wrong".
bool LoadState(const std::string& path, RunState& state, std::string& error);

}  // namespace host
