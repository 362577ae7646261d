// The record's names, made once when a case is bound.
#include "run/record_names.h"

#include <cstring>
#include <unordered_set>

namespace host {

std::vector<RecordSignal> RecordSignals(const Case& c) {
  std::vector<RecordSignal> signals;
  signals.reserve(2 * c.controllers.size() + c.pv.size() + c.pvImport.size());
  const auto add = [&signals](TableKind table, size_t row, const char* what, const std::string& node,
                              const std::string& pointName, const Origin& origin) {
    signals.push_back(
        RecordSignal{table, row, what, std::strcmp(what, "tv1") == 0, pointName, node + ":" + pointName, origin});
  };
  for (size_t i = 0; i < c.controllers.size(); ++i) {
    const CaseCtrlRow& r = c.controllers[i];
    add(TableKind::Ctrl, i, "output", r.node, r.tag + ".output", r.origin);
    add(TableKind::Ctrl, i, "tv1", r.node, r.tag + ".tv1", r.origin);
  }
  for (size_t i = 0; i < c.pv.size(); ++i) {
    add(TableKind::PV, i, "value", c.pv[i].node, c.pv[i].tag + "." + c.pv[i].field, c.pv[i].origin);
  }
  for (size_t i = 0; i < c.pvImport.size(); ++i) {
    const CasePVRow& r = c.pvImport[i];
    add(TableKind::PVImport, i, "value", r.node, r.tag + "." + r.field, r.origin);
  }
  return signals;
}

bool NameRecord(const std::vector<RecordSignal>& signals, RecordNameMap& named, std::string& error) {
  named.clear();
  for (size_t k = 0; k < signals.size(); ++k) {
    const RecordSignal& s = signals[k];
    for (const std::string* name : {&s.shortName, &s.fullName}) {
      const auto [entry, fresh] = named.emplace(*name, NamedSignal{k, false});
      const RecordSignal& other = signals[entry->second.signal];
      if (fresh || !s.Readable()) {
        continue;
      }
      if (!other.Readable()) {  // a PV row's or a tv1 of the name: a block reads the readable one
        entry->second.signal = k;
      } else if (other.table != s.table) {
        error = Where(s.origin) + ": " + Described(s) + " is named '" + *name + "', as " + Described(other) +
                " is: a block could not tell which it reads";
        return false;
      } else {
        entry->second.shared |= other.fullName != s.fullName;
      }
    }
  }
  return true;
}

std::string Described(const RecordSignal& s) {
  return RowLabel(TableDescriptors()[static_cast<size_t>(s.table)].label, s.row) + "'s " + s.what + " (" +
         Where(s.origin) + ")";
}

std::vector<std::string> TraceNames(const std::vector<RecordSignal>& signals, const std::vector<std::string>& taken) {
  std::unordered_set<std::string> used(taken.begin(), taken.end());
  std::vector<std::string> names;
  names.reserve(signals.size());
  for (const RecordSignal& s : signals) {
    std::string name = s.shortName;
    if (used.count(name) != 0) {
      name = s.fullName;
    }
    if (used.count(name) != 0) {
      name += " (" + RowLabel(TableDescriptors()[static_cast<size_t>(s.table)].label, s.row) + ")";
    }
    used.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace host
