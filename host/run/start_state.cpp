// Saved states: where a run starts from and what it leaves to go on from.
#include "run/start_state.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "system/exit_status.h"
#include "system/output_file.h"

namespace host {
namespace {

// Why the saved state does not fit the case, or empty: its rows must be the
// case's rows, and its frozen transmitters PV rows a freeze acts on.
std::string Misfit(const Case& c, const std::string& path, const RunState& state) {
  const std::string from = state.casePath.empty() || SameFile(state.casePath, c.path)
                               ? std::string()
                               : " (it was saved from " + state.casePath + ")";
  const auto counts = [](size_t controllers, size_t imports) {
    return std::to_string(controllers) + " controller rows and " + std::to_string(imports) + " PV-import rows";
  };
  if (state.ctrlOutput.size() != c.controllers.size() || state.ctrlTV1.size() != c.controllers.size() ||
      state.pvImport.size() != c.pvImport.size()) {
    return path + ": the state holds " + counts(state.ctrlOutput.size(), state.pvImport.size()) + ", the case " +
           counts(c.controllers.size(), c.pvImport.size()) + from +
           ": a state goes on only with the case that saved it";
  }
  for (const auto& frozen : state.frozen) {
    const bool freezable =
        std::any_of(c.malfunctions.begin(), c.malfunctions.end(), [&frozen](const CaseMalfunction& m) {
          return m.kind == CaseMalfunction::Kind::Frozen && m.pvRow == frozen.first;
        });
    if (!freezable) {
      return path + ": the state holds a frozen transmitter on " + RowLabel("PV", static_cast<size_t>(frozen.first)) +
             ", which no malfunction of the case freezes" + from;
    }
  }
  return std::string();
}

// The simulated database's "NAME:LINE: what", its line counted in the state file.
std::string InStateFile(const std::string& message, const std::string& path, int offset) {
  const std::string prefix = path + ":";
  if (message.compare(0, prefix.size(), prefix) != 0) {
    return message;
  }
  size_t end = prefix.size();
  while (end < message.size() && std::isdigit(static_cast<unsigned char>(message[end])) != 0) {
    ++end;
  }
  if (end == prefix.size()) {
    return message;
  }
  const long line = std::strtol(message.c_str() + prefix.size(), nullptr, 10);
  return prefix + std::to_string(line + offset) + message.substr(end);
}

}  // namespace

bool LoadStart(const std::string& path, Session& session, RunState& state, std::ostream& out) {
  std::string error;
  if (!session.fix().IsSimulated()) {
    Say(out, "a saved state holds the simulated database; this FIX keeps its own state");
    return false;
  }
  if (!LoadState(path, state, error)) {
    Say(out, error);
    return false;
  }
  if (const std::string misfit = Misfit(session.scenario(), path, state); !misfit.empty()) {
    Say(out, misfit);
    return false;
  }
  char dbError[512] = "";
  if (session.fix().simulated().LoadText(state.database.c_str(), path.c_str(), dbError, sizeof dbError) == 0) {
    Say(out, InStateFile(dbError, path, state.databaseLine));
    return false;
  }
  ProcessModel& model = session.model();
  for (const auto& variable : state.model) {
    const int index = model.Index(variable.first);
    if (index == ProcessModel::None) {
      Say(out, path + ": the model has no variable '" + variable.first + "'");
      return false;
    }
    model.SetValue(static_cast<size_t>(index), variable.second);
  }
  for (const auto& block : state.plant) {
    if (!model.RestoreState(block.first, block.second, error)) {
      Say(out, path + ": " + error);
      return false;
    }
  }
  // An FMU's bytes are its binary's own: another platform's binary cannot read them.
  for (const FmuBlock& fmu : model.Fmus()) {
    const auto written = state.fmuPlatforms.find(fmu.name);
    if (written != state.fmuPlatforms.end() && written->second.first != fmu.unit->platform()) {
      Say(out, path + ":" + std::to_string(written->second.second) + ": the state of FMU block '" + fmu.name +
                   "' was written by its " + written->second.first + " binary, and this run runs its " +
                   fmu.unit->platform() + " one, which cannot read it; go on from it where the " +
                   written->second.first + " binary runs");
      return false;
    }
  }
  model.ResumeAfter(state.step);
  out << "starting from " << path << " after step " << state.step << '\n';
  return true;
}

void RestoreRecord(const RunState& state, Session& session) {
  RecordBuilder& b = session.builder();
  const DCSDataDef* record = b.record();
  for (int32_t i = 0; i < record->CtrlRowCnt && static_cast<size_t>(i) < state.ctrlOutput.size(); ++i) {
    b.ctrl(i).OutputValue = state.ctrlOutput[static_cast<size_t>(i)];
  }
  for (int32_t i = 0; i < record->CtrlRowCnt && static_cast<size_t>(i) < state.ctrlTV1.size(); ++i) {
    b.ctrl(i).TV1Value = state.ctrlTV1[static_cast<size_t>(i)];
  }
  for (int32_t i = 0; i < record->PVImportRowCnt && static_cast<size_t>(i) < state.pvImport.size(); ++i) {
    b.pvImport(i).Value = state.pvImport[static_cast<size_t>(i)];
  }
  // The saved DCS is already in step with the simulation: no initialization cycle.
  b.SetInitCycle(1);
}

bool BeginModel(Session& session, int64_t step, bool saving, std::ostream& out) {
  std::string error;
  // Its FMUs begin first: a worker's binary says whether it can save its state.
  if (!session.model().Begin(session.scenario().stepSeconds * static_cast<double>(step), error)) {
    Say(out, error);
    return false;
  }
  if (saving && !session.model().CanSaveState(error)) {
    Say(out, "--save-state is refused: " + error);
    return false;
  }
  return true;
}

bool SaveEnd(const std::string& path, int64_t step, const Malfunctions& malfunctions, Session& session,
             std::ostream& out) {
  RunState state;
  state.casePath = session.scenario().path;
  state.step = step;
  const ProcessModel& model = session.model();
  for (size_t k = 0; k < model.Names().size(); ++k) {
    state.model[model.Names()[k]] = model.Value(k);
  }
  std::string error;
  for (const FmuBlock& fmu : model.Fmus()) {
    state.fmuPlatforms[fmu.name] = {fmu.unit->platform(), 0};
  }
  if (!session.model().SavedState(state.plant, error)) {
    Say(out, error);
    return false;
  }
  RecordBuilder& b = session.builder();
  const DCSDataDef* record = b.record();
  for (int32_t i = 0; i < record->CtrlRowCnt; ++i) {
    state.ctrlOutput.push_back(b.ctrl(i).OutputValue);
    state.ctrlTV1.push_back(b.ctrl(i).TV1Value);
  }
  for (int32_t i = 0; i < record->PVImportRowCnt; ++i) {
    state.pvImport.push_back(b.pvImport(i).Value);
  }
  state.frozen = malfunctions.Frozen();
  const SimulatedDatabaseApi& db = session.fix().simulated();
  std::string text(db.SaveText(nullptr, 0), '\0');
  db.SaveText(&text[0], text.size());
  text.pop_back();  // the NUL
  state.database = text;
  if (!SaveState(path, state, error)) {
    Say(out, error);
    return false;
  }
  out << "state after step " << step << " written to " << path << '\n';
  return true;
}

}  // namespace host
