// The trace and the plot as an engineer reads them: 1-2-5 ticks, the time
// unit, the trace's header and its exact values, and plots that parse as XML
// and show legends, steps, gaps, markers, bands and non-finite data. Every
// plot drawn here is left in the working folder as plot_test-*.svg, for the
// render test that follows on Linux.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "report/numbers.h"
#include "report/plot.h"
#include "report/trace_writer.h"

namespace {

const double Nan = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------------------
// A strict little XML reader: enough to refuse what a renderer refuses
// (unbalanced or crossed tags, unquoted or repeated attributes, a bare '&' or
// '<', bytes that are not UTF-8, control characters, a second root), and to
// hand the elements to the tests.

struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // the element's own text, unescaped
  int parent = -1;
  std::string Attribute(const std::string& key) const {
    const auto found = attributes.find(key);
    return found == attributes.end() ? std::string() : found->second;
  }
  double Number(const std::string& key) const { return std::strtod(Attribute(key).c_str(), nullptr); }
};

bool NameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || c == ':'; }
bool NameChar(char c) {
  return NameStart(c) || std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.';
}

bool CharactersAllowed(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > s.size() || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
        c == 0xC0 || c == 0xC1) {
      return false;
    }
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

bool Unescape(const std::string& raw, std::string& out) {
  static const std::map<std::string, std::string> entities = {
      {"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}};
  out.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '<') {
      return false;
    }
    if (raw[i] != '&') {
      out += raw[i];
      continue;
    }
    const size_t end = raw.find(';', i);
    if (end == std::string::npos) {
      return false;
    }
    const std::string name = raw.substr(i + 1, end - i - 1);
    if (entities.count(name) != 0) {
      out += entities.at(name);
    } else if (name.size() > 1 && name[0] == '#' &&
               name.find_first_not_of("0123456789", 1) == std::string::npos) {
      out += '?';  // a character reference; the tests never look inside one
    } else {
      return false;
    }
    i = end;
  }
  return true;
}

bool ParseXml(const std::string& s, std::vector<Element>& elements, std::string& error) {
  size_t i = 0;
  std::vector<int> open;
  const auto fail = [&](const std::string& what) {
    error = what + " at offset " + std::to_string(i) + ": " + s.substr(i, 60);
    return false;
  };
  const auto skipSpace = [&]() {
    const size_t start = i;
    while (i < s.size() && std::strchr(" \t\r\n", s[i]) != nullptr) {
      ++i;
    }
    return i > start;
  };
  const auto name = [&]() {
    const size_t start = i;
    if (i < s.size() && NameStart(s[i])) {
      while (i < s.size() && NameChar(s[i])) {
        ++i;
      }
    }
    return s.substr(start, i - start);
  };
  if (!CharactersAllowed(s)) {
    return fail("a byte that is not UTF-8 or a control character");
  }
  bool rootSeen = false;
  while (i < s.size()) {
    if (s[i] != '<') {
      const size_t end = std::min(s.find('<', i), s.size());
      std::string text;
      if (!Unescape(s.substr(i, end - i), text)) {
        return fail("a bare '&' or an unknown entity in text");
      }
      if (open.empty() && text.find_first_not_of(" \t\r\n") != std::string::npos) {
        return fail("text outside the root");
      }
      if (!open.empty()) {
        elements[static_cast<size_t>(open.back())].text += text;
      }
      i = end;
    } else if (s.compare(i, 4, "<!--") == 0) {
      const size_t end = s.find("-->", i + 4);
      if (end == std::string::npos) {
        return fail("an unclosed comment");
      }
      i = end + 3;
    } else if (s.compare(i, 2, "<?") == 0) {
      const size_t end = s.find("?>", i);
      if (i != 0 || end == std::string::npos) {
        return fail("a declaration not at the start");
      }
      i = end + 2;
    } else if (s.compare(i, 2, "</") == 0) {
      i += 2;
      const std::string tag = name();
      if (open.empty() || elements[static_cast<size_t>(open.back())].name != tag) {
        return fail("an end tag </" + tag + "> that closes nothing open");
      }
      skipSpace();
      if (i >= s.size() || s[i] != '>') {
        return fail("an end tag without '>'");
      }
      ++i;
      open.pop_back();
    } else {
      ++i;
      Element e;
      e.name = name();
      e.parent = open.empty() ? -1 : open.back();
      if (e.name.empty()) {
        return fail("a '<' that starts no tag");
      }
      if (open.empty() && rootSeen) {
        return fail("a second root element");
      }
      bool closed = false;
      while (true) {
        const bool spaced = skipSpace();
        if (i + 1 < s.size() && s[i] == '/' && s[i + 1] == '>') {
          i += 2;
          closed = true;
          break;
        }
        if (i < s.size() && s[i] == '>') {
          ++i;
          break;
        }
        const std::string key = name();
        if (key.empty() || !spaced) {
          return fail("a malformed attribute in <" + e.name + ">");
        }
        skipSpace();
        if (i >= s.size() || s[i] != '=') {
          return fail("an attribute without '='");
        }
        ++i;
        skipSpace();
        const char quote = i < s.size() ? s[i] : '\0';
        const size_t end = quote == '"' || quote == '\'' ? s.find(quote, i + 1) : std::string::npos;
        std::string value;
        if (end == std::string::npos || !Unescape(s.substr(i + 1, end - i - 1), value)) {
          return fail("an attribute value not quoted or not escaped");
        }
        if (!e.attributes.emplace(key, value).second) {
          return fail("attribute " + key + " given twice");
        }
        i = end + 1;
      }
      elements.push_back(e);
      rootSeen = true;
      if (!closed) {
        open.push_back(static_cast<int>(elements.size() - 1));
      }
    }
  }
  if (!open.empty()) {
    return fail("<" + elements[static_cast<size_t>(open.back())].name + "> never closed");
  }
  if (!rootSeen) {
    return fail("no element");
  }
  return true;
}

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
// Numbers.

TEST(TickStep, IsOneTwoOrFiveTimesAPowerOfTenWithinTheIntervals) {
  struct Case {
    double span;
    int intervals;
    double step;
  };
  const Case cases[] = {
      {10, 5, 2},      {1, 5, 0.2},    {7, 5, 2},       {100, 10, 10},    {95, 10, 10},  {11, 10, 2},
      {0.003, 5, 1e-3}, {0.7, 5, 0.2}, {1199, 10, 200}, {2e6, 10, 2e5},   {3, 3, 1},     {2.5e-7, 5, 5e-8},
      {1e12, 4, 5e11}, {0, 5, 1},      {-1, 5, 1},      {Nan, 5, 1},      {Inf, 5, 1},   {10, 0, 10},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(host::TickStep(c.span, c.intervals), c.step) << c.span << " in " << c.intervals;
  }
}

TEST(Ticks, AreTheStepsMultiplesFromLoToHi) {
  struct Case {
    double lo;
    double hi;
    int intervals;
    std::vector<double> ticks;
  };
  const Case cases[] = {
      {0, 1, 5, {0, 0.2, 0.4, 0.6, 0.8, 1}},  // exactly 0.6, not 0.6000000000000001
      {0.95, 2.05, 5, {1, 1.5, 2}},
      {-3, 7, 5, {-2, 0, 2, 4, 6}},
      {1, 1200, 6, {200, 400, 600, 800, 1000, 1200}},  // a time axis starting at its first sample
      {0.1, 0.3, 2, {0.1, 0.2, 0.3}},
      {5, 5, 5, {5}},
      {2, 1, 5, {}},
      {Nan, 1, 5, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(host::Ticks(c.lo, c.hi, c.intervals), c.ticks) << c.lo << " to " << c.hi;
  }
}

TEST(ChooseTimeUnit, FitsTheRunsLength) {
  const std::pair<double, const char*> cases[] = {
      {0, "s"},   {59, "s"},       {600, "s"}, {601, "min"}, {1199, "min"},
      {18000, "min"}, {18001, "h"}, {2e6, "h"}, {Nan, "s"},
  };
  for (const auto& c : cases) {
    const host::TimeUnit unit = host::ChooseTimeUnit(c.first);
    EXPECT_EQ(unit.name, c.second) << c.first;
    EXPECT_EQ(unit.seconds, unit.name == "s" ? 1.0 : unit.name == "min" ? 60.0 : 3600.0);
  }
}

TEST(ShortestText, IsTheShortestTextThatReadsBackTheSameDouble) {
  const std::pair<double, const char*> cases[] = {
      {0.1, "0.1"},
      {1.0, "1"},
      {2.5, "2.5"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1.0 / 3.0, "0.3333333333333333"},
      {0.025222221374511723, "0.025222221374511723"},
      {static_cast<double>(42.5f), "42.5"},
      {2e6, "2000000"},
      {1234567.5, "1234567.5"},
      {1e-300, "1e-300"},
      {-0.0, "-0"},
      {Nan, "nan"},
      {Inf, "inf"},
      {-Inf, "-inf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(host::ShortestText(c.first), c.second);
  }
  // Doubles from every corner of the range, and floats as FIX hands them over.
  std::mt19937_64 random(12);
  for (int k = 0; k < 20000; ++k) {
    const uint64_t bits = random();
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    if (k % 2 == 1) {
      value = static_cast<double>(static_cast<float>(static_cast<double>(bits % 2000000) / 7.0));
    }
    if (!std::isfinite(value)) {
      continue;
    }
    const std::string text = host::ShortestText(value);
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    ASSERT_LE(text.size(), 24U) << text;
  }
}

// ---------------------------------------------------------------------------
// The trace file.

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line);
  }
  return lines;
}

TEST(TraceWriter, NamesOnTheFirstLineThenUnitsAndDirectionsThenExactValues) {
  const std::string path = testing::TempDir() + "plot_test-trace.csv";
  host::TraceWriter trace;
  std::string error;
  ASSERT_TRUE(trace.Open(path,
                         {{"level", "m", "model", false},
                          {"LIC101.output", "0-1", "from DCS", false},
                          {"odd,\"name\"", "", "to DCS", true}},
                         error))
      << error;
  trace.Write(1, 0.1, {0.1, 1.0 / 3.0, Nan}, {true, false, true});
  trace.Write(2, 1234567.5, {static_cast<double>(0.025222222f), 2.0, -Inf}, {});
  trace.Write(3, 3e7, {}, {});
  ASSERT_TRUE(trace.IsOpen());
  trace = host::TraceWriter();
  const std::vector<std::string> expected = {
      "step,time_s,level,LIC101.output,\"odd,\"\"name\"\"\"",
      "#unit,s,m,0-1,",
      "#direction,,model,from DCS,to DCS",
      "1,0.1,0.1,,nan",                           // not exchanged: an empty cell
      "2,1234567.5,0.02522222138941288,2,-inf",  // a float read back exactly
      "3,30000000",
  };
  std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(lines[k], expected[k]) << "line " << k + 1;
  }
}

TEST(TraceWriter, RefusesAPathItCannotWrite) {
  host::TraceWriter trace;
  std::string error;
  EXPECT_FALSE(trace.Open(testing::TempDir(), {}, error));
  EXPECT_EQ(error, testing::TempDir() + ": cannot write the trace");
  EXPECT_FALSE(trace.IsOpen());
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
  EXPECT_EQ(error, testing::TempDir() + ": cannot write the plot");
}

}  // namespace
