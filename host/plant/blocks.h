// The blocks of a "blocks" plant: each kind's parameters and state, and one
// step of a block from the values its inputs hold. A block reads its inputs
// by index from the plant's arrays; stepping one allocates nothing and looks
// no name up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

// FmuOutput: one output of an FMU block, which the plant steps itself.
enum class BlockKind { Lag, Deadtime, Integrator, Valve, Motor, Switch, Sum, Lookup, Source, FmuOutput };
enum class SourceShape { Constant, Step, Ramp, Sine, Noise };
enum class Characteristic { Linear, EqualPercentage, QuickOpening };

// Where an input's value comes from: a number of the case, another block's
// output or a value from the host's record (an external input).
struct BlockInput {
  enum class From { Constant, Block, External };
  From from = From::Constant;
  double constant = 0.0;
  size_t index = 0;  // a block's index, or an external input's
};

struct Block {
  BlockKind kind = BlockKind::Lag;
  // lag, deadtime, integrator, switch, lookup: the input; valve: the command,
  // then dp when given; motor: the command; sum: every input in order.
  std::vector<BlockInput> inputs;
  bool hasDp = false;
  // Parameters, each used by the kinds its comment names.
  double gain = 1.0, timeConstant = 1.0, bias = 0.0;  // lag; gain integrator; bias sum
  double delay = 0.0;                                 // deadtime, s
  double low = 0.0, high = 0.0;                       // integrator's limits
  double initial = 0.0;                               // the output (a valve's position) at the start
  double cv = 1.0, strokeTime = 0.0, rangeability = 50.0, failPosition = 0.0;
  Characteristic characteristic = Characteristic::Linear;
  double startDelay = 0.0, stopDelay = 0.0;  // motor, s
  double on = 0.0, off = 0.0;                // switch
  std::vector<double> weights;               // sum
  std::vector<double> x, y;                  // lookup
  SourceShape shape = SourceShape::Constant;
  double value = 0.0, at = 0.0, from = 0.0, to = 0.0, start = 0.0, slope = 0.0;
  double amplitude = 0.0, period = 1.0, offset = 0.0, seed = 1.0;
  // State beside the output.
  double position = 0.0;        // valve: 0 closed .. 1 open
  double timer = 0.0;           // motor: seconds the command has differed from the feedback
  std::vector<double> history;  // deadtime: the input's last samples, a ring sized when bound
  size_t head = 0;              // deadtime: the newest sample's place in history
  double delaySteps = 0.0;      // deadtime: the delay in steps of the run
  uint64_t noise = 0;           // source "noise": the generator's state
  size_t fmu = 0, slot = 0;     // FmuOutput: the plant's FMU and which of its outputs
};

// The value an input holds now.
double ReadInput(const BlockInput& in, const std::vector<double>& outputs, const std::vector<double>& external);
// True for the kinds whose output is their state: a cycle through one of them is not algebraic.
bool OutputIsState(BlockKind kind);
// Sizes a dead time's history for the run's step and fills it with its initial value.
void BindDeadtime(Block& block, double stepSeconds);
// The noise generator started from its seed.
uint64_t NoiseStart(double seed);
// A source's output at a time of the run (a noise source draws its next number).
double SourceAt(Block& block, double seconds);
// A valve's flow for its position and the dp it reads.
double ValveFlow(const Block& block, double dp);

// One step of a block: its new output from its state and its inputs' values.
double StepBlock(Block& block, double output, const std::vector<double>& outputs, const std::vector<double>& external,
                 double dt, double seconds);

}  // namespace host
