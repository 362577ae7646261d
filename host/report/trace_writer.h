// The run's trace: a CSV file with one line per step of every exchanged value
// and model variable, read by engineers and spreadsheets, so numbers are
// written exactly. It streams: nothing of a step is kept once written.
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
// comma or a quote is quoted the CSV way. While the run goes on the trace is
// FILE.partial, its rows flushed at least once a second of wall time, and it
// becomes FILE when closed: a run that dies leaves its rows up to then there.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "system/output_file.h"

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
  bool IsOpen() const { return file_.IsOpen(); }
  // The trace complete: flushed and put in place; false with a message naming
  // the file and the reason when any write failed (an older file is kept).
  bool Close(std::string& error);

 private:
  OutputFile file_;
  std::string line_;                                 // room for one step's line, kept to be reused
  std::chrono::steady_clock::time_point flushed_{};  // when the rows last went to the system
};

}  // namespace host
