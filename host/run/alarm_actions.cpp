// Alarm checks through FIX: the points' facts read before the run, their
// PV rows driven and their alarm states read at each step of the checks.
#include "run/alarm_actions.h"

#include <cmath>
#include <limits>

namespace host {

std::vector<AlarmPoint> ReadAlarmPoints(const FixLibrary& fix, const Case& c) {
  const char* const fields[] = {"F_HIHI", "F_HI", "F_LO", "F_LOLO", "F_ALMDB", "F_ALMDLY", "F_ELO", "F_EHI", "F_ALMST"};
  const std::vector<size_t> rows = AlarmChecks::Matched(c);
  std::vector<PointName> points;
  for (const size_t r : rows) {
    for (const char* field : fields) {
      points.push_back(PointName{c.pv[r].node, c.pv[r].tag, field});
    }
  }
  const std::vector<double> read = ReadFloats(fix.api(), points);
  std::vector<AlarmPoint> alarms;
  for (size_t i = 0; i < rows.size(); ++i) {
    const double* v = &read[i * std::size(fields)];
    AlarmPoint p;
    p.pv = rows[i];
    p.configured = {v[0], v[1], v[2], v[3]};
    p.deadband = std::isnan(v[4]) ? 0.0 : v[4];
    p.delay = std::isnan(v[5]) ? 0.0 : v[5];
    const bool ranged = std::isfinite(v[6]) && std::isfinite(v[7]) && v[6] < v[7];
    p.low = ranged ? v[6] : 0.0;
    p.high = ranged ? v[7] : 100.0;
    p.readable = !std::isnan(v[8]);
    alarms.push_back(p);
  }
  return alarms;
}

AlarmStates::AlarmStates(const FixLibrary& fix, const Case& c, const std::vector<AlarmPoint>& points)
    : group_(std::make_unique<FixGroup>(fix.api(), static_cast<int32_t>(points.size()))) {
  for (const AlarmPoint& p : points) {
    handles_.push_back(group_->created() ? group_->Define(c.pv[p.pv].node, c.pv[p.pv].tag, "F_ALMST") : 0);
  }
  if (group_->created() && !points.empty()) {
    group_->Resolve();
  }
}

void AlarmStates::Drive(const AlarmChecks& checks, Malfunctions& transmitters, int64_t step) const {
  for (size_t i = 0; i < checks.Points().size(); ++i) {
    transmitters.Drive(checks.Points()[i].pv, checks.Sent(i, step));
  }
}

void AlarmStates::Sample(AlarmChecks& checks, int64_t step) {
  const bool read = group_->created() && group_->Read() == 0;
  for (size_t i = 0; i < handles_.size(); ++i) {
    float value = 0.0F;
    const bool good =
        read && handles_[i] > 0 && group_->PointError(handles_[i]) == 0 && group_->GetFloat(handles_[i], value) == 0;
    checks.Sample(i, step, good ? static_cast<double>(value) : std::numeric_limits<double>::quiet_NaN());
  }
}

}  // namespace host
