// Writing tiebacks as a block file: TOML a case's model file takes, numbers
// written as the shortest text that reads back to the same double.
#include "report/tieback_file.h"

#include <algorithm>
#include <sstream>

#include "report/numbers.h"

namespace host {
namespace {

// A TOML basic string.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char ch : text) {
    if (ch == '"' || ch == '\\') {
      quoted += '\\';
    }
    quoted += ch;
  }
  return quoted + "\"";
}

std::string ValueText(const BlockValue& v) {
  switch (v.form) {
    case BlockValue::Form::Number: return ShortestText(v.number);
    case BlockValue::Form::Text: return Quoted(v.text);
    case BlockValue::Form::List: {
      std::string list = "[";
      for (size_t k = 0; k < v.items.size(); ++k) {
        list += (k == 0 ? "" : ", ") + ValueText(v.items[k]);
      }
      return list + "]";
    }
    case BlockValue::Form::Table: {
      std::string table = "{";
      for (size_t k = 0; k < v.fields.size(); ++k) {
        const std::string& key = v.fields[k].first;
        const bool bare = !key.empty() && key.find_first_not_of(
                                              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                              "0123456789_-") == std::string::npos;
        table += (k == 0 ? " " : ", ") + (bare ? key : Quoted(key)) + " = " + ValueText(v.fields[k].second);
      }
      return table + " }";
    }
  }
  return std::string();
}

const char* VariableName(const std::string& variable) {
  switch (variable.empty() ? ' ' : variable[0]) {
    case 'F': return "flow";
    case 'P': return "pressure";
    case 'T': return "temperature";
    case 'L': return "level";
    case 'A': return "analysis";
    default: return "other";
  }
}

// "# LIC101 -> SCADA1:LT101.F_CV, paired by loop key; level (L): integrating, ..."
std::string LoopComment(const Case& c, const TiebackLoop& loop) {
  const TiebackDynamics& d = loop.dynamics;
  const CasePVRow& pv = c.pv[loop.pv];
  std::ostringstream text;
  if (loop.discrete) {
    const CasePVRow& command = c.pvImport[loop.source];
    text << "# " << PointText(command.node, command.tag, command.field) << " -> "
         << PointText(pv.node, pv.tag, pv.field) << ", paired by " << loop.rule << "; discrete: running "
         << Shown(d.startDelay) << " s after \"YES\", "
         << "stopped " << Shown(d.stopDelay) << " s after \"NO\"";
  } else {
    const CaseCtrlRow& ctrl = c.controllers[loop.source];
    text << "# " << ctrl.tag << " -> " << PointText(pv.node, pv.tag, pv.field) << ", paired by " << loop.rule << "; "
         << VariableName(loop.variable) << (loop.variable.empty() ? "" : " (" + loop.variable + ")") << ": ";
    if (d.integrating) {
      text << "integrating, full output above the balance moves it over " << Shown(d.low) << ".." << Shown(d.high)
           << " in " << Shown(d.fillTime) << " s";
    } else {
      text << "lag of " << Shown(d.timeConstant) << " s, full output moves it over " << Shown(d.low) << ".."
           << Shown(d.high);
    }
    text << (d.deadTime > 0.0 ? ", dead time " + Shown(d.deadTime) + " s" : std::string())
         << (d.reverse ? ", reverse acting" : "") << "; at rest at " << Shown(ctrl.tv1) << " with output "
         << Shown(ctrl.output);
  }
  if (!loop.strategyText.empty()) {
    text << "\n#   " << loop.strategyText;
  }
  for (const std::string& change : loop.changes) {
    text << "\n#   " << change;
  }
  return text.str();
}

// Name and kind, what the block reads, its numbers, its unit and the PV row that sends it.
void WriteBlock(const CaseBlock& b, std::ostringstream& text) {
  text << "[[block]]\nname = " << Quoted(b.name) << "\nkind = " << Quoted(b.kind) << '\n';
  const auto reads = [](const std::string& key) { return key == "input" || key == "inputs" || key == "command"; };
  for (const bool first : {true, false}) {
    for (const auto& key : b.keys) {
      if (key.first != "pv" && reads(key.first) == first) {
        text << key.first << " = " << ValueText(key.second) << '\n';
      }
    }
  }
  if (!b.unit.empty()) {
    text << "unit = " << Quoted(b.unit) << '\n';
  }
  if (const auto pv = b.keys.find("pv"); pv != b.keys.end()) {
    text << "pv = " << ValueText(pv->second) << "  # the PV row that sends its output\n";
  }
}

}  // namespace

std::string TiebackFileText(const Case& c, const Tiebacks& tiebacks) {
  std::ostringstream text;
  text << "# Tiebacks of " << (c.name.empty() ? c.path : c.name) << " (" << c.path << "), written by dcshost "
       << "tieback.\n# Review and tune them, then name this file in the case as its model:\n"
       << "#   [model]\n#   type = \"blocks\"\n#   file = \"THIS FILE\"\n";
  std::string own;
  for (const CaseBlock& b : c.model.blocks) {
    own += (own.empty() ? "" : ", ") + b.name;
  }
  if (!own.empty()) {
    text << "# The case's own [[block]]s (" << own << ") stay in the case, beside this file's.\n";
  }
  text << "#\n";
  size_t discrete = 0;
  for (const TiebackLoop& loop : tiebacks.loops) {
    discrete += loop.discrete ? 1 : 0;
  }
  const std::string strategies = StrategyCounts(tiebacks);
  text << "# Loops closed: " << tiebacks.loops.size() - discrete << " analog"
       << (strategies.empty() ? std::string() : " (" + strategies + ")") << ", " << discrete << " discrete; "
       << tiebacks.openPv.size() << " of " << c.pv.size() << " PV rows send their values as written.\n";
  for (const std::string& line : tiebacks.ambiguous) {
    text << "# ambiguous: " << line << '\n';
  }
  for (const std::string& line : tiebacks.unpaired) {
    text << "# unpaired: " << line << '\n';
  }
  for (const TiebackLoop& loop : tiebacks.loops) {
    text << '\n' << LoopComment(c, loop) << '\n';
    for (size_t k = loop.firstBlock; k < loop.firstBlock + loop.blockCount; ++k) {
      WriteBlock(tiebacks.blocks[k], text);
    }
  }
  return text.str();
}

namespace {

bool SameValue(const BlockValue& a, const BlockValue& b) {
  if (a.form != b.form || a.items.size() != b.items.size() || a.fields.size() != b.fields.size()) {
    return false;
  }
  switch (a.form) {
    case BlockValue::Form::Number: return a.number == b.number;
    case BlockValue::Form::Text: return a.text == b.text;
    case BlockValue::Form::List: return std::equal(a.items.begin(), a.items.end(), b.items.begin(), SameValue);
    case BlockValue::Form::Table:
      return std::equal(a.fields.begin(), a.fields.end(), b.fields.begin(), [](const auto& x, const auto& y) {
        return x.first == y.first && SameValue(x.second, y.second);
      });
  }
  return false;
}

bool SameBlock(const CaseBlock& a, const CaseBlock& b) {
  return a.name == b.name && a.kind == b.kind && a.unit == b.unit && a.keys.size() == b.keys.size() &&
         std::equal(a.keys.begin(), a.keys.end(), b.keys.begin(),
                    [](const auto& x, const auto& y) { return x.first == y.first && SameValue(x.second, y.second); });
}

}  // namespace

bool ReadsBackAs(const std::string& file, const std::string& text, const std::vector<CaseBlock>& blocks,
                 std::string& error) {
  std::vector<CaseBlock> read;
  if (!ReadModelText(file, text, read, error)) {
    return false;
  }
  for (size_t k = 0; k < std::max(read.size(), blocks.size()); ++k) {
    if (k >= read.size() || k >= blocks.size() || !SameBlock(read[k], blocks[k])) {
      error = file + ": block " + std::to_string(k + 1) + " (" + (k < blocks.size() ? blocks[k].name : "none") +
              ") does not read back as generated";
      return false;
    }
  }
  return true;
}

}  // namespace host
