// One step of each kind of block, from its closed form: a lag exact for any
// step, a dead time read from its ring, a clamped integrator, a rate-limited
// valve, a motor's delayed feedback, a switch, a sum, a lookup and the
// sources. Nothing here allocates once a dead time's ring is sized.
#include "plant/blocks.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {

constexpr double Pi = 3.14159265358979323846;

// A count of steps or seconds that lies within rounding of a whole number is taken as that number.
double Snapped(double value) {
  const double whole = std::round(value);
  return std::fabs(value - whole) <= 1e-9 * std::max(1.0, std::fabs(value)) ? whole : value;
}

// xorshift64*: the same numbers on every target, from a state of 64 bits.
uint64_t NextNoise(uint64_t& state) {
  state ^= state >> 12;
  state ^= state << 25;
  state ^= state >> 27;
  return state * 0x2545F4914F6CDD1DULL;
}

// The sample `ago` steps before the newest.
double Sample(const Block& b, size_t ago) {
  const size_t n = b.history.size();
  return b.history[(b.head + n - ago % n) % n];
}

double StepDeadtime(Block& b, double u) {
  b.head = (b.head + 1) % b.history.size();
  b.history[b.head] = u;
  const double whole = std::floor(b.delaySteps);
  const double part = b.delaySteps - whole;
  const size_t m = static_cast<size_t>(whole);
  return part == 0.0 ? Sample(b, m) : (1.0 - part) * Sample(b, m) + part * Sample(b, m + 1);
}

double StepValve(Block& b, double command, double dp, double dt) {
  const double target = std::isfinite(command) ? std::clamp(command, 0.0, 1.0) : b.failPosition;
  const double most = b.strokeTime > 0.0 ? dt / b.strokeTime : HUGE_VAL;
  b.position = std::clamp(b.position + std::clamp(target - b.position, -most, most), 0.0, 1.0);
  return ValveFlow(b, dp);
}

double StepMotor(Block& b, double output, double command, double dt) {
  const double wanted = command >= 0.5 ? 1.0 : 0.0;
  if (wanted == output) {
    b.timer = 0.0;
    return output;
  }
  b.timer += dt;
  const double delay = wanted == 1.0 ? b.startDelay : b.stopDelay;
  if (b.timer >= delay - 1e-9 * std::max(1.0, delay)) {
    b.timer = 0.0;
    return wanted;
  }
  return output;
}

double Lookup(const Block& b, double u) {
  if (u <= b.x.front()) {
    return b.y.front();
  }
  if (u >= b.x.back()) {
    return b.y.back();
  }
  const size_t k = static_cast<size_t>(std::upper_bound(b.x.begin(), b.x.end(), u) - b.x.begin());
  const double t = (u - b.x[k - 1]) / (b.x[k] - b.x[k - 1]);
  return b.y[k - 1] + t * (b.y[k] - b.y[k - 1]);
}

}  // namespace

double ReadInput(const BlockInput& in, const std::vector<double>& outputs, const std::vector<double>& external) {
  switch (in.from) {
    case BlockInput::From::Constant: return in.constant;
    case BlockInput::From::Block: return outputs[in.index];
    case BlockInput::From::External: return external[in.index];
  }
  return 0.0;
}

bool OutputIsState(BlockKind kind) {
  return kind == BlockKind::Lag || kind == BlockKind::Deadtime || kind == BlockKind::Integrator ||
         kind == BlockKind::Valve || kind == BlockKind::Motor || kind == BlockKind::FmuOutput;
}

void BindDeadtime(Block& block, double stepSeconds) {
  block.delaySteps = Snapped(block.delay / stepSeconds);
  block.history.assign(static_cast<size_t>(std::ceil(block.delaySteps)) + 1, block.initial);
  block.head = 0;
}

uint64_t NoiseStart(double seed) { return static_cast<uint64_t>(seed) + 0x9E3779B97F4A7C15ULL; }

double SourceAt(Block& b, double seconds) {
  switch (b.shape) {
    case SourceShape::Constant: return b.value;
    case SourceShape::Step: return seconds >= b.at ? b.to : b.from;
    case SourceShape::Ramp: return b.from + b.slope * std::max(0.0, seconds - b.start);
    case SourceShape::Sine: return b.offset + b.amplitude * std::sin(2.0 * Pi * seconds / b.period);
    case SourceShape::Noise: {
      const double unit = static_cast<double>(NextNoise(b.noise) >> 11) * 0x1.0p-53;  // [0, 1)
      return b.amplitude * (2.0 * unit - 1.0);
    }
  }
  return 0.0;
}

double ValveFlow(const Block& b, double dp) {
  const double x = b.position;
  double opening = x;
  if (b.characteristic == Characteristic::EqualPercentage) {
    opening = std::pow(b.rangeability, x - 1.0);
  } else if (b.characteristic == Characteristic::QuickOpening) {
    opening = std::sqrt(x);
  }
  return b.cv * opening * (b.hasDp ? std::sqrt(std::max(0.0, dp)) : 1.0);
}

double StepBlock(Block& b, double output, const std::vector<double>& outputs, const std::vector<double>& external,
                 double dt, double seconds) {
  const double u = b.inputs.empty() ? 0.0 : ReadInput(b.inputs[0], outputs, external);
  switch (b.kind) {
    case BlockKind::Lag: return output + -std::expm1(-dt / b.timeConstant) * (b.gain * u + b.bias - output);
    case BlockKind::Deadtime: return StepDeadtime(b, u);
    case BlockKind::Integrator: return std::clamp(output + b.gain * u * dt, b.low, b.high);
    case BlockKind::Valve: return StepValve(b, u, b.hasDp ? ReadInput(b.inputs[1], outputs, external) : 0.0, dt);
    case BlockKind::Motor: return StepMotor(b, output, u, dt);
    case BlockKind::Switch: return u > b.on ? 1.0 : u < b.off ? 0.0 : output;
    case BlockKind::Sum: {
      double sum = b.bias;
      for (size_t k = 0; k < b.inputs.size(); ++k) {
        sum += b.weights[k] * ReadInput(b.inputs[k], outputs, external);
      }
      return sum;
    }
    case BlockKind::Lookup: return Lookup(b, u);
    case BlockKind::Source: return SourceAt(b, seconds);
    case BlockKind::FmuOutput:  // stepped by its plant
      break;
  }
  return output;
}

}  // namespace host
