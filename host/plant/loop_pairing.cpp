// Loop pairing by rule: explicit links, then loop keys, then the PID's INPUT;
// then discrete commands with their feedback by loop key.
#include "plant/loop_pairing.h"

#include <cctype>

namespace host {
namespace {

bool Letter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool Separator(char c) { return c == '-' || c == '_' || c == '.' || c == ' ' || c == '/'; }

std::string RowName(const char* table, size_t row, const Origin& origin, const std::string& tag) {
  return std::string(table) + " row " + std::to_string(row) + " (" + Where(origin) + ") " + tag;
}

// The PV rows a rule offers a controller; the one pairing, or an ambiguity or
// nothing. Rows already paired are not offered again.
class Pairer {
 public:
  Pairer(const Case& c, LoopPairing& result) : c_(c), result_(result), taken_(c.pv.size(), false) {}

  // False when the rule found no free row; true when it paired or found an
  // ambiguity. `row` names the controller or command in messages.
  template <typename Matches>
  bool Try(std::vector<LoopPair>& into, size_t source, const std::string& row, const char* rule, Matches matches) {
    std::vector<size_t> found;
    for (size_t p = 0; p < c_.pv.size(); ++p) {
      if (!taken_[p] && matches(c_.pv[p])) {
        found.push_back(p);
      }
    }
    if (found.empty()) {
      return false;
    }
    if (found.size() > 1) {
      std::string rows;
      for (size_t p : found) {
        rows += (rows.empty() ? "" : ", ") + std::to_string(p);
      }
      result_.ambiguous.push_back(row + ": PV rows " + rows + " all match by " + rule);
      return true;
    }
    taken_[found.front()] = true;
    into.push_back(LoopPair{source, found.front(), rule});
    return true;
  }

 private:
  const Case& c_;
  LoopPairing& result_;
  std::vector<bool> taken_;
};

}  // namespace

bool ReadLoopTag(const std::string& tag, LoopTag& loop) {
  size_t letters = 0;
  while (letters < tag.size() && Letter(tag[letters])) {
    ++letters;
  }
  loop.function = tag.substr(0, letters);
  loop.key.clear();
  for (size_t i = letters; i < tag.size(); ++i) {
    if (!Separator(tag[i])) {
      loop.key += tag[i];
    }
  }
  return !loop.function.empty() && !loop.key.empty();
}

std::string MeasuredVariable(const std::string& function) {
  if (function.size() >= 2 && (function[1] == 'D' || function[1] == 'F' || function[1] == 'Q')) {
    return function.substr(0, 2);
  }
  return function.substr(0, 1);
}

bool IsCommand(const CasePVRow& row) { return row.field == "A_ROUT"; }

LoopPairing PairLoops(const Case& c, const std::unordered_map<std::string, std::string>& pidInputs) {
  LoopPairing result;
  Pairer pairer(c, result);
  for (size_t i = 0; i < c.controllers.size(); ++i) {
    const CaseCtrlRow& r = c.controllers[i];
    const std::string name = RowName("controller", i, r.origin, r.tag);
    if (!r.drives.empty() &&
        pairer.Try(result.pairs, i, name, "explicit link", [&r](const CasePVRow& pv) { return pv.from == r.drives; })) {
      continue;
    }
    LoopTag loop;
    if (ReadLoopTag(r.tag, loop) && pairer.Try(result.pairs, i, name, "loop key", [&](const CasePVRow& pv) {
          LoopTag other;
          return pv.node == r.node && ReadLoopTag(pv.tag, other) && other.key == loop.key &&
                 MeasuredVariable(other.function) == MeasuredVariable(loop.function) && other.function != loop.function;
        })) {
      continue;
    }
    const auto input = pidInputs.find(r.node + ":" + r.tag);
    if (input != pidInputs.end() && pairer.Try(result.pairs, i, name, "PID INPUT", [&](const CasePVRow& pv) {
          return pv.node == r.node && pv.tag == input->second;
        })) {
      continue;
    }
    result.unpaired.push_back(name + ": no PV row of its loop");
  }
  for (size_t i = 0; i < c.pvImport.size(); ++i) {
    const CasePVRow& r = c.pvImport[i];
    LoopTag loop;
    if (!IsCommand(r) || !ReadLoopTag(r.tag, loop)) {
      continue;
    }
    const std::string name = RowName("PV-import", i, r.origin, r.tag);
    if (!pairer.Try(result.commands, i, name, "loop key", [&](const CasePVRow& pv) {
          LoopTag other;
          return pv.node == r.node && pv.tag != r.tag && ReadLoopTag(pv.tag, other) && other.key == loop.key;
        })) {
      result.unpaired.push_back(name + ": no feedback PV row of its loop");
    }
  }
  return result;
}

}  // namespace host
