// Block behaviour: mode views kept in step, PID computation at each scan, and
// the protection of a controller's output in AUTO.
#include "blocks.h"

#include <algorithm>

#include "database_internal.h"

namespace fixdb {
namespace {

bool Automatic(const Block& block) { return block.modeText != nullptr && block.modeText->text == "AUTO"; }

// The output a PID computes from its error, before clamping; none while its
// input is not linked yet.
double Proportional(const Block& block) {
  if (block.input == nullptr) {
    return 0.0;
  }
  const double error = static_cast<double>(block.target->value) - static_cast<double>(block.input->value);
  return static_cast<double>(block.gain->value) * error;
}

}  // namespace

void StartAutomatic(Block& block) { block.integral = static_cast<double>(block.cv->value) - Proportional(block); }

void FieldWritten(Field& field) {
  Block* block = field.block;
  if (block == nullptr || block->type != BlockType::Pid) {
    return;
  }
  const bool wasAutomatic = block->modeFloat->value == 1.0F;
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

int16_t WriteRefusal(const Field& field, const std::string* text) {
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
  return 0;
}

void ScanBlocks(double seconds) {
  for (auto& entry : Db().blocks) {
    Block& block = entry.second;
    if (block.type != BlockType::Pid || !Automatic(block) || block.input == nullptr) {
      continue;
    }
    const double proportional = Proportional(block);
    const double error = proportional / (block.gain->value != 0.0F ? static_cast<double>(block.gain->value) : 1.0);
    double integral = block.integral;
    if (block.resetTime->value > 0.0F) {
      integral += static_cast<double>(block.gain->value) * error * seconds / static_cast<double>(block.resetTime->value);
    }
    const double output = proportional + integral;
    const double clamped = std::clamp(output, 0.0, 100.0);
    // The integral stops growing while the output is at a limit.
    if (output == clamped) {
      block.integral = integral;
    }
    block.cv->value = static_cast<float>(clamped);
  }
}

}  // namespace fixdb
