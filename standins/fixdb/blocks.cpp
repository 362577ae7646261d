// Block behaviour: mode views kept in step, PID computation at each scan within
// the output limits and in the controller's action, shedding to MANL on a bad
// input, and the protection of a controller's output in AUTO.
#include "blocks.h"

#include <algorithm>

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

}  // namespace

void StartAutomatic(Block& block) { block.integral = static_cast<double>(block.cv->value) - Proportional(block); }

void FieldWritten(Field& field) {
  Block* block = field.block;
  if (block == nullptr || block->type != BlockType::Pid) {
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

int16_t WriteRefusal(const Field& field, const std::string* text, float value) {
  const Block* block = field.block;
  if (block == nullptr || block->type != BlockType::Pid) {
    return 0;
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

void ScanBlocks(double seconds) {
  for (auto& entry : Db().blocks) {
    Block& block = entry.second;
    if (block.type != BlockType::Pid || !Automatic(block) || block.input == nullptr) {
      continue;
    }
    // A measurement that cannot be trusted cannot be controlled on: the
    // controller drops to manual with its output as it is, and stays there
    // until an operator puts it back in AUTO.
    if (block.input->error != 0) {
      block.modeText->text = "MANL";
      block.modeFloat->value = 0.0F;
      continue;
    }
    ScanPid(block, seconds);
  }
}

}  // namespace fixdb
