// Block behaviour of the simulated database: analog input and output blocks,
// a PID controller, a digital flag and a ratio station. A block ties its
// fields together (a PID's two mode views), computes at each scan, sheds a
// PID with a bad input to MANL, and protects a PID's output in AUTO, as a real
// control system does. The strategies a unit runs are links between blocks:
// a PID's remote (cascade) target from a master PID or a ratio station, and
// an output block taking its part of a controller's output (split range).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace fixdb {

struct Field;

// The logic a unit's trips are made of: a comparator on a point, a vote of
// M of N inputs, AND, OR, NOT, a latch reset by its operator, and a digital
// output that a trip drives to a state (a valve closed, a pump stopped).
enum class BlockType {
  AnalogInput,
  AnalogOutput,
  Pid,
  DigitalFlag,
  Ratio,
  Compare,
  Vote,
  And,
  Or,
  Not,
  Latch,
  DigitalOutput
};

// Blocks whose F_CV is a logic value (1 or 0) they compute.
bool IsLogic(BlockType type);

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
  Field* input = nullptr;      // a PID's measured value, a ratio station's wild flow: F_CV of the linked tag
  std::string inputTag;        // the tag INPUT names
  double integral = 0.0;       // a PID's integral part, percent of output
  // A cascade: the block a PID's remote target comes from (REMOTE), taken
  // while the PID is in AUTO and its A_CASC is "YES": a master PID's output
  // scaled into this PID's input range (F_ELO..F_EHI of its input, 0..100
  // where it states none), or a ratio station's output as it is. A master
  // knows its one slave, whose target it tracks while the slave is not
  // taking it (no windup, a bumpless return).
  Block* remote = nullptr;
  std::string remoteTag;
  Block* slave = nullptr;
  bool tracking = false;       // a master following its slave's target, until the slave takes it again
  Field* cascText = nullptr;   // A_CASC: "YES" or "NO"
  Field* cascFloat = nullptr;  // F_CASC: 1.0 in cascade, 0.0 not
  Field* cascBreak = nullptr;  // A_CASCBRK: what the slave does when its master's measurement fails, "LOCAL" or "MANL"
  double inputLow = 0.0, inputHigh = 100.0;  // the range of a PID's input, for a master's output
  // A ratio station: F_CV = F_RATIO x the wild flow (INPUT) + F_BIAS.
  Field* ratio = nullptr;
  Field* bias = nullptr;
  // A split-range output: the part F_SPLO..F_SPHI (percent) of its source
  // controller's output (SOURCE) mapped onto its own 0..100 %.
  Block* source = nullptr;
  std::string sourceTag;
  Field* splitLow = nullptr;
  Field* splitHigh = nullptr;
  // An analog input's alarms: its limits (F_HIHI, F_HI, F_LO, F_LOLO, each
  // where given), the deadband a limit clears past (F_ALMDB, in its units)
  // and the time a value must stay beyond a limit before it alarms
  // (F_ALMDLY, s); the worst alarm active (A_ALMST "HIHI", "HI", "OK", "LO"
  // or "LOLO"; F_ALMST 2, 1, 0, -1 or -2) and whether the operator has
  // acknowledged it (A_ALMACK "YES" or "NO", "NO" again at each new alarm).
  std::array<Field*, 4> limits{};  // HIHI, HI, LO, LOLO
  std::array<bool, 4> alarmed{};
  std::array<double, 4> beyondFor{};  // s the value has been beyond each limit, not yet alarmed
  Field* alarmDeadband = nullptr;
  Field* alarmDelay = nullptr;
  Field* alarmText = nullptr;
  Field* alarmFloat = nullptr;
  Field* alarmAck = nullptr;
  // Logic: its inputs (INPUT, or INPUTS=A+B+C), each true at 0.5 or more.
  // A comparator (CMP) trips while its INPUT is at or beyond F_LIMIT (A_COND
  // "ABOVE" or "BELOW") for F_DELAY s and clears past F_DB; a vote (VOTE)
  // is true while A_VOTE's M of its N INPUTS are; a latch (LATCH) is set by
  // its INPUT and cleared by A_RESET "YES" once its input is clear; a
  // digital output (DO) is in A_TRIP's state while its INPUT is true, else
  // in A_NORMAL's, and shows it in A_STATE.
  std::vector<Field*> inputs;
  std::vector<std::string> inputTags;  // INPUTS as given
  int votes = 1;                       // a vote's M
  Field* condition = nullptr;          // A_COND
  Field* limit = nullptr;              // F_LIMIT
  Field* deadband = nullptr;           // F_DB
  Field* delay = nullptr;              // F_DELAY
  Field* reset = nullptr;              // A_RESET
  Field* state = nullptr;              // A_STATE
  Field* tripState = nullptr;          // A_TRIP
  Field* normalState = nullptr;        // A_NORMAL
  // A PID forced to MANL at F_TRIPOUT % while the logic TRIP names is true,
  // back in AUTO once it is not where it was in AUTO before (heldByTrip).
  Field* trip = nullptr;
  bool heldByTrip = false;
  std::string tripTag;
  Field* tripOutput = nullptr;
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
// One scan of the blocks in `order` (ratio stations and masters before the
// PIDs they feed, controllers before their split-range outputs) over the
// given time; a PID in AUTO whose input reports an error (a failed
// transmitter, its node down) goes to MANL and keeps its output, and leaves
// cascade. Allocates nothing.
void ScanBlocks(const std::vector<Block*>& order, double seconds);

}  // namespace fixdb
