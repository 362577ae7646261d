// Automatic loop checks, as an acceptance test makes them: for each loop a
// scripted sequence of operator actions through FIX (direction in MANL, a
// setpoint step in AUTO, a failed transmitter), each judged from what the
// loop did. It plans, says which action is due and measures; the runner
// carries the actions out. Sampling a step allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "case/case.h"
#include "checkout/expectations.h"

namespace host {

// A loop to check: its rows and what the tag tables, the plant and FIX say of
// it. A controller's loop (a PID), or a discrete loop: a command (a PV-import
// row on a yes/no flag) and its feedback.
struct CheckedLoop {
  size_t controller = 0, pv = 0;   // rows of the controller (a discrete loop: the PV-import) and PV tables
  std::string variable;            // its measured variable ("L"); empty for a discrete loop
  double low = 0.0, high = 100.0;  // the PV's span, as the DCS states it where it does
  bool directAction = false;       // the controller's A_ACTION is DIRECT (default REVERSE)
  int group = 0;                   // loops of a group are checked at once, groups one after another
  bool discrete = false;
  bool integrating = false;                  // its plant integrates the output (a level): a stroke reads the PV's rate
  double sentLow = 0.0, sentHigh = 100.0;    // the span the transmitter sends over (a plant's may differ from FIX's)
  bool flagFeedback = false;                 // a discrete feedback on a flag: 0 is "YES", running
  double startDelay = 2.0, stopDelay = 2.0;  // s: a discrete loop's feedback delays, as its plant has them
  // Strategies: a loop whose target comes from a master or a ratio station
  // is checked in local automatic (out of cascade, then back as it was); a
  // master's slave (its controller row, or -1) is put back in cascade after
  // the master's failed transmitter has broken it. What the database says
  // of the loop's strategy, for its sheet.
  bool remoteTarget = false;
  int slaveRow = -1;
  int masterRow = -1;        // a cascade's slave: its master's controller row, or -1
  int wildPv = -1;           // the PV row of the wild flow its ratio station reads, or -1: the DCS couples the two
  std::string ratioStation;  // that ratio station's tag
  double wildLow = 0.0, wildHigh = 100.0;  // the wild flow's span
  // A split-range controller's outputs: their PV-import rows, and the part
  // of the controller's output each takes (F_SPLO, F_SPHI; NaN where unstated).
  std::vector<size_t> splitRows;
  std::vector<std::pair<double, double>> splitParts;
  std::string strategy;
};

// The loop's tag: its controller's, or its command's.
const std::string& CheckedTag(const Case& c, const CheckedLoop& loop);

// One loop's checks after the defaults of its kind and letter and every [[loop_check]] that matches it.
struct LoopCheckSettings {
  bool checkDirection = true, checkSetpoint = true, checkBadTransmitter = false, checkRange = false,
       checkStroke = false;
  bool checkStart = true, checkStop = true;  // a discrete loop's
  // A strategy's own, each made where the loop has that strategy.
  bool checkCascadeBreak = true, checkRatio = true, checkSplitRange = true;
  double start = 10.0, outputStep = 5.0, directionTime = 40.0, setpointStep = 10.0;
  double riseTime = 60.0, settlingTime = 120.0, overshoot = 20.0, settleBand = 2.0;
  double rangeTolerance = 0.5, strokeTime = 0.0, startTime = 0.0, stopTime = 0.0;
  std::string waived;
};

// The settings of a loop by its kind, measured variable and tag; false when
// no [[loop_check]] matches it. A matching table's `measures` replaces the
// variable read from the tag. A list of checks sets the checks of the kinds
// it names (a controller's, a strategy's, a discrete loop's); the other
// kinds keep their defaults. dt is the step: the discrete loops' default
// limits are their delays and two steps.
bool SettingsFor(CheckedLoop& loop, const std::string& tag, const std::vector<CaseLoopCheck>& checks, double dt,
                 LoopCheckSettings& settings);

// What the operator does at a step boundary, through FIX.
struct LoopAction {
  // DrivePv: the PV row sends `value` in place of the plant's, as a calibrator
  // drives a transmitter, until ReleasePv; ReadPv: FIX's value of the PV's point.
  // LocalTarget: the controller's cascade switch (A_CASC) read, then "NO";
  // RestoreCascade: back to what was read; SlaveCascade: the slave back in
  // AUTO and in cascade (ReadSlave: its mode, switch and A_CASCBRK once its
  // master's transmitter failed); SetCascade: the loop's own switch to
  // `text`, ReadCascade: its mode and switch read back. ReadRatio: its ratio
  // station's F_RATIO and F_BIAS; SetRatio: the station's F_RATIO to
  // `value`; DriveWild and ReleaseWild: the wild flow's PV row, as DrivePv
  // and ReleasePv.
  enum class Kind {
    SetMode,
    SetOutput,
    SetTarget,
    FailPv,
    RecoverPv,
    ReadMode,
    SetCommand,
    DrivePv,
    ReleasePv,
    ReadPv,
    LocalTarget,
    RestoreCascade,
    SlaveCascade,
    ReadSlave,
    SetCascade,
    ReadCascade,
    ReadRatio,
    SetRatio,
    DriveWild,
    ReleaseWild
  };
  Kind kind = Kind::SetMode;
  size_t loop = 0;               // index among the checked loops
  double value = 0.0;            // SetOutput: percent; SetTarget: the target; DrivePv: the value sent
  std::string text;              // SetMode: "AUTO" or "MANL"; SetCommand: "YES" or "NO"
  const char* begins = nullptr;  // the check this action begins ("direction"), for the plot's marker
};

// The record's values the checks read, by row.
class LoopSignals {
 public:
  virtual ~LoopSignals() = default;
  virtual double Pv(size_t row) const = 0;       // what the PV row sends
  virtual double Output(size_t row) const = 0;   // a controller's output, 0-1
  virtual double Target(size_t row) const = 0;   // a controller's target
  virtual double Command(size_t row) const = 0;  // a PV-import row's value (a flag: 0 is "YES")
};

class LoopChecks {
 public:
  // Plans the checks of every loop a [[loop_check]] matches, group after
  // group, from the run's first step; `loops` as paired.
  void Plan(const Case& c, const std::vector<CheckedLoop>& loops, double stepSeconds);
  bool Empty() const { return loops_.empty(); }
  size_t Count() const;  // the checks planned
  const std::vector<CheckedLoop>& Loops() const { return loops_; }
  // Steps from the run's first that the checks need.
  int64_t StepsNeeded() const { return end_; }
  // The actions due before the step (counted from the run's first), their values from the signals now.
  void At(int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  // The mode FIX holds, read back for a ReadMode action; the PV's value, for a ReadPv.
  void ModeRead(size_t loop, const std::string& mode);
  void PvRead(size_t loop, double value);
  // The cascade switch (A_CASC) as FIX held it before the checks of a loop
  // checked in local, for a LocalTarget action; what RestoreCascade puts back.
  void CascadeRead(size_t loop, const std::string& text);
  const std::string& CascadeBefore(size_t loop) const;
  // A cascade break's mode and switch read back, a ratio check's station as read.
  void CascadeAfter(size_t loop, const std::string& mode, const std::string& cascade);
  void RatioRead(size_t loop, double ratio, double bias);
  void SlaveRead(size_t loop, const std::string& mode, const std::string& cascade, const std::string& configured);
  // After the step: the values of the loops whose setpoint step is watched.
  void Sample(int64_t step, const LoopSignals& signals);
  // One verdict per loop and check the run reached, in the loops' order.
  std::vector<Verdict> Judge(const Case& c) const;
  // Each loop's PV, target and output (percent) around its own checks (its
  // CheckWindow), at most MaxTrend samples evenly spaced over it, with their
  // times from the run's start.
  struct LoopTrend {
    std::vector<double> times, pv, target, output;
    int64_t first = 0, every = 1;  // the steps sampled: first, first + every, ...
  };
  static constexpr size_t MaxTrend = 600;
  // The points of a range or stroke check: 0, 25, 50, 75 and 100 %.
  static constexpr int Points = 5;
  const LoopTrend& Trend(size_t loop) const { return trends_[loop]; }
  // The seconds from the run's start in which a loop's checks run: from
  // shortly before the first to the end of its last rest.
  std::pair<double, double> CheckWindow(size_t loop) const;
  // When each of a loop's checks begins, in seconds from the run's start.
  std::vector<std::pair<double, std::string>> CheckStarts(size_t loop) const;
  // The checks a run that ended early never finished, each a failed verdict
  // ("LIC101 setpoint step": "not reached: WHY"); no waiver covers one.
  std::vector<Verdict> NotReached(const Case& c, const std::string& why) const;
  // Empty when every [[loop_check]] pattern matches a paired loop; else
  // "file:line: loops = ... matches none of the N paired loops".
  static std::string Unmatched(const Case& c, const std::vector<CheckedLoop>& loops);

 private:
  struct Script;
  void Schedule(size_t loop, int64_t from);
  void RangeAt(size_t loop, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  void StrokeAt(size_t loop, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  void DirectionAt(size_t loop, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  void SetpointAt(size_t loop, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  void BadPvAt(size_t loop, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  void SwitchAt(size_t loop, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  void SplitAt(size_t loop, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  void CascadeBreakAt(size_t loop, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  void RatioAt(size_t loop, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due);
  void SampleRatio(size_t loop, int64_t step, const LoopSignals& signals);
  bool SplitPassed(size_t loop, std::string& measured) const;
  bool CascadeBreakPassed(size_t loop, std::string& measured) const;
  bool RatioPassed(size_t loop, std::string& measured) const;
  bool Running(size_t loop, const LoopSignals& signals) const;
  void Stop(size_t loop, const char* check, int64_t at);
  std::string StepCause(const Case& c, size_t loop) const;
  bool RangePassed(size_t loop, std::string& measured) const;
  bool StrokePassed(size_t loop, const std::string& pvTag, std::string& measured) const;
  bool DirectionPassed(size_t loop) const;
  bool StepPassed(size_t loop) const;
  const Case* case_ = nullptr;  // the case planned: its rows' tags name what the checks measured
  std::vector<CheckedLoop> loops_;
  std::vector<LoopCheckSettings> settings_;
  std::vector<Script> scripts_;
  double dt_ = 1.0;
  int64_t end_ = 0;
  std::vector<LoopTrend> trends_;

 public:
  LoopChecks();
  ~LoopChecks();
  LoopChecks(const LoopChecks&) = delete;
  LoopChecks& operator=(const LoopChecks&) = delete;
};

}  // namespace host
