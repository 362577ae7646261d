// One loop's script of checks, private to the loop checks: the step
// boundaries of each check (-1 where it is not made) and what was measured.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "checkout/loop_checks.h"
#include "checkout/step_response.h"

namespace host {

struct LoopChecks::Script {
  int64_t dir0 = -1, dir1 = -1, sp0 = -1, sp1 = -1, bad0 = -1, bad1 = -1, end = 0;
  int64_t first = -1;  // the first check's start
  // range and stroke: Points points (0, 25, 50, 75, 100 %), each held `hold` steps from range0 / stroke0
  int64_t range0 = -1, rangeHold = 0, stroke0 = -1, strokeHold = 0;
  std::array<double, Points> rangeSent{}, rangeRead{};  // what the PV row sent, what FIX read
  double strokeU0 = 0.0;
  std::array<double, Points> strokeMid{}, strokeEnd{};  // the PV halfway through each point's hold and at its end
  // A discrete loop's two switches: the first changes the command from what
  // it was (start where it was stopped), the second changes it back.
  struct Switch {
    int64_t at0 = -1, at1 = -1;
    double reachedAt = -1.0;  // s from the command to the feedback's new state
    bool starting = false, already = false, measured = false;
  };
  std::array<Switch, 2> switches;
  // direction: the output moved by du (percent) from u0, the PV from pv0 by dpv
  double u0 = 0.0, du = 0.0, pv0 = 0.0, dpv = 0.0;
  // The check that failed and stopped the loop's later checks, or null; the
  // loop was left in MANL at the output it had before that check.
  const char* stoppedBy = nullptr;
  int64_t stoppedAt = -1;  // the step the failed check began
  double uBeforeStep = 0.0;
  // setpoint step: from sp to newSp, the PV's answer
  double sp = 0.0, newSp = 0.0;
  StepResponse answer;
  // What names a failed step's cause: the output's and the PV's extremes
  // over the step, and the first time the target was not the stepped one.
  double outLow = 0.0, outHigh = 0.0, pvLow = 0.0, pvHigh = 0.0, pvLast = 0.0, pvAtRiseLimit = 0.0;
  double movedAt = -1.0, movedTo = 0.0;
  // bad transmitter: the output once the controller met the failed PV and when judged, and the mode then
  double badU0 = 0.0, badU1 = 0.0;
  std::string mode;
  std::string slaveMode, slaveCascade, slaveBreak;  // a master's slave once the master's transmitter failed
  std::string cascade;                              // A_CASC before the checks of a loop checked in local
  // split range: Points points of the output held splitHold steps each from
  // split0, the PV and each output's share at the end of each hold
  int64_t split0 = -1, splitHold = 0;
  double splitU0 = 0.0;
  std::array<double, Points> splitPv{};
  std::vector<std::array<double, Points>> splitShare;
  // cascade break: in cascade at cas0, the slave's transmitter failed at
  // casFail, judged and recovered at cas1, back in cascade at casBack, the
  // bump read two steps later
  int64_t cas0 = -1, casFail = -1, cas1 = -1, casBack = -1;
  double masterU0 = 0.0, masterU1 = 0.0, slaveTarget1 = 0.0, targetBack = 0.0, bump = 0.0;
  std::string casMode, casAfter;
  // ratio: in cascade at rat0, the wild flow stepped at ratStep, the ratio
  // changed at ratChange, both put back at ratEnd; each phase's wanted flow,
  // its last value and the last time it was outside the band
  int64_t rat0 = -1, ratStep = -1, ratChange = -1, ratEnd = -1;
  double ratio = 0.0, bias = 0.0, newRatio = 0.0, wild0 = 0.0, wild1 = 0.0, flow0 = 0.0;
  struct RatioPhase {
    double wanted = 0.0, last = 0.0, outsideAt = 0.0;
    bool seen = false;
  };
  std::array<RatioPhase, 2> phases;
  // The readings taken of the range, stroke and split range's points; the
  // checks measured (seen: the setpoint step's first sample).
  int rangeReads = 0, strokeEnds = 0, splitEnds = 0;
  bool dirMeasured = false, seen = false, badMeasured = false, casMeasured = false, ratMeasured = false;
  // Each check's start step in the order they are made, with its name; a
  // discrete loop's switches are named once the run has made them.
  std::vector<std::pair<int64_t, const char*>> Starts() const;
};

}  // namespace host
