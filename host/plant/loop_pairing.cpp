// Loop pairing by rule: explicit links, then loop keys, then the PID's INPUT;
// then discrete commands with their feedback by loop key.
#include "plant/loop_pairing.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace host {
namespace {

bool Letter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool Separator(char c) { return c == '-' || c == '_' || c == '.' || c == ' ' || c == '/'; }

std::string RowName(const char* table, size_t row, const Origin& origin, const std::string& tag) {
  return RowLabel(table, row) + " (" + Where(origin) + ") " + tag;
}

// Whether row i of a table takes part: every row without `among`.
bool Takes(const PairedRows* among, std::vector<bool> PairedRows::*table, size_t i) {
  return among == nullptr || (i < (among->*table).size() && (among->*table)[i]);
}

// The PV rows a rule offers a controller; the one pairing, or an ambiguity or
// nothing. Rows already paired are not offered again. The rows are indexed
// once by what the rules compare (their `from`, their node and loop key,
// their node and tag), so that pairing is linear in the rows: a rule looks
// only at the rows that share its key, in the rows' order.
class Pairer {
 public:
  Pairer(const Case& c, LoopPairing& result, const PairedRows* among) : c_(c), result_(result), taken_(c.pv.size()) {
    for (size_t p = 0; p < c.pv.size(); ++p) {
      const CasePVRow& pv = c.pv[p];
      taken_[p] = !Takes(among, &PairedRows::pv, p);
      if (!pv.from.empty()) {
        byFrom_[pv.from].push_back(p);
      }
      LoopTag loop;
      if (ReadLoopTag(pv.tag, loop)) {
        byLoop_[Key(pv.node, loop.key)].push_back(p);
      }
      byPoint_[Key(pv.node, pv.tag)].push_back(p);
    }
  }

  static std::string Key(const std::string& node, const std::string& name) { return node + '\n' + name; }
  const std::vector<size_t>* From(const std::string& from) const { return Find(byFrom_, from); }
  const std::vector<size_t>* Loop(const std::string& node, const std::string& key) const {
    return Find(byLoop_, Key(node, key));
  }
  const std::vector<size_t>* Point(const std::string& node, const std::string& tag) const {
    return Find(byPoint_, Key(node, tag));
  }

  // False when the rule found no free row among the candidates; true when it
  // paired or found an ambiguity. `row` names the controller or command in messages.
  template <typename Matches>
  bool Try(std::vector<LoopPair>& into, size_t source, const std::string& row, const char* rule,
           const std::vector<size_t>* candidates, Matches matches) {
    std::vector<size_t> found;
    for (size_t k = 0; candidates != nullptr && k < candidates->size(); ++k) {
      const size_t p = (*candidates)[k];
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
        rows += (rows.empty() ? "" : ", ") + std::to_string(p + 1);
      }
      result_.ambiguous.push_back(row + ": PV rows " + rows + " all match by " + rule);
      return true;
    }
    taken_[found.front()] = true;
    into.push_back(LoopPair{source, found.front(), rule});
    return true;
  }

 private:
  using Index = std::unordered_map<std::string, std::vector<size_t>>;
  static const std::vector<size_t>* Find(const Index& index, const std::string& key) {
    const auto at = index.find(key);
    return at == index.end() ? nullptr : &at->second;
  }
  const Case& c_;
  LoopPairing& result_;
  std::vector<bool> taken_;
  Index byFrom_, byLoop_, byPoint_;
};

// Every text a block's key holds: itself, or the entries of its list or
// table (whose entries are numbers or texts, never lists or tables again).
void TextsOf(const BlockValue& v, std::unordered_set<std::string>& texts) {
  const auto add = [&texts](const BlockValue& x) {
    if (x.form == BlockValue::Form::Text) {
      texts.insert(x.text);
    }
  };
  add(v);
  for (const BlockValue& item : v.items) {
    add(item);
  }
  for (const auto& field : v.fields) {
    add(field.second);
  }
}

}  // namespace

bool ReadLoopTag(const std::string& tag, LoopTag& loop) {
  // An area or unit prefix ends in a separator before the function letters:
  // digits in it ("20-TIC-005"), or a dot after it ("U1.FIC101").
  size_t start = 0;
  const size_t separator = tag.find_first_of("-_. /");
  if (separator != std::string::npos && separator > 0 && separator + 1 < tag.size() && Letter(tag[separator + 1])) {
    const bool digits = std::any_of(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(separator),
                                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
    start = digits || tag[separator] == '.' ? separator + 1 : 0;
  }
  size_t letters = start;
  while (letters < tag.size() && Letter(tag[letters])) {
    ++letters;
  }
  loop.function = tag.substr(start, letters - start);
  loop.key.clear();
  for (size_t i = letters; i < tag.size(); ++i) {
    if (!Separator(tag[i])) {
      loop.key += tag[i];
    }
  }
  if (start > 0 && !loop.key.empty()) {
    loop.key = tag.substr(0, start - 1) + "|" + loop.key;  // the prefix stays part of the loop
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

HeldRows RowsHeldByBlocks(const Case& c) {
  std::unordered_set<std::string> blocks, read;
  for (const CaseBlock& b : c.model.blocks) {
    blocks.insert(b.name);
    for (const auto& key : b.keys) {
      TextsOf(key.second, read);
    }
  }
  HeldRows rows;
  const auto flag = [&rows](std::vector<bool> PairedRows::*table, bool held) {
    (rows.held.*table).push_back(held);
    (rows.free.*table).push_back(!held);
  };
  for (const CaseCtrlRow& r : c.controllers) {
    flag(&PairedRows::controllers, read.count(r.tag + ".output") > 0);
  }
  for (const CasePVRow& r : c.pv) {
    flag(&PairedRows::pv, blocks.count(r.from.substr(0, r.from.find('.'))) > 0);  // "BLOCK" or "BLOCK.OUTPUT"
  }
  for (const CasePVRow& r : c.pvImport) {
    const std::string point = r.tag + "." + r.field;
    flag(&PairedRows::pvImport, read.count(point) > 0 || read.count(r.node + ":" + point) > 0);
  }
  return rows;
}

LoopPairing PairLoops(const Case& c, const std::unordered_map<std::string, std::string>& pidInputs,
                      const PairedRows* among) {
  LoopPairing result;
  Pairer pairer(c, result, among);
  for (size_t i = 0; i < c.controllers.size(); ++i) {
    const CaseCtrlRow& r = c.controllers[i];
    if (!Takes(among, &PairedRows::controllers, i)) {
      continue;
    }
    const std::string name = RowName("controller", i, r.origin, r.tag);
    if (!r.drives.empty() && pairer.Try(result.pairs, i, name, "explicit link", pairer.From(r.drives),
                                        [&r](const CasePVRow& pv) { return pv.from == r.drives; })) {
      continue;
    }
    LoopTag loop;
    if (ReadLoopTag(r.tag, loop) &&
        pairer.Try(result.pairs, i, name, "loop key", pairer.Loop(r.node, loop.key), [&](const CasePVRow& pv) {
          LoopTag other;
          return pv.node == r.node && ReadLoopTag(pv.tag, other) && other.key == loop.key &&
                 MeasuredVariable(other.function) == MeasuredVariable(loop.function) && other.function != loop.function;
        })) {
      continue;
    }
    const auto input = pidInputs.find(r.node + ":" + r.tag);
    if (input != pidInputs.end() &&
        pairer.Try(result.pairs, i, name, "PID INPUT", pairer.Point(r.node, input->second),
                   [&](const CasePVRow& pv) { return pv.node == r.node && pv.tag == input->second; })) {
      continue;
    }
    result.unpaired.push_back(name + ": no PV row of its loop");
  }
  for (size_t i = 0; i < c.pvImport.size(); ++i) {
    const CasePVRow& r = c.pvImport[i];
    LoopTag loop;
    if (!IsCommand(r) || !ReadLoopTag(r.tag, loop) || !Takes(among, &PairedRows::pvImport, i)) {
      continue;
    }
    const std::string name = RowName("PV-import", i, r.origin, r.tag);
    if (!pairer.Try(result.commands, i, name, "loop key", pairer.Loop(r.node, loop.key), [&](const CasePVRow& pv) {
          LoopTag other;
          return pv.node == r.node && pv.tag != r.tag && ReadLoopTag(pv.tag, other) && other.key == loop.key;
        })) {
      result.unpaired.push_back(name + ": no feedback PV row of its loop");
    }
  }
  return result;
}

}  // namespace host
