// What a run prints and hands on at its start and its end.
#include "run/run_summary.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "driver/driver_rules.h"
#include "fix/fix_group.h"

namespace host {

void SayWhatIsWritten(const Case& c, const FixLibrary& fix, int steps, std::ostream& out) {
  std::set<std::string> nodes;
  for (const CaseCtrlRow& r : c.controllers) {
    nodes.insert(r.node);
  }
  for (const CasePVRow& r : c.pv) {
    nodes.insert(r.node);
  }
  for (const CasePVRow& r : c.pvImport) {
    nodes.insert(r.node);
  }
  out << "live run against FIX (" << fix.edaPath() << "): writes " << c.pv.size() << " PV rows at every step";
  if (c.initCycle == 0) {
    out << "; at the start " << c.controllers.size() << " controllers' outputs, second values and modes and "
        << c.pvImport.size() << " PV-import rows";
  }
  out << "; " << c.events.size() << " operator events; nodes:";
  for (const std::string& node : nodes) {
    out << ' ' << node;
  }
  out << "\n  " << steps << " steps paced at " << c.stepSeconds
      << " s each; Ctrl-C (SIGINT) or SIGTERM stops it at the next step\n";
}

void Progress(int step, int steps) {
  const int width = 40;
  const int filled = steps == 0 ? width : static_cast<int>(static_cast<long long>(width) * step / steps);
  (void)std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(width - filled), ' ').c_str(),
                     steps == 0 ? 100 : static_cast<int>(100LL * step / steps));
  if (step == steps) {
    (void)std::fprintf(stderr, "\n");
  }
}

void ReadFinalModes(Session& session, RunResult& result) {
  const Case& c = session.scenario();
  if (c.controllers.empty()) {
    return;
  }
  std::vector<PointName> points;
  for (const CaseCtrlRow& row : c.controllers) {
    points.push_back(PointName{row.node, row.tag, dcs::FieldMode});
  }
  const std::vector<std::string> modes = ReadTexts(session.fix().api(), points, "(no mode)");
  for (size_t i = 0; i < c.controllers.size(); ++i) {
    result.finalModes[c.controllers[i].tag] = modes[i];
  }
}

namespace {

// Five controllers or fewer each on a line; more counted by mode.
void FinalModes(const RunResult& result, std::ostream& out) {
  if (result.finalModes.size() <= 5) {
    for (const auto& mode : result.finalModes) {
      out << "  controller         " << mode.first << " ends in " << mode.second << '\n';
    }
    return;
  }
  std::map<std::string, int> byMode;
  for (const auto& mode : result.finalModes) {
    ++byMode[mode.second];
  }
  out << "  controllers end in";
  for (const auto& mode : byMode) {
    out << ' ' << mode.second << ' ' << mode.first;
  }
  out << '\n';
}

}  // namespace

void Summary(Session& session, const RunResult& result, double dt, std::ostream& out) {
  const Case& c = session.scenario();
  char line[160];
  out << "summary of " << (c.name.empty() ? c.path : c.name) << '\n';
  (void)std::snprintf(line, sizeof line, "  steps              %d of %g s\n", result.steps, dt);
  out << line;
  (void)std::snprintf(line, sizeof line, "  values to DCS      %ld\n  values from DCS    %ld\n", result.valuesToDcs,
                      result.valuesFromDcs);
  out << line;
  out << "  messages           " << result.messages.size() << '\n';
  (void)std::snprintf(line, sizeof line, "  step time          median %.1f us, 99th percentile %.1f us\n",
                      result.medianStepMicros, result.p99StepMicros);
  out << line;
  FinalModes(result, out);
  // A large plant's variables are the trace's to show; the summary shows the first.
  constexpr size_t MostShown = 20;
  const ProcessModel& model = session.model();
  const size_t shown = std::min(model.Names().size(), MostShown);
  for (size_t k = 0; k < shown; ++k) {
    (void)std::snprintf(line, sizeof line, "  model              %s = %.4g\n", model.Names()[k].c_str(),
                        model.Value(k));
    out << line;
  }
  if (shown < model.Names().size()) {
    out << "  model              ... and " << model.Names().size() - shown
        << " more variables (--trace has them all)\n";
  }
}

std::string PlotRefusal(const Case& c, const RunOptions& options, const ProcessModel& model, const std::string& error) {
  if (!options.signals.empty() || c.plot.empty()) {
    return error;
  }
  // A String output of an FMU is no signal: say so, where the plot names it.
  std::string why;
  for (const FmuBlock& fmu : model.Fmus()) {
    for (const FmuVariable& v : fmu.unit->description().variables) {
      if (v.causality == FmuCausality::Output && v.type == FmuType::String &&
          error.find("'" + fmu.name + "." + v.name + "'") != std::string::npos) {
        why = ": it is a String output of FMU block '" + fmu.name +
              "', and dcshost reads Real, Integer and Boolean "
              "outputs only";
      }
    }
  }
  return Where(c.plotOrigin) + ": plot: " + error + why;
}

std::vector<std::string> PlotList(const Case& c, const RunOptions& options, const ProcessModel& model,
                                  const std::vector<LoopColumns>& loops, const std::vector<TraceColumn>& columns,
                                  std::ostream& out) {
  std::vector<std::string> plotted = options.signals.empty() ? c.plot : options.signals;
  if (plotted.empty() && !loops.empty()) {
    const size_t shown = std::min(loops.size(), MostDefaultPanels);
    std::string outputs;
    for (size_t k = 0; k < shown; ++k) {
      plotted.push_back(columns[loops[k].pv].name + "+" + columns[loops[k].target].name);
      outputs += (outputs.empty() ? "" : "+") + columns[loops[k].output].name;
    }
    plotted.push_back(outputs);
    if (shown < loops.size()) {
      out << "plot: the first " << shown << " of " << loops.size()
          << " loops (the case's plot = [...] or --signals chooses others)\n";
    }
  }
  if (plotted.empty()) {
    const size_t shown = std::min(model.Names().size(), MostDefaultPanels);
    plotted.assign(model.Names().begin(), model.Names().begin() + static_cast<std::ptrdiff_t>(shown));
    if (shown < model.Names().size()) {
      out << "plot: the first " << shown << " of " << model.Names().size()
          << " model variables (the case's plot = [...] or --signals chooses others)\n";
    }
  }
  for (size_t k = 0; plotted.empty() && k < columns.size() && k < 3; ++k) {
    plotted.push_back(columns[k].name);
  }
  for (const CaseExpectation& e : c.expectations) {
    const bool isColumn =
        std::any_of(columns.begin(), columns.end(), [&e](const TraceColumn& t) { return t.name == e.signal; });
    const bool shown = std::any_of(plotted.begin(), plotted.end(), [&e](const std::string& entry) {
      return ("+" + entry + "+").find("+" + e.signal + "+") != std::string::npos;
    });
    if (e.kind == CaseExpectation::Kind::Signal && isColumn && !shown) {
      plotted.push_back(e.signal);
    }
  }
  return plotted;
}

int JudgeExpectations(const Expectations& expectations, const RunResult& result, PlotRecorder& plot, std::ostream& out,
                      const std::vector<Verdict>& more, std::vector<Verdict>* judged) {
  RunOutcome outcome{result.configured, {}, result.finalModes};
  for (const ReportedMessage& m : result.messages) {
    outcome.messageKeys.push_back(m.key);
  }
  std::vector<Verdict> verdicts = expectations.Judge(outcome);
  verdicts.insert(verdicts.end(), more.begin(), more.end());
  int failed = 0;
  int waived = 0;
  bool anyWaiver = false;
  for (const Verdict& v : verdicts) {
    // A waived failure is a known deficiency: listed, and not failing the run.
    const bool known = !v.passed && !v.waived.empty();
    out << "  expect " << (v.passed ? "PASS  " : known ? "WAIVED  " : "FAIL  ") << v.description << ": " << v.measured;
    if (known) {
      out << " [waived: " << v.waived << "]";
    } else if (!v.waived.empty()) {
      out << " [waived as " << v.waived << ", but it passes: the waiver can be lifted]";
    }
    out << '\n';
    failed += v.passed || known ? 0 : 1;
    waived += known ? 1 : 0;
    anyWaiver = anyWaiver || !v.waived.empty();
    if (v.windowed) {
      plot.Band(BandOf(v));
    }
  }
  if (!verdicts.empty()) {
    out << "expectations: " << verdicts.size() - static_cast<size_t>(failed + waived) << " passed, " << failed
        << " failed" << (anyWaiver ? ", " + std::to_string(waived) + " waived" : std::string()) << '\n';
  }
  if (judged != nullptr) {
    *judged = verdicts;
  }
  return failed;
}

}  // namespace host
