// The run's trace: a CSV file with one line per step of every exchanged value
// and model variable, and an SVG plot of chosen signals against time. Both are
// read by engineers, so numbers are written exactly and axes in round steps;
// neither ever holds more than a bounded number of samples in memory.
//
// The trace file, line by line:
//   step,time_s,level,LIC101.tv1,...   the column names, so that spreadsheets
//                                      and CSV readers find them on line 1
//   #unit,s,m,,...                     each column's unit (empty: none)
//   #direction,,model,from DCS,...     "to DCS", "from DCS" or "model"
//   1,1,1.0025,2,...                   one line per step
// The two '#' lines sit in the same columns as the names, so a spreadsheet
// shows them under each name, and readers that skip '#' lines read on. A
// value is the shortest text that reads back to the same double ("0.1", not
// "0.10000000000000001"), "nan", "inf" or "-inf"; a value whose row was not
// exchanged at that step is an empty cell. A name, unit or direction holding a
// comma or a quote is quoted the CSV way.
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
  double to = -1.0;        // where the window ends; negative: at the end of the run
  double lo = 0.0;
  double hi = 0.0;
  bool passed = true;
  double failTime = 0.0;   // meaningful when it failed
  double failValue = 0.0;
  std::string label;
};

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

// The shortest text that reads back with strtod to the same double: "0.1",
// not "0.10000000000000001"; 17 digits only where fewer do not give back the
// same double; "nan", "inf" and "-inf" for the values that are not finite.
std::string ShortestText(double value);

// The 1-2-5 tick step (1, 2 or 5 times a power of ten) that divides span into
// at most maxIntervals intervals; 1 for a span that is not positive and finite.
double TickStep(double span, int maxIntervals);

// The multiples of TickStep(hi - lo, maxIntervals) that lie from lo to hi
// (inclusive); none when hi < lo or either is not finite.
std::vector<double> Ticks(double lo, double hi, int maxIntervals);

// The unit the time axis is labelled in: s up to 10 min, min up to 5 h, h
// beyond; seconds is the length of one unit in seconds.
struct TimeUnit {
  std::string name;
  double seconds;
};
TimeUnit ChooseTimeUnit(double spanSeconds);

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
