// Saved run states in TOML.
#include "case/run_state.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include "case/case.h"
#include "case/toml_file.h"
#include "system/output_file.h"

namespace host {
namespace {

// The shortest text that reads back to the same double.
std::string Exact(double value) {
  char text[40];
  for (int digits = 15; digits <= 17; ++digits) {
    (void)std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) {
      break;
    }
  }
  std::string s = text;
  // TOML needs a float to look like one.
  if (s.find_first_of(".eEn") == std::string::npos) {
    s += ".0";
  }
  return s;
}

// A TOML basic string: quotes and backslashes escaped.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
  }
  return quoted + "\"";
}

// A key as written: bare where TOML allows ("level"), else quoted ("TANK.level").
std::string Key(const std::string& name) {
  const bool bare = !name.empty() && name.find_first_not_of(
                                         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                         "0123456789_-") == std::string::npos;
  return bare ? name : Quoted(name);
}

std::string List(const std::vector<double>& values) {
  std::string text = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    text += (i == 0 ? "" : ", ") + Exact(values[i]);
  }
  return text + "]";
}

bool Numbers(const toml::table& table, const char* key, std::vector<double>& out, const std::string& path,
             std::string& error) {
  const toml::node* node = table.get(key);
  if (node == nullptr) {
    return true;
  }
  const toml::array* values = node->as_array();
  if (values == nullptr) {
    error = path + ":" + std::to_string(node->source().begin.line) + ": " + key + " must be a list of numbers";
    return false;
  }
  for (const toml::node& value : *values) {
    if (!value.is_number() || !std::isfinite(*value.value<double>())) {
      error = path + ":" + std::to_string(value.source().begin.line) + ": " + key + " must hold finite numbers only";
      return false;
    }
    out.push_back(*value.value<double>());
  }
  return true;
}

}  // namespace

bool SaveState(const std::string& path, const RunState& state, std::string& error) {
  std::ostringstream file;
  file << "# dcshost state after step " << state.step << " of " << state.casePath << "\n"
       << "# Go on from it with `dcshost run CASE --from-state " << path << "` or initial_state in the case.\n"
       << "[state]\nstep = " << state.step << "\ncase = " << Quoted(state.casePath) << "\n\n[model]\n";
  for (const auto& variable : state.model) {
    file << Key(variable.first) << " = " << Exact(variable.second) << "\n";
  }
  if (!state.plant.empty()) {
    file << "\n# The blocks' state beyond their outputs, by block name.\n[plant]\n";
    for (const auto& block : state.plant) {
      file << Key(block.first) << " = " << List(block.second) << "\n";
    }
  }
  if (!state.fmuPlatforms.empty()) {
    file << "\n# The platform of the binary that wrote each FMU's state, which only such a binary reads.\n"
         << "[fmu_platform]\n";
    for (const auto& fmu : state.fmuPlatforms) {
      file << Key(fmu.first) << " = " << Quoted(fmu.second.first) << "\n";
    }
  }
  file << "\n# The values the host's record holds from the DCS, row by row.\n[record]\n"
       << "controller_output = " << List(state.ctrlOutput) << "\n"
       << "controller_tv1 = " << List(state.ctrlTV1) << "\n"
       << "pv_import = " << List(state.pvImport) << "\n\n[malfunctions]\n"
       << "# frozen transmitters: [PV row, value held]\nfrozen = [";
  for (size_t i = 0; i < state.frozen.size(); ++i) {
    file << (i == 0 ? "" : ", ") << "[" << state.frozen[i].first << ", " << Exact(state.frozen[i].second) << "]";
  }
  file << "]\n\n# The simulated database, in its file format.\n[database]\nblocks = '''\n" << state.database << "'''\n";
  return WriteWholeFile(path, "the state", file.str(), error);
}

bool LoadState(const std::string& path, RunState& state, std::string& error) {
  toml::table root;
  if (!ParseTomlFile(path, "the state file", root, error)) {
    return false;
  }
  const auto step = root["state"]["step"].value<int64_t>();
  const auto blocks = root["database"]["blocks"].value<std::string>();
  if (!step || *step < 0 || !blocks) {
    error = path + ": not a dcshost state (it needs [state] step and [database] blocks)";
    return false;
  }
  if (*step > MaxSteps) {
    error = path + ":" + std::to_string(root["state"]["step"].node()->source().begin.line) + ": [state] step " +
            std::to_string(*step) + " is beyond the most steps a run takes (" + std::to_string(MaxSteps) + ")";
    return false;
  }
  state.step = *step;
  state.database = *blocks;
  // The blocks' text begins on the line after `blocks = '''`.
  state.databaseLine = static_cast<int>(root["database"]["blocks"].node()->source().begin.line);
  if (const auto from = root["state"]["case"].value<std::string>()) {
    state.casePath = *from;
  }
  if (const toml::table* model = root["model"].as_table()) {
    for (const auto& entry : *model) {
      const auto value = entry.second.value<double>();
      if (!value || !std::isfinite(*value)) {
        error = path + ":" + std::to_string(entry.second.source().begin.line) +
                ": a model variable must be a finite number";
        return false;
      }
      state.model[std::string(entry.first.str())] = *value;
    }
  }
  if (const toml::table* plant = root["plant"].as_table()) {
    for (const auto& entry : *plant) {
      state.plant.emplace_back(std::string(entry.first.str()), std::vector<double>());
      if (!Numbers(*plant, state.plant.back().first.c_str(), state.plant.back().second, path, error)) {
        return false;
      }
    }
  }
  if (const toml::table* platforms = root["fmu_platform"].as_table()) {
    for (const auto& entry : *platforms) {
      const auto platform = entry.second.value<std::string>();
      const int line = static_cast<int>(entry.second.source().begin.line);
      if (!platform) {
        error = path + ":" + std::to_string(line) + ": an FMU's platform is text, such as \"linux64\"";
        return false;
      }
      state.fmuPlatforms[std::string(entry.first.str())] = {*platform, line};
    }
  }
  if (const toml::table* record = root["record"].as_table()) {
    if (!Numbers(*record, "controller_output", state.ctrlOutput, path, error) ||
        !Numbers(*record, "controller_tv1", state.ctrlTV1, path, error) ||
        !Numbers(*record, "pv_import", state.pvImport, path, error)) {
      return false;
    }
  }
  if (const toml::array* frozen = root["malfunctions"]["frozen"].as_array()) {
    for (const toml::node& pair : *frozen) {
      const toml::array* p = pair.as_array();
      if (p == nullptr || p->size() != 2 || !(*p)[0].is_integer() || *(*p)[0].value<int64_t>() < 0 ||
          !(*p)[1].is_number() || !std::isfinite(*(*p)[1].value<double>())) {
        error = path + ":" + std::to_string(pair.source().begin.line) +
                ": frozen holds [PV row, value] pairs: a row from 0, a finite value";
        return false;
      }
      state.frozen.emplace_back(static_cast<size_t>(*(*p)[0].value<int64_t>()), *(*p)[1].value<double>());
    }
  }
  return true;
}

}  // namespace host
