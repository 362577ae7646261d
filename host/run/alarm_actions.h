// The alarm checks against a FIX: what FIX says of each point's alarms,
// read once before the run, and its alarm state read at every step of the
// checks through a group of dcshost's own, made once.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "checkout/alarm_checks.h"
#include "checkout/malfunctions.h"
#include "fix/fix_group.h"
#include "fix/fix_library.h"

namespace host {

// The points an [[alarm_check]] matches, with their span, limits, deadband,
// delay and whether FIX holds their alarm state.
std::vector<AlarmPoint> ReadAlarmPoints(const FixLibrary& fix, const Case& c);

class AlarmStates {
 public:
  AlarmStates(const FixLibrary& fix, const Case& c, const std::vector<AlarmPoint>& points);
  // At a step of the checks: each PV row sends what the checks say, before
  // the step; after it, each point's alarm state read and sampled.
  void Drive(const AlarmChecks& checks, Malfunctions& transmitters, int64_t step) const;
  void Sample(AlarmChecks& checks, int64_t step);

 private:
  std::unique_ptr<FixGroup> group_;
  std::vector<int32_t> handles_;  // each point's in the group, 0 where FIX gave none
};

}  // namespace host
