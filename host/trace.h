// The run's trace: a CSV file with one line per step of every exchanged value
// and model variable, and an SVG plot of chosen signals against time.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace host {

class TraceWriter {
 public:
  // False with a message when the file cannot be written.
  bool Open(const std::string& path, const std::vector<std::string>& columns, std::string& error);
  void Write(int step, double seconds, const std::vector<double>& values);
  bool IsOpen() const { return file_.is_open(); }

 private:
  std::ofstream file_;
};

struct Signal {
  std::string name;
  std::vector<double> values;
};

// One panel of the plot: its signals share one scale.
struct Panel {
  std::vector<Signal> signals;
};

// Draws each panel against time, one above the other; false with a message
// when the file cannot be written.
bool WritePlot(const std::string& path, const std::string& title, const std::vector<double>& times,
               const std::vector<Panel>& panels, std::string& error);

// The plot of a run, filled step by step. Each entry of the plot list is a
// panel whose signals (trace columns joined by '+') share one scale. A
// signal keeps at most 2 x MaxSamples samples: when full, every other one is
// dropped and from then on only every other step is kept, so memory stays
// flat however long the run.
class PlotRecorder {
 public:
  static constexpr size_t MaxSamples = 2048;
  // False with a message naming a signal the trace does not have.
  bool Choose(const std::vector<std::string>& entries, const std::vector<std::string>& columns, std::string& error);
  // One step's values, in the trace's column order.
  void Add(double time, const std::vector<double>& values);
  bool Write(const std::string& path, const std::string& title, std::string& error) const {
    return WritePlot(path, title, times_, panels_, error);
  }

 private:
  void Halve();
  std::vector<Panel> panels_;
  std::vector<std::pair<size_t, size_t>> slots_;  // (panel, signal) of each chosen column
  std::vector<size_t> columns_;                   // the chosen columns
  std::vector<double> times_;
  size_t stride_ = 1;
  size_t seen_ = 0;
};

}  // namespace host
