// The SVG plot of a run: chosen signals against time in panels, with the
// operator events and malfunctions marked and each expectation's band and
// verdict drawn on its signal. Axes run in round steps; the recorder keeps a
// bounded number of samples however long the run. It never judges anything.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "checkout/expectations.h"
#include "report/trace_writer.h"

namespace host {

struct Signal {
  TraceColumn column;
  std::vector<double> values;  // NaN where the row was not exchanged
  std::vector<bool> exchanged;
};

// One panel of the plot: its signals share one scale.
struct Panel {
  std::vector<Signal> signals;
};

// A moment worth marking on the time axis: an operator event or a malfunction.
struct PlotMarker {
  double time;
  std::string label;
  // The signals it concerns: it is drawn on the panels that show one of
  // them; none: on every panel.
  std::vector<std::string> signals = {};
};

// An expectation's window on one plotted signal: from a time to the end of the
// run, with its band (lo or hi NaN where the band is open on that side), its
// verdict, and where it failed.
struct PlotBand {
  std::string signal;
  double from = 0.0;
  double to = -1.0;  // where the window ends; negative: at the end of the run
  double lo = 0.0;
  double hi = 0.0;
  bool passed = true;
  double failTime = 0.0;  // meaningful when it failed
  double failValue = 0.0;
  std::string label;
};

// An expectation's verdict as the band drawn on its signal's panel.
PlotBand BandOf(const Verdict& verdict);

// Draws each panel against time, one above the other, with the markers on
// every panel and each band on the panel of its signal; false with a message
// when the file cannot be written. Each panel has its legend (signals with
// their units, bands with their verdicts) in a strip above its plot area, and
// the markers' labels in a strip below that; both axes have 1-2-5 ticks with
// grid lines. The time axis runs from the first sample to the last, in s, min
// or h by the run's length. A discrete signal is drawn in steps; a sample not
// exchanged is a gap in its line; an exchanged sample that is not finite is
// left out and the panel says so.
bool WritePlot(const std::string& path, const std::string& title, const std::vector<double>& times,
               const std::vector<Panel>& panels, const std::vector<PlotMarker>& markers,
               const std::vector<PlotBand>& bands, std::string& error);

// The plot of a run, filled step by step. Each entry of the plot list is a
// panel whose signals (trace columns joined by '+') share one scale. A
// signal keeps at most 2 x MaxSamples samples: when full, every other one is
// dropped and from then on only every other step is kept, so memory stays
// flat however long the run.
class PlotRecorder {
 public:
  static constexpr size_t MaxSamples = 2048;
  // False with a message naming a signal the trace does not have.
  bool Choose(const std::vector<std::string>& entries, const std::vector<TraceColumn>& columns, std::string& error);
  // One step's values, in the trace's column order.
  void Add(double time, const std::vector<double>& values, const std::vector<bool>& exchanged);
  void Mark(const PlotMarker& marker) { markers_.push_back(marker); }
  void Band(const PlotBand& band) { bands_.push_back(band); }
  bool Write(const std::string& path, const std::string& title, std::string& error) const {
    return WritePlot(path, title, times_, panels_, markers_, bands_, error);
  }

 private:
  void Halve();
  std::vector<Panel> panels_;
  std::vector<std::pair<size_t, size_t>> slots_;  // (panel, signal) of each chosen column
  std::vector<size_t> columns_;                   // the chosen columns
  std::vector<double> times_;
  std::vector<PlotMarker> markers_;
  std::vector<PlotBand> bands_;
  size_t stride_ = 1;
  size_t seen_ = 0;
};

}  // namespace host
