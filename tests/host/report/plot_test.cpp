// The plot as an engineer reads it: plots that parse as XML and show legends,
// steps, gaps, markers, bands and non-finite data where they belong. Every
// plot drawn here is left in the working folder as plot_test-*.svg, for the
// render test that follows on Linux; nothing here renders one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "report/plot.h"
#include "xml_reader.h"

namespace {

using report_test::Element;
using report_test::ParseXml;

const double Nan = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------------------
// The reader the plots are checked with.

TEST(XmlReader, RefusesWhatARendererRefuses) {
  const char* const bad[] = {
      "<svg><g></svg></g>",        "<svg><text>a & b</text></svg>", "<svg a=1/>",
      "<svg a=\"1\" a=\"2\"/>",    "<svg><text>x</text>",           "<svg/><svg/>",
      "<svg><text>\x01</text></svg>", "<svg><text>\xff</text></svg>",  "<svg a=\"<\"/>",
      "text<svg/>",
  };
  for (const char* doc : bad) {
    std::vector<Element> elements;
    std::string error;
    EXPECT_FALSE(ParseXml(doc, elements, error)) << doc;
  }
  std::vector<Element> elements;
  std::string error;
  EXPECT_TRUE(ParseXml("<svg a=\"1\"><text b='&lt;2'>x &amp; y</text><g/></svg>\n", elements, error)) << error;
  ASSERT_EQ(elements.size(), 3U);
  EXPECT_EQ(elements[1].Attribute("b"), "<2");
  EXPECT_EQ(elements[1].text, "x & y");
}

// ---------------------------------------------------------------------------
// Plots.

struct Plot {
  std::vector<double> times;
  std::vector<host::Panel> panels;
  std::vector<host::PlotMarker> markers;
  std::vector<host::PlotBand> bands;
  std::string title = "a plot";
};

host::Signal MakeSignal(const std::string& name, const std::string& unit, const std::vector<double>& values,
                        bool discrete = false, std::vector<bool> exchanged = {}) {
  if (exchanged.empty()) {
    exchanged.assign(values.size(), true);
  }
  return host::Signal{host::TraceColumn{name, unit, "model", discrete}, values, exchanged};
}

std::vector<double> Range(double first, double step, size_t count) {
  std::vector<double> values;
  for (size_t k = 0; k < count; ++k) {
    values.push_back(first + step * static_cast<double>(k));
  }
  return values;
}

// A drawn plot, parsed, with the queries the tests make of it.
class Drawn {
 public:
  Drawn(const std::string& name, const Plot& plot) : path_("plot_test-" + name + ".svg") {
    std::string error;
    written_ = host::WritePlot(path_, plot.title, plot.times, plot.panels, plot.markers, plot.bands, error);
    std::ifstream file(path_, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    svg_ = text.str();
    parsed_ = ParseXml(svg_, elements_, error_);
    if (!written_) {
      error_ = error;
    }
  }
  bool ok() const { return written_ && parsed_; }
  const std::string& error() const { return error_; }
  const std::string& svg() const { return svg_; }

  // Elements named tag inside (or being) an element of class cls, within
  // panel number panel (-1: anywhere).
  std::vector<const Element*> All(const std::string& tag, const std::string& cls, int panel = -1) const {
    std::vector<const Element*> found;
    for (size_t k = 0; k < elements_.size(); ++k) {
      if (elements_[k].name == tag && Within(k, cls) && (panel < 0 || PanelOf(k) == panel)) {
        found.push_back(&elements_[k]);
      }
    }
    return found;
  }
  std::vector<std::string> Texts(const std::string& cls, int panel = -1) const {
    std::vector<std::string> texts;
    for (const Element* e : All("text", cls, panel)) {
      texts.push_back(e->text);
    }
    return texts;
  }
  int Panels() const {
    return static_cast<int>(std::count_if(elements_.begin(), elements_.end(),
                                          [](const Element& e) { return e.Attribute("class") == "panel"; }));
  }
  // The first attribute whose value holds part, as name="value", or empty.
  std::string AttributeHolding(const std::string& part) const {
    for (const Element& e : elements_) {
      for (const auto& attribute : e.attributes) {
        if (attribute.second.find(part) != std::string::npos) {
          return attribute.first + "=\"" + attribute.second + "\"";
        }
      }
    }
    return std::string();
  }

 private:
  bool HasClass(size_t k, const std::string& cls) const {
    std::stringstream classes(elements_[k].Attribute("class"));
    for (std::string c; classes >> c;) {
      if (c == cls) {
        return true;
      }
    }
    return false;
  }
  bool Within(size_t k, const std::string& cls) const {
    for (int e = static_cast<int>(k); e >= 0; e = elements_[static_cast<size_t>(e)].parent) {
      if (cls.empty() || HasClass(static_cast<size_t>(e), cls)) {
        return true;
      }
    }
    return false;
  }
  int PanelOf(size_t k) const {
    for (int e = static_cast<int>(k); e >= 0; e = elements_[static_cast<size_t>(e)].parent) {
      if (HasClass(static_cast<size_t>(e), "panel")) {
        int index = 0;
        for (int before = 0; before < e; ++before) {
          index += HasClass(static_cast<size_t>(before), "panel") ? 1 : 0;
        }
        return index;
      }
    }
    return -1;
  }

  std::string path_;
  std::string svg_;
  std::string error_;
  std::vector<Element> elements_;
  bool written_ = false;
  bool parsed_ = false;
};

// The tank run: twenty minutes from 1 s, the operator's setpoint change at
// 600 s, a band the level keeps and a band the valve leaves.
Plot TankPlot() {
  Plot plot;
  plot.title = "Tank level loop";
  plot.times = Range(1, 1, 1200);
  std::vector<double> level;
  std::vector<double> setpoint;
  std::vector<double> valve;
  for (double t : plot.times) {
    const double target = t < 600 ? 2.0 : 2.5;
    level.push_back(target - (t < 600 ? 1.0 : 0.5) * std::exp(-std::fmod(t, 600.0) / 120.0));
    setpoint.push_back(target);
    valve.push_back(0.5 + 0.3 * std::exp(-std::fmod(t, 600.0) / 200.0));
  }
  plot.panels = {host::Panel{{MakeSignal("level", "m", level), MakeSignal("LIC101.tv1", "", setpoint)}},
                 host::Panel{{MakeSignal("valve", "0-1", valve)}}};
  plot.markers = {{600, "LIC101.F_TV1 = 2.5"}, {5000, "after the run"}};
  host::PlotBand kept;
  kept.signal = "level";
  kept.from = 900;
  kept.lo = 2.45;
  kept.hi = 2.55;
  kept.label = "level settles";
  host::PlotBand left;
  left.signal = "valve";
  left.from = 300;
  left.lo = Nan;
  left.hi = 0.75;
  left.passed = false;
  left.failTime = 620;
  left.failValue = 0.8;
  left.label = "valve below 0.75";
  plot.bands = {kept, left};
  return plot;
}

TEST(WritePlot, TankPlotHasLegendsAboveThePlotAndRoundTicks) {
  const Drawn drawn("tank", TankPlot());
  ASSERT_TRUE(drawn.ok()) << drawn.error();
  ASSERT_EQ(drawn.Panels(), 2);
  EXPECT_EQ(drawn.Texts("legend", 0), (std::vector<std::string>{"level (m)", "LIC101.tv1", "level settles"}));
  EXPECT_EQ(drawn.Texts("legend", 1),
            (std::vector<std::string>{"valve (0-1)", "valve below 0.75: failed at 10.33 min, 0.8"}));
  EXPECT_EQ(drawn.Texts("time-title"), std::vector<std::string>{"time (min)"});
  // From the first sample at 1 s: no tick at 0.
  EXPECT_EQ(drawn.Texts("time-tick"),
            (std::vector<std::string>{"2", "4", "6", "8", "10", "12", "14", "16", "18", "20"}));
  for (int panel = 0; panel < 2; ++panel) {
    const Element* area = drawn.All("rect", "plot-area", panel).at(0);
    for (const Element* text : drawn.All("text", "legend", panel)) {
      EXPECT_LE(text->Number("y") + 3, area->Number("y")) << "legend over the plot in panel " << panel;
    }
    for (const Element* text : drawn.All("text", "marker-labels", panel)) {
      EXPECT_LE(text->Number("y") + 3, area->Number("y")) << "marker label over the plot in panel " << panel;
    }
    // Value ticks: evenly spaced, 1, 2 or 5 times a power of ten apart.
    std::vector<double> ticks;
    for (const Element* text : drawn.All("text", "panel", panel)) {
      if (text->Attribute("class") == "value-tick") {
        ticks.push_back(std::stod(text->text));
      }
    }
    ASSERT_GE(ticks.size(), 3U);
    const double step = ticks[1] - ticks[0];
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 || std::fabs(mantissa - 5) < 1e-9)
        << step;
    for (size_t k = 1; k < ticks.size(); ++k) {
      EXPECT_NEAR(ticks[k] - ticks[k - 1], step, step * 1e-9);
    }
    // The marker within the run on every panel, the one after it on none.
    EXPECT_EQ(drawn.All("line", "marker", panel).size(), 1U);
    EXPECT_EQ(drawn.Texts("marker-labels", panel), std::vector<std::string>{"LIC101.F_TV1 = 2.5"});
  }
  EXPECT_EQ(drawn.All("g", "band", 0).size(), 1U);
  EXPECT_EQ(drawn.All("g", "failed", 0).size(), 0U);
  EXPECT_EQ(drawn.All("g", "failed", 1).size(), 1U);
  EXPECT_EQ(drawn.All("circle", "failure", 1).size(), 1U);
  EXPECT_EQ(drawn.All("g", "note").size(), 0U);
}

// Six events at one time: three rows of labels, the last counting the three
// that found no room, and one line for them all.
TEST(WritePlot, MarkersBeyondTheRowsAreCountedNotOverprinted) {
  Plot plot = TankPlot();
  plot.markers.clear();
  for (const char* tag : {"LIC101", "FIC2", "PIC3", "TIC4", "AIC5", "HS6"}) {
    plot.markers.push_back({300, std::string("SCADA1:") + tag + ".F_TV1"});
  }
  const Drawn drawn("markers", plot);
  ASSERT_TRUE(drawn.ok()) << drawn.error();
  EXPECT_EQ(drawn.Texts("marker-labels", 0),
            (std::vector<std::string>{"SCADA1:LIC101.F_TV1", "SCADA1:FIC2.F_TV1", "SCADA1:PIC3.F_TV1 (+3 more)"}));
  EXPECT_EQ(drawn.All("line", "marker", 0).size(), 1U);
}

// The d attribute of each signal's path in the first panel.
std::vector<std::string> Paths(const Drawn& drawn) {
  std::vector<std::string> paths;
  for (const Element* path : drawn.All("path", "signal", 0)) {
    paths.push_back(path->Attribute("d"));
  }
  return paths;
}

size_t Count(const std::string& text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }

TEST(WritePlot, DrawsModesInStepsAndLeavesGapsWhereNothingWasExchanged) {
  Plot plot;
  plot.times = Range(10, 10, 8);
  const std::vector<double> mode = {1, 1, 1, 2, 2, 1, 1, 1};
  const std::vector<bool> gap = {true, true, true, false, false, true, true, true};
  plot.panels = {host::Panel{{MakeSignal("FIC202.F_AUTO", "", mode, true), MakeSignal("flow", "m3/s", mode),
                              MakeSignal("FV201.F_CV", "%", Range(1, 1, 8), false, gap)}}};
  const Drawn drawn("steps-and-gaps", plot);
  ASSERT_TRUE(drawn.ok()) << drawn.error();
  const std::vector<std::string> paths = Paths(drawn);
  ASSERT_EQ(paths.size(), 3U);
  EXPECT_EQ(Count(paths[0], 'L'), 0U) << paths[0];  // steps: level and upright strokes only
  EXPECT_EQ(Count(paths[0], 'V'), 2U) << paths[0];
  EXPECT_EQ(Count(paths[1], 'H') + Count(paths[1], 'V'), 0U) << paths[1];
  EXPECT_EQ(Count(paths[2], 'M'), 2U) << paths[2];  // two stretches around the gap
  EXPECT_EQ(drawn.All("g", "note").size(), 0U);      // a gap is no fault
  EXPECT_EQ(drawn.Texts("time-title"), std::vector<std::string>{"time (s)"});
  EXPECT_EQ(drawn.Texts("time-tick").front(), "10");  // the axis starts where the data does
}

TEST(WritePlot, SaysSoWhereAPanelsDataIsNotFiniteOrNeverExchanged) {
  Plot plot;
  plot.times = Range(0, 60, 40);
  std::vector<double> level = Range(1, 0.1, 40);
  level[20] = Nan;
  level[30] = Inf;
  plot.panels = {host::Panel{{MakeSignal("level", "m", level)}},
                 host::Panel{{MakeSignal("broken", "", std::vector<double>(40, Nan))}},
                 host::Panel{{MakeSignal("idle", "", std::vector<double>(40, Nan), false,
                                         std::vector<bool>(40, false))}},
                 host::Panel{{MakeSignal("fine", "", Range(0, 1, 40))}}};
  const Drawn drawn("not-finite", plot);
  ASSERT_TRUE(drawn.ok()) << drawn.error();
  EXPECT_EQ(drawn.Texts("note", 0), std::vector<std::string>{"level: 2 values not finite, the first (nan) at 20 min"});
  EXPECT_EQ(drawn.Texts("note", 1), std::vector<std::string>{"broken: 40 values not finite, the first (nan) at 0 min"});
  EXPECT_EQ(drawn.Texts("note", 2), std::vector<std::string>{"idle: no value exchanged"});
  EXPECT_TRUE(drawn.Texts("note", 3).empty());
  EXPECT_EQ(Count(Paths(drawn).at(0), 'M'), 3U);  // the finite stretches are drawn
  EXPECT_TRUE(drawn.All("path", "signal", 1).empty());
}

TEST(WritePlot, LongRunsAreInHoursWithPlainTickLabels) {
  Plot plot;
  plot.times = Range(1000, 1000, 2000);  // up to 2,000,000 s
  plot.panels = {host::Panel{{MakeSignal("big", "Pa", Range(1e6, 1e3, 2000))}}};
  const Drawn drawn("long-run", plot);
  ASSERT_TRUE(drawn.ok()) << drawn.error();
  EXPECT_EQ(drawn.Texts("time-title"), std::vector<std::string>{"time (h)"});
  EXPECT_EQ(drawn.Texts("time-tick"), (std::vector<std::string>{"100", "200", "300", "400", "500"}));
  EXPECT_EQ(drawn.svg().find("e+"), std::string::npos);
}

TEST(WritePlot, StaysWellFormedWhateverItIsGiven) {
  Plot hostile;
  hostile.title = "<&>\"' \x01\xff\xc3\x28 ok \xe2\x82\xac";
  hostile.times = {5};
  hostile.panels = {host::Panel{{MakeSignal("a<b&c\"d", "m\x02", {1e308}), MakeSignal("e", "", {-1e308})}}};
  hostile.markers = {{5, "<marker & \"quote\">"}, {Nan, "nowhere"}};
  host::PlotBand band;
  band.signal = "e";
  band.from = Nan;
  band.lo = Nan;
  band.hi = Nan;
  band.passed = false;
  band.failTime = Inf;
  band.failValue = Nan;
  band.label = "&band";
  hostile.bands = {band};
  Plot empty;
  empty.panels = {host::Panel{}};
  const std::pair<const char*, Plot> cases[] = {
      {"hostile", hostile}, {"empty", empty}, {"no-panels", Plot{}}};
  for (const auto& c : cases) {
    const Drawn drawn(c.first, c.second);
    EXPECT_TRUE(drawn.ok()) << c.first << ": " << drawn.error();
    EXPECT_EQ(drawn.AttributeHolding("nan"), "") << c.first;  // every coordinate a number
    EXPECT_EQ(drawn.AttributeHolding("inf"), "") << c.first;
  }
}

TEST(WritePlot, RefusesAPathItCannotWrite) {
  std::string error;
  EXPECT_FALSE(host::WritePlot(testing::TempDir(), "t", {}, {}, {}, {}, error));
  // a folder: the reason follows the file and what it is
  EXPECT_EQ(error.rfind(testing::TempDir() + ": cannot write the plot: ", 0), 0U) << error;
}

}  // namespace
