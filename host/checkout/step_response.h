// The answer to a step, measured as it goes from the samples after the step:
// rise time (to the first sample at 90 % of the step), overshoot (the largest
// excursion past the target), settling (the last sample outside a band
// around the target) and the error at the end. Keeps no samples.
#pragma once

#include <cstdint>

namespace host {

struct StepResponse {
  double from = 0.0, to = 0.0;  // the value at the step and the target
  double band = 0.0;            // the settling band's half-width, absolute
  double riseAt = -1.0;         // seconds from the step; -1: never
  double maxPast = 0.0;         // the largest excursion past the target, toward the step's side
  double lastOutside = -1.0;    // seconds from the step of the last sample outside the band; -1: none
  double last = 0.0;            // the last sample
  int64_t samples = 0;

  void Start(double value, double target, double settleBand);
  // A sample `seconds` after the step.
  void Take(double seconds, double value);
  // The overshoot in percent of the step from `base` to the target.
  double OvershootPercent(double base) const;
  // The time from the step after which every sample to `window` s stayed within the band; false when none did.
  bool SettlingTime(double window, double stepSeconds, double& seconds) const;
  double EndError() const;
};

}  // namespace host
