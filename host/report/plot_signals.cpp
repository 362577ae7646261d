// The plot's signals: each as a line in its colour, held level between the
// samples of a discrete one, broken where a sample was not exchanged or not
// finite, and a note on the panel for what could not be drawn. Nothing here
// scales an axis or chooses what is plotted.
#include "report/plot_parts.h"

#include <cmath>
#include <utility>

namespace host {
namespace {

// What a signal's samples hold: how many are drawn, and the ones exchanged
// that are not finite.
struct SampleCount {
  size_t finite = 0;
  size_t notFinite = 0;
  double firstBadTime = 0.0;
  double firstBad = 0.0;
};

SampleCount CountSamples(const Signal& signal, const std::vector<double>& times) {
  SampleCount count;
  for (size_t k = 0; k < signal.values.size() && k < times.size(); ++k) {
    if (!Exchanged(signal, k)) {
      continue;
    }
    if (std::isfinite(signal.values[k])) {
      ++count.finite;
    } else if (count.notFinite++ == 0) {
      count.firstBadTime = times[k];
      count.firstBad = signal.values[k];
    }
  }
  return count;
}

// A signal as a path: a gap where a sample was not exchanged or not finite;
// a discrete signal holds each value until the next sample. Points that fall
// on the same tenth of a pixel, and the inner points of a level stretch, are
// left out.
std::string SignalPath(const Signal& signal, const std::vector<double>& times, const TimeAxis& t, const ValueAxis& v) {
  std::string d;
  bool inRun = false;
  bool pending = false;  // a point not yet drawn at the level of the last drawn one
  std::string lastX;
  std::string lastY;
  std::string pendingX;
  bool alone = false;  // the stretch so far is a single point, which a path would not show
  const auto endRun = [&]() {
    if (inRun && pending) {
      d += signal.column.discrete ? "H" + pendingX : "L" + pendingX + ',' + lastY;
    } else if (inRun && alone) {
      d += "h1";
    }
    inRun = false;
    pending = false;
  };
  for (size_t k = 0; k < signal.values.size() && k < times.size(); ++k) {
    if (!Exchanged(signal, k) || !std::isfinite(signal.values[k]) || !std::isfinite(times[k])) {
      endRun();
      continue;
    }
    const std::string x = Px(t.X(times[k]));
    const std::string y = Px(v.Y(signal.values[k]));
    if (!inRun) {
      d += (d.empty() ? "M" : " M") + x + ',' + y;
      inRun = true;
      alone = true;
      pending = false;
      lastX = x;
      lastY = y;
      continue;
    }
    if (y == lastY) {
      pending = x != lastX;
      pendingX = x;
      continue;
    }
    if (signal.column.discrete) {
      d += "H" + x + "V" + y;
    } else {
      if (pending) {
        d += "L" + pendingX + ',' + lastY;
      }
      d += "L" + x + ',' + y;
    }
    pending = false;
    alone = alone && x == lastX;
    lastX = x;
    lastY = y;
  }
  endRun();
  return d;
}

}  // namespace

std::vector<std::string> SignalColours(const Panel& panel, size_t& colour) {
  std::vector<std::string> colours;
  for (size_t s = 0; s < panel.signals.size(); ++s) {
    colours.push_back(Colours[colour++ % ColourCount]);
  }
  return colours;
}

void DrawSignals(std::ostream& svg, const Panel& panel, const std::vector<std::string>& colours,
                 const std::vector<double>& times, const TimeAxis& t, const ValueAxis& v) {
  for (size_t s = 0; s < panel.signals.size(); ++s) {
    const std::string d = SignalPath(panel.signals[s], times, t, v);
    if (!d.empty()) {
      svg << "<path class=\"signal\" fill=\"none\" stroke=\"" << colours[s] << "\" stroke-width=\"1.5\" d=\"" << d
          << "\"/>\n";
    }
  }
}

void DrawNotes(std::ostream& svg, const Panel& panel, const std::vector<double>& times, const TimeAxis& t, double top) {
  std::vector<std::pair<std::string, bool>> notes;  // text, and whether it is a fault
  for (const Signal& signal : panel.signals) {
    const SampleCount count = CountSamples(signal, times);
    if (count.notFinite > 0) {
      notes.emplace_back(signal.column.name + ": " + std::to_string(count.notFinite) +
                             (count.notFinite == 1 ? " value" : " values") + " not finite, the first (" +
                             ShortestText(count.firstBad) + ") at " + t.Text(count.firstBadTime),
                         true);
    } else if (count.finite == 0) {
      notes.emplace_back(signal.column.name + ": no value exchanged", false);
    }
  }
  for (size_t i = 0; i < notes.size(); ++i) {
    const double width = TextWidth(notes[i].first, 12.0) + 12.0;
    const double y = top + 22.0 + 18.0 * static_cast<double>(i);
    svg << "<g class=\"note\"><rect x=\"" << Px(Left + PlotWidth / 2 - width / 2) << "\" y=\"" << Px(y - 13)
        << "\" width=\"" << Px(width) << "\" height=\"18\" fill=\"white\" fill-opacity=\"0.85\"/>"
        << "<text x=\"" << Px(Left + PlotWidth / 2) << "\" y=\"" << Px(y) << "\" text-anchor=\"middle\" fill=\""
        << (notes[i].second ? FailColour : "#555") << "\">" << Escape(notes[i].first) << "</text></g>\n";
  }
}

}  // namespace host
