// The matrix's forcings planned one after another, driven, sampled and
// judged. A cause alone is one forcing; a group voting M of N is forced in
// every combination of M - 1 of its causes (none may trip) and of M (each
// must).
#include "checkout/matrix_checks.h"

#include <algorithm>
#include <cmath>

#include "case/glob.h"

namespace host {
namespace {

int64_t Steps(double seconds, double dt) { return static_cast<int64_t>(std::ceil(seconds / dt - 1e-9)); }

bool Upward(const std::string& condition) { return condition == "HH" || condition == "H" || condition == ">"; }

// Every choice of k of the n indices, in order.
void Choose(const std::vector<size_t>& items, size_t k, size_t from, std::vector<size_t>& chosen,
            std::vector<std::vector<size_t>>& out) {
  if (chosen.size() == k) {
    out.push_back(chosen);
    return;
  }
  for (size_t i = from; i < items.size(); ++i) {
    chosen.push_back(items[i]);
    Choose(items, k, i + 1, chosen, out);
    chosen.pop_back();
  }
}

}  // namespace

const char* EffectField(const MatrixEffect& effect) {
  return effect.state == "AUTO" || effect.state == "MANL" ? "A_AUTO" : "A_STATE";
}

void MatrixChecks::Plan(const Case& c, const MatrixFacts& facts, double stepSeconds, int64_t from) {
  case_ = &c;
  facts_ = facts;
  dt_ = stepSeconds;
  from_ = end_ = from;
  tests_.clear();
  const CaseMatrix& m = c.matrix;
  std::vector<std::vector<size_t>> forcings;
  std::vector<bool> trips;
  std::vector<std::string> grouped;
  for (size_t i = 0; i < m.causes.size(); ++i) {
    const MatrixCause& cause = m.causes[i];
    if (cause.group.empty()) {
      forcings.push_back({i});
      trips.push_back(true);
      continue;
    }
    if (std::find(grouped.begin(), grouped.end(), cause.group) != grouped.end()) {
      continue;
    }
    grouped.push_back(cause.group);
    std::vector<size_t> members;
    for (size_t j = 0; j < m.causes.size(); ++j) {
      if (m.causes[j].group == cause.group) {
        members.push_back(j);
      }
    }
    for (const int k : {cause.votes - 1, cause.votes}) {
      std::vector<std::vector<size_t>> chosen;
      std::vector<size_t> scratch;
      if (k > 0) {
        Choose(members, static_cast<size_t>(k), 0, scratch, chosen);
      }
      for (const std::vector<size_t>& combination : chosen) {
        forcings.push_back(combination);
        trips.push_back(k == cause.votes);
      }
    }
  }
  // The reset pressed first, so that what tripped before (an alarm check
  // crossing a trip's limit) starts the matrix cleared.
  const size_t effects = m.effects.size();
  int64_t at = from + 2 + Steps(m.effectTime, dt_);
  for (size_t t = 0; t < forcings.size(); ++t) {
    Test test;
    test.causes = forcings[t];
    test.trips = trips[t];
    double delay = 0.0;
    for (const size_t i : test.causes) {
      delay = std::max(delay, m.causes[i].delay);
    }
    test.base = at;
    test.release = test.base + 1 + Steps(delay + m.effectTime, dt_) + 1;
    test.reset = test.release + 2;
    test.back = test.reset + Steps(m.effectTime, dt_) + 1;
    test.before.assign(effects, std::string());
    for (std::string& state : test.before) {
      state.reserve(48);
    }
    test.acted.assign(effects, -1.0);
    test.returned.assign(effects, false);
    at = test.back + 1;
    tests_.push_back(test);
  }
  end_ = at;
}

double MatrixChecks::Sent(size_t cause, int64_t step) const {
  const auto after =
      std::upper_bound(tests_.begin(), tests_.end(), step, [](int64_t s, const Test& t) { return s < t.base; });
  if (after == tests_.begin()) {
    return std::nan("");
  }
  const Test& test = *(after - 1);
  const bool forced = step > test.base && step < test.release &&
                      std::find(test.causes.begin(), test.causes.end(), cause) != test.causes.end();
  if (!forced || std::isnan(facts_.limit[cause])) {
    return std::nan("");
  }
  const double beyond = 0.02 * facts_.span[cause];  // a fiftieth of the span past the limit
  return facts_.limit[cause] + (Upward(case_->matrix.causes[cause].condition) ? beyond : -beyond);
}

bool MatrixChecks::ResetAt(int64_t step) const {
  return (!tests_.empty() && step == from_) ||
         std::any_of(tests_.begin(), tests_.end(), [step](const Test& t) { return t.reset == step; });
}

void MatrixChecks::Sample(int64_t step, const std::vector<std::string>& states) {
  const auto after =
      std::upper_bound(tests_.begin(), tests_.end(), step, [](int64_t s, const Test& t) { return s < t.base; });
  if (after == tests_.begin()) {
    return;
  }
  Test& test = *(after - 1);
  const std::vector<MatrixEffect>& effects = case_->matrix.effects;
  for (size_t e = 0; e < effects.size() && e < states.size(); ++e) {
    if (step == test.base) {
      test.before[e] = states[e];
    } else if (step < test.release && test.acted[e] < 0.0 && states[e] == effects[e].state &&
               test.before[e] != effects[e].state) {
      test.acted[e] = static_cast<double>(step - test.base) * dt_;
    } else if (step == test.back) {
      test.returned[e] = states[e] == test.before[e];
      test.judged = true;
    }
  }
}

// A marked cell must act in every forcing of its cause that trips, not
// before the cause's delay and within the effect time after it, and in no
// forcing that must not trip; an unmarked one in none.
bool MatrixChecks::CellOf(size_t cause, size_t effect, Cell& cell) const {
  const CaseMatrix& m = case_->matrix;
  const MatrixCause& c = m.causes[cause];
  const MatrixEffect& e = m.effects[effect];
  cell.marked = c.effects[effect];
  cell.judged = false;
  for (const Test& test : tests_) {
    if (!test.judged || std::find(test.causes.begin(), test.causes.end(), cause) == test.causes.end()) {
      continue;
    }
    cell.judged = true;
    const std::string name = e.tag + ":" + e.state;
    const double acted = test.acted[effect];
    std::string with;
    if (test.causes.size() > 1 || !c.group.empty()) {
      with = " with " + std::to_string(test.causes.size()) + " of " + std::to_string(c.of) + " (";
      for (size_t k = 0; k < test.causes.size(); ++k) {
        with += (k == 0 ? "" : ", ") + m.causes[test.causes[k]].id;
      }
      with += ")";
    }
    if (test.before[effect] == e.state && cell.note.empty()) {
      cell.note = name + " was already " + e.state + " before" + with;
      cell.brief = "already";
    } else if (cell.marked && test.trips) {
      cell.seconds = cell.seconds < 0.0 ? acted : cell.seconds;
      if (acted < 0.0 && cell.note.empty()) {
        cell.note = name + " did not act within " + Measured(c.delay + m.effectTime) + " s" + with;
        cell.brief = "did not act";
      } else if (acted >= 0.0 && acted < c.delay - 1e-9 && cell.note.empty()) {
        cell.note = name + " acted after " + Measured(acted) + " s" + with + ", before the cause's delay of " +
                    Measured(c.delay) + " s";
        cell.brief = "before its delay";
      }
    } else if (acted >= 0.0 && cell.note.empty()) {
      cell.note = name + " acted after " + Measured(acted) + " s" + with +
                  (cell.marked ? ": the vote trips on fewer than " + std::to_string(c.votes) : ", though not marked");
      cell.brief = cell.marked ? "on fewer votes" : "acted";
    }
  }
  cell.passed = cell.judged && cell.note.empty();
  return cell.passed;
}

std::vector<std::vector<MatrixChecks::Cell>> MatrixChecks::Cells() const {
  if (case_ == nullptr) {
    return {};
  }
  std::vector<std::vector<Cell>> cells(case_->matrix.causes.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    cells[i].resize(case_->matrix.effects.size());
    for (size_t e = 0; e < cells[i].size(); ++e) {
      CellOf(i, e, cells[i][e]);
    }
  }
  return cells;
}

std::vector<Verdict> MatrixChecks::Judge(const Case& c) const {
  std::vector<Verdict> verdicts;
  const CaseMatrix& m = c.matrix;
  const std::vector<std::vector<Cell>> cells = Cells();
  for (size_t i = 0; i < cells.size(); ++i) {
    const MatrixCause& cause = m.causes[i];
    bool judged = false;
    std::string failed, acted, back;
    size_t quiet = 0;
    for (size_t e = 0; e < m.effects.size(); ++e) {
      const Cell& cell = cells[i][e];
      judged |= cell.judged;
      if (!cell.passed && cell.judged) {
        failed += (failed.empty() ? "" : "; ") + cell.note;
      } else if (cell.marked) {
        acted += (acted.empty() ? "" : ", ") + m.effects[e].tag + ":" + m.effects[e].state + " after " +
                 Measured(cell.seconds) + " s";
      } else {
        ++quiet;
      }
    }
    for (const Test& test : tests_) {
      const bool mine = std::find(test.causes.begin(), test.causes.end(), i) != test.causes.end();
      for (size_t e = 0; mine && test.judged && e < m.effects.size(); ++e) {
        if (!test.returned[e] && back.find(m.effects[e].tag + " ") == std::string::npos) {
          back += (back.empty() ? "" : ", ") + m.effects[e].tag + " " + test.before[e] + " before, not after";
        }
      }
    }
    if (!judged) {
      continue;  // not reached: NotReached lists it
    }
    Verdict v;
    v.description = cause.id + " " + cause.tag + " " + cause.condition +
                    (cause.description.empty() ? std::string() : " (" + cause.description + ")");
    const std::string limit = std::isnan(facts_.limit[i]) ? std::string() : Measured(facts_.limit[i]);
    if (facts_.pv[i] < 0) {
      failed = "no PV row sends " + cause.tag + ": the cause cannot be forced from the plant side";
    } else if (limit.empty()) {
      failed =
          "no Limit in the matrix and no alarm limit in FIX for " + cause.condition + ": the cause cannot be forced";
    }
    if (!back.empty()) {
      failed += (failed.empty() ? "" : "; ") + std::string("after the reset the plant did not return: ") + back;
    }
    v.passed = failed.empty();
    v.measured = (failed.empty() ? std::string() : failed + "; ") + cause.tag + " past " + limit +
                 (cause.group.empty() ? std::string()
                                      : ", voting " + std::to_string(cause.votes) + "oo" + std::to_string(cause.of) +
                                            " in group " + cause.group) +
                 (cause.delay > 0.0 ? ", delay " + Measured(cause.delay) + " s" : std::string()) + ": " +
                 (acted.empty() ? std::string() : acted + "; ") + std::to_string(quiet) + " not marked did not act" +
                 (back.empty() ? "; back after the reset" : "");
    for (const auto& [pattern, reference] : m.waived) {
      if (GlobMatch(pattern, cause.id)) {
        v.waived = reference;
      }
    }
    verdicts.push_back(v);
  }
  return verdicts;
}

std::vector<Verdict> MatrixChecks::NotReached(const Case& c, const std::string& why) const {
  std::vector<Verdict> missed;
  const std::vector<std::vector<Cell>> cells = Cells();
  for (size_t i = 0; i < cells.size(); ++i) {
    const bool judged = std::any_of(cells[i].begin(), cells[i].end(), [](const Cell& cell) { return cell.judged; });
    if (!judged) {
      const MatrixCause& cause = c.matrix.causes[i];
      Verdict v;
      v.description = cause.id + " " + cause.tag + " " + cause.condition +
                      (cause.description.empty() ? std::string() : " (" + cause.description + ")");
      v.measured = "not reached: " + why;
      missed.push_back(v);
    }
  }
  return missed;
}

}  // namespace host
