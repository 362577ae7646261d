// The parts WritePlot draws a panel from, each in a file of its own: axes and
// ticks, signals, bands, markers and the legend, with the SVG text helpers and
// the page's measures they share. Private to report/: nothing outside it
// includes this, and nothing here opens a file.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "report/numbers.h"
#include "report/markup.h"
#include "report/plot.h"

namespace host {

// The page, in pixels: the plot areas are PlotWidth wide, from Left.
inline constexpr double Width = 900.0;
inline constexpr double Left = 72.0;
inline constexpr double Right = 24.0;
inline constexpr double PlotWidth = Width - Left - Right;
inline constexpr double PlotHeight = 140.0;
inline constexpr double TitleHeight = 34.0;
inline constexpr double LegendRow = 16.0;
inline constexpr double MarkerRow = 12.0;
inline constexpr double PanelGap = 14.0;
inline constexpr double TimeAxisHeight = 40.0;
inline constexpr int MaxMarkerRows = 3;
inline constexpr int TimeIntervals = 10;
inline constexpr int ValueIntervals = 5;
// Red and green are kept for the bands' verdicts.
inline constexpr const char* Colours[] = {"#1f77b4", "#ff7f0e", "#9467bd", "#8c564b", "#17becf", "#e377c2", "#7f7f7f"};
inline constexpr size_t ColourCount = sizeof Colours / sizeof Colours[0];
inline constexpr const char* PassColour = "#2ca02c";
inline constexpr const char* FailColour = "#d62728";

// SVG text (plot_text.cpp). A coordinate, to a tenth of a pixel ("0.0" for
// one that is not finite); text escaped (markup.h); and about how wide text
// is at a font size.
std::string Px(double value);
double TextWidth(const std::string& text, double size);

// Whether a signal's sample k was exchanged (a sample with no flag was).
inline bool Exchanged(const Signal& signal, size_t k) { return k >= signal.exchanged.size() || signal.exchanged[k]; }

// Axes and ticks (plot_axes.cpp).

// The time axis: from the first sample to the last, in the unit that fits.
struct TimeAxis {
  double t0 = 0.0;
  double t1 = 1.0;
  TimeUnit unit{"s", 1.0};
  double X(double t) const { return Left + PlotWidth * (t - t0) / (t1 - t0); }
  bool Holds(double t) const { return t >= t0 && t <= t1; }
  // A moment on this axis, to four digits, with its unit: "10.33 min".
  std::string Text(double t) const;
};

// A panel's value axis: the data's range widened to whole ticks.
struct ValueAxis {
  double lo = 0.0;
  double hi = 1.0;
  double step = 0.2;
  std::vector<double> ticks;
  double top = 0.0;  // the plot area's top in the picture
  // Where v lies on the picture, kept within 50 pixels of the plot area.
  double Y(double v) const;
};

TimeAxis MakeTimeAxis(const std::vector<double>& times);
// The axis of a panel whose plot area starts at top: the range of its
// exchanged finite samples and of its bands.
ValueAxis PanelAxis(const Panel& panel, const std::vector<double>& times, const std::vector<const PlotBand*>& bands,
                    double top);
// The grid lines of both axes over a plot area, and the value ticks' labels.
void DrawGrid(std::ostream& svg, const TimeAxis& t, const ValueAxis& v);
// The time ticks' labels on a line at axisY, and the axis' title below them.
void DrawTimeAxis(std::ostream& svg, const TimeAxis& t, double axisY);

// Signals (plot_signals.cpp).

// Each signal's colour, taken in turn from Colours; colour counts on across
// the panels.
std::vector<std::string> SignalColours(const Panel& panel, size_t& colour);
// Each signal as a line in its colour.
void DrawSignals(std::ostream& svg, const Panel& panel, const std::vector<std::string>& colours,
                 const std::vector<double>& times, const TimeAxis& t, const ValueAxis& v);
// What the panel cannot draw, written across its plot area: values exchanged
// that are not finite, and signals of which no value was exchanged.
void DrawNotes(std::ostream& svg, const Panel& panel, const std::vector<double>& times, const TimeAxis& t, double top);

// Bands (plot_bands.cpp).

// The bands drawn on a panel: those on one of its signals.
std::vector<const PlotBand*> BandsOn(const Panel& panel, const std::vector<PlotBand>& bands);
// A band's window, shaded, with its edges dashed.
void DrawBand(std::ostream& svg, const PlotBand& band, const TimeAxis& t, const ValueAxis& v);
// A failed band's cross where it failed; nothing for a band that passed.
void DrawFailure(std::ostream& svg, const PlotBand& band, const TimeAxis& t, const ValueAxis& v);

// Markers (plot_markers.cpp).

// A marker placed on the time axis, with its label's row in the marker strip.
struct PlacedMarker {
  double x = 0.0;
  int row = 0;             // -1: no label of its own, counted in another's "(+N more)"
  bool labelLeft = false;  // the label ends at the line when it would leave the plot
  std::string label;
  int more = 0;  // labels that found no room after this one, in its row
};

struct PlacedMarkers {
  std::vector<PlacedMarker> markers;
  int rows = 0;  // the rows of the marker strip
  // The strip's height above each plot area: none without markers.
  double StripHeight() const { return rows > 0 ? MarkerRow * rows + 4.0 : 0.0; }
};

// The markers within the time axis, in time order, their labels in rows so
// that none overlaps another; a label that finds no room in MaxMarkerRows
// rows is counted in the last label of the last row ("(+2 more)"), its line
// drawn all the same.
PlacedMarkers PlaceMarkers(std::vector<PlotMarker> markers, const TimeAxis& t);
// The labels in the strip that starts at stripTop.
void DrawMarkerLabels(std::ostream& svg, const PlacedMarkers& placed, double stripTop);
// A dashed line down the plot area that starts at top for each marker.
void DrawMarkerLines(std::ostream& svg, const PlacedMarkers& placed, double top);

// The legend (plot_legend.cpp).

// One entry of a panel's legend.
struct LegendEntry {
  std::string text;
  std::string colour;
  bool band = false;
  bool failed = false;
  double width() const { return 44.0 + TextWidth(text, 12.0); }
};

// A panel's legend: its entries in rows as wide as the plot area.
struct Legend {
  std::vector<LegendEntry> entries;
  std::vector<int> rows;  // the row of each entry
  double Height() const;
};

// The signals with their units in their colours, then the bands with their
// verdicts.
Legend MakeLegend(const Panel& panel, const std::vector<std::string>& colours,
                  const std::vector<const PlotBand*>& bands, const TimeAxis& t);
// The legend in the strip that starts at y.
void DrawLegend(std::ostream& svg, const Legend& legend, double y);

}  // namespace host
