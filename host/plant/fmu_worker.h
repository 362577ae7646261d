// dcshost's side of an FMU run in a worker process: the worker of the FMU's
// binary's platform (this dcshost's word size or, where the FMU carries only
// the other, the other's) started from beside dcshost, the FMU opened in it,
// and every FMU call made through it. A worker that dies or does not answer
// within its time limit fails the call, saying how it ended; it is killed,
// and never outlives dcshost.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "plant/fmu_unit.h"
#include "plant/fmu_wire.h"
#include "system/child_process.h"

namespace host {

// The worker program for an FMU binary's platform: "dcshost-fmu-linux64"
// (".exe" on Windows), beside dcshost.
std::string FmuWorkerProgram(const std::string& platform);

class FmuWorker {
 public:
  // Starts the worker for `unit` (opened with FmuCode::Worker) and opens the
  // FMU in it with the variables a step sets and gets; null with why.
  static std::unique_ptr<FmuWorker> Open(const FmuUnit& unit, const std::string& instance, double seconds,
                                         const std::vector<std::string>* debugCategories,
                                         const std::vector<const FmuVariable*>& inputs,
                                         const std::vector<const FmuVariable*>& outputs, std::ostream& log,
                                         std::string& error);
  ~FmuWorker();
  FmuWorker(const FmuWorker&) = delete;
  FmuWorker& operator=(const FmuWorker&) = delete;

  // As FmuUnit's own, each through the worker.
  bool Start(double startTime, const std::vector<std::pair<const FmuVariable*, double>>& starts, std::string& error);
  // Allocates nothing, unless the FMU logs.
  FmuStep Step(double now, double h, const double* inputs, double* outputs, std::string& error);
  bool Outputs(double* outputs, std::string& error);
  bool SaveState(std::vector<unsigned char>& bytes, std::string& error);
  bool RestoreState(const std::vector<unsigned char>& bytes, std::string& error);
  bool CanSaveState(std::string& error);
  double endedAt() const { return endedAt_; }

 private:
  FmuWorker() = default;
  // A new call: call_ holds room for its header only. Allocates nothing once sized.
  void Begin() { call_.assign(sizeof(fmuwire::Header), 0); }
  // Sends call_ as `what`, reads the answer into answer_ and prints its log;
  // the answer's kind, or Failed with why (the worker's words, or how it ended).
  uint32_t Call(uint32_t what, const char* name, std::string& error);
  // The answer's values after its log (endedAt, then the outputs).
  bool TakeValues(double* outputs, std::string& error);

  WorkerProcess process_;
  std::string who_;  // "FMU NAME (FILE)"
  double seconds_ = 0.0;
  size_t inputs_ = 0, outputs_ = 0;
  std::ostream* log_ = nullptr;
  std::vector<unsigned char> call_, answer_;
  size_t after_ = 0;  // where the answer's values begin, after its log
  double endedAt_ = 0.0;
  bool gone_ = false;  // the worker died or was killed: nothing more is asked of it
};

}  // namespace host
