// An expectation's verdict as the plot draws it.
#include "report/plot.h"

namespace host {

PlotBand BandOf(const Verdict& verdict) {
  PlotBand band;
  band.signal = verdict.signal;
  band.from = verdict.from;
  band.to = verdict.to;
  band.lo = verdict.lo;
  band.hi = verdict.hi;
  band.passed = verdict.passed;
  band.failTime = verdict.failTime;
  band.failValue = verdict.failValue;
  band.label = verdict.description;
  return band;
}

}  // namespace host
