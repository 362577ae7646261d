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

}  // namespace host
