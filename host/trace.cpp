// Trace files and plots.
#include "trace.h"

#include <algorithm>
#include <cstdio>

namespace host {

bool TraceWriter::Open(const std::string& path, const std::vector<TraceColumn>& columns, std::string& error) {
  file_.open(path);
  if (!file_) {
    error = path + ": cannot write the trace";
    return false;
  }
  file_ << "step,time_s";
  for (const TraceColumn& column : columns) {
    file_ << ',' << column.name;
  }
  file_ << '\n';
  return true;
}

void TraceWriter::Write(int step, double seconds, const std::vector<double>& values,
                        const std::vector<bool>& exchanged) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d,%.6g", step, seconds);
  file_ << buffer;
  for (size_t k = 0; k < values.size(); ++k) {
    if (k < exchanged.size() && !exchanged[k]) {
      file_ << ',';
      continue;
    }
    std::snprintf(buffer, sizeof buffer, ",%.9g", values[k]);
    file_ << buffer;
  }
  file_ << '\n';
}

namespace {

constexpr double Width = 900.0;
constexpr double PanelHeight = 160.0;
constexpr double Left = 90.0;
constexpr double Right = 20.0;
constexpr double Top = 40.0;
constexpr const char* Colours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf"};

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4g", value);
  return buffer;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
  }
  return out;
}

}  // namespace

bool WritePlot(const std::string& path, const std::string& title, const std::vector<double>& times,
               const std::vector<Panel>& panels, const std::vector<PlotMarker>& /*markers*/,
               const std::vector<PlotBand>& /*bands*/, std::string& error) {
  std::ofstream svg(path);
  if (!svg) {
    error = path + ": cannot write the plot";
    return false;
  }
  const double height = Top + PanelHeight * static_cast<double>(panels.size()) + 40.0;
  const double tEnd = times.empty() ? 1.0 : std::max(times.back(), 1e-9);
  const double plotWidth = Width - Left - Right;
  const double plotHeight = PanelHeight - 30.0;
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Width << "\" height=\"" << height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg << "<text x=\"" << Left << "\" y=\"24\" font-size=\"16\">" << Escape(title) << "</text>\n";
  size_t colour = 0;
  for (size_t i = 0; i < panels.size(); ++i) {
    const double y0 = Top + PanelHeight * static_cast<double>(i);
    double lo = 0.0;
    double hi = 0.0;
    bool first = true;
    for (const Signal& signal : panels[i].signals) {
      for (double v : signal.values) {
        lo = first ? v : std::min(lo, v);
        hi = first ? v : std::max(hi, v);
        first = false;
      }
    }
    if (hi - lo < 1e-9) {
      lo -= 0.5;
      hi += 0.5;
    }
    const double margin = (hi - lo) * 0.05;
    lo -= margin;
    hi += margin;
    svg << "<rect x=\"" << Left << "\" y=\"" << y0 << "\" width=\"" << plotWidth << "\" height=\"" << plotHeight
        << "\" fill=\"none\" stroke=\"#999\"/>\n";
    svg << "<text x=\"" << Left - 6 << "\" y=\"" << y0 + 10 << "\" text-anchor=\"end\">" << Number(hi) << "</text>\n";
    svg << "<text x=\"" << Left - 6 << "\" y=\"" << y0 + plotHeight << "\" text-anchor=\"end\">" << Number(lo)
        << "</text>\n";
    double labelX = Left + 6;
    for (const Signal& signal : panels[i].signals) {
      const char* stroke = Colours[colour++ % 6];
      svg << "<text x=\"" << labelX << "\" y=\"" << y0 + 14 << "\" fill=\"" << stroke << "\">"
          << Escape(signal.column.name) << "</text>\n";
      labelX += 9.0 * static_cast<double>(signal.column.name.size()) + 20.0;
      svg << "<polyline fill=\"none\" stroke=\"" << stroke << "\" stroke-width=\"1.5\" points=\"";
      const size_t n = std::min(times.size(), signal.values.size());
      // At most about two points per pixel column.
      const size_t stride = std::max<size_t>(1, n / static_cast<size_t>(plotWidth * 2));
      for (size_t k = 0; k < n; k += stride) {
        const double x = Left + plotWidth * times[k] / tEnd;
        const double y = y0 + plotHeight * (hi - signal.values[k]) / (hi - lo);
        svg << Number(x) << ',' << Number(y) << ' ';
      }
      svg << "\"/>\n";
    }
  }
  const double axisY = Top + PanelHeight * static_cast<double>(panels.size()) + 4.0;
  svg << "<text x=\"" << Left << "\" y=\"" << axisY << "\">0 s</text>\n";
  svg << "<text x=\"" << Width - Right << "\" y=\"" << axisY << "\" text-anchor=\"end\">" << Number(tEnd)
      << " s</text>\n";
  svg << "</svg>\n";
  return static_cast<bool>(svg);
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
