// Block behaviour of the simulated database: analog input and output blocks,
// a PID controller and a digital flag. A block ties its fields together (a
// PID's two mode views), computes at each scan, sheds a PID with a bad input
// to MANL, and protects a PID's output in AUTO, as a real control system does.
#pragma once

#include <cstdint>
#include <string>

namespace fixdb {

struct Field;

enum class BlockType { AnalogInput, AnalogOutput, Pid, DigitalFlag };

struct Block {
  BlockType type = BlockType::AnalogInput;
  Field* cv = nullptr;         // F_CV: value, or a PID's output in percent
  Field* target = nullptr;     // F_TV1: a PID's target value
  Field* modeText = nullptr;   // A_AUTO: "AUTO" or "MANL"
  Field* modeFloat = nullptr;  // F_AUTO: 1.0 automatic, 0.0 manual
  Field* gain = nullptr;       // F_KP: percent of output per unit of error
  Field* resetTime = nullptr;  // F_TI: integral time in seconds, 0 = none
  Field* outLow = nullptr;     // F_OUTLO: lowest output in AUTO, percent
  Field* outHigh = nullptr;    // F_OUTHI: highest output in AUTO, percent
  Field* action = nullptr;     // A_ACTION: "REVERSE" (error = target - input) or "DIRECT"
  Field* input = nullptr;      // a PID's measured value: F_CV of the linked tag
  std::string inputTag;        // the tag INPUT names
  double integral = 0.0;       // a PID's integral part, percent of output
};

// A PID entering AUTO starts from its output as it stands, without a bump.
void StartAutomatic(Block& block);
// Keeps the block's fields in step after one of them was written.
void FieldWritten(Field& field);
// The error code that refuses a write to the field now (0: it is taken): a
// PID's output in AUTO, a PID's mode text other than "AUTO" and "MANL", an
// action other than "DIRECT" and "REVERSE", output limits that would not keep
// low below high, or a negative gain (text is the text being written, null
// for a float; value the float being written).
int16_t WriteRefusal(const Field& field, const std::string* text, float value);
// One scan of every block over the given time; a PID in AUTO whose input
// reports an error (a failed transmitter, its node down) goes to MANL and
// keeps its output.
void ScanBlocks(double seconds);

}  // namespace fixdb
