// A plant of blocks: built and wired by name once, when the case is bound,
// then stepped by index. The state beyond the blocks' outputs is saved and
// restored by block name, so that a run from a saved state goes on exactly.
#include "plant/block_plant.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "plant/block_parameters.h"

namespace host {
namespace {

// A dead time's ring is sized when bound; beyond this many steps it would be a memory hog.
constexpr double MostDelaySteps = 1e6;
// What all the dead times of a plant hold at most, in samples (80 MB of them).
constexpr double MostDelaySamples = 1e7;

}  // namespace

bool BlockPlant::Configure(const std::vector<CaseBlock>& given, double stepSeconds, std::vector<double>& outputs,
                           std::ostream& log, std::string& error) {
  const bool loadCode = loadCode_;
  *this = BlockPlant();
  loadCode_ = loadCode;
  stepSeconds_ = stepSeconds;
  std::vector<CaseBlock> expanded;
  std::vector<std::pair<size_t, size_t>> fmuOf;  // each block's FMU (from 1; 0 for none) and its output
  const bool fmus = std::any_of(given.begin(), given.end(), [](const CaseBlock& b) { return b.kind == "fmu"; });
  if (fmus && !OpenFmus(given, log, expanded, fmuOf, error)) {
    return false;
  }
  const std::vector<CaseBlock>& written = fmus ? expanded : given;
  std::vector<std::vector<const BlockValue*>> inputs(written.size());
  std::unordered_map<std::string, size_t> named;
  blocks_.resize(written.size());
  for (size_t i = 0; i < written.size(); ++i) {
    if (const auto first = named.emplace(written[i].name, i); !first.second) {
      error = Where(written[i].origin) + ": a second block named '" + written[i].name + "' (the first at " +
              Where(written[first.first->second].origin) + ")";
      return false;
    }
    if (fmus && fmuOf[i].first != 0) {
      const FmuBlock& fmu = fmus_[fmuOf[i].first - 1];
      blocks_[i].kind = BlockKind::FmuOutput;
      blocks_[i].fmu = fmuOf[i].first - 1;
      blocks_[i].slot = fmuOf[i].second;
      blocks_[i].initial = fmu.out[blocks_[i].slot];
      inputs[i] = fmu.wires;
    } else if (!BuildBlock(written[i], blocks_[i], inputs[i], error)) {
      return false;
    }
    names_.push_back(written[i].name);
    units_.push_back(written[i].unit);
    origins_.push_back(written[i].origin);
  }
  if (!Resolve(written, named, inputs, error) || !Sort(written, error)) {
    return false;
  }
  for (FmuBlock& fmu : fmus_) {
    fmu.wires.clear();  // resolved into its output blocks' inputs; the case's values are not kept
  }
  outputs.assign(blocks_.size(), 0.0);
  double samples = 0.0;  // of every dead time so far: all are checked before any is sized
  for (size_t i = 0; i < blocks_.size(); ++i) {
    const Block& b = blocks_[i];
    samples += b.kind == BlockKind::Deadtime ? std::ceil(b.delay / stepSeconds) + 1.0 : 0.0;
    if (b.kind == BlockKind::Deadtime && (b.delay / stepSeconds > MostDelaySteps || samples > MostDelaySamples)) {
      const auto delay = written[i].keys.find("delay");
      error = Where(delay->second.origin) + ": block '" + names_[i] + "' (deadtime): 'delay' of " + Shown(b.delay) +
              " s " +
              (b.delay / stepSeconds > MostDelaySteps
                   ? "spans more than a million steps of " + Shown(stepSeconds) + " s"
                   : "brings the plant's dead times beyond ten million samples of " + Shown(stepSeconds) +
                         " s in all; shorten them or lengthen step_seconds");
      return false;
    }
  }
  for (size_t i = 0; i < blocks_.size(); ++i) {
    Block& b = blocks_[i];
    if (b.kind == BlockKind::Deadtime) {
      BindDeadtime(b, stepSeconds);
    }
    outputs[i] = b.initial;
  }
  Settle(outputs);
  return true;
}

bool BlockPlant::Resolve(const std::vector<CaseBlock>& written, const std::unordered_map<std::string, size_t>& named,
                         const std::vector<std::vector<const BlockValue*>>& inputs, std::string& error) {
  std::unordered_map<std::string, size_t> external;
  for (size_t i = 0; i < blocks_.size(); ++i) {
    for (const BlockValue* v : inputs[i]) {
      BlockInput in;
      if (v->form == BlockValue::Form::Number) {
        in.constant = v->number;
      } else if (const auto block = named.find(v->text); block != named.end()) {
        in.from = BlockInput::From::Block;
        in.index = block->second;
      } else if (v->text.find('.') != std::string::npos) {
        const auto known = external.emplace(v->text, externalNames_.size());
        in.from = BlockInput::From::External;
        in.index = known.first->second;
        if (known.second) {
          externalNames_.push_back(ExternalInput{v->text, v->origin});
        }
      } else {
        error = Where(v->origin) + ": block '" + names_[i] + "' (" + written[i].kind + ") reads '" + v->text +
                "', which names no block (an input is a number, a block's name, a controller's \"TAG.output\" "
                "or a PV-import row's \"TAG.FIELD\")";
        return false;
      }
      blocks_[i].inputs.push_back(in);
    }
  }
  external_.assign(externalNames_.size(), 0.0);
  return true;
}

std::vector<std::vector<size_t>> BlockPlant::ReachedByInputs() const {
  // Who reads each block, and the blocks each input moves first.
  std::vector<std::vector<size_t>> readers(blocks_.size()), reached(externalNames_.size());
  for (size_t i = 0; i < blocks_.size(); ++i) {
    for (const BlockInput& in : blocks_[i].inputs) {
      if (in.from == BlockInput::From::Block) {
        readers[in.index].push_back(i);
      } else if (in.from == BlockInput::From::External && in.index < reached.size()) {
        reached[in.index].push_back(i);
      }
    }
  }
  // From each input on along the readers, each block marked once per input:
  // the cost is what the inputs reach, not the inputs times the blocks.
  std::vector<size_t> mark(blocks_.size(), SIZE_MAX);
  for (size_t k = 0; k < reached.size(); ++k) {
    std::vector<size_t>& found = reached[k];
    size_t kept = 0;
    for (const size_t first : found) {
      if (mark[first] != k) {
        mark[first] = k;
        found[kept++] = first;
      }
    }
    found.resize(kept);
    for (size_t at = 0; at < found.size(); ++at) {
      for (const size_t reader : readers[found[at]]) {
        if (mark[reader] != k) {
          mark[reader] = k;
          found.push_back(reader);
        }
      }
    }
  }
  return reached;
}

bool BlockPlant::Sort(const std::vector<CaseBlock>& written, std::string& error) {
  std::vector<std::vector<size_t>> reads(blocks_.size());
  std::vector<bool> stateful(blocks_.size());
  for (size_t i = 0; i < blocks_.size(); ++i) {
    stateful[i] = OutputIsState(blocks_[i].kind);
    for (const BlockInput& in : blocks_[i].inputs) {
      if (in.from == BlockInput::From::Block) {
        reads[i].push_back(in.index);
      }
    }
  }
  std::vector<size_t> cycle;
  if (EvaluationOrder(reads, stateful, order_, cycle)) {
    return true;
  }
  std::string names;
  for (const size_t k : cycle) {
    names += names_[k] + " -> ";
  }
  error = Where(written[cycle.front()].origin) + ": the blocks " + names + names_[cycle.front()] +
          " form a cycle with no lag, deadtime, integrator, valve or motor in it: each would need the "
          "others' values of the same step";
  return false;
}

void BlockPlant::Settle(std::vector<double>& outputs) {
  const double seconds = stepSeconds_ * static_cast<double>(steps_);
  for (const size_t i : order_) {
    Block& b = blocks_[i];
    const bool drawn = b.kind == BlockKind::Source && b.shape == SourceShape::Noise;
    if (b.kind == BlockKind::Sum || b.kind == BlockKind::Lookup || (b.kind == BlockKind::Source && !drawn)) {
      outputs[i] = StepBlock(b, outputs[i], outputs, external_, 0.0, seconds);
    } else if (b.kind == BlockKind::Valve) {
      outputs[i] = ValveFlow(b, b.hasDp ? ReadInput(b.inputs[1], outputs, external_) : 0.0);
    }
  }
}

void BlockPlant::Advance(double seconds, std::vector<double>& outputs) {
  ++steps_;
  const double now = seconds * static_cast<double>(steps_);
  for (const size_t i : order_) {
    Block& b = blocks_[i];
    outputs[i] = b.kind == BlockKind::FmuOutput ? StepFmu(b, outputs, now)
                                                : StepBlock(b, outputs[i], outputs, external_, seconds, now);
  }
}

bool BlockPlant::SavedState(std::vector<std::pair<std::string, std::vector<double>>>& saved, std::string& error) {
  saved.clear();
  for (size_t i = 0; i < blocks_.size(); ++i) {
    const Block& b = blocks_[i];
    if (b.kind == BlockKind::Valve) {
      saved.push_back({names_[i], {b.position}});
    } else if (b.kind == BlockKind::Motor) {
      saved.push_back({names_[i], {b.timer}});
    } else if (b.kind == BlockKind::Deadtime) {
      std::vector<double> ring = {static_cast<double>(b.head)};
      ring.insert(ring.end(), b.history.begin(), b.history.end());
      saved.push_back({names_[i], ring});
    } else if (b.kind == BlockKind::Source && b.shape == SourceShape::Noise) {
      saved.push_back({names_[i], {static_cast<double>(b.noise >> 32), static_cast<double>(b.noise & 0xFFFFFFFFu)}});
    }
  }
  for (FmuBlock& fmu : fmus_) {
    std::vector<unsigned char> bytes;
    if (!fmu.SaveState(bytes, error)) {
      return false;
    }
    saved.push_back({fmu.name, std::vector<double>(bytes.begin(), bytes.end())});
  }
  return true;
}

bool BlockPlant::RestoreState(size_t index, const std::vector<double>& values, std::string& error) {
  const std::string& name = names_[index];
  Block& b = blocks_[index];
  const auto whole = [](double x, double below) { return x >= 0.0 && x < below && x == std::floor(x); };
  const bool noise = b.kind == BlockKind::Source && b.shape == SourceShape::Noise;
  bool fits = false;
  if (b.kind == BlockKind::Valve) {
    fits = values.size() == 1 && values[0] >= 0.0 && values[0] <= 1.0;
    b.position = fits ? values[0] : b.position;
  } else if (b.kind == BlockKind::Motor) {
    fits = values.size() == 1 && values[0] >= 0.0;
    b.timer = fits ? values[0] : b.timer;
  } else if (b.kind == BlockKind::Deadtime) {
    fits = values.size() == b.history.size() + 1 && whole(values[0], static_cast<double>(b.history.size()));
    if (fits) {
      b.head = static_cast<size_t>(values[0]);
      std::copy(values.begin() + 1, values.end(), b.history.begin());
    }
  } else if (noise) {
    fits = values.size() == 2 && whole(values[0], 4294967296.0) && whole(values[1], 4294967296.0);
    b.noise = fits ? (static_cast<uint64_t>(values[0]) << 32) | static_cast<uint64_t>(values[1]) : b.noise;
  }
  if (!fits) {
    error = "the state of block '" + name +
            "' does not fit it (a valve keeps [position 0..1], a motor [timer], "
            "a dead time [newest, then its " +
            std::to_string(b.history.size()) +
            " samples], a noise source "
            "[two whole numbers below 2^32]; other blocks keep only their output)";
  }
  return fits;
}

}  // namespace host
