// A case file: the general setting, the run's length, the process model, the
// simulated database to load, scripted operator events and the three tag
// tables, inline or from CSV files. Loading reports "file:line: what is
// wrong" for every problem it finds first; it never throws.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace host {

// A run's length at most, in a case file and on the command line.
constexpr int64_t MaxSteps = 100000000;
// A step's length at most, in seconds: a day. A run of MaxSteps steps then
// spans at most 8.6e12 s, a time a double holds to well under a millisecond.
constexpr double MaxStepSeconds = 86400.0;

// A field whose name begins with 'A' (A_AUTO, A_ROUT) holds a text; every
// other field a float.
bool IsTextField(const std::string& field);
// True when FIX, which holds 32-bit floats, can take the value as it is.
bool FitsFixFloat(double value);

// The three tag tables, each described once: its TOML array and file keys,
// its name in messages and the values its rows carry.
enum class TableKind { Ctrl, PV, PVImport };

struct TableDescriptor {
  TableKind kind;
  const char* rowsKey;                    // [[controller]]: rows written in the case
  const char* fileKey;                    // controllers = "file.csv": rows from a CSV table
  const char* label;                      // "controller", in "controller row 3"
  std::vector<const char*> valueKeys;     // TOML keys of the row's numbers, in CSV order
  std::vector<const char*> valueColumns;  // their CSV columns
  std::vector<double> valueDefaults;      // when a TOML row leaves one out
  const char* linkKey;                    // the model variable the row is tied to ("drives", "from"), or null
  const char* linkColumn;                 // its optional last CSV column
};

const std::vector<TableDescriptor>& TableDescriptors();

// Where a row or event came from, for messages.
struct Origin {
  std::string file;
  int line = 0;
};

struct CaseCtrlRow {
  std::string node, tag, field;
  int16_t active = 1;
  double mode = 1.0;    // 1.0 automatic, anything else manual
  double output = 0.0;  // a fraction
  double tv1 = 0.0;
  std::string drives;  // the model input its output drives, or empty
  Origin origin;
};

struct CasePVRow {
  std::string node, tag, field;
  int16_t active = 1;
  double value = 0.0;
  std::string from;  // PV rows: the model output it carries, or empty
  Origin origin;
};

// An operator's change at the DCS: at a step, set NODE:TAG.FIELD.
struct CaseEvent {
  std::string name;  // for an expectation's after_event; may be empty
  int step = 0;
  std::string node, tag, field;
  bool isText = false;
  double value = 0.0;
  std::string text;
  Origin origin;
};

// A judgement of the run, made at its end.
struct CaseExpectation {
  enum class Kind { Signal, Mode, Messages, Binds };
  Kind kind = Kind::Signal;
  std::string signal;     // Signal: a trace column, a model variable, or NODE:TAG.FIELD
  bool fromTime = false;  // the window starts at `after` seconds (true) or at step `fromStep`
  double after = 0.0;
  int64_t fromStep = 0;
  double before = -1.0;       // the window ends before this many seconds; negative: at the end of the run
  double lo = 0.0, hi = 0.0;  // Signal: the band; NaN where it is open
  bool hasEquals = false;
  bool equalsText = false;
  double equalsValue = 0.0;
  double tolerance = 0.0;             // equals a number within this, absolute
  std::string text;                   // Signal equals a text; Mode: the mode; Controller tag for Mode
  std::string controller;             // Mode: the controller row's tag
  std::vector<std::string> messages;  // Messages: exactly these keys (empty: none)
  bool binds = true;                  // Binds: whether the case is expected to bind
  std::string description;            // as printed: "level within [2.45, 2.55] after 900 s"
  std::string waived;                 // a known deficiency: "PL-0042: reason", or empty
  // Over loops: a glob over the paired loops' controller tags. Each loop is
  // judged on its own: Mode with no controller, or Signal naming one of the
  // loop's signals in percent ("pv", "target", "output", "deviation").
  std::string loops;
  // Signal, after_event: the answer to a step an event made, measured from
  // its step to the target (the event's value unless `target` is given).
  // Limits not given are NaN and not judged.
  bool response = false;
  double target = 0.0;
  double riseTime = 0.0, overshoot = 0.0, settlingTime = 0.0, steadyStateError = 0.0;
  double settleBand = 2.0;  // % of the step
  Origin origin;
};

// An instructor's malfunction, from a step (and to a step, where `until` is given).
struct CaseMalfunction {
  enum class Kind { Frozen, Bias, Drift, Failed, Stuck, NodeDown };
  Kind kind = Kind::Frozen;
  int64_t step = 0;
  int64_t until = -1;       // -1: to the end of the run
  size_t pvRow = 0;         // Frozen, Bias, Drift, Failed: the PV row of the transmitter
  double amount = 0.0;      // Bias: added; Drift: added per second
  std::string input;        // Stuck: the model input that stops following its controller
  std::string node;         // NodeDown
  std::string description;  // as printed
  std::string label;        // short, for the plot: "valve stuck"
  Origin origin;
};

// Automatic checks of the loops whose controller tags match a pattern, each a
// scripted sequence an operator would make through FIX. Numbers not given are
// NaN and take their defaults by the measured variable's letter; a later
// [[loop_check]] that matches a loop overrides what it gives.
struct CaseLoopCheck {
  std::string loops;                // a glob over controller and command tags: "*", "FIC*", "LIC101", "HS*"
  std::vector<std::string> checks;  // "range", "stroke", "direction", "setpoint_step", "bad_transmitter",
                                    // "cascade_break", "ratio", "split_range", "start", "stop"; empty: not given
  std::string measures;             // the loops' measured variable ("T"), over their tags' letters; empty: not given
  double start;                     // s: when the first check begins
  double outputStep;                // % of output: direction
  double directionTime;             // s: how long the output is held moved
  double setpointStep;              // % of span
  double riseTime, settlingTime;    // s: the limits from the step
  double overshoot;                 // % of the step
  double settleBand;                // % of span
  double rangeTolerance;            // % of span: range, FIX's reading against what the transmitter sent
  double strokeTime;                // s: stroke, how long each output is held
  double startTime, stopTime;       // s: a discrete loop's feedback limits after its command
  std::string waived;               // a punch-list reference accepting these loops' failures
  Origin origin;
  CaseLoopCheck();
};

// Alarm checks of the PV rows whose tags match a pattern: each alarm limit
// crossed from the plant side (the row's value ramped as a transmitter would
// send it) and back, the alarm's rise and clearing judged. The limits an
// alarm list states, where given, are what the alarms must act at; else
// FIX's own. Numbers not given are NaN.
struct CaseAlarmCheck {
  std::string points;         // a glob over PV rows' tags
  double rate;                // % of span per minute the value is ramped at (default 10)
  double tolerance;           // % of span: how far from its limit an alarm may act (default 0.5)
  double hihi, hi, lo, lolo;  // the alarm list's limits, in the point's units
  std::string waived;         // a punch-list reference accepting these points' failures
  Origin origin;
  CaseAlarmCheck();
};

// A cause-and-effect matrix, as a spreadsheet exports it: one row per cause
// (a point beyond a limit, alone or voting in a group after a delay), one
// column per effect (a tag in a state), an X where the cause must produce
// the effect.
struct MatrixEffect {
  std::string node, tag, state;  // "XV-101", "CLOSED"; a controller's "MANL" or "AUTO"
};
struct MatrixCause {
  std::string id, description, tag, condition;  // condition "HH", "H", "L", "LL", ">" or "<"
  double limit = 0.0;                           // NaN: the point's own (F_HIHI, F_HI, F_LO, F_LOLO)
  std::string group;                            // rows of a group vote; empty: the cause alone
  int votes = 1, of = 1;                        // the group's vote, M out of N
  double delay = 0.0;                           // s
  std::vector<bool> effects;                    // per effect column: marked X
  Origin origin;
};
struct CaseMatrix {
  std::string path;  // the CSV file, resolved; empty: no matrix
  std::vector<MatrixEffect> effects;
  std::vector<MatrixCause> causes;
  // [matrix]: the node of tags the file names without one, the reset
  // commands written "YES" once a cause has cleared, the time an effect may
  // take after its cause's delay, and waivers by cause ID (a glob).
  std::string node;
  std::vector<std::string> reset;  // "NODE:TAG.FIELD"
  double effectTime = 5.0;
  std::vector<std::pair<std::string, std::string>> waived;
};

// A value of a block's key as written: a number, a text (a name) or a list of
// either. Whether the key is known and the value fits is the model's concern.
struct BlockValue {
  enum class Form { Number, Text, List, Table };
  Form form = Form::Number;
  double number = 0.0;
  std::string text;
  std::vector<BlockValue> items;                           // a list's entries, each a number or a text
  std::vector<std::pair<std::string, BlockValue>> fields;  // a table's, in the order written: numbers or texts
  Origin origin;
};

// One [[block]] of a "blocks" model: its name, kind and every other key.
struct CaseBlock {
  std::string name, kind, unit;
  std::map<std::string, BlockValue> keys;
  Origin origin;
};

// A setting of generated tiebacks, for the loops of one measured variable, for
// one loop, or for every discrete loop; what it leaves out keeps its default.
struct TiebackSetting {
  std::string letter;     // [tieback.letter.T]: the measured variable ("T", "PD")
  std::string loop;       // [tieback.loop.TIC101]: a controller's or a discrete command's tag
  bool discrete = false;  // [tieback.discrete]: every discrete loop
  std::string dynamics;   // "lag" or "integrating"; empty: not given
  std::string action;     // "direct" or "reverse"; empty: not given
  std::string measures;   // [tieback.loop.X]: the loop's measured variable ("T"), over its tag's letters; or empty
  // Numbers not given are NaN.
  double timeConstant, deadTime, fillTime, low, high, startDelay, stopDelay;
  Origin origin;
  std::map<std::string, Origin> origins;  // where each number given is written, by its key
  TiebackSetting();
};

// The kinds of process model a case names in [model] type.
enum class ModelType { None, Tank, Blocks, Tieback };

// The name a case writes for the type ("none", "tank", "blocks", "tieback").
const char* ModelTypeName(ModelType type);

struct ModelSettings {
  ModelType type = ModelType::None;
  std::map<std::string, double> parameters;
  std::map<std::string, Origin> origins;  // where each parameter was given
  Origin origin;                          // where [model] begins
  std::string file;                       // "blocks": the model file named in [model], resolved, or empty
  std::vector<CaseBlock> blocks;          // "blocks": in the order written, the model file's first
  std::vector<TiebackSetting> tieback;    // "tieback": the [tieback] settings, in the order written
};

// [report]: the heading every loop sheet carries; empty where not given.
struct ReportHeading {
  std::string project, unit, document, revision;
};

struct Case {
  std::string path;
  std::string name;
  int32_t initCycle = 0;  // 0 Perform, 1 Skip
  int steps = 10;
  double stepSeconds = 1.0;
  std::string database;  // the simulated database's file, resolved; empty for a real FIX
  ModelSettings model;
  std::vector<CaseCtrlRow> controllers;
  std::vector<CasePVRow> pv;
  std::vector<CasePVRow> pvImport;
  std::vector<CaseEvent> events;
  std::vector<CaseExpectation> expectations;
  std::vector<CaseMalfunction> malfunctions;
  std::vector<CaseLoopCheck> loopChecks;
  std::vector<CaseAlarmCheck> alarmChecks;
  CaseMatrix matrix;
  ReportHeading report;
  std::string initialState;       // a saved state to start from, resolved; empty: the case's own start
  std::vector<std::string> plot;  // panels to plot: trace columns, '+' joining those sharing a panel
  Origin plotOrigin;              // where plot is written
};

// A row as dcshost's messages name it, counted from 1 as a user counts the
// rows of a table in the case: RowLabel("controller", 0) is "controller row 1".
std::string RowLabel(const std::string& table, size_t index);

// Loads a case; false with "file:line: what is wrong" in error.
bool LoadCase(const std::string& path, Case& loaded, std::string& error);
// Gives every PV row that a block's 'pv' key names ("NODE:TAG.FIELD", or
// "TAG.FIELD" where one row has it) that block's output to carry; false with
// "file:line: what" for a 'pv' that names no row, or a row that carries
// another output already. LoadCase does this for a model of blocks.
bool LinkBlockOutputs(Case& c, std::string& error);

// The [[block]] tables of a model file's text, read as a model file named
// `file` is; false with "file:line: what" as its reader says it.
bool ReadModelText(const std::string& file, const std::string& text, std::vector<CaseBlock>& blocks,
                   std::string& error);
// True for a model file that a case names: [[block]] tables and no [case].
bool IsModelFile(const std::string& path);

// A number as messages and descriptions show it ("%g").
std::string Shown(double value);
// "NODE:TAG.FIELD".
std::string PointText(const std::string& node, const std::string& tag, const std::string& field);
// The point of a controller's target ("NODE:TAG.F_TV1", on the driver's rule),
// which a PV row that names the same point writes too.
std::string TargetPoint(const CaseCtrlRow& controller);
// "file:line".
std::string Where(const Origin& origin);

// True when a name holds a character below the space (a NUL, a tab, a line
// break) or DEL: no FIX name holds one, and a C string would be cut at a NUL.
bool HasControlCharacter(const std::string& name);

// Splits "NODE:TAG.FIELD"; false when the text has another form.
bool ParsePointName(const std::string& text, std::string& node, std::string& tag, std::string& field);

}  // namespace host
