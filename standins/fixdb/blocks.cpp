// Block behaviour: mode views kept in step, PID computation at each scan within
// the output limits and in the controller's action, shedding to MANL on a bad
// input, the protection of a controller's output in AUTO, and the strategies:
// cascades (a remote target, the master tracking), ratio stations and split
// ranges.
#include "blocks.h"

#include <algorithm>
#include <cmath>

#include "database_internal.h"

namespace fixdb {
namespace {

bool Automatic(const Block& block) { return block.modeText != nullptr && block.modeText->text == "AUTO"; }

// A reverse-acting controller raises its output while its input is below
// target (a level filled by its valve); a direct-acting one raises it while
// its input is above target (a temperature held down by cooling).
double Error(const Block& block) {
  const double target = static_cast<double>(block.target->value);
  const double input = static_cast<double>(block.input->value);
  return block.action != nullptr && block.action->text == "DIRECT" ? input - target : target - input;
}

// The output a PID computes from its error, before clamping; none while its
// input is not linked yet.
double Proportional(const Block& block) {
  if (block.input == nullptr) {
    return 0.0;
  }
  return static_cast<double>(block.gain->value) * Error(block);
}

// The limits a PID's output in AUTO keeps to; the control API can set them
// in any order, so the lower of the two is the low one.
void OutputLimits(const Block& block, double& low, double& high) {
  const double a = block.outLow != nullptr ? static_cast<double>(block.outLow->value) : 0.0;
  const double b = block.outHigh != nullptr ? static_cast<double>(block.outHigh->value) : 100.0;
  low = std::min(a, b);
  high = std::max(a, b);
}

// Whether a float written to one of a PID's output limits keeps low below high.
bool LimitsStayOrdered(const Block& block, const Field& field, float value) {
  if (&field == block.outLow) {
    return block.outHigh == nullptr || value < block.outHigh->value;
  }
  if (&field == block.outHigh) {
    return block.outLow == nullptr || block.outLow->value < value;
  }
  return true;
}

// One scan of a PID in AUTO: PI on its error, the output clamped to its
// limits, and the integral held while the output is at a limit.
void ScanPid(Block& block, double seconds) {
  const double gain = static_cast<double>(block.gain->value);
  const double error = Error(block);
  double integral = block.integral;
  if (block.resetTime->value > 0.0F) {
    integral += gain * error * seconds / static_cast<double>(block.resetTime->value);
  }
  const double output = gain * error + integral;
  double low = 0.0;
  double high = 0.0;
  OutputLimits(block, low, high);
  const double clamped = std::clamp(output, low, high);
  if (output == clamped) {
    block.integral = integral;
  }
  block.cv->value = static_cast<float>(clamped);
}

// The float view, kept in step with the text, spares a scan a comparison of texts.
bool InCascade(const Block& block) { return block.cascFloat != nullptr && block.cascFloat->value == 1.0F; }

void SetCascade(Block& block, bool on) {
  block.cascText->text = on ? "YES" : "NO";
  block.cascFloat->value = on ? 1.0F : 0.0F;
}

void SetManual(Block& block) {
  block.modeText->text = "MANL";
  block.modeFloat->value = 0.0F;
}

// A slave takes its remote target while it is in AUTO and in cascade.
bool TakesRemote(const Block& slave) { return Automatic(slave) && InCascade(slave); }

// A master's output (percent) as its slave's target, in the slave's input
// range; and back, for the master tracking the slave's target.
double ScaledIn(const Block& slave, double percent) {
  return slave.inputLow + percent / 100.0 * (slave.inputHigh - slave.inputLow);
}
double PercentOf(const Block& slave, double target) {
  return 100.0 * (target - slave.inputLow) / (slave.inputHigh - slave.inputLow);
}

// The remote target a slave in cascade takes this scan.
void TakeRemote(Block& slave) {
  const Block& remote = *slave.remote;
  const double value = remote.type == BlockType::Ratio ? static_cast<double>(remote.cv->value)
                                                       : ScaledIn(slave, static_cast<double>(remote.cv->value));
  slave.target->value = static_cast<float>(value);
}

// A PID whose measurement failed: to MANL with its output as it is, out of
// cascade; its slave in cascade breaks as configured, to its local target in
// AUTO or to MANL.
void Shed(Block& block) {
  SetManual(block);
  if (block.cascText != nullptr) {
    SetCascade(block, false);
  }
  Block* slave = block.slave;
  if (slave != nullptr && slave->type == BlockType::Pid && InCascade(*slave)) {
    SetCascade(*slave, false);
    if (slave->cascBreak != nullptr && slave->cascBreak->text == "MANL") {
      SetManual(*slave);
    }
  }
}

bool True(const Field* field) { return field->value >= 0.5F; }

// A PID its trip holds: MANL, at its stated output.
bool Tripped(const Block& block) { return block.trip != nullptr && True(block.trip); }

void ScanController(Block& block, double seconds) {
  if (block.input == nullptr) {
    return;
  }
  // A trip holds the PID in MANL at its stated output; once the trip has
  // cleared (its latch reset), the PID goes back to the mode it had, without
  // a bump.
  if (Tripped(block)) {
    block.heldByTrip = block.heldByTrip || Automatic(block);
    SetManual(block);
    block.cv->value = block.tripOutput->value;
    return;
  }
  if (block.heldByTrip) {
    block.heldByTrip = false;
    block.modeText->text = "AUTO";
    block.modeFloat->value = 1.0F;
    StartAutomatic(block);
  }
  // A measurement that cannot be trusted cannot be controlled on: the
  // controller drops to manual with its output as it is, and stays there
  // until an operator puts it back in AUTO.
  if (Automatic(block) && block.input->error != 0) {
    Shed(block);
    return;
  }
  if (block.remote != nullptr && TakesRemote(block)) {
    TakeRemote(block);
  }
  const Block* slave = block.slave;
  if (slave != nullptr && slave->type == BlockType::Pid && !TakesRemote(*slave)) {
    // The master follows the target its slave holds, in either mode, so that
    // it cannot wind up and the slave's return to cascade is bumpless.
    double low = 0.0;
    double high = 0.0;
    OutputLimits(block, low, high);
    block.cv->value =
        static_cast<float>(std::clamp(PercentOf(*slave, static_cast<double>(slave->target->value)), low, high));
    block.tracking = true;
    return;
  }
  if (block.tracking) {  // released: on from the output it tracked, with the error as it is now
    block.tracking = false;
    StartAutomatic(block);
  }
  if (Automatic(block)) {
    ScanPid(block, seconds);
  }
}

// The alarm states by severity, as A_ALMST and F_ALMST show them, in the
// order of the limits (HIHI, HI, LO, LOLO).
constexpr const char* AlarmNames[] = {"HIHI", "HI", "LO", "LOLO"};
constexpr float AlarmValues[] = {2.0F, 1.0F, -1.0F, -2.0F};

// An analog input's alarms at one scan: a limit alarms once the value has
// been at or beyond it for the delay, and clears once the value is back
// past the deadband; the worst active is the state, and a state worse than
// the one before asks for an acknowledgement. A failed transmitter's alarms
// hold as they are.
void ScanAlarms(Block& block, double seconds) {
  if (block.cv->error != 0) {
    return;
  }
  const double value = static_cast<double>(block.cv->value);
  const double deadband = static_cast<double>(block.alarmDeadband->value);
  const double delay = static_cast<double>(block.alarmDelay->value);
  for (size_t k = 0; k < block.limits.size(); ++k) {
    if (block.limits[k] == nullptr) {
      continue;
    }
    const double limit = static_cast<double>(block.limits[k]->value);
    const bool high = k < 2;
    if (block.alarmed[k]) {
      block.alarmed[k] = high ? value >= limit - deadband : value <= limit + deadband;
      continue;
    }
    const bool beyond = high ? value >= limit : value <= limit;
    block.beyondFor[k] = beyond ? block.beyondFor[k] + seconds : 0.0;
    block.alarmed[k] = beyond && block.beyondFor[k] >= delay - 1e-9;
    block.beyondFor[k] = block.alarmed[k] ? 0.0 : block.beyondFor[k];
  }
  float state = 0.0F;
  for (const size_t k : {size_t{0}, size_t{3}, size_t{1}, size_t{2}}) {  // the worst first
    if (block.alarmed[k] && state == 0.0F) {
      state = AlarmValues[k];
      block.alarmText->text = AlarmNames[k];
    }
  }
  if (state == 0.0F) {
    block.alarmText->text = "OK";
  }
  if (std::fabs(state) > std::fabs(block.alarmFloat->value) || state * block.alarmFloat->value < 0.0F) {
    block.alarmAck->text = "NO";
  }
  block.alarmFloat->value = state;
}

// Logic at one scan. A failed input leaves a comparator as it was.
void ScanLogic(Block& block, double seconds) {
  size_t on = 0;
  for (const Field* input : block.inputs) {
    on += True(input) ? 1 : 0;
  }
  const bool all = on == block.inputs.size();
  bool out = false;
  switch (block.type) {
    case BlockType::Compare: {
      const Field& input = *block.inputs[0];
      if (input.error != 0) {
        return;
      }
      const double value = static_cast<double>(input.value);
      const double limit = static_cast<double>(block.limit->value);
      const double deadband = static_cast<double>(block.deadband->value);
      const bool below = block.condition->text == "BELOW";
      if (block.alarmed[0]) {
        out = below ? value <= limit + deadband : value >= limit - deadband;
        break;
      }
      const bool beyond = below ? value <= limit : value >= limit;
      block.beyondFor[0] = beyond ? block.beyondFor[0] + seconds : 0.0;
      out = beyond && block.beyondFor[0] >= static_cast<double>(block.delay->value) - 1e-9;
      block.beyondFor[0] = out ? 0.0 : block.beyondFor[0];
      break;
    }
    case BlockType::Vote: out = static_cast<int>(on) >= block.votes; break;
    case BlockType::And: out = all; break;
    case BlockType::Or: out = on > 0; break;
    case BlockType::Not: out = on == 0; break;
    case BlockType::Latch:
      out = True(block.cv) && !(block.reset->text == "YES" && on == 0);
      out = out || on > 0;
      block.reset->text = "NO";
      break;
    case BlockType::DigitalOutput:
      out = on > 0;
      block.state->text = out ? block.tripState->text : block.normalState->text;
      break;
    default: return;
  }
  block.alarmed[0] = out;
  block.cv->value = out ? 1.0F : 0.0F;
}

// A split-range output: its part of the controller's output over its own 0..100 %.
void ScanSplit(Block& block) {
  const double low = static_cast<double>(block.splitLow->value);
  const double high = static_cast<double>(block.splitHigh->value);
  const double u = static_cast<double>(block.source->cv->value);
  block.cv->value = static_cast<float>(std::clamp(100.0 * (u - low) / (high - low), 0.0, 100.0));
}

}  // namespace

void StartAutomatic(Block& block) { block.integral = static_cast<double>(block.cv->value) - Proportional(block); }

void FieldWritten(Field& field) {
  Block* block = field.block;
  if (block != nullptr && &field == block->state) {  // an operator's command to an output not tripped
    block->normalState->text = field.text;
    return;
  }
  if (block == nullptr || block->type != BlockType::Pid) {
    return;
  }
  if (&field == block->cascText || &field == block->cascFloat) {  // the two cascade views, in step
    SetCascade(*block, &field == block->cascText ? block->cascText->text == "YES" : block->cascFloat->value == 1.0F);
    return;
  }
  const bool wasAutomatic = block->modeFloat->value == 1.0F;
  if (&field == block->action) {
    // A new action flips the error's sign: the output goes on from where it
    // stands rather than jumping.
    if (wasAutomatic) {
      StartAutomatic(*block);
    }
    return;
  }
  if (&field == block->modeText) {
    block->modeFloat->value = Automatic(*block) ? 1.0F : 0.0F;
  } else if (&field == block->modeFloat) {
    block->modeText->text = block->modeFloat->value == 1.0F ? "AUTO" : "MANL";
    block->modeFloat->value = block->modeFloat->value == 1.0F ? 1.0F : 0.0F;
  } else {
    return;
  }
  if (!wasAutomatic && Automatic(*block)) {
    StartAutomatic(*block);
  }
}

bool IsLogic(BlockType type) {
  switch (type) {
    case BlockType::Compare:
    case BlockType::Vote:
    case BlockType::And:
    case BlockType::Or:
    case BlockType::Not:
    case BlockType::Latch:
    case BlockType::DigitalOutput: return true;
    default: return false;
  }
}

int16_t WriteRefusal(const Field& field, const std::string* text, float value) {
  const Block* block = field.block;
  // What logic computes is its own; a tripped output's state and a tripped
  // PID's mode are the trip's until it clears; a reset is YES or NO.
  if (block != nullptr && IsLogic(block->type) &&
      (&field == block->cv || (&field == block->state && True(block->cv)))) {
    return FixdbOutputProtected;
  }
  if (block != nullptr && &field == block->reset && text != nullptr && *text != "YES" && *text != "NO") {
    return FixdbValueNotAllowed;
  }
  if (block != nullptr && Tripped(*block) &&
      ((&field == block->modeText && text != nullptr && *text == "AUTO") ||
       (&field == block->modeFloat && text == nullptr && value == 1.0F))) {
    return FixdbOutputProtected;
  }
  // An alarm's state is the block's to compute; its acknowledgement is YES or NO.
  if (block != nullptr && (&field == block->alarmText || &field == block->alarmFloat)) {
    return FixdbOutputProtected;
  }
  if (block != nullptr && &field == block->alarmAck && text != nullptr && *text != "YES" && *text != "NO") {
    return FixdbValueNotAllowed;
  }
  // What a ratio station or a split-range output computes is theirs alone.
  if (block != nullptr && &field == block->cv && (block->type == BlockType::Ratio || block->source != nullptr)) {
    return FixdbOutputProtected;
  }
  if (block == nullptr || block->type != BlockType::Pid) {
    return 0;
  }
  if (&field == block->cascText && text != nullptr && *text != "YES" && *text != "NO") {
    return FixdbValueNotAllowed;
  }
  if (&field == block->cv && Automatic(*block)) {
    return FixdbOutputProtected;
  }
  if (&field == block->modeText && text != nullptr && *text != "AUTO" && *text != "MANL") {
    return FixdbValueNotAllowed;
  }
  if (&field == block->action && text != nullptr && *text != "DIRECT" && *text != "REVERSE") {
    return FixdbValueNotAllowed;
  }
  if (text == nullptr && (!LimitsStayOrdered(*block, field, value) || (&field == block->gain && value < 0.0F))) {
    return FixdbValueNotAllowed;
  }
  return 0;
}

void ScanBlocks(const std::vector<Block*>& order, double seconds) {
  for (Block* block : order) {
    switch (block->type) {
      case BlockType::Ratio:
        if (block->input != nullptr && block->input->error == 0) {
          block->cv->value = block->ratio->value * block->input->value + block->bias->value;
        }
        break;
      case BlockType::Pid: ScanController(*block, seconds); break;
      case BlockType::AnalogOutput:
        if (block->source != nullptr) {
          ScanSplit(*block);
        }
        break;
      case BlockType::AnalogInput: ScanAlarms(*block, seconds); break;
      case BlockType::DigitalFlag: break;
      default: ScanLogic(*block, seconds); break;
    }
  }
}

}  // namespace fixdb
