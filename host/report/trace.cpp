// Trace files and plots. The trace streams one line per step and keeps
// nothing; the plot is drawn once, at the end, from the samples PlotRecorder
// kept, as plain SVG that a browser or rsvg-convert shows as it is.
#include "report/numbers.h"
#include "report/plot.h"
#include "report/trace_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace host {
namespace {

// A CSV cell: quoted, with its quotes doubled, when it holds a comma, a quote
// or a line break.
std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string out = "\"";
  for (char c : text) {
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  }
  return out + '"';
}

}  // namespace

std::string ShortestText(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  // 15 significant digits give back every decimal of 15 digits or fewer, and
  // 17 give back every double.
  char buffer[40];
  for (int digits = 15; digits <= 17; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    if (std::strtod(buffer, nullptr) == value) {
      break;
    }
  }
  return buffer;
}

bool TraceWriter::Open(const std::string& path, const std::vector<TraceColumn>& columns, std::string& error) {
  file_.open(path);
  if (!file_) {
    error = path + ": cannot write the trace";
    return false;
  }
  std::string names = "step,time_s";
  std::string units = "#unit,s";
  std::string directions = "#direction,";
  for (const TraceColumn& column : columns) {
    names += ',' + CsvCell(column.name);
    units += ',' + CsvCell(column.unit);
    directions += ',' + CsvCell(column.direction);
  }
  file_ << names << '\n' << units << '\n' << directions << '\n';
  return true;
}

void TraceWriter::Write(int step, double seconds, const std::vector<double>& values,
                        const std::vector<bool>& exchanged) {
  file_ << step << ',' << ShortestText(seconds);
  for (size_t k = 0; k < values.size(); ++k) {
    file_ << ',';
    if (k >= exchanged.size() || exchanged[k]) {
      file_ << ShortestText(values[k]);
    }
  }
  file_ << '\n';
}

double TickStep(double span, int maxIntervals) {
  if (!(span > 0.0) || !std::isfinite(span)) {
    return 1.0;
  }
  const double raw = span / std::max(1, maxIntervals);
  const int exponent = static_cast<int>(std::floor(std::log10(raw)));
  // One power of ten either side, in case log10 rounded across a power.
  for (int e = exponent - 1; e <= exponent + 1; ++e) {
    for (const double mantissa : {1.0, 2.0, 5.0}) {
      // Dividing by an exact power of ten gives the nearest double to 0.002.
      const double step = e < 0 ? mantissa / std::pow(10.0, -e) : mantissa * std::pow(10.0, e);
      if (step >= raw * (1.0 - 1e-9)) {
        return std::isfinite(step) ? step : span;
      }
    }
  }
  return 10.0 * std::pow(10.0, exponent + 1);
}

namespace {

// The multiples of step from lo to hi; lo and hi alone when there would be
// more than a thousand, or the step is lost in the range's rounding.
std::vector<double> Multiples(double lo, double hi, double step) {
  const double first = std::ceil(lo / step - 1e-9);
  const double last = std::floor(hi / step + 1e-9);
  if (!(last - first <= 1000.0) || !(std::fabs(first) < 1e15) || !(std::fabs(last) < 1e15)) {
    return {lo, hi};
  }
  // Below 1 the step is 1/n for a whole n: i / n is the nearest double to the
  // tick, where i * step may be off by an ulp (0.30000000000000004).
  const double per = step < 1.0 ? std::round(1.0 / step) : 0.0;
  std::vector<double> ticks;
  for (long long n = static_cast<long long>(first); n <= static_cast<long long>(last); ++n) {
    const double i = static_cast<double>(n);
    ticks.push_back(n == 0 ? 0.0 : per > 0.0 ? i / per : i * step);
  }
  return ticks;
}

}  // namespace

std::vector<double> Ticks(double lo, double hi, int maxIntervals) {
  if (!std::isfinite(lo) || !std::isfinite(hi) || hi < lo) {
    return {};
  }
  if (hi == lo || !std::isfinite(hi - lo)) {
    return hi == lo ? std::vector<double>{lo} : std::vector<double>{lo, hi};
  }
  return Multiples(lo, hi, TickStep(hi - lo, maxIntervals));
}

TimeUnit ChooseTimeUnit(double spanSeconds) {
  if (!(spanSeconds > 600.0)) {
    return TimeUnit{"s", 1.0};
  }
  if (spanSeconds <= 5.0 * 3600.0) {
    return TimeUnit{"min", 60.0};
  }
  return TimeUnit{"h", 3600.0};
}

namespace {

constexpr double Width = 900.0;
constexpr double Left = 72.0;
constexpr double Right = 24.0;
constexpr double PlotWidth = Width - Left - Right;
constexpr double PlotHeight = 140.0;
constexpr double TitleHeight = 34.0;
constexpr double LegendRow = 16.0;
constexpr double MarkerRow = 12.0;
constexpr double PanelGap = 14.0;
constexpr double TimeAxisHeight = 40.0;
constexpr int MaxMarkerRows = 3;
constexpr int TimeIntervals = 10;
constexpr int ValueIntervals = 5;
// Red and green are kept for the bands' verdicts.
constexpr const char* Colours[] = {"#1f77b4", "#ff7f0e", "#9467bd", "#8c564b", "#17becf", "#e377c2", "#7f7f7f"};
constexpr size_t ColourCount = sizeof Colours / sizeof Colours[0];
constexpr const char* PassColour = "#2ca02c";
constexpr const char* FailColour = "#d62728";

// About how wide text is at a font size, from the widths of a common
// sans-serif's glyphs (DejaVu Sans, a little generous), enough to keep labels
// apart without measuring them.
double TextWidth(const std::string& text, double size) {
  const auto in = [](const char* set, char c) { return c != '\0' && std::strchr(set, c) != nullptr; };
  double width = 0.0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) {
      continue;  // the rest of a UTF-8 character
    }
    width += in("ijlI.,:;'|!()[] ", c) ? 0.33
             : in("ftr", c)            ? 0.42
             : in("mwMW", c)           ? 0.95
             : c >= 'A' && c <= 'Z'    ? 0.72
                                       : 0.62;
  }
  return width * size;
}

// A coordinate, to a tenth of a pixel.
std::string Px(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", std::isfinite(value) ? value : 0.0);
  return buffer;
}

// The code point of the UTF-8 sequence at text[i] and its length, or length 0
// when the bytes there are not UTF-8 or not a character XML allows.
std::pair<unsigned long, size_t> Utf8At(const std::string& text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) {
    return {0, 0};
  }
  unsigned long code = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) {
      return {0, 0};
    }
    code = (code << 6) | (next & 0x3F);
  }
  static const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool allowed = code >= least[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) &&
                       code != 0xFFFE && code != 0xFFFF && (code >= 0x20 || code == '\t');
  return {code, allowed ? length : 0};
}

// Text fit for SVG text and attributes: XML's specials escaped, and every
// byte that is not part of a character XML allows shown as '?'.
std::string Escape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const std::pair<unsigned long, size_t> c = Utf8At(text, i);
    if (c.second == 0) {
      out += '?';
      ++i;
      continue;
    }
    switch (c.first) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += ' '; break;
      default: out.append(text, i, c.second);
    }
    i += c.second;
  }
  return out;
}

// A tick's label: as many decimals as the step needs, and no "-0".
std::string TickLabel(double value, double step) {
  if (std::fabs(value) < step * 1e-6) {
    value = 0.0;
  }
  char buffer[48];
  const double magnitude = std::max(std::fabs(value), step);
  if (magnitude < 1e9 && step >= 1e-6) {
    const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  } else {
    const double digits = std::floor(std::log10(magnitude)) - std::floor(std::log10(step)) + 1.0;
    std::snprintf(buffer, sizeof buffer, "%.*g", static_cast<int>(std::min(17.0, std::max(1.0, digits))), value);
  }
  return buffer;
}

// The time axis: from the first sample to the last, in the unit that fits.
struct TimeAxis {
  double t0 = 0.0;
  double t1 = 1.0;
  TimeUnit unit{"s", 1.0};
  double X(double t) const { return Left + PlotWidth * (t - t0) / (t1 - t0); }
  bool Holds(double t) const { return t >= t0 && t <= t1; }
  // A moment on this axis, to four digits, with its unit: "10.33 min".
  std::string Text(double t) const {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.4g %s", t / unit.seconds, unit.name.c_str());
    return buffer;
  }
};

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

// A panel's value axis: the data's range widened to whole ticks.
struct ValueAxis {
  double lo = 0.0;
  double hi = 1.0;
  double step = 0.2;
  std::vector<double> ticks;
  double top = 0.0;  // the plot area's top in the picture
  double Y(double v) const {
    const double y = top + PlotHeight * (hi - v) / (hi - lo);
    return std::min(top + PlotHeight + 50.0, std::max(top - 50.0, y));
  }
};

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

bool Exchanged(const Signal& signal, size_t k) { return k >= signal.exchanged.size() || signal.exchanged[k]; }

// What a signal's samples hold: how many are drawn, and the ones exchanged
// that are not finite.
struct SampleCount {
  size_t finite = 0;
  size_t notFinite = 0;
  double firstBadTime = 0.0;
  double firstBad = 0.0;
};

SampleCount CountSamples(const Signal& signal, const std::vector<double>& times) {
  SampleCount count;
  for (size_t k = 0; k < signal.values.size() && k < times.size(); ++k) {
    if (!Exchanged(signal, k)) {
      continue;
    }
    if (std::isfinite(signal.values[k])) {
      ++count.finite;
    } else if (count.notFinite++ == 0) {
      count.firstBadTime = times[k];
      count.firstBad = signal.values[k];
    }
  }
  return count;
}

// A signal as a path: a gap where a sample was not exchanged or not finite;
// a discrete signal holds each value until the next sample. Points that fall
// on the same tenth of a pixel, and the inner points of a level stretch, are
// left out.
std::string SignalPath(const Signal& signal, const std::vector<double>& times, const TimeAxis& t,
                       const ValueAxis& v) {
  std::string d;
  bool inRun = false;
  bool pending = false;  // a point not yet drawn at the level of the last drawn one
  std::string lastX;
  std::string lastY;
  std::string pendingX;
  bool alone = false;  // the stretch so far is a single point, which a path would not show
  const auto endRun = [&]() {
    if (inRun && pending) {
      d += signal.column.discrete ? "H" + pendingX : "L" + pendingX + ',' + lastY;
    } else if (inRun && alone) {
      d += "h1";
    }
    inRun = false;
    pending = false;
  };
  for (size_t k = 0; k < signal.values.size() && k < times.size(); ++k) {
    if (!Exchanged(signal, k) || !std::isfinite(signal.values[k]) || !std::isfinite(times[k])) {
      endRun();
      continue;
    }
    const std::string x = Px(t.X(times[k]));
    const std::string y = Px(v.Y(signal.values[k]));
    if (!inRun) {
      d += (d.empty() ? "M" : " M") + x + ',' + y;
      inRun = true;
      alone = true;
      pending = false;
      lastX = x;
      lastY = y;
      continue;
    }
    if (y == lastY) {
      pending = x != lastX;
      pendingX = x;
      continue;
    }
    if (signal.column.discrete) {
      d += "H" + x + "V" + y;
    } else {
      if (pending) {
        d += "L" + pendingX + ',' + lastY;
      }
      d += "L" + x + ',' + y;
    }
    pending = false;
    alone = alone && x == lastX;
    lastX = x;
    lastY = y;
  }
  endRun();
  return d;
}

// One entry of a panel's legend.
struct LegendEntry {
  std::string text;
  std::string colour;
  bool band = false;
  bool failed = false;
  double width() const { return 44.0 + TextWidth(text, 12.0); }
};

// A marker placed on the time axis, with its label's row in the marker strip.
struct PlacedMarker {
  double x = 0.0;
  int row = 0;
  bool labelLeft = false;  // the label ends at the line when it would leave the plot
  std::string label;
};

// Markers within the time axis, their labels in rows so that none overlaps
// the one before it in its row (beyond MaxMarkerRows rows, the last row
// takes them).
std::vector<PlacedMarker> PlaceMarkers(std::vector<PlotMarker> markers, const TimeAxis& t, int& rows) {
  std::stable_sort(markers.begin(), markers.end(),
                   [](const PlotMarker& a, const PlotMarker& b) { return a.time < b.time; });
  std::vector<PlacedMarker> placed;
  std::vector<double> rowEnd;
  for (const PlotMarker& marker : markers) {
    if (!std::isfinite(marker.time) || !t.Holds(marker.time)) {
      continue;
    }
    PlacedMarker p;
    p.x = t.X(marker.time);
    p.label = marker.label;
    const double width = TextWidth(marker.label, 10.0) + 6.0;
    p.labelLeft = p.x + width > Left + PlotWidth;
    const double begin = p.labelLeft ? p.x - width : p.x;
    size_t row = 0;
    while (row < rowEnd.size() && rowEnd[row] > begin) {
      ++row;
    }
    if (row == rowEnd.size()) {
      if (rowEnd.size() < static_cast<size_t>(MaxMarkerRows)) {
        rowEnd.push_back(0.0);
      } else {
        row = rowEnd.size() - 1;
      }
    }
    rowEnd[row] = std::max(rowEnd[row], begin + width + 4.0);
    p.row = static_cast<int>(row);
    placed.push_back(p);
  }
  rows = static_cast<int>(rowEnd.size());
  return placed;
}

// A band's legend text: its label (or its signal), and when it failed, where.
std::string BandText(const PlotBand& band, const TimeAxis& t) {
  std::string text = band.label.empty() ? "expected " + band.signal : band.label;
  if (!band.passed) {
    text += ": failed at " + (std::isfinite(band.failTime) ? t.Text(band.failTime) : std::string("?")) + ", " +
            ShortestText(band.failValue);
  }
  return text;
}

bool PanelHolds(const Panel& panel, const std::string& name) {
  return std::any_of(panel.signals.begin(), panel.signals.end(),
                     [&name](const Signal& s) { return s.column.name == name; });
}

// Draws the panels one by one, each below the one before.
class PanelDrawer {
 public:
  PanelDrawer(std::ostream& svg, const std::vector<double>& times, const TimeAxis& t,
              const std::vector<PlacedMarker>& markers, int markerRows, const std::vector<PlotBand>& bands)
      : svg_(svg), times_(times), t_(t), markers_(markers), markerRows_(markerRows), bands_(bands) {}

  // Draws a panel whose legend strip starts at y; returns the height it took.
  double Draw(const Panel& panel, size_t index, size_t& colour, double y) {
    std::vector<const PlotBand*> bands;
    for (const PlotBand& band : bands_) {
      if (PanelHolds(panel, band.signal)) {
        bands.push_back(&band);
      }
    }
    std::vector<LegendEntry> legend;
    std::vector<std::string> colours;
    for (const Signal& signal : panel.signals) {
      colours.push_back(Colours[colour++ % ColourCount]);
      const std::string unit = signal.column.unit.empty() ? "" : " (" + signal.column.unit + ")";
      legend.push_back(LegendEntry{signal.column.name + unit, colours.back(), false, false});
    }
    for (const PlotBand* band : bands) {
      legend.push_back(LegendEntry{BandText(*band, t_), band->passed ? PassColour : FailColour, true, !band->passed});
    }
    const std::vector<int> rows = LegendRows(legend);
    const double legendHeight = LegendRow * static_cast<double>(rows.empty() ? 1 : rows.back() + 1) + 4.0;
    const double top = y + legendHeight + (markerRows_ > 0 ? MarkerRow * markerRows_ + 4.0 : 0.0);
    const ValueAxis v = PanelAxis(panel, bands, top);
    svg_ << "<g class=\"panel\">\n";
    DrawLegend(legend, rows, y);
    DrawMarkerLabels(y + legendHeight);
    DrawGrid(v);
    svg_ << "<defs><clipPath id=\"plot" << index << "\"><rect x=\"" << Px(Left) << "\" y=\"" << Px(top)
         << "\" width=\"" << Px(PlotWidth) << "\" height=\"" << Px(PlotHeight) << "\"/></clipPath></defs>\n";
    svg_ << "<g clip-path=\"url(#plot" << index << ")\">\n";
    for (const PlotBand* band : bands) {
      DrawBand(*band, v);
    }
    DrawMarkerLines(top);
    for (size_t s = 0; s < panel.signals.size(); ++s) {
      const std::string d = SignalPath(panel.signals[s], times_, t_, v);
      if (!d.empty()) {
        svg_ << "<path class=\"signal\" fill=\"none\" stroke=\"" << colours[s] << "\" stroke-width=\"1.5\" d=\""
             << d << "\"/>\n";
      }
    }
    for (const PlotBand* band : bands) {
      DrawFailure(*band, v);
    }
    svg_ << "</g>\n";
    svg_ << "<rect class=\"plot-area\" x=\"" << Px(Left) << "\" y=\"" << Px(top) << "\" width=\"" << Px(PlotWidth)
         << "\" height=\"" << Px(PlotHeight) << "\" fill=\"none\" stroke=\"#888\"/>\n";
    DrawNotes(panel, top);
    svg_ << "</g>\n";
    return top + PlotHeight - y;
  }

 private:
  // The row of each entry, filling a row before starting the next.
  static std::vector<int> LegendRows(const std::vector<LegendEntry>& legend) {
    std::vector<int> rows;
    double x = 0.0;
    int row = 0;
    for (const LegendEntry& entry : legend) {
      if (x > 0.0 && x + entry.width() > PlotWidth) {
        ++row;
        x = 0.0;
      }
      rows.push_back(row);
      x += entry.width();
    }
    return rows;
  }

  ValueAxis PanelAxis(const Panel& panel, const std::vector<const PlotBand*>& bands, double top) const {
    double lo = NAN;
    double hi = NAN;
    const auto take = [&lo, &hi](double value) {
      if (std::isfinite(value)) {
        lo = std::isnan(lo) ? value : std::min(lo, value);
        hi = std::isnan(hi) ? value : std::max(hi, value);
      }
    };
    for (const Signal& signal : panel.signals) {
      for (size_t k = 0; k < signal.values.size() && k < times_.size(); ++k) {
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

  void DrawLegend(const std::vector<LegendEntry>& legend, const std::vector<int>& rows, double y) {
    svg_ << "<g class=\"legend\">\n";
    double x = Left;
    for (size_t i = 0; i < legend.size(); ++i) {
      if (i > 0 && rows[i] != rows[i - 1]) {
        x = Left;
      }
      const LegendEntry& entry = legend[i];
      const double base = y + LegendRow * (rows[i] + 1);
      if (entry.band) {
        svg_ << "<rect x=\"" << Px(x) << "\" y=\"" << Px(base - 10) << "\" width=\"22\" height=\"10\" fill=\""
             << entry.colour << "\" fill-opacity=\"0.25\" stroke=\"" << entry.colour << "\"/>\n";
      } else {
        svg_ << "<line x1=\"" << Px(x) << "\" y1=\"" << Px(base - 4) << "\" x2=\"" << Px(x + 22) << "\" y2=\""
             << Px(base - 4) << "\" stroke=\"" << entry.colour << "\" stroke-width=\"2\"/>\n";
      }
      svg_ << "<text x=\"" << Px(x + 28) << "\" y=\"" << Px(base) << "\" fill=\""
           << (entry.failed ? FailColour : "#222") << "\">" << Escape(entry.text) << "</text>\n";
      x += entry.width();
    }
    svg_ << "</g>\n";
  }

  void DrawGrid(const ValueAxis& v) {
    std::string d;
    const std::vector<double> timeTicks =
        Ticks(t_.t0 / t_.unit.seconds, t_.t1 / t_.unit.seconds, TimeIntervals);
    for (double tick : timeTicks) {
      d += "M" + Px(t_.X(tick * t_.unit.seconds)) + ',' + Px(v.top) + "v" + Px(PlotHeight);
    }
    for (double tick : v.ticks) {
      d += "M" + Px(Left) + ',' + Px(v.Y(tick)) + "h" + Px(PlotWidth);
    }
    svg_ << "<path class=\"grid\" fill=\"none\" stroke=\"#e3e3e3\" d=\"" << d << "\"/>\n";
    for (double tick : v.ticks) {
      svg_ << "<text class=\"value-tick\" x=\"" << Px(Left - 6) << "\" y=\"" << Px(v.Y(tick) + 4)
           << "\" text-anchor=\"end\">" << TickLabel(tick, v.step) << "</text>\n";
    }
  }

  void DrawMarkerLabels(double stripTop) {
    if (markers_.empty()) {
      return;
    }
    svg_ << "<g class=\"marker-labels\" font-size=\"10\" fill=\"#444\">\n";
    for (const PlacedMarker& m : markers_) {
      const double y = stripTop + MarkerRow * (m.row + 1) - 2;
      svg_ << "<text x=\"" << Px(m.labelLeft ? m.x - 3 : m.x + 3) << "\" y=\"" << Px(y) << "\""
           << (m.labelLeft ? " text-anchor=\"end\"" : "") << ">" << Escape(m.label) << "</text>\n";
    }
    svg_ << "</g>\n";
  }

  void DrawMarkerLines(double top) {
    for (const PlacedMarker& m : markers_) {
      svg_ << "<line class=\"marker\" x1=\"" << Px(m.x) << "\" y1=\"" << Px(top) << "\" x2=\"" << Px(m.x)
           << "\" y2=\"" << Px(top + PlotHeight) << "\" stroke=\"#444\" stroke-dasharray=\"4 3\"/>\n";
    }
  }

  void DrawBand(const PlotBand& band, const ValueAxis& v) {
    const double from = std::isfinite(band.from) ? std::max(band.from, t_.t0) : t_.t0;
    const double to = std::isfinite(band.to) && band.to >= 0.0 ? std::min(band.to, t_.t1) : t_.t1;
    if (from > t_.t1 || to <= from) {
      return;
    }
    const double lo = std::isnan(band.lo) ? v.lo : band.lo;
    const double hi = std::isnan(band.hi) ? v.hi : band.hi;
    const double x = t_.X(from);
    const double xEnd = t_.X(to);
    const double yTop = v.Y(std::max(lo, hi));
    const double yBottom = v.Y(std::min(lo, hi));
    const char* colour = band.passed ? PassColour : FailColour;
    svg_ << "<g class=\"" << (band.passed ? "band" : "band failed") << "\" stroke=\"" << colour << "\">\n";
    svg_ << "<rect x=\"" << Px(x) << "\" y=\"" << Px(yTop) << "\" width=\"" << Px(xEnd - x)
         << "\" height=\"" << Px(yBottom - yTop) << "\" fill=\"" << colour << "\" fill-opacity=\"0.13\" stroke=\"none\"/>\n";
    std::string d = "M" + Px(x) + ',' + Px(yTop) + "V" + Px(yBottom);
    for (const double edge : {band.lo, band.hi}) {
      if (std::isfinite(edge)) {
        d += "M" + Px(x) + ',' + Px(v.Y(edge)) + "H" + Px(xEnd);
      }
    }
    svg_ << "<path fill=\"none\" stroke-dasharray=\"5 3\" d=\"" << d << "\"/>\n</g>\n";
  }

  void DrawFailure(const PlotBand& band, const ValueAxis& v) {
    if (band.passed) {
      return;
    }
    const double time = std::isfinite(band.failTime) ? std::min(t_.t1, std::max(t_.t0, band.failTime)) : t_.t1;
    const double x = t_.X(time);
    const double y = std::isfinite(band.failValue)
                         ? std::min(v.top + PlotHeight - 5, std::max(v.top + 5, v.Y(band.failValue)))
                         : v.top + 5;
    svg_ << "<g class=\"failure\" stroke=\"" << FailColour << "\" stroke-width=\"2\">"
         << "<circle cx=\"" << Px(x) << "\" cy=\"" << Px(y) << "\" r=\"5\" fill=\"none\"/>"
         << "<path d=\"M" << Px(x - 3) << ',' << Px(y - 3) << "l6,6m0,-6l-6,6\"/></g>\n";
  }

  // What the panel cannot draw: values exchanged that are not finite, and
  // signals of which no value was exchanged.
  void DrawNotes(const Panel& panel, double top) {
    std::vector<std::pair<std::string, bool>> notes;  // text, and whether it is a fault
    for (const Signal& signal : panel.signals) {
      const SampleCount count = CountSamples(signal, times_);
      if (count.notFinite > 0) {
        notes.emplace_back(signal.column.name + ": " + std::to_string(count.notFinite) +
                               (count.notFinite == 1 ? " value" : " values") + " not finite, the first (" +
                               ShortestText(count.firstBad) + ") at " + t_.Text(count.firstBadTime),
                           true);
      } else if (count.finite == 0) {
        notes.emplace_back(signal.column.name + ": no value exchanged", false);
      }
    }
    for (size_t i = 0; i < notes.size(); ++i) {
      const double width = TextWidth(notes[i].first, 12.0) + 12.0;
      const double y = top + 22.0 + 18.0 * static_cast<double>(i);
      svg_ << "<g class=\"note\"><rect x=\"" << Px(Left + PlotWidth / 2 - width / 2) << "\" y=\"" << Px(y - 13)
           << "\" width=\"" << Px(width) << "\" height=\"18\" fill=\"white\" fill-opacity=\"0.85\"/>"
           << "<text x=\"" << Px(Left + PlotWidth / 2) << "\" y=\"" << Px(y) << "\" text-anchor=\"middle\" fill=\""
           << (notes[i].second ? FailColour : "#555") << "\">" << Escape(notes[i].first) << "</text></g>\n";
    }
  }

  std::ostream& svg_;
  const std::vector<double>& times_;
  const TimeAxis& t_;
  const std::vector<PlacedMarker>& markers_;
  int markerRows_;
  const std::vector<PlotBand>& bands_;
};

}  // namespace

bool WritePlot(const std::string& path, const std::string& title, const std::vector<double>& times,
               const std::vector<Panel>& panels, const std::vector<PlotMarker>& markers,
               const std::vector<PlotBand>& bands, std::string& error) {
  std::ofstream svg(path);
  if (!svg) {
    error = path + ": cannot write the plot";
    return false;
  }
  const TimeAxis t = MakeTimeAxis(times);
  int markerRows = 0;
  const std::vector<PlacedMarker> placed = PlaceMarkers(markers, t, markerRows);
  std::ostringstream body;
  PanelDrawer drawer(body, times, t, placed, markerRows, bands);
  double y = TitleHeight;
  size_t colour = 0;
  for (size_t i = 0; i < panels.size(); ++i) {
    y += drawer.Draw(panels[i], i, colour, y) + PanelGap;
  }
  const double axisY = y - PanelGap + 16.0;
  const double step = TickStep((t.t1 - t.t0) / t.unit.seconds, TimeIntervals);
  body << "<g class=\"time-axis\" text-anchor=\"middle\">\n";
  for (double tick : Ticks(t.t0 / t.unit.seconds, t.t1 / t.unit.seconds, TimeIntervals)) {
    body << "<text class=\"time-tick\" x=\"" << Px(t.X(tick * t.unit.seconds)) << "\" y=\"" << Px(axisY) << "\">"
         << TickLabel(tick, step) << "</text>\n";
  }
  body << "<text class=\"time-title\" x=\"" << Px(Left + PlotWidth / 2) << "\" y=\"" << Px(axisY + 18)
       << "\">time (" << t.unit.name << ")</text>\n</g>\n";
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Px(Width) << "\" height=\""
      << Px(axisY + TimeAxisHeight - 14) << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text class=\"title\" x=\"" << Px(Left) << "\" y=\"22\" font-size=\"16\">" << Escape(title) << "</text>\n"
      << body.str() << "</svg>\n";
  svg.close();
  if (!svg) {
    error = path + ": cannot write the plot";
    return false;
  }
  return true;
}

bool PlotRecorder::Choose(const std::vector<std::string>& entries, const std::vector<TraceColumn>& columns,
                          std::string& error) {
  for (const std::string& entry : entries) {
    panels_.emplace_back();
    size_t begin = 0;
    while (true) {
      const size_t plus = entry.find('+', begin);
      const std::string name = entry.substr(begin, plus == std::string::npos ? std::string::npos : plus - begin);
      const auto found = std::find_if(columns.begin(), columns.end(),
                                      [&name](const TraceColumn& column) { return column.name == name; });
      if (found == columns.end()) {
        error = "no signal named '" + name + "' in this case's trace";
        return false;
      }
      columns_.push_back(static_cast<size_t>(found - columns.begin()));
      slots_.emplace_back(panels_.size() - 1, panels_.back().signals.size());
      panels_.back().signals.push_back(Signal{*found, {}, {}});
      if (plus == std::string::npos) {
        break;
      }
      begin = plus + 1;
    }
  }
  return true;
}

void PlotRecorder::Add(double time, const std::vector<double>& values, const std::vector<bool>& exchanged) {
  if (seen_++ % stride_ != 0) {
    return;
  }
  times_.push_back(time);
  for (size_t k = 0; k < columns_.size(); ++k) {
    Signal& signal = panels_[slots_[k].first].signals[slots_[k].second];
    signal.values.push_back(values[columns_[k]]);
    signal.exchanged.push_back(columns_[k] >= exchanged.size() || exchanged[columns_[k]]);
  }
  if (times_.size() >= 2 * MaxSamples) {
    Halve();
  }
}

void PlotRecorder::Halve() {
  const auto keepEven = [](auto& samples) {
    for (size_t k = 0; 2 * k < samples.size(); ++k) {
      samples[k] = samples[2 * k];
    }
    samples.resize((samples.size() + 1) / 2);
  };
  keepEven(times_);
  for (Panel& panel : panels_) {
    for (Signal& signal : panel.signals) {
      keepEven(signal.values);
      keepEven(signal.exchanged);
    }
  }
  stride_ *= 2;
}

}  // namespace host
