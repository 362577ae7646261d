// The FMUs of a plant of blocks: opened when the plant is configured, each
// output a block of its own; begun when the run's start time is known; stepped
// once a step by the first of its outputs evaluated; their state saved as the
// bytes each FMU serialises.
#include <algorithm>
#include <cmath>

#include "plant/block_plant.h"

namespace host {

bool BlockPlant::OpenFmus(const std::vector<CaseBlock>& given, std::ostream& log, std::vector<CaseBlock>& written,
                          std::vector<std::pair<size_t, size_t>>& fmuOf, std::string& error) {
  for (const CaseBlock& b : given) {
    if (b.kind != "fmu") {
      written.push_back(b);
      fmuOf.emplace_back(0, 0);
      continue;
    }
    FmuBlock fmu;
    if (!OpenFmuBlock(b, log, loadCode_, fmu, error)) {
      return false;
    }
    // A step the FMU was not made for still runs; it is said once.
    const double own = fmu.unit->description().defaultStep;
    const double ratio = own > 0.0 ? stepSeconds_ / own : 1.0;
    if (std::fabs(ratio - std::round(ratio)) > 1e-9 * ratio) {
      log << "warning: " << Where(b.origin) << ": block '" << b.name << "' (fmu): the case's step of "
          << Shown(stepSeconds_) << " s is not a multiple of the FMU's default step of " << Shown(own)
          << " s (its DefaultExperiment stepSize)\n";
    }
    for (size_t k = 0; k < fmu.outputs.size(); ++k) {
      CaseBlock output;
      output.name = b.name + "." + fmu.outputs[k]->name;
      output.kind = "fmu";
      output.unit = fmu.outputs[k]->unit.empty() ? b.unit : fmu.outputs[k]->unit;
      output.origin = b.origin;
      written.push_back(output);
      fmuOf.emplace_back(fmus_.size() + 1, k);
    }
    fmus_.push_back(std::move(fmu));
  }
  return true;
}

double BlockPlant::StepFmu(const Block& b, const std::vector<double>& outputs, double now) {
  FmuBlock& fmu = fmus_[b.fmu];
  if (fmu.stepped == steps_ || !failure_.empty() || !ended_.empty()) {
    return fmu.out[b.slot];
  }
  if (fmu.stepped < 0) {
    failure_ = "FMU block '" + fmu.name + "' was stepped before it began";
    return fmu.out[b.slot];
  }
  fmu.stepped = steps_;
  for (size_t k = 0; k < fmu.in.size(); ++k) {
    fmu.in[k] = ReadInput(b.inputs[k], outputs, external_);
  }
  if (fmu.Step(now - stepSeconds_, stepSeconds_, fmu.in.data(), fmu.out.data(), failure_) == FmuStep::Ended &&
      ended_.empty()) {
    ended_ = "FMU block '" + fmu.name + "' ended the simulation at " + Shown(fmu.endedAt()) +
             " s (its step discarded with fmi2Terminated)";
  }
  return fmu.out[b.slot];
}

bool BlockPlant::Begin(double startTime, std::vector<double>& outputs, std::string& error) {
  for (size_t f = 0; f < fmus_.size(); ++f) {
    FmuBlock& fmu = fmus_[f];
    const auto first = std::find_if(blocks_.begin(), blocks_.end(),
                                    [f](const Block& b) { return b.kind == BlockKind::FmuOutput && b.fmu == f; });
    // Its inputs start at what they read now, beside its parameters.
    std::vector<std::pair<const FmuVariable*, double>> starts = fmu.starts;
    for (size_t k = 0; k < fmu.inputs.size(); ++k) {
      starts.emplace_back(fmu.inputs[k], ReadInput(first->inputs[k], outputs, external_));
    }
    if (!fmu.Start(startTime, starts, error) || (!fmu.savedState.empty() && !fmu.RestoreState(fmu.savedState, error)) ||
        !fmu.Outputs(fmu.out.data(), error)) {
      return false;
    }
    fmu.stepped = steps_;
    for (size_t i = 0; i < blocks_.size(); ++i) {
      if (blocks_[i].kind == BlockKind::FmuOutput && blocks_[i].fmu == f) {
        outputs[i] = fmu.out[blocks_[i].slot];
      }
    }
  }
  Settle(outputs);
  return true;
}

bool BlockPlant::CanSaveState(std::string& error) const {
  for (const FmuBlock& fmu : fmus_) {
    if (!fmu.CanSaveState(error)) {
      error = "FMU block '" + fmu.name + "': " + error;
      return false;
    }
  }
  return true;
}

bool BlockPlant::HasFmu(const std::string& name) const {
  return std::any_of(fmus_.begin(), fmus_.end(), [&name](const FmuBlock& fmu) { return fmu.name == name; });
}

bool BlockPlant::RestoreFmu(const std::string& name, const std::vector<double>& bytes, std::string& error) {
  for (FmuBlock& fmu : fmus_) {
    if (fmu.name != name) {
      continue;
    }
    fmu.savedState.clear();
    for (const double b : bytes) {
      if (!(b >= 0.0 && b <= 255.0 && b == std::floor(b))) {
        error = "the state of FMU block '" + name + "' holds " + Shown(b) + ", not a byte (0 to 255)";
        return false;
      }
      fmu.savedState.push_back(static_cast<unsigned char>(b));
    }
    return true;
  }
  error = "the model has no FMU block '" + name + "'";
  return false;
}

}  // namespace host
