// [[malfunction]]: an instructor's fault from a step (to a step, where `until`
// is given) on a transmitter (a PV row), a valve (a model input) or a node,
// read with the description and plot label the run shows. It only reads the
// fault; the checkout applies it during the run.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "case/sections/sections.h"

namespace host {
namespace {

const char* const InMalfunction = "a malfunction";

// A fault on the value a PV row sends: frozen, failed, biased or drifting.
bool ReadTransmitterFault(CaseValues& values, const toml::table& t, const std::string& kind, const std::string& span,
                          CaseMalfunction& m) {
  std::string tag;
  if (!values.Text(t, "pv", tag, true, InMalfunction)) {
    return false;
  }
  const std::vector<CasePVRow>& pv = values.loaded().pv;
  const auto row = std::find_if(pv.begin(), pv.end(), [&tag](const CasePVRow& r) { return r.tag == tag; });
  if (row == pv.end()) {
    return values.Fail(*t.get("pv"), "no PV row has the tag '" + tag + "'");
  }
  m.pvRow = static_cast<size_t>(row - pv.begin());
  const char* amount = m.kind == CaseMalfunction::Kind::Bias ? "bias" : "rate";
  const bool needsAmount = m.kind == CaseMalfunction::Kind::Bias || m.kind == CaseMalfunction::Kind::Drift;
  if (needsAmount && !values.Number(t, amount, m.amount, true, InMalfunction)) {
    return false;
  }
  m.description = "transmitter " + tag + " " + kind +
                  (needsAmount ? " by " + Shown(m.amount) + (m.kind == CaseMalfunction::Kind::Drift ? " per s" : "")
                               : std::string()) +
                  " " + span;
  m.label = tag + " " + kind;
  return true;
}

bool DrivenInput(const Case& c, const std::string& input) {
  return std::any_of(c.controllers.begin(), c.controllers.end(),
                     [&input](const CaseCtrlRow& r) { return r.drives == input; });
}

bool NodeOfCase(const Case& c, const std::string& node) {
  const auto on = [&node](const auto& r) { return r.node == node; };
  return std::any_of(c.controllers.begin(), c.controllers.end(), on) || std::any_of(c.pv.begin(), c.pv.end(), on) ||
         std::any_of(c.pvImport.begin(), c.pvImport.end(), on);
}

// What the fault acts on, with its description and label.
bool ReadTarget(CaseValues& values, const toml::table& t, const std::string& kind, const std::string& span,
                CaseMalfunction& m) {
  switch (m.kind) {
    case CaseMalfunction::Kind::Stuck:
      if (!values.Text(t, "input", m.input, true, InMalfunction)) {
        return false;
      }
      if (!DrivenInput(values.loaded(), m.input)) {
        return values.Fail(*t.get("input"), "no controller row drives the model input '" + m.input +
                                                "': a stuck valve is an input a controller drives");
      }
      m.description = "stuck valve: model input " + m.input + " ignores its controller " + span;
      m.label = m.input + " stuck";
      return true;
    case CaseMalfunction::Kind::NodeDown:
      if (!values.Text(t, "node", m.node, true, InMalfunction)) {
        return false;
      }
      if (!NodeOfCase(values.loaded(), m.node)) {
        return values.Fail(*t.get("node"), "no row of the case is on node '" + m.node + "'");
      }
      m.description = "node " + m.node + " down " + span;
      m.label = m.node + " down";
      return true;
    default: return ReadTransmitterFault(values, t, kind, span, m);
  }
}

}  // namespace

bool ReadMalfunction(CaseValues& values, const toml::table& t) {
  CaseMalfunction m;
  m.origin = values.OriginOf(t);
  std::string kind;
  if (!values.OnlyKeys(t, {"kind", "step", "until", "pv", "bias", "rate", "input", "node"}, InMalfunction) ||
      !values.Text(t, "kind", kind, true, InMalfunction) ||
      !values.WholeNumber(t, "step", m.step, true, InMalfunction) ||
      !values.WholeNumber(t, "until", m.until, false, InMalfunction)) {
    return false;
  }
  static const std::map<std::string, CaseMalfunction::Kind> Kinds = {
      {"frozen", CaseMalfunction::Kind::Frozen}, {"bias", CaseMalfunction::Kind::Bias},
      {"drift", CaseMalfunction::Kind::Drift},   {"failed", CaseMalfunction::Kind::Failed},
      {"stuck", CaseMalfunction::Kind::Stuck},   {"node_down", CaseMalfunction::Kind::NodeDown}};
  const auto found = Kinds.find(kind);
  if (found == Kinds.end()) {
    return values.Fail(*t.get("kind"),
                       "unknown malfunction \"" + kind + "\" (frozen, bias, drift, failed, stuck, node_down)");
  }
  m.kind = found->second;
  if (m.step < 0 || m.step > values.loaded().steps || (t.get("until") != nullptr && m.until <= m.step)) {
    return values.Fail(*t.get("step"), "a malfunction starts within the run and ends after it starts");
  }
  const std::string span =
      "from step " + std::to_string(m.step) + (m.until >= 0 ? " to step " + std::to_string(m.until) : std::string());
  if (!ReadTarget(values, t, kind, span, m)) {
    return false;
  }
  values.loaded().malfunctions.push_back(m);
  return true;
}

}  // namespace host
