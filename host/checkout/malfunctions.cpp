// Malfunctions: each started and ended at its steps, a transmitter's fault
// applied to the value its PV row would send, and what a frozen transmitter
// holds kept for a saved state.
#include "checkout/malfunctions.h"

#include <algorithm>
#include <cmath>

namespace host {

void Malfunctions::Remember(size_t pvRow, double value) {
  if (pvRow < lastSent_.size()) {
    lastSent_[pvRow] = value;
  }
}

void Malfunctions::MarkStuck(const CaseMalfunction& m, int change) {
  for (size_t r = 0; r < case_.controllers.size(); ++r) {
    if (case_.controllers[r].drives == m.input) {
      stuck_[r] += change;
    }
  }
}

bool Malfunctions::IsActive(const CaseMalfunction& m) const {
  return std::any_of(active_.begin(), active_.end(), [&m](const Active& a) { return a.m == &m; });
}

void Malfunctions::Start(const CaseMalfunction& m, double seconds, const FixLibrary& fix, double frozenValue) {
  const CasePVRow* row = m.pvRow < case_.pv.size() ? &case_.pv[m.pvRow] : nullptr;
  if (m.kind == CaseMalfunction::Kind::Failed && row != nullptr) {
    fix.simulated().SetTransmitterFailed(row->node.c_str(), row->tag.c_str(), row->field.c_str(), 1);
  } else if (m.kind == CaseMalfunction::Kind::NodeDown) {
    fix.simulated().SetNodeDown(m.node.c_str(), 1);
  } else if (m.kind == CaseMalfunction::Kind::Stuck) {
    MarkStuck(m, +1);
  }
  active_.push_back(Active{&m, seconds, frozenValue});
}

void Malfunctions::End(const CaseMalfunction& m, const FixLibrary& fix) {
  const CasePVRow* row = m.pvRow < case_.pv.size() ? &case_.pv[m.pvRow] : nullptr;
  if (m.kind == CaseMalfunction::Kind::Failed && row != nullptr) {
    fix.simulated().SetTransmitterFailed(row->node.c_str(), row->tag.c_str(), row->field.c_str(), 0);
  } else if (m.kind == CaseMalfunction::Kind::NodeDown) {
    fix.simulated().SetNodeDown(m.node.c_str(), 0);
  } else if (m.kind == CaseMalfunction::Kind::Stuck && IsActive(m)) {
    MarkStuck(m, -1);
  }
  active_.erase(std::remove_if(active_.begin(), active_.end(), [&m](const Active& a) { return a.m == &m; }),
                active_.end());
}

void Malfunctions::At(int64_t step, double seconds, const FixLibrary& fix, std::ostream& out,
                      std::vector<std::string>& marks) {
  for (const CaseMalfunction& m : case_.malfunctions) {
    if (m.until == step) {
      End(m, fix);
      out << "  step " << step << ": malfunction ends: " << m.description << '\n';
      marks.push_back(m.label + " ends");
    }
    if (m.step == step) {
      const double frozen = m.pvRow < lastSent_.size() ? lastSent_[m.pvRow] : 0.0;
      Start(m, seconds, fix, frozen);
      out << "  step " << step << ": malfunction: " << m.description << '\n';
      marks.push_back(m.label);
    }
  }
}

double Malfunctions::Transmitted(size_t pvRow, double value, double seconds) const {
  if (pvRow < driven_.size() && !std::isnan(driven_[pvRow])) {
    value = driven_[pvRow];  // what the transmitter measures; its faults act on what it sends
  }
  for (const Active& a : active_) {
    if (a.m->pvRow != pvRow) {
      continue;
    }
    switch (a.m->kind) {
      case CaseMalfunction::Kind::Frozen: value = a.frozen; break;
      case CaseMalfunction::Kind::Bias: value += a.m->amount; break;
      case CaseMalfunction::Kind::Drift: value += a.m->amount * (seconds - a.since); break;
      default: break;
    }
  }
  return value;
}

std::vector<std::pair<size_t, double>> Malfunctions::Frozen() const {
  std::vector<std::pair<size_t, double>> frozen;
  for (const Active& a : active_) {
    if (a.m->kind == CaseMalfunction::Kind::Frozen) {
      frozen.emplace_back(a.m->pvRow, a.frozen);
    }
  }
  return frozen;
}

void Malfunctions::Restore(int64_t step, double seconds, const std::vector<std::pair<size_t, double>>& frozen,
                           const FixLibrary& fix) {
  for (const CaseMalfunction& m : case_.malfunctions) {
    if (m.step < step && (m.until < 0 || m.until >= step)) {
      double value = 0.0;
      for (const auto& f : frozen) {
        value = f.first == m.pvRow ? f.second : value;
      }
      // The time it started, so that a drift goes on from where it was.
      const double since = seconds * static_cast<double>(m.step) / static_cast<double>(step);
      Start(m, since, fix, value);
    }
  }
}

}  // namespace host
