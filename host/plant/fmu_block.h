// A [[block]] of kind "fmu": the FMU its `file` names opened, its `inputs`
// wired and its `parameters` set by the FMU's own variable names, each checked
// against the model description where the case writes it. The plant makes
// each of its outputs a variable "BLOCK.OUTPUT" and steps it once a step.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "case/case.h"
#include "plant/fmu_unit.h"
#include "plant/fmu_worker.h"

namespace host {

struct FmuBlock {
  std::string name;
  std::unique_ptr<FmuUnit> unit;
  std::vector<const FmuVariable*> inputs, outputs;  // wired inputs; every Real, Integer and Boolean output
  std::vector<const BlockValue*> wires;             // each input's value as written, until the plant resolves it
  std::vector<std::pair<const FmuVariable*, double>> starts;  // parameters and starts, set before initialising
  std::vector<double> in, out;                                // one step's values, sized when opened
  std::vector<unsigned char> savedState;                      // a saved run's, restored when it begins
  int64_t stepped = -1;                                       // the last step it took
  // Where its code runs: in a worker (opened at its first call) unless the
  // block says `process = "same"`; a worker's answer is awaited `timeout` s.
  FmuCode code = FmuCode::Worker;
  double timeout = 60.0;
  std::ostream* log = nullptr;
  std::unique_ptr<FmuWorker> worker;

  // Its FMU's calls, made in its worker or here (as FmuUnit's).
  bool Start(double startTime, const std::vector<std::pair<const FmuVariable*, double>>& starts, std::string& error);
  FmuStep Step(double now, double h, const double* inputs, double* outputs, std::string& error);
  bool Outputs(double* outputs, std::string& error);
  bool SaveState(std::vector<unsigned char>& bytes, std::string& error);
  bool RestoreState(const std::vector<unsigned char>& bytes, std::string& error);
  bool CanSaveState(std::string& error) const;
  double endedAt() const { return worker ? worker->endedAt() : unit->endedAt(); }

 private:
  bool OpenWorker(std::string& error);
};

// Opens the FMU of a written block; false with "file:line: block 'NAME'
// (fmu): what". `log` gets the FMU's path and SHA-256, and its log. Without
// `loadCode` nothing of the FMU's code runs (`check`).
bool OpenFmuBlock(const CaseBlock& written, std::ostream& log, bool loadCode, FmuBlock& fmu, std::string& error);

}  // namespace host
