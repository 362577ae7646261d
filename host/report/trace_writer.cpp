// The run's trace as a CSV file: the three header lines once, then one line
// per step, written as it comes. Nothing of a step is kept once written, and
// nothing here draws or judges.
#include "report/trace_writer.h"

#include <charconv>

#include "report/numbers.h"

namespace host {
namespace {

// A CSV cell: quoted, with its quotes doubled, when it holds a comma, a quote
// or a line break.
std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string out = "\"";
  for (char c : text) {
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  }
  return out + '"';
}

}  // namespace

bool TraceWriter::Open(const std::string& path, const std::vector<TraceColumn>& columns, std::string& error) {
  if (!file_.OpenGrowing(path, "the trace", error)) {
    return false;
  }
  flushed_ = std::chrono::steady_clock::now();
  std::string names = "step,time_s";
  std::string units = "#unit,s";
  std::string directions = "#direction,";
  for (const TraceColumn& column : columns) {
    names += ',' + CsvCell(column.name);
    units += ',' + CsvCell(column.unit);
    directions += ',' + CsvCell(column.direction);
  }
  file_.Write(names + '\n' + units + '\n' + directions + '\n');
  return true;
}

// The line is formatted in place into line_, grown once to the longest line
// the values can make, and handed to the file whole: nothing is allocated per
// step once the first is written.
void TraceWriter::Write(int step, double seconds, const std::vector<double>& values,
                        const std::vector<bool>& exchanged) {
  const size_t longest = (values.size() + 2) * (ShortestTextMax + 1) + 1;
  if (line_.size() < longest) {
    line_.resize(longest);
  }
  char* const first = &line_[0];
  char* out = std::to_chars(first, first + ShortestTextMax, step).ptr;
  *out++ = ',';
  out = WriteShortestText(seconds, out);
  for (size_t k = 0; k < values.size(); ++k) {
    *out++ = ',';
    if (k >= exchanged.size() || exchanged[k]) {
      out = WriteShortestText(values[k], out);
    }
  }
  *out++ = '\n';
  file_.Write(first, static_cast<size_t>(out - first));
  const auto now = std::chrono::steady_clock::now();
  if (now - flushed_ >= std::chrono::seconds(1)) {
    file_.Flush();
    flushed_ = now;
  }
}

bool TraceWriter::Close(std::string& error) { return file_.Commit(error); }

}  // namespace host
