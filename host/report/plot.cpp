// The plot's page: the title, the panels one below the other, each with its
// legend and marker strips above its plot area, and the time axis at the
// foot; and the recorder that keeps a bounded number of samples for it. The
// plot is drawn once, at the end, as plain SVG; nothing here judges a run.
#include "report/plot.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "report/plot_parts.h"
#include "system/output_file.h"

namespace host {
namespace {

// What every panel of a page shares: the samples' times, the time axis, the
// markers placed on it, and all the bands.
struct Page {
  const std::vector<double>& times;
  const TimeAxis& t;
  const std::vector<PlotMarker>& markers;
  const std::vector<PlotBand>& bands;
};

// The markers a panel shows: those of every panel, and those of a signal it shows.
std::vector<PlotMarker> MarkersOn(const Panel& panel, const std::vector<PlotMarker>& markers) {
  std::vector<PlotMarker> on;
  for (const PlotMarker& m : markers) {
    const bool shown =
        m.signals.empty() || std::any_of(panel.signals.begin(), panel.signals.end(), [&m](const Signal& s) {
          return std::find(m.signals.begin(), m.signals.end(), s.column.name) != m.signals.end();
        });
    if (shown) {
      on.push_back(m);
    }
  }
  return on;
}

// Draws a panel whose legend strip starts at y, its signals' colours counting
// on from colour; returns the height it took. The bands and marker lines lie
// under the signals, and the failures' crosses over them.
double DrawPanel(std::ostream& svg, const Page& page, const Panel& panel, size_t index, size_t& colour, double y) {
  const std::vector<const PlotBand*> bands = BandsOn(panel, page.bands);
  const std::vector<std::string> colours = SignalColours(panel, colour);
  const Legend legend = MakeLegend(panel, colours, bands, page.t);
  const PlacedMarkers markers = PlaceMarkers(MarkersOn(panel, page.markers), page.t);
  const double top = y + legend.Height() + markers.StripHeight();
  const ValueAxis v = PanelAxis(panel, page.times, bands, top);
  svg << "<g class=\"panel\">\n";
  DrawLegend(svg, legend, y);
  DrawMarkerLabels(svg, markers, y + legend.Height());
  DrawGrid(svg, page.t, v);
  svg << "<defs><clipPath id=\"plot" << index << "\"><rect x=\"" << Px(Left) << "\" y=\"" << Px(top) << "\" width=\""
      << Px(PlotWidth) << "\" height=\"" << Px(PlotHeight) << "\"/></clipPath></defs>\n";
  svg << "<g clip-path=\"url(#plot" << index << ")\">\n";
  for (const PlotBand* band : bands) {
    DrawBand(svg, *band, page.t, v);
  }
  DrawMarkerLines(svg, markers, top);
  DrawSignals(svg, panel, colours, page.times, page.t, v);
  for (const PlotBand* band : bands) {
    DrawFailure(svg, *band, page.t, v);
  }
  svg << "</g>\n";
  svg << "<rect class=\"plot-area\" x=\"" << Px(Left) << "\" y=\"" << Px(top) << "\" width=\"" << Px(PlotWidth)
      << "\" height=\"" << Px(PlotHeight) << "\" fill=\"none\" stroke=\"#888\"/>\n";
  DrawNotes(svg, panel, page.times, page.t, top);
  svg << "</g>\n";
  return top + PlotHeight - y;
}

}  // namespace

bool WritePlot(const std::string& path, const std::string& title, const std::vector<double>& times,
               const std::vector<Panel>& panels, const std::vector<PlotMarker>& markers,
               const std::vector<PlotBand>& bands, std::string& error) {
  const TimeAxis t = MakeTimeAxis(times);
  const Page page{times, t, markers, bands};
  // The panels first, for the page's height.
  std::ostringstream body;
  double y = TitleHeight;
  size_t colour = 0;
  for (size_t i = 0; i < panels.size(); ++i) {
    y += DrawPanel(body, page, panels[i], i, colour, y) + PanelGap;
  }
  const double axisY = y - PanelGap + 16.0;
  DrawTimeAxis(body, t, axisY);
  std::ostringstream svg;
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Px(Width) << "\" height=\""
      << Px(axisY + TimeAxisHeight - 14) << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text class=\"title\" x=\"" << Px(Left) << "\" y=\"22\" font-size=\"16\">" << Escape(title) << "</text>\n"
      << body.str() << "</svg>\n";
  return WriteWholeFile(path, "the plot", svg.str(), error);
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
