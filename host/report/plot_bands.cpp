// The plot's bands: each expectation's verdict as a shaded window on its
// signal's panel, green when kept and red when left, with a cross where it
// failed. The verdicts come from checkout/; nothing here judges a sample.
#include "report/plot_parts.h"

#include <algorithm>
#include <cmath>

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

std::vector<const PlotBand*> BandsOn(const Panel& panel, const std::vector<PlotBand>& bands) {
  std::vector<const PlotBand*> on;
  for (const PlotBand& band : bands) {
    if (std::any_of(panel.signals.begin(), panel.signals.end(),
                    [&band](const Signal& s) { return s.column.name == band.signal; })) {
      on.push_back(&band);
    }
  }
  return on;
}

// The window runs from its start (or the axis') to its end (or the axis'), and
// an open side of the band reaches the edge of the value axis.
void DrawBand(std::ostream& svg, const PlotBand& band, const TimeAxis& t, const ValueAxis& v) {
  const double from = std::isfinite(band.from) ? std::max(band.from, t.t0) : t.t0;
  const double to = std::isfinite(band.to) && band.to >= 0.0 ? std::min(band.to, t.t1) : t.t1;
  if (from > t.t1 || to <= from) {
    return;
  }
  const double lo = std::isnan(band.lo) ? v.lo : band.lo;
  const double hi = std::isnan(band.hi) ? v.hi : band.hi;
  const double x = t.X(from);
  const double xEnd = t.X(to);
  const double yTop = v.Y(std::max(lo, hi));
  const double yBottom = v.Y(std::min(lo, hi));
  const char* colour = band.passed ? PassColour : FailColour;
  svg << "<g class=\"" << (band.passed ? "band" : "band failed") << "\" stroke=\"" << colour << "\">\n";
  svg << "<rect x=\"" << Px(x) << "\" y=\"" << Px(yTop) << "\" width=\"" << Px(xEnd - x) << "\" height=\""
      << Px(yBottom - yTop) << "\" fill=\"" << colour << "\" fill-opacity=\"0.13\" stroke=\"none\"/>\n";
  std::string d = "M" + Px(x) + ',' + Px(yTop) + "V" + Px(yBottom);
  for (const double edge : {band.lo, band.hi}) {
    if (std::isfinite(edge)) {
      d += "M" + Px(x) + ',' + Px(v.Y(edge)) + "H" + Px(xEnd);
    }
  }
  svg << "<path fill=\"none\" stroke-dasharray=\"5 3\" d=\"" << d << "\"/>\n</g>\n";
}

// The cross stays within the plot area: at its end for a failure time that is
// not finite, at its top for a value that is not.
void DrawFailure(std::ostream& svg, const PlotBand& band, const TimeAxis& t, const ValueAxis& v) {
  if (band.passed) {
    return;
  }
  const double time = std::isfinite(band.failTime) ? std::min(t.t1, std::max(t.t0, band.failTime)) : t.t1;
  const double x = t.X(time);
  const double y = std::isfinite(band.failValue)
                       ? std::min(v.top + PlotHeight - 5, std::max(v.top + 5, v.Y(band.failValue)))
                       : v.top + 5;
  svg << "<g class=\"failure\" stroke=\"" << FailColour << "\" stroke-width=\"2\">"
      << "<circle cx=\"" << Px(x) << "\" cy=\"" << Px(y) << "\" r=\"5\" fill=\"none\"/>"
      << "<path d=\"M" << Px(x - 3) << ',' << Px(y - 3) << "l6,6m0,-6l-6,6\"/></g>\n";
}

}  // namespace host
