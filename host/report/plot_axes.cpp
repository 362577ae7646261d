// The plot's axes: the time axis shared by every panel, each panel's value
// axis widened to round ticks, the grid, and the ticks' labels. What the axes
// span comes from the samples and bands; nothing here draws the data itself.
#include "report/plot_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace host {
namespace {

// A tick's label: as many decimals as the step needs, and no "-0".
std::string TickLabel(double value, double step) {
  if (std::fabs(value) < step * 1e-6) {
    value = 0.0;
  }
  char buffer[48];
  const double magnitude = std::max(std::fabs(value), step);
  if (magnitude < 1e9 && step >= 1e-6) {
    const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    (void)std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  } else {
    const double digits = std::floor(std::log10(magnitude)) - std::floor(std::log10(step)) + 1.0;
    (void)std::snprintf(buffer, sizeof buffer, "%.*g", static_cast<int>(std::min(17.0, std::max(1.0, digits))), value);
  }
  return buffer;
}

// The axis from lo to hi, padded a little and widened to whole ticks; a range
// that is empty, a point, or wider than a double spans, made one it can draw.
ValueAxis MakeValueAxis(double lo, double hi, double top) {
  ValueAxis axis;
  axis.top = top;
  if (!(lo <= hi)) {
    lo = 0.0;
    hi = 1.0;
  }
  if (hi == lo) {
    const double pad = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
    lo -= pad;
    hi += pad;
  }
  // A little room, so that a flag at 0 or 1 does not run along the frame.
  const double pad = (hi / 2 - lo / 2) * 0.1;
  lo -= pad;
  hi += pad;
  axis.step = TickStep(hi - lo, ValueIntervals);
  const double niceLo = std::floor(lo / axis.step) * axis.step;
  const double niceHi = std::ceil(hi / axis.step) * axis.step;
  if (std::isfinite(niceLo) && std::isfinite(niceHi) && std::isfinite(niceHi - niceLo) && niceHi > niceLo) {
    lo = niceLo;
    hi = niceHi;
  }
  if (!std::isfinite(hi - lo) || !(hi > lo)) {  // beyond what a double's range can span
    lo = -1e307;
    hi = 1e307;
    axis.step = 5e306;
  }
  axis.lo = lo;
  axis.hi = hi;
  axis.ticks = Multiples(lo, hi, axis.step);
  return axis;
}

}  // namespace

std::string TimeAxis::Text(double t) const {
  char buffer[48];
  (void)std::snprintf(buffer, sizeof buffer, "%.4g %s", t / unit.seconds, unit.name.c_str());
  return buffer;
}

double ValueAxis::Y(double v) const {
  const double y = top + PlotHeight * (hi - v) / (hi - lo);
  return std::min(top + PlotHeight + 50.0, std::max(top - 50.0, y));
}

TimeAxis MakeTimeAxis(const std::vector<double>& times) {
  TimeAxis axis;
  const auto first = std::find_if(times.begin(), times.end(), [](double t) { return std::isfinite(t); });
  const auto last = std::find_if(times.rbegin(), times.rend(), [](double t) { return std::isfinite(t); });
  if (first != times.end()) {
    axis.t0 = *first;
    axis.t1 = *last > *first ? *last : *first + 1.0;
  }
  axis.unit = ChooseTimeUnit(axis.t1 - axis.t0);
  return axis;
}

ValueAxis PanelAxis(const Panel& panel, const std::vector<double>& times, const std::vector<const PlotBand*>& bands,
                    double top) {
  double lo = NAN;
  double hi = NAN;
  const auto take = [&lo, &hi](double value) {
    if (std::isfinite(value)) {
      lo = std::isnan(lo) ? value : std::min(lo, value);
      hi = std::isnan(hi) ? value : std::max(hi, value);
    }
  };
  for (const Signal& signal : panel.signals) {
    for (size_t k = 0; k < signal.values.size() && k < times.size(); ++k) {
      if (Exchanged(signal, k)) {
        take(signal.values[k]);
      }
    }
  }
  for (const PlotBand* band : bands) {
    take(band->lo);
    take(band->hi);
    if (!band->passed) {
      take(band->failValue);
    }
  }
  return MakeValueAxis(lo, hi, top);
}

void DrawGrid(std::ostream& svg, const TimeAxis& t, const ValueAxis& v) {
  std::string d;
  const std::vector<double> timeTicks = Ticks(t.t0 / t.unit.seconds, t.t1 / t.unit.seconds, TimeIntervals);
  for (double tick : timeTicks) {
    d += "M" + Px(t.X(tick * t.unit.seconds)) + ',' + Px(v.top) + "v" + Px(PlotHeight);
  }
  for (double tick : v.ticks) {
    d += "M" + Px(Left) + ',' + Px(v.Y(tick)) + "h" + Px(PlotWidth);
  }
  svg << "<path class=\"grid\" fill=\"none\" stroke=\"#e3e3e3\" d=\"" << d << "\"/>\n";
  for (double tick : v.ticks) {
    svg << "<text class=\"value-tick\" x=\"" << Px(Left - 6) << "\" y=\"" << Px(v.Y(tick) + 4)
        << "\" text-anchor=\"end\">" << TickLabel(tick, v.step) << "</text>\n";
  }
}

void DrawTimeAxis(std::ostream& svg, const TimeAxis& t, double axisY) {
  const double step = TickStep((t.t1 - t.t0) / t.unit.seconds, TimeIntervals);
  svg << "<g class=\"time-axis\" text-anchor=\"middle\">\n";
  for (double tick : Ticks(t.t0 / t.unit.seconds, t.t1 / t.unit.seconds, TimeIntervals)) {
    svg << "<text class=\"time-tick\" x=\"" << Px(t.X(tick * t.unit.seconds)) << "\" y=\"" << Px(axisY) << "\">"
        << TickLabel(tick, step) << "</text>\n";
  }
  svg << "<text class=\"time-title\" x=\"" << Px(Left + PlotWidth / 2) << "\" y=\"" << Px(axisY + 18) << "\">time ("
      << t.unit.name << ")</text>\n</g>\n";
}

}  // namespace host
