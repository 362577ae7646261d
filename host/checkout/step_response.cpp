// A step's answer, sample by sample.
#include "checkout/step_response.h"

#include <cmath>

namespace host {

void StepResponse::Start(double value, double target, double settleBand) {
  *this = StepResponse();
  from = value;
  to = target;
  band = settleBand;
}

void StepResponse::Take(double seconds, double value) {
  const double toward = to >= from ? 1.0 : -1.0;
  if (riseAt < 0.0 && toward * (value - (from + 0.9 * (to - from))) >= 0.0) {
    riseAt = seconds;
  }
  maxPast = std::fmax(maxPast, toward * (value - to));
  if (std::fabs(value - to) > band) {
    lastOutside = seconds;
  }
  last = value;
  ++samples;
}

double StepResponse::OvershootPercent(double base) const {
  const double step = std::fabs(to - base);
  return step > 0.0 ? 100.0 * maxPast / step : 0.0;
}

bool StepResponse::SettlingTime(double window, double stepSeconds, double& seconds) const {
  seconds = lastOutside < 0.0 ? 0.0 : lastOutside + stepSeconds;
  return samples > 0 && lastOutside < window;
}

double StepResponse::EndError() const { return std::fabs(last - to); }

}  // namespace host
