// Tiebacks against a FIX: the loop facts read from its database, the loops
// built, and the pairing told as counts and lists.
#include "run/tiebacks.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <unordered_map>

#include "fix/fix_group.h"
#include "plant/loop_pairing.h"

namespace host {

LoopFacts ReadLoopFacts(const FixLibrary& fix, const Case& c) {
  // A range FIX holds as a float, as the database wrote it: 1.2, not 1.2000000476837158.
  const auto asWritten = [](double x) {
    if (!std::isfinite(x)) {
      return x;
    }
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text - 1, static_cast<float>(x));
    *written.ptr = '\0';
    return std::strtod(text, nullptr);
  };
  LoopFacts facts;
  if (fix.simulated().PidInput != nullptr) {
    for (const CaseCtrlRow& row : c.controllers) {
      if (const char* input = fix.simulated().PidInput(row.node.c_str(), row.tag.c_str()); input != nullptr) {
        facts.pidInputs[row.node + ":" + row.tag] = input;
      }
    }
  }
  const SimulatedDatabaseApi& db = fix.simulated();
  if (db.PidRemote != nullptr && db.RatioInput != nullptr && db.SplitSource != nullptr) {
    for (const CaseCtrlRow& row : c.controllers) {
      if (const char* remote = db.PidRemote(row.node.c_str(), row.tag.c_str()); remote != nullptr) {
        facts.remotes[row.node + ":" + row.tag] = remote;
        if (const char* wild = db.RatioInput(row.node.c_str(), remote); wild != nullptr) {
          facts.ratioInputs[row.node + ":" + remote] = wild;
        }
      }
    }
    for (const CasePVRow& row : c.pvImport) {  // the split-range outputs the case imports
      const char* source = db.SplitSource(row.node.c_str(), row.tag.c_str());
      std::vector<std::string>* outputs = source != nullptr ? &facts.splits[row.node + ":" + source] : nullptr;
      if (outputs != nullptr && std::find(outputs->begin(), outputs->end(), row.tag) == outputs->end()) {
        outputs->push_back(row.tag);
        const std::vector<double> part =
            ReadFloats(fix.api(), {PointName{row.node, row.tag, "F_SPLO"}, PointName{row.node, row.tag, "F_SPHI"}});
        facts.splitParts[row.node + ":" + row.tag] = {part[0], part[1]};
      }
    }
  }
  std::vector<PointName> points;
  for (const CasePVRow& row : c.pv) {
    points.push_back(PointName{row.node, row.tag, "F_ELO"});
    points.push_back(PointName{row.node, row.tag, "F_EHI"});
  }
  const std::vector<double> values = ReadFloats(fix.api(), points);
  for (size_t i = 0; i < c.pv.size(); ++i) {
    facts.low.push_back(asWritten(values[2 * i]));
    facts.high.push_back(asWritten(values[2 * i + 1]));
  }
  std::vector<PointName> units;
  for (const CasePVRow& row : c.pv) {
    units.push_back(PointName{row.node, row.tag, "A_EGUDESC"});
  }
  facts.units = ReadTexts(fix.api(), units, "", true);
  std::vector<PointName> actions;
  for (const CaseCtrlRow& row : c.controllers) {
    actions.push_back(PointName{row.node, row.tag, "A_ACTION"});
  }
  for (const std::string& action : ReadTexts(fix.api(), actions, "")) {
    facts.directAction.push_back(action == "DIRECT");
  }
  return facts;
}

std::vector<CheckedLoop> LoopsToCheck(const Case& c, const LoopFacts& facts, const Tiebacks* tiebacks) {
  std::vector<CheckedLoop> loops;
  // A loop is checked over its range as the DCS states it, which a tieback's
  // setting may belie (a transmitter ranged other than FIX says); else the
  // tieback's. Its transmitter sends over its plant's span.
  const auto stated = [&facts](size_t pv) {
    return pv < facts.low.size() && std::isfinite(facts.low[pv]) && std::isfinite(facts.high[pv]);
  };
  // What the database says of the loop's strategy: its target from a master
  // or a ratio station (and that station's wild flow), its slave.
  std::unordered_map<std::string, size_t> pvOf;
  for (size_t r = 0; r < c.pv.size(); ++r) {
    pvOf.emplace(c.pv[r].node + ":" + c.pv[r].tag, r);
  }
  std::unordered_map<std::string, size_t> controllerOf, importOf;
  for (size_t r = 0; r < c.controllers.size(); ++r) {
    controllerOf.emplace(c.controllers[r].node + ":" + c.controllers[r].tag, r);
  }
  for (size_t r = 0; r < c.pvImport.size(); ++r) {
    importOf.emplace(c.pvImport[r].node + ":" + c.pvImport[r].tag, r);
  }
  const std::vector<int> slaves = CascadeSlaves(c, facts);
  const auto strategies = [&](CheckedLoop& loop) {
    const CaseCtrlRow& row = c.controllers[loop.controller];
    const auto remote = facts.remotes.find(row.node + ":" + row.tag);
    loop.remoteTarget = remote != facts.remotes.end();
    if (loop.remoteTarget) {
      const auto wild = facts.ratioInputs.find(row.node + ":" + remote->second);
      const auto wildPv = wild != facts.ratioInputs.end() ? pvOf.find(row.node + ":" + wild->second) : pvOf.end();
      loop.wildPv = wildPv != pvOf.end() ? static_cast<int>(wildPv->second) : -1;
    }
    loop.slaveRow = slaves[loop.controller];
    if (loop.remoteTarget && loop.wildPv < 0) {  // a cascade's slave: its master among the controllers
      const auto master = controllerOf.find(row.node + ":" + remote->second);
      loop.masterRow = master != controllerOf.end() ? static_cast<int>(master->second) : -1;
    } else if (loop.remoteTarget) {
      loop.ratioStation = remote->second;
      const auto w = static_cast<size_t>(loop.wildPv);
      loop.wildLow = stated(w) ? facts.low[w] : 0.0;
      loop.wildHigh = stated(w) ? facts.high[w] : 100.0;
    }
    if (const auto split = facts.splits.find(row.node + ":" + row.tag); split != facts.splits.end()) {
      for (const std::string& tag : split->second) {
        const auto output = importOf.find(row.node + ":" + tag);
        const auto part = facts.splitParts.find(row.node + ":" + tag);
        if (output != importOf.end() && part != facts.splitParts.end()) {
          loop.splitRows.push_back(output->second);
          loop.splitParts.push_back(part->second);
        }
      }
    }
  };
  const auto add = [&](size_t controller, size_t pv, const std::string& variable, const TiebackDynamics& d,
                       bool sentAsStated) {
    CheckedLoop loop;
    loop.controller = controller;
    loop.pv = pv;
    loop.variable = variable;
    loop.low = stated(pv) ? facts.low[pv] : d.low;
    loop.high = stated(pv) ? facts.high[pv] : d.high;
    loop.sentLow = sentAsStated ? loop.low : d.low;
    loop.sentHigh = sentAsStated ? loop.high : d.high;
    loop.directAction = controller < facts.directAction.size() && facts.directAction[controller];
    loop.integrating = d.integrating;
    strategies(loop);
    loops.push_back(loop);
  };
  const auto addDiscrete = [&](size_t command, size_t pv, const TiebackDynamics& d) {
    CheckedLoop loop;
    loop.controller = command;
    loop.pv = pv;
    loop.discrete = true;
    loop.low = 0.0;
    loop.high = 1.0;
    loop.flagFeedback = IsCommand(c.pv[pv]);
    loop.startDelay = d.startDelay;
    loop.stopDelay = d.stopDelay;
    loops.push_back(loop);
  };
  if (tiebacks != nullptr) {
    for (const TiebackLoop& loop : tiebacks->loops) {
      if (loop.discrete) {
        addDiscrete(loop.source, loop.pv, loop.dynamics);
      } else {
        add(loop.source, loop.pv, loop.variable, loop.dynamics, false);
        loops.back().strategy = loop.strategyText;
      }
    }
  }
  // Loops the rules pair among the rows no tieback closes: all of them
  // without tiebacks, the case's own blocks' loops in a tieback case. Their
  // plant is the user's: the defaults of their letters, a transmitter
  // ranged as FIX says.
  const LoopPairing pairing = PairLoops(c, facts.pidInputs, tiebacks != nullptr ? &tiebacks->held : nullptr);
  for (const LoopPair& pair : pairing.pairs) {
    LoopTag tag;
    const std::string variable =
        ReadLoopTag(c.controllers[pair.controller].tag, tag) ? MeasuredVariable(tag.function) : std::string();
    TiebackDynamics d = DefaultDynamics(variable);
    d.low = 0.0;
    d.high = 100.0;
    add(pair.controller, pair.pv, variable, d, true);
  }
  for (const LoopPair& pair : pairing.commands) {
    addDiscrete(pair.controller, pair.pv, DefaultDynamics(std::string()));
  }
  return loops;
}

bool GenerateTiebacks(const FixLibrary& fix, const Case& c, Tiebacks& tiebacks, std::string& error) {
  return BuildTiebacks(c, ReadLoopFacts(fix, c), tiebacks, error);
}

void SayPairing(const Case& c, const Tiebacks& tiebacks, int most, std::ostream& out) {
  std::map<std::string, size_t> byRule;
  size_t discrete = 0;
  for (const TiebackLoop& loop : tiebacks.loops) {
    discrete += loop.discrete ? 1 : 0;
    byRule[loop.rule] += loop.discrete ? 0 : 1;
  }
  std::string rules;
  for (const auto& rule : byRule) {
    if (rule.second > 0) {
      rules += (rules.empty() ? "" : ", ") + std::to_string(rule.second) + " by " + rule.first;
    }
  }
  const std::string strategies = StrategyCounts(tiebacks);
  out << "tiebacks: " << tiebacks.loops.size() - discrete << " loops closed"
      << (rules.empty() ? "" : " (" + rules + (strategies.empty() ? "" : "; " + strategies) + ")") << ", " << discrete
      << " discrete; " << tiebacks.ambiguous.size() << " ambiguous, " << tiebacks.unpaired.size() << " unpaired; "
      << tiebacks.openPv.size() << " of " << c.pv.size() << " PV rows send their values as written";
  const auto own = static_cast<size_t>(std::count(tiebacks.held.pv.begin(), tiebacks.held.pv.end(), true));
  out << (own > 0 ? ", " + std::to_string(own) + " carry the case's own blocks' outputs\n" : std::string("\n"));
  const auto list = [&](const char* what, const std::vector<std::string>& lines) {
    const size_t shown = most < 0 ? lines.size() : std::min(lines.size(), static_cast<size_t>(most));
    for (size_t k = 0; k < shown; ++k) {
      out << "  " << what << ": " << lines[k] << '\n';
    }
    if (shown < lines.size()) {
      out << "  ... and " << lines.size() - shown << " more " << what << " (`dcshost tieback` lists every one)\n";
    }
  };
  list("ambiguous", tiebacks.ambiguous);
  list("unpaired", tiebacks.unpaired);
}

std::vector<std::string> StrategyLines(const FixLibrary& fix, const Case& c) {
  std::vector<PointName> switches;
  for (const CaseCtrlRow& row : c.controllers) {
    switches.push_back(PointName{row.node, row.tag, "A_CASC"});
    switches.push_back(PointName{row.node, row.tag, "A_CASCBRK"});
  }
  const std::vector<std::string> read = ReadTexts(fix.api(), switches, "");
  std::vector<std::string> lines;
  if (!fix.IsSimulated()) {
    for (size_t r = 0; r < c.controllers.size(); ++r) {
      if (!read[2 * r].empty()) {
        lines.push_back(c.controllers[r].tag + ": a cascade switch (A_CASC " + read[2 * r] +
                        "); this FIX's links between blocks are not read, so its master or ratio station is not "
                        "paired and the loop is taken as a single loop");
      }
    }
    return lines;
  }
  const LoopFacts facts = ReadLoopFacts(fix, c);
  for (size_t r = 0; r < c.controllers.size(); ++r) {
    const CaseCtrlRow& row = c.controllers[r];
    const std::string key = row.node + ":" + row.tag;
    if (const auto remote = facts.remotes.find(key); remote != facts.remotes.end()) {
      const auto wild = facts.ratioInputs.find(row.node + ":" + remote->second);
      const std::string& station = remote->second;
      const std::vector<double> ratio =
          ReadFloats(fix.api(), {PointName{row.node, station, "F_RATIO"}, PointName{row.node, station, "F_BIAS"}});
      lines.push_back(row.tag + ": " +
                      (wild != facts.ratioInputs.end()
                           ? "its target from the ratio station " + station + ", " + Measured(ratio[0]) + " x " +
                                 wild->second + " + " + Measured(ratio[1])
                           : "the slave of " + station + ", broken to " +
                                 (read[2 * r + 1] == "MANL" ? "MANL" : "its local target") + " when " + station +
                                 "'s measurement fails (A_CASCBRK " + read[2 * r + 1] + ")") +
                      "; in cascade now: " + read[2 * r]);
    }
    if (const auto split = facts.splits.find(key); split != facts.splits.end()) {
      std::string outputs;
      for (const std::string& tag : split->second) {
        const auto part = facts.splitParts.find(row.node + ":" + tag);
        outputs += (outputs.empty() ? "" : ", ") + tag +
                   (part != facts.splitParts.end()
                        ? " (" + Measured(part->second.first) + " to " + Measured(part->second.second) + " %)"
                        : std::string());
      }
      lines.push_back(row.tag + ": split range over " + outputs);
    }
  }
  return lines;
}

}  // namespace host
