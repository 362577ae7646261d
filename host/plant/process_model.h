// The simulation's process model, advanced once per step: "tank" (a tank whose
// inflow valve a controller row drives), "blocks" (blocks wired by name, reading
// the host's record through external inputs) or "none". Names are resolved to
// indices once, when a case is bound; a step never looks up a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "case/case.h"
#include "plant/block_plant.h"

namespace host {

class ProcessModel {
 public:
  // No variable of that name, from Index.
  static constexpr int None = -1;

  // False with a message when a parameter is unknown or out of range. The
  // step's length sizes what a block keeps of its past.
  // An FMU block's path and SHA-256, and later its log, go to `log`.
  bool Configure(const ModelSettings& settings, double stepSeconds, std::ostream& log, std::string& error);
  // The run's start is known (`startTime`, a saved state restored or not):
  // its FMUs begin. False with a message when one cannot.
  bool Begin(double startTime, std::string& error) { return !blocks_ || plant_.Begin(startTime, values_, error); }
  // What stopped the last step (an FMU discarded it or failed), or empty.
  const std::string& Failure() const { return plant_.Failure(); }
  // Why the simulation ended before the run's last step (an FMU ended it), or empty.
  const std::string& Ended() const { return plant_.Ended(); }
  // Its FMU blocks, each with its unit (its file and SHA-256).
  const std::vector<FmuBlock>& Fmus() const { return plant_.Fmus(); }
  void LogFmus() { plant_.LogFmus(); }
  // Before Configure: its FMUs are read and their binaries hashed, never
  // loaded, so no plant's code runs (`check` reads only).
  void LoadNoCode() { loadCode_ = false; }
  // The variables in a fixed order (the tank's by name, blocks as written),
  // for traces, states and indices.
  const std::vector<std::string>& Names() const { return names_; }
  // Where a variable's block is written; no file for the tank's.
  Origin OriginOf(size_t index) const { return blocks_ ? plant_.Origins()[index] : Origin(); }
  // A variable's index in Names(), or None.
  int Index(const std::string& name) const;
  bool HasVariable(const std::string& name) const { return Index(name) != None; }
  double Value(size_t index) const { return values_[index]; }
  void SetValue(size_t index, double value) { values_[index] = value; }
  void Advance(double seconds);
  // A variable's unit ("m", "m3/s", "0-1" for a fraction), empty when unknown.
  std::string Unit(const std::string& name) const;

  // Whether a controller row may drive a variable (the tank's); blocks read
  // controllers through their external inputs instead.
  bool TakesDrives() const { return !blocks_; }
  // The values the model reads from the host's record, named "TAG.output" or
  // "TAG.FIELD"; a step sets them by index before Advance.
  const std::vector<ExternalInput>& ExternalInputs() const { return plant_.ExternalInputs(); }
  void SetInput(size_t k, double value) { plant_.SetInput(k, value); }
  // For each external input, the variables it moves through the blocks
  // between them (each once); linear in what the inputs reach.
  std::vector<std::vector<size_t>> ReachedByInputs() const { return plant_.ReachedByInputs(); }
  // The outputs that follow from the inputs at once, without a step.
  void Settle();
  // The state beyond the variables, by name, for a saved run state; empty for the tank.
  bool SavedState(std::vector<std::pair<std::string, std::vector<double>>>& saved, std::string& error);
  // Whether SavedState can succeed: every FMU can serialise its state.
  bool CanSaveState(std::string& error) const { return !blocks_ || plant_.CanSaveState(error); }
  bool RestoreState(const std::string& name, const std::vector<double>& values, std::string& error);
  // Goes on from a saved state after that many steps (the sources' clock).
  void ResumeAfter(int64_t steps) { plant_.ResumeAfter(steps); }

 private:
  // The tank's parameters and the indices of its variables.
  struct Tank {
    double area = 0.0, inflowMax = 0.0, outflowCoefficient = 0.0, height = 0.0;
    size_t level = 0, valve = 0, inflow = 0, outflow = 0;
  };
  bool ConfigureTank(const ModelSettings& settings, std::string& error);

  bool tank_ = false;
  bool blocks_ = false;
  Tank parameters_;
  BlockPlant plant_;
  bool loadCode_ = true;
  std::unordered_map<std::string, int> indexOf_;  // blocks: each name's index
  std::vector<std::string> names_;
  std::vector<double> values_;
};

}  // namespace host
