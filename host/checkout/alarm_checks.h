// Alarm checks, as an acceptance test makes them: each point's value sent
// from the plant side (its PV row's value, as a transmitter would send it)
// to a value clear of its limits, then ramped up past its high limits and
// back, and down past its low limits and back, FIX's alarm state read at
// every step; each limit judged by the values its alarm rose and cleared
// at. It plans, says what each PV row sends and measures; the runner drives
// and reads. Sampling a step allocates nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "case/case.h"
#include "checkout/expectations.h"

namespace host {

// The limits in their order: HIHI, HI, LO, LOLO, and their alarm states (F_ALMST).
constexpr std::array<const char*, 4> AlarmLimitNames = {"HIHI", "HI", "LO", "LOLO"};
constexpr std::array<double, 4> AlarmLevels = {2.0, 1.0, -1.0, -2.0};

// A point to check: its PV row and what FIX says of its alarms.
struct AlarmPoint {
  size_t pv = 0;
  double low = 0.0, high = 100.0;      // its span (F_ELO..F_EHI), 0..100 where FIX states none
  std::array<double, 4> configured{};  // F_HIHI, F_HI, F_LO, F_LOLO; NaN where FIX has none
  double deadband = 0.0, delay = 0.0;  // F_ALMDB, F_ALMDLY; 0 where FIX has none
  bool readable = true;                // FIX holds its alarm state (F_ALMST)
};

class AlarmChecks {
 public:
  // Plans the checks of the points every [[alarm_check]] matches (the last
  // that matches a point gives its settings), all at once, from the step
  // `from` (counted from the run's first).
  void Plan(const Case& c, const std::vector<AlarmPoint>& points, double stepSeconds, int64_t from);
  bool Empty() const { return points_.empty(); }
  const std::vector<AlarmPoint>& Points() const { return points_; }
  size_t Count() const;  // the limits checked
  int64_t StepsNeeded() const { return end_; }
  // True while the checks drive and read: from their first step to their last.
  bool Active(int64_t step) const { return !points_.empty() && step >= from_ && step <= end_; }
  // What a point's PV row sends at the step: a value, or NaN (the plant's again).
  double Sent(size_t point, int64_t step) const;
  // After the step: FIX's alarm state of the point (F_ALMST; NaN when unread).
  void Sample(size_t point, int64_t step, double state);
  std::vector<Verdict> Judge(const Case& c) const;
  // The limits a run that ended early never finished, each failed.
  std::vector<Verdict> NotReached(const Case& c, const std::string& why) const;
  // Each limit checked, as the report's table of alarms lists it: the
  // limit as configured in FIX and as the alarm list states it (NaN where
  // none), and the values its alarm was found to rise and clear at (NaN:
  // it did not).
  struct Found {
    size_t point = 0, limit = 0;  // index among Points(), and among AlarmLimitNames
    double configured = 0.0, stated = 0.0, rose = 0.0, cleared = 0.0;
  };
  std::vector<Found> Table() const;
  // Empty when every [[alarm_check]] pattern matches a PV row; else "file:line: ...".
  static std::string Unmatched(const Case& c);
  // The PV rows (one per point) an [[alarm_check]] matches, in the case's order.
  static std::vector<size_t> Matched(const Case& c);

 private:
  struct Settings {
    double rate = 10.0, tolerance = 0.5;  // % of span per minute, % of span
    std::array<double, 4> stated{};       // the alarm list's limits, NaN where it gives none
    std::string waived;
  };
  // A point's excursions: at home from from_, up to `top` and back, down to
  // `bottom` and back, each ramp `ramp` steps, then home until released.
  struct Script {
    double home = 0.0, top = 0.0, bottom = 0.0;
    int64_t up0 = -1, down0 = -1, ramp = 0, settle = 0;
    std::array<double, 4> rose{}, cleared{};  // the values sent when each limit's alarm rose and cleared, NaN: not
    std::array<double, 4> last{};             // the state at the end of each excursion
    double previous = 0.0;                    // the state the step before
    int64_t sampledTo = -1;
  };
  double Limit(size_t point, size_t k) const;  // what the alarm must act at: stated, else configured
  bool Judged(size_t point, size_t k, std::string& measured) const;
  std::vector<AlarmPoint> points_;
  std::vector<Settings> settings_;
  std::vector<Script> scripts_;
  double dt_ = 1.0;
  int64_t from_ = 0, end_ = 0;
};

}  // namespace host
