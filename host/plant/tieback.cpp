// Tiebacks: the loops paired by rule, each one's dynamics from its measured
// variable's defaults and the case's settings, and its blocks declared as a
// case would write them, so that a run and the file `dcshost tieback` writes
// hold the same model.
#include "plant/tieback.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <tuple>
#include <unordered_set>
#include <utility>

#include "plant/loop_pairing.h"

namespace host {
namespace {

// The defaults by measured variable: flow fast, pressure medium, temperature
// slow with a dead time, level integrating, analysis slow with a long dead
// time; any other variable keeps TiebackDynamics' own (a lag of 10 s).
struct LetterDefault {
  char letter;  // the first letter: PD loops take P's, FQ loops F's
  bool integrating;
  double timeConstant, deadTime, fillTime;
};
const LetterDefault Defaults[] = {
    {'F', false, 2.0, 0.0, 300.0}, {'P', false, 10.0, 0.0, 300.0},   {'T', false, 60.0, 10.0, 300.0},
    {'L', true, 10.0, 0.0, 300.0}, {'A', false, 120.0, 60.0, 300.0},
};

using Keys = std::vector<std::pair<const char*, BlockValue>>;

// A block name from a tag: letters, digits, '_' and '-', every other character '_'.
std::string NameFrom(const std::string& tag) {
  std::string name = tag.empty() ? std::string("loop") : tag;
  for (char& ch : name) {
    const bool kept =
        (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' || ch == '-';
    ch = kept ? ch : '_';
  }
  return name;
}

// A lag's bias, so that at the controller's starting output the PV rests at
// its target exactly: to 12 significant digits where that still holds (a
// file then reads "bias = -0.02", not "-0.020000000000003126"), else to the
// last bit.
double RestingBias(double target, double gain, double output) {
  const double exact = target - gain * output;
  if (!std::isfinite(exact)) {
    return exact;
  }
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.12g", exact);
  const double shorter = std::strtod(text, nullptr);
  return gain * output + shorter == target ? shorter : exact;
}

// Declares one loop's blocks at the row the loop comes from, each name unique in the plant.
class Declarer {
 public:
  Declarer(Tiebacks& out, std::unordered_set<std::string>& used, Origin at, const std::map<std::string, Origin>& from)
      : out_(out), used_(used), at_(std::move(at)), from_(from) {}

  // A block of that kind named base (made unique), in the unit given; its name.
  std::string Add(const std::string& base, const char* kind, const Keys& keys, const std::string& unit = "") {
    std::string name = base;
    for (int n = 2; !used_.insert(name).second; ++n) {
      name = base + "_" + std::to_string(n);
    }
    CaseBlock b;
    b.name = name;
    b.kind = kind;
    b.unit = unit;
    b.origin = at_;
    for (const auto& key : keys) {
      b.keys[key.first] = key.second;
    }
    out_.blocks.push_back(std::move(b));
    return name;
  }
  // A number, at the line of the first of the settings it comes from that
  // the case gave; the first that is not finite is kept as a failure.
  BlockValue N(double x, std::initializer_list<const char*> keys = {}) {
    BlockValue v;
    v.number = x;
    v.origin = at_;
    std::string given;
    for (const char* key : keys) {
      if (const auto found = from_.find(key); found != from_.end()) {
        v.origin = given.empty() ? found->second : v.origin;
        given += (given.empty() ? "'" : ", '") + std::string(key) + "'";
      }
    }
    if (!std::isfinite(x) && failure_.empty()) {
      failure_ = Where(v.origin) + ": the loop's tieback would hold " + Shown(x) +
                 (given.empty() ? std::string() : " from " + given) +
                 " (a lag's gain is its span, high - low; an "
                 "integrator's rate the span over fill_time): keep them within what a number holds";
    }
    return v;
  }
  const std::string& Failure() const { return failure_; }
  BlockValue T(const std::string& text) const {
    BlockValue v;
    v.form = BlockValue::Form::Text;
    v.text = text;
    v.origin = at_;
    return v;
  }
  BlockValue List(const BlockValue& item) const {
    BlockValue v;
    v.form = BlockValue::Form::List;
    v.items = {item};
    v.origin = at_;
    return v;
  }
  // A sum of one weighted input and a bias.
  std::string Sum(const std::string& base, const std::string& input, double weight, double bias,
                  std::initializer_list<const char*> keys = {}, const std::string& unit = "") {
    return Add(base, "sum", {{"inputs", List(T(input))}, {"weights", List(N(weight, keys))}, {"bias", N(bias, keys)}},
               unit);
  }
  // The last block declared sends its output through the PV row.
  void Sends(const CasePVRow& pv) { out_.blocks.back().keys["pv"] = T(PointText(pv.node, pv.tag, pv.field)); }

 private:
  Tiebacks& out_;
  std::unordered_set<std::string>& used_;
  Origin at_;
  const std::map<std::string, Origin>& from_;
  std::string failure_;
};

// An analog loop at rest: at the controller's starting output u0 the PV holds
// its target. A lag's output is bias + gain * output; an integrator's input
// is k * (output - u0). Full output moves the PV over its span. A cascade
// master's input is its slave's PV instead, at rest at the slave's target:
// the slave's full span moves the master's PV over its own.
std::string DeclareAnalog(const Case& c, const TiebackLoop& loop, Tiebacks& out,
                          std::unordered_set<std::string>& used) {
  const CaseCtrlRow& ctrl = c.controllers[loop.source];
  const CasePVRow& pv = c.pv[loop.pv];
  const TiebackDynamics& d = loop.dynamics;
  const bool cascade = !loop.fromBlock.empty();
  const double span = (d.reverse ? -1.0 : 1.0) * (d.high - d.low) / (cascade ? loop.fromSpan : 1.0);
  const double rest = cascade ? loop.fromRest : ctrl.output;
  const std::string base = pv.from.empty() ? NameFrom(pv.tag) : pv.from;
  const std::string output = cascade ? loop.fromBlock : ctrl.tag + ".output";
  Declarer declare(out, used, ctrl.origin, loop.from);
  const double target = ctrl.tv1;
  const bool delayed = d.deadTime > 0.0;
  std::string last;
  if (d.integrating) {
    const double k = span / d.fillTime;
    const std::string net = declare.Sum(base + "_net", output, k, -k * rest, {"high", "low", "fill_time"},
                                        loop.unit.empty() ? std::string() : loop.unit + "/s");
    last = declare.Add(delayed ? base + "_level" : base, "integrator",
                       {{"input", declare.T(net)},
                        {"low", declare.N(d.low, {"low"})},
                        {"high", declare.N(d.high, {"high"})},
                        {"initial", declare.N(target)}},
                       loop.unit);
  } else {
    last = declare.Add(delayed ? base + "_lag" : base, "lag",
                       {{"input", declare.T(output)},
                        {"gain", declare.N(span, {"high", "low"})},
                        {"bias", declare.N(RestingBias(target, span, rest), {"high", "low"})},
                        {"time_constant", declare.N(d.timeConstant, {"time_constant"})},
                        {"initial", declare.N(target)}},
                       loop.unit);
  }
  if (delayed) {
    declare.Add(
        base, "deadtime",
        {{"input", declare.T(last)}, {"delay", declare.N(d.deadTime, {"dead_time"})}, {"initial", declare.N(target)}},
        loop.unit);
  }
  declare.Sends(pv);
  return declare.Failure();
}

// A discrete loop: the command's flag (0.0 is "YES") runs a motor whose
// feedback the PV row sends: 1.0 running, or "YES" on an A_ROUT row.
std::string DeclareDiscrete(const Case& c, const TiebackLoop& loop, Tiebacks& out,
                            std::unordered_set<std::string>& used) {
  const CasePVRow& command = c.pvImport[loop.source];
  const CasePVRow& pv = c.pv[loop.pv];
  const TiebackDynamics& d = loop.dynamics;
  const std::string base = pv.from.empty() ? NameFrom(pv.tag) : pv.from;
  Declarer declare(out, used, command.origin, loop.from);
  const std::string wanted = declare.Sum(base + "_command", command.tag + "." + command.field, -1.0, 1.0, {}, "0/1");
  const bool asFlag = pv.field == "A_ROUT";
  const std::string motor = declare.Add(asFlag ? base + "_running" : base, "motor",
                                        {{"command", declare.T(wanted)},
                                         {"start_delay", declare.N(d.startDelay, {"start_delay"})},
                                         {"stop_delay", declare.N(d.stopDelay, {"stop_delay"})},
                                         {"initial", declare.N(command.value < 0.5 ? 1.0 : 0.0)}},
                                        "0/1");
  if (asFlag) {
    declare.Sum(base, motor, -1.0, 1.0, {}, "0 yes, 1 no");
  }
  declare.Sends(pv);
  return declare.Failure();
}

// A setting's numbers over a loop's, noting where it changed them.
void Apply(const TiebackSetting& s, const std::string& where, TiebackLoop& loop) {
  TiebackDynamics& d = loop.dynamics;
  if (!s.dynamics.empty()) {
    d.integrating = s.dynamics == "integrating";
  }
  if (!s.action.empty()) {
    d.reverse = s.action == "reverse";
  }
  const std::tuple<const char*, double, double*> numbers[] = {{"time_constant", s.timeConstant, &d.timeConstant},
                                                              {"dead_time", s.deadTime, &d.deadTime},
                                                              {"fill_time", s.fillTime, &d.fillTime},
                                                              {"low", s.low, &d.low},
                                                              {"high", s.high, &d.high},
                                                              {"start_delay", s.startDelay, &d.startDelay},
                                                              {"stop_delay", s.stopDelay, &d.stopDelay}};
  for (const auto& [key, value, field] : numbers) {
    if (!std::isnan(value)) {
      *field = value;
      const auto given = s.origins.find(key);
      loop.from[key] = given != s.origins.end() ? given->second : s.origin;
    }
  }
  loop.changes.push_back(where + " at " + Where(s.origin));
}

// A loop's measured variable: from the controller's tag, else its PV row's.
std::string VariableOf(const std::string& controller, const std::string& pv) {
  LoopTag tag;
  if (ReadLoopTag(controller, tag) || ReadLoopTag(pv, tag)) {
    return MeasuredVariable(tag.function);
  }
  return std::string();
}

// Defaults, the database's range, then the settings: by first letter, by
// whole variable, by loop; a used setting is marked.
bool Tune(const Case& c, const LoopFacts& facts, const std::string& tag, TiebackLoop& loop, std::vector<bool>& used,
          std::string& error) {
  for (size_t k = 0; k < c.model.tieback.size(); ++k) {  // a measured variable the case states for the loop
    const TiebackSetting& s = c.model.tieback[k];
    if (!loop.discrete && s.loop == tag && !s.measures.empty()) {
      loop.variable = s.measures;
      loop.changes.push_back("measures " + s.measures + " from [tieback.loop." + tag + "]");
    }
  }
  loop.dynamics = DefaultDynamics(loop.variable);
  if (loop.pv < facts.low.size() && std::isfinite(facts.low[loop.pv]) && std::isfinite(facts.high[loop.pv])) {
    loop.dynamics.low = facts.low[loop.pv];
    loop.dynamics.high = facts.high[loop.pv];
    loop.changes.push_back("span " + Shown(loop.dynamics.low) + ".." + Shown(loop.dynamics.high) +
                           " from the database's F_ELO and F_EHI");
  }
  if (!loop.discrete && loop.pv < facts.units.size()) {
    loop.unit = facts.units[loop.pv];
  }
  const std::vector<TiebackSetting>& settings = c.model.tieback;
  const auto applies = [&](const TiebackSetting& s, int pass) {
    switch (pass) {
      case 0: return loop.discrete ? s.discrete : s.letter.size() == 1 && loop.variable.rfind(s.letter, 0) == 0;
      case 1: return !loop.discrete && s.letter.size() > 1 && s.letter == loop.variable;
      default: return s.loop == tag;
    }
  };
  const TiebackSetting* last = nullptr;
  for (int pass = 0; pass < 3; ++pass) {
    for (size_t k = 0; k < settings.size(); ++k) {
      if (applies(settings[k], pass)) {
        const TiebackSetting& setting = settings[k];
        Apply(setting,
              setting.discrete ? "[tieback.discrete]"
              : pass == 2      ? "[tieback.loop." + setting.loop + "]"
                               : "[tieback.letter." + setting.letter + "]",
              loop);
        used[k] = true;
        last = &settings[k];
      }
    }
  }
  if (!(loop.dynamics.low < loop.dynamics.high)) {
    error = (last != nullptr ? Where(last->origin) : Where(c.pv[loop.pv].origin)) + ": the span of loop " + tag +
            " would run from " + Shown(loop.dynamics.low) + " to " + Shown(loop.dynamics.high) +
            ": low must be below high";
    return false;
  }
  return true;
}

// A PV row's link names the tieback block that answers its loop: false with
// its line when it cannot be a block's name.
bool LinkNamesABlock(const CasePVRow& pv, const std::string& tag, std::string& error) {
  if (pv.from.empty() || NameFrom(pv.from) == pv.from) {
    return true;
  }
  error = Where(pv.origin) + ": 'from' = \"" + pv.from + "\" links loop " + tag +
          " to its tieback and names the "
          "block that answers it: letters, digits, '_' and '-' only";
  return false;
}

}  // namespace

TiebackDynamics DefaultDynamics(const std::string& variable) {
  TiebackDynamics d;
  for (const LetterDefault& entry : Defaults) {
    if (!variable.empty() && variable[0] == entry.letter) {
      d.integrating = entry.integrating;
      d.timeConstant = entry.timeConstant;
      d.deadTime = entry.deadTime;
      d.fillTime = entry.fillTime;
    }
  }
  return d;
}

namespace {

std::string KeyOf(const CaseCtrlRow& row) { return row.node + ":" + row.tag; }

// For each pair, the pair of its cascade's slave, or -1.
std::vector<int> Slaves(const Case& c, const LoopFacts& facts, const std::vector<LoopPair>& pairs) {
  std::vector<int> pairOfRow(c.controllers.size(), -1);
  for (size_t k = 0; k < pairs.size(); ++k) {
    pairOfRow[pairs[k].controller] = static_cast<int>(k);
  }
  const std::vector<int> slaveRows = CascadeSlaves(c, facts);
  std::vector<int> slaveOf(pairs.size(), -1);
  for (size_t k = 0; k < pairs.size(); ++k) {
    const int slave = slaveRows[pairs[k].controller];
    slaveOf[k] =
        slave >= 0 && slave != static_cast<int>(pairs[k].controller) ? pairOfRow[static_cast<size_t>(slave)] : -1;
  }
  return slaveOf;
}

// What the database says of each loop's strategy, in words on its loop.
void DescribeStrategies(const Case& c, const LoopFacts& facts, const std::vector<LoopPair>& pairs,
                        const std::vector<int>& slaveOf, const std::vector<int>& loopOf, Tiebacks& out) {
  for (size_t k = 0; k < pairs.size(); ++k) {
    TiebackLoop& loop = out.loops[static_cast<size_t>(loopOf[k])];
    const CaseCtrlRow& row = c.controllers[pairs[k].controller];
    if (slaveOf[k] >= 0) {
      const LoopPair& slave = pairs[static_cast<size_t>(slaveOf[k])];
      loop.strategy = "cascade";
      loop.strategyText = "cascade: the master of " + c.controllers[slave.controller].tag + "; its PV follows " +
                          c.pv[slave.pv].tag + ", the slave's PV, not its own output";
    }
    if (const auto remote = facts.remotes.find(KeyOf(row)); remote != facts.remotes.end()) {
      const auto wild = facts.ratioInputs.find(row.node + ":" + remote->second);
      if (wild != facts.ratioInputs.end()) {
        loop.strategy = "ratio";
        loop.strategyText = "ratio: its target from the ratio station " + remote->second + ", F_RATIO x " +
                            wild->second + " + F_BIAS, while A_CASC is YES";
      } else {
        loop.strategyText =
            "cascade: the slave of " + remote->second + ", its target the master's output while A_CASC is YES";
      }
    }
    if (const auto split = facts.splits.find(KeyOf(row)); split != facts.splits.end()) {
      std::string outputs;
      for (const std::string& tag : split->second) {
        outputs += (outputs.empty() ? "" : ", ") + tag;
      }
      loop.strategy = "split range";
      loop.strategyText = "split range: its output over " + outputs + " (the tieback answers the whole output)";
    }
  }
}

}  // namespace

bool BuildTiebacks(const Case& c, const LoopFacts& facts, Tiebacks& out, std::string& error) {
  out = Tiebacks();
  const HeldRows rows = RowsHeldByBlocks(c);
  const LoopPairing pairing = PairLoops(c, facts.pidInputs, &rows.free);
  out.ambiguous = pairing.ambiguous;
  out.unpaired = pairing.unpaired;
  out.held = rows.held;
  std::vector<bool> used(c.model.tieback.size(), false);
  std::vector<bool> closed = rows.held.pv;  // a row the case's own blocks carry is theirs
  std::unordered_set<std::string> names;
  for (const CaseBlock& b : c.model.blocks) {
    names.insert(b.name);
  }
  std::vector<std::string> sent(c.pv.size());  // the block that sends each PV row a loop closes
  const auto close = [&](const LoopPair& pair, bool discrete, const TiebackLoop* slave = nullptr) {
    TiebackLoop loop;
    if (slave != nullptr) {  // a cascade master: its PV follows its slave's
      loop.fromBlock = sent[slave->pv];
      loop.fromRest = c.controllers[slave->source].tv1;
      loop.fromSpan = slave->dynamics.high - slave->dynamics.low;
    }
    loop.discrete = discrete;
    loop.source = pair.controller;
    loop.pv = pair.pv;
    loop.rule = pair.rule;
    const std::string& tag = discrete ? c.pvImport[pair.controller].tag : c.controllers[pair.controller].tag;
    if (!LinkNamesABlock(c.pv[pair.pv], tag, error)) {
      return false;
    }
    loop.variable = discrete ? std::string() : VariableOf(tag, c.pv[pair.pv].tag);
    if (!Tune(c, facts, tag, loop, used, error)) {
      return false;
    }
    loop.firstBlock = out.blocks.size();
    error = discrete ? DeclareDiscrete(c, loop, out, names) : DeclareAnalog(c, loop, out, names);
    if (!error.empty()) {
      return false;
    }
    loop.blockCount = out.blocks.size() - loop.firstBlock;
    closed[pair.pv] = true;
    sent[pair.pv] = out.blocks.back().name;
    out.loops.push_back(std::move(loop));
    return true;
  };
  // A cascade's slave is closed before its master, whose PV follows the slave's.
  const std::vector<int> slaveOf = Slaves(c, facts, pairing.pairs);
  std::vector<int> loopOf(pairing.pairs.size(), -1);  // each pair's loop in out.loops
  for (size_t k = 0; k < pairing.pairs.size(); ++k) {
    std::vector<size_t> chain;  // k, its slave, the slave's slave..., none closed yet
    for (int j = static_cast<int>(k); j >= 0 && loopOf[j] < 0 && chain.size() <= slaveOf.size();
         j = slaveOf[static_cast<size_t>(j)]) {
      chain.push_back(static_cast<size_t>(j));
    }
    for (auto j = chain.rbegin(); j != chain.rend(); ++j) {
      const int slave = slaveOf[*j];
      if (!close(pairing.pairs[*j], false, slave >= 0 ? &out.loops[static_cast<size_t>(loopOf[slave])] : nullptr)) {
        return false;
      }
      loopOf[*j] = static_cast<int>(out.loops.size() - 1);
    }
  }
  DescribeStrategies(c, facts, pairing.pairs, slaveOf, loopOf, out);
  for (const LoopPair& pair : pairing.commands) {
    if (!close(pair, true)) {
      return false;
    }
  }
  for (size_t k = 0; k < used.size(); ++k) {
    const TiebackSetting& s = c.model.tieback[k];
    if (!used[k] && !s.loop.empty()) {
      error = Where(s.origin) + ": [tieback.loop." + s.loop +
              "] names no loop the rules paired (a controller's or "
              "a discrete command's tag; `dcshost tieback` lists the pairs)";
      return false;
    }
  }
  for (size_t i = 0; i < c.pv.size(); ++i) {
    if (!closed[i]) {
      out.openPv.push_back(i);
    }
  }
  return true;
}

std::vector<int> CascadeSlaves(const Case& c, const LoopFacts& facts) {
  std::unordered_map<std::string, size_t> rowOf;
  for (size_t r = 0; r < c.controllers.size(); ++r) {
    rowOf.emplace(KeyOf(c.controllers[r]), r);
  }
  std::vector<int> slaves(c.controllers.size(), -1);
  for (size_t r = 0; r < c.controllers.size(); ++r) {
    const CaseCtrlRow& row = c.controllers[r];
    const auto remote = facts.remotes.find(KeyOf(row));
    const auto master = remote != facts.remotes.end() ? rowOf.find(row.node + ":" + remote->second) : rowOf.end();
    if (master != rowOf.end()) {
      slaves[master->second] = static_cast<int>(r);
    }
  }
  return slaves;
}

std::string StrategyCounts(const Tiebacks& tiebacks) {
  std::map<std::string, size_t> byStrategy;
  for (const TiebackLoop& loop : tiebacks.loops) {
    byStrategy[loop.strategy] += loop.strategy.empty() ? 0 : 1;
  }
  std::string counts;
  for (const auto& [name, count] : byStrategy) {
    counts += count == 0 ? std::string() : (counts.empty() ? "" : ", ") + std::to_string(count) + " " + name;
  }
  return counts;
}

bool CloseLoops(Case& c, const Tiebacks& tiebacks, std::string& error) {
  // The tiebacks' blocks come first and the case's own stay after them, as a
  // model file's and a case's do; with no block at all, every PV row sends
  // its value as written.
  c.model.blocks.insert(c.model.blocks.begin(), tiebacks.blocks.begin(), tiebacks.blocks.end());
  c.model.type = c.model.blocks.empty() ? ModelType::None : ModelType::Blocks;
  for (CaseCtrlRow& row : c.controllers) {
    row.drives.clear();  // a link for pairing, not a model variable
  }
  for (size_t i = 0; i < c.pv.size(); ++i) {
    if (i >= tiebacks.held.pv.size() || !tiebacks.held.pv[i]) {
      c.pv[i].from.clear();  // a link for pairing; the row's tieback, if any, carries it by 'pv'
    }
  }
  return LinkBlockOutputs(c, error);
}

}  // namespace host
