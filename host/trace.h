// The run's trace: a CSV file with one line per step of every exchanged value
// and model variable, and an SVG plot of chosen signals against time.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

namespace host {

// One column of the trace: its name, its unit (empty when it has none), which
// way its value travels ("to DCS", "from DCS", or "model" for the model's own
// variables), and whether it is discrete (a mode or a flag: drawn as steps).
struct TraceColumn {
  std::string name;
  std::string unit;
  std::string direction;
  bool discrete = false;
};

class TraceWriter {
 public:
  // False with a message when the file cannot be written.
  bool Open(const std::string& path, const std::vector<TraceColumn>& columns, std::string& error);
  // One step's values in column order; a value whose row was not exchanged
  // at this step (inactive, beyond capacity) is left empty.
  void Write(int step, double seconds, const std::vector<double>& values, const std::vector<bool>& exchanged);
  bool IsOpen() const { return file_.is_open(); }

 private:
  std::ofstream file_;
};

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
};

// An expectation's window on one plotted signal: from a time to the end of the
// run, with its band (lo or hi NaN where the band is open on that side), its
// verdict, and where it failed.
struct PlotBand {
  std::string signal;
  double from = 0.0;
  double lo = 0.0;
  double hi = 0.0;
  bool passed = true;
  double failTime = 0.0;   // meaningful when it failed
  double failValue = 0.0;
  std::string label;
};

// Draws each panel against time, one above the other, with the markers on
// every panel and each band on the panel of its signal; false with a message
// when the file cannot be written.
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
