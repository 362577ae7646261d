// A panel's legend: its signals with their units in their colours, then its
// bands with their verdicts, in rows as wide as the plot area, in a strip
// above it. Nothing here draws inside the plot area.
#include "report/plot_parts.h"

#include <cmath>

namespace host {
namespace {

// A band's legend text: its label (or its signal), and when it failed, where.
std::string BandText(const PlotBand& band, const TimeAxis& t) {
  std::string text = band.label.empty() ? "expected " + band.signal : band.label;
  if (!band.passed) {
    text += ": failed at " + (std::isfinite(band.failTime) ? t.Text(band.failTime) : std::string("?")) + ", " +
            ShortestText(band.failValue);
  }
  return text;
}

// The row of each entry, filling a row before starting the next.
std::vector<int> LegendRows(const std::vector<LegendEntry>& entries) {
  std::vector<int> rows;
  double x = 0.0;
  int row = 0;
  for (const LegendEntry& entry : entries) {
    if (x > 0.0 && x + entry.width() > PlotWidth) {
      ++row;
      x = 0.0;
    }
    rows.push_back(row);
    x += entry.width();
  }
  return rows;
}

}  // namespace

double Legend::Height() const { return LegendRow * static_cast<double>(rows.empty() ? 1 : rows.back() + 1) + 4.0; }

Legend MakeLegend(const Panel& panel, const std::vector<std::string>& colours,
                  const std::vector<const PlotBand*>& bands, const TimeAxis& t) {
  Legend legend;
  for (size_t s = 0; s < panel.signals.size(); ++s) {
    const TraceColumn& column = panel.signals[s].column;
    const std::string unit = column.unit.empty() ? "" : " (" + column.unit + ")";
    legend.entries.push_back(LegendEntry{column.name + unit, colours[s], false, false});
  }
  for (const PlotBand* band : bands) {
    legend.entries.push_back(
        LegendEntry{BandText(*band, t), band->passed ? PassColour : FailColour, true, !band->passed});
  }
  legend.rows = LegendRows(legend.entries);
  return legend;
}

void DrawLegend(std::ostream& svg, const Legend& legend, double y) {
  svg << "<g class=\"legend\">\n";
  double x = Left;
  for (size_t i = 0; i < legend.entries.size(); ++i) {
    if (i > 0 && legend.rows[i] != legend.rows[i - 1]) {
      x = Left;
    }
    const LegendEntry& entry = legend.entries[i];
    const double base = y + LegendRow * (legend.rows[i] + 1);
    if (entry.band) {
      svg << "<rect x=\"" << Px(x) << "\" y=\"" << Px(base - 10) << "\" width=\"22\" height=\"10\" fill=\""
          << entry.colour << "\" fill-opacity=\"0.25\" stroke=\"" << entry.colour << "\"/>\n";
    } else {
      svg << "<line x1=\"" << Px(x) << "\" y1=\"" << Px(base - 4) << "\" x2=\"" << Px(x + 22) << "\" y2=\""
          << Px(base - 4) << "\" stroke=\"" << entry.colour << "\" stroke-width=\"2\"/>\n";
    }
    svg << "<text x=\"" << Px(x + 28) << "\" y=\"" << Px(base) << "\" fill=\"" << (entry.failed ? FailColour : "#222")
        << "\">" << Escape(entry.text) << "</text>\n";
    x += entry.width();
  }
  svg << "</g>\n";
}

}  // namespace host
