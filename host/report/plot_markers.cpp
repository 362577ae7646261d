// The plot's markers: the operator events and malfunctions as dashed lines
// across every panel, their labels in a strip above each plot area, in rows
// so that they do not overlap. Markers outside the run are left out; nothing
// here decides what is marked.
#include "report/plot_parts.h"

#include <algorithm>
#include <cmath>

namespace host {

PlacedMarkers PlaceMarkers(std::vector<PlotMarker> markers, const TimeAxis& t) {
  std::stable_sort(markers.begin(), markers.end(),
                   [](const PlotMarker& a, const PlotMarker& b) { return a.time < b.time; });
  PlacedMarkers placed;
  std::vector<double> rowEnd;
  size_t lastOfLastRow = 0;  // the last label placed in the last row
  // Room kept after each label of the last row for the count of the labels folded into it.
  const double foldedRoom = TextWidth(" (+999 more)", 10.0);
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
    if (row == rowEnd.size() && rowEnd.size() == static_cast<size_t>(MaxMarkerRows)) {
      p.row = -1;  // no room: counted in the label before it
      ++placed.markers[lastOfLastRow].more;
      placed.markers.push_back(p);
      continue;
    }
    if (row == rowEnd.size()) {
      rowEnd.push_back(0.0);
    }
    const bool last = row + 1 == static_cast<size_t>(MaxMarkerRows);
    rowEnd[row] = std::max(rowEnd[row], begin + width + 4.0 + (last ? foldedRoom : 0.0));
    p.row = static_cast<int>(row);
    lastOfLastRow = last ? placed.markers.size() : lastOfLastRow;
    placed.markers.push_back(p);
  }
  placed.rows = static_cast<int>(rowEnd.size());
  return placed;
}

void DrawMarkerLabels(std::ostream& svg, const PlacedMarkers& placed, double stripTop) {
  if (placed.markers.empty()) {
    return;
  }
  svg << "<g class=\"marker-labels\" font-size=\"10\" fill=\"#444\">\n";
  for (const PlacedMarker& m : placed.markers) {
    if (m.row < 0) {
      continue;
    }
    const double y = stripTop + MarkerRow * (m.row + 1) - 2;
    const std::string folded = m.more > 0 ? " (+" + std::to_string(m.more) + " more)" : std::string();
    svg << "<text x=\"" << Px(m.labelLeft ? m.x - 3 : m.x + 3) << "\" y=\"" << Px(y) << "\""
        << (m.labelLeft ? " text-anchor=\"end\"" : "") << ">" << Escape(m.label + folded) << "</text>\n";
  }
  svg << "</g>\n";
}

void DrawMarkerLines(std::ostream& svg, const PlacedMarkers& placed, double top) {
  double drawn = std::nan("");
  for (const PlacedMarker& m : placed.markers) {
    if (Px(m.x) == Px(drawn)) {
      continue;  // markers at one moment share one line (a loop checkout starts hundreds at once)
    }
    drawn = m.x;
    svg << "<line class=\"marker\" x1=\"" << Px(m.x) << "\" y1=\"" << Px(top) << "\" x2=\"" << Px(m.x) << "\" y2=\""
        << Px(top + PlotHeight) << "\" stroke=\"#444\" stroke-dasharray=\"4 3\"/>\n";
  }
}

}  // namespace host
