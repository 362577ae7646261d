// A plant declared as blocks wired by name: the blocks built and checked, their
// inputs resolved to block indices and external inputs, and their order of
// evaluation sorted once, when the case is bound. A step evaluates every block
// once in that order, by index: it never allocates nor looks up a name.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "case/case.h"
#include "plant/blocks.h"
#include "plant/fmu_block.h"

namespace host {

// An input the plant reads from the host's record ("LIC101.output", "FV1.F_CV"),
// where it was first named.
struct ExternalInput {
  std::string name;
  Origin origin;
};

class BlockPlant {
 public:
  // False with "file:line: what" when a block is bad, an input names no
  // block, or a cycle holds no block whose output is its state. Fills
  // `outputs` with the blocks' outputs at the start, in the order written;
  // an FMU block gives one output "BLOCK.OUTPUT" for each of the FMU's, its
  // FMU opened (its path and SHA-256, and later its log, to `log`).
  bool Configure(const std::vector<CaseBlock>& blocks, double stepSeconds, std::vector<double>& outputs,
                 std::ostream& log, std::string& error);
  // Its FMUs instantiated and initialised at `startTime`, with a saved run's
  // state where one was restored, and their outputs in `outputs`.
  bool Begin(double startTime, std::vector<double>& outputs, std::string& error);
  // What stopped the last step (an FMU discarded it or failed), or empty.
  const std::string& Failure() const { return failure_; }
  // Why the simulation ended before the run's last step (an FMU ended it), or empty.
  const std::string& Ended() const { return ended_; }
  const std::vector<FmuBlock>& Fmus() const { return fmus_; }
  void LoadNoCode() { loadCode_ = false; }
  // Every FMU logs its debug categories once it begins.
  void LogFmus() {
    for (FmuBlock& fmu : fmus_) {
      fmu.unit->LogDebug({});
    }
  }
  const std::vector<std::string>& Names() const { return names_; }
  const std::vector<std::string>& Units() const { return units_; }
  // Where each output's block is written.
  const std::vector<Origin>& Origins() const { return origins_; }
  const std::vector<ExternalInput>& ExternalInputs() const { return externalNames_; }
  void SetInput(size_t k, double value) { external_[k] = value; }
  // The blocks whose output an external input moves, directly or through other blocks.
  std::vector<std::vector<size_t>> ReachedByInputs() const;
  // The outputs of blocks without a state of their own, from the inputs as they are now.
  void Settle(std::vector<double>& outputs);
  // One step of every block, in dependency order.
  void Advance(double seconds, std::vector<double>& outputs);
  // The state beyond the outputs, by block name (valve positions, motor
  // timers, dead-time rings, noise generators), and the steps taken.
  // An FMU's state is saved as its bytes, where the FMU can serialise it.
  bool SavedState(std::vector<std::pair<std::string, std::vector<double>>>& saved, std::string& error);
  bool CanSaveState(std::string& error) const;
  bool RestoreState(size_t index, const std::vector<double>& values, std::string& error);
  // An FMU block's saved bytes, by its name, to restore when it begins; false when none is named so.
  bool HasFmu(const std::string& name) const;
  bool RestoreFmu(const std::string& name, const std::vector<double>& bytes, std::string& error);
  void ResumeAfter(int64_t steps) { steps_ = steps; }

 private:
  bool Resolve(const std::vector<CaseBlock>& written, const std::unordered_map<std::string, size_t>& named,
               const std::vector<std::vector<const BlockValue*>>& inputs, std::string& error);
  bool Sort(const std::vector<CaseBlock>& written, std::string& error);
  // The written blocks with each FMU block's outputs in its place, its FMU opened.
  bool OpenFmus(const std::vector<CaseBlock>& given, std::ostream& log, std::vector<CaseBlock>& written,
                std::vector<std::pair<size_t, size_t>>& fmuOf, std::string& error);
  double StepFmu(const Block& b, const std::vector<double>& outputs, double now);

  std::vector<Block> blocks_;
  std::vector<std::string> names_, units_;
  std::vector<Origin> origins_;
  std::vector<size_t> order_;
  std::vector<ExternalInput> externalNames_;
  std::vector<double> external_;
  double stepSeconds_ = 1.0;
  int64_t steps_ = 0;
  std::vector<FmuBlock> fmus_;
  bool loadCode_ = true;
  std::string failure_, ended_;
};

// The order in which to evaluate blocks that read the blocks `reads` lists:
// a block after those it reads, except where a cycle passes through a block
// whose output is its state (`stateful`), which then reads its input's value
// of the step before. False with a cycle that holds no such block, in `cycle`.
bool EvaluationOrder(const std::vector<std::vector<size_t>>& reads, const std::vector<bool>& stateful,
                     std::vector<size_t>& order, std::vector<size_t>& cycle);

}  // namespace host
