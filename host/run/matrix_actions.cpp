// The matrix through FIX: facts read before the run, the causes' PV rows
// driven, the reset commands written and the effects' states read.
#include "run/matrix_actions.h"

#include <cmath>

#include "fix/operator_events.h"

namespace host {
namespace {

const char* LimitField(const std::string& condition) {
  return condition == "HH" ? "F_HIHI" : condition == "H" ? "F_HI" : condition == "L" ? "F_LO" : "F_LOLO";
}

// The PV row that sends a cause's point, or -1.
int CauseRow(const Case& c, const MatrixCause& cause) {
  const size_t colon = cause.tag.find(':');
  const std::string node = colon == std::string::npos ? std::string() : cause.tag.substr(0, colon);
  const std::string tag = colon == std::string::npos ? cause.tag : cause.tag.substr(colon + 1);
  for (size_t r = 0; r < c.pv.size(); ++r) {
    if (c.pv[r].tag == tag && (node.empty() || c.pv[r].node == node)) {
      return static_cast<int>(r);
    }
  }
  return -1;
}

}  // namespace

std::string MatrixNode(const Case& c, const std::string& node) {
  if (!node.empty()) {
    return node;
  }
  return !c.matrix.node.empty() ? c.matrix.node : c.pv.empty() ? std::string() : c.pv.front().node;
}

MatrixFacts ReadMatrixFacts(const FixLibrary& fix, const Case& c) {
  MatrixFacts facts;
  std::vector<PointName> points;
  for (const MatrixCause& cause : c.matrix.causes) {
    const int row = CauseRow(c, cause);
    facts.pv.push_back(row);
    const std::string node = row >= 0 ? c.pv[static_cast<size_t>(row)].node : MatrixNode(c, std::string());
    const std::string tag = row >= 0 ? c.pv[static_cast<size_t>(row)].tag : cause.tag;
    const bool ownLimit = cause.condition == ">" || cause.condition == "<";
    for (const char* field : {ownLimit ? "F_CV" : LimitField(cause.condition), "F_ELO", "F_EHI"}) {
      points.push_back(PointName{node, tag, field});
    }
  }
  const std::vector<double> read = ReadFloats(fix.api(), points);
  for (size_t i = 0; i < c.matrix.causes.size(); ++i) {
    const MatrixCause& cause = c.matrix.causes[i];
    const bool ownLimit = cause.condition == ">" || cause.condition == "<";
    facts.limit.push_back(!std::isnan(cause.limit) ? cause.limit : ownLimit ? std::nan("") : read[3 * i]);
    const double low = read[3 * i + 1], high = read[3 * i + 2];
    facts.span.push_back(std::isfinite(low) && std::isfinite(high) && high > low ? high - low : 100.0);
  }
  return facts;
}

std::vector<std::string> MatrixProblems(const FixLibrary& fix, const Case& c) {
  std::vector<std::string> problems;
  if (c.matrix.path.empty()) {
    return problems;
  }
  const MatrixFacts facts = ReadMatrixFacts(fix, c);
  for (size_t i = 0; i < c.matrix.causes.size(); ++i) {
    const MatrixCause& cause = c.matrix.causes[i];
    const std::string where = Where(cause.origin) + ": cause " + cause.id + " ";
    if (facts.pv[i] < 0) {
      problems.push_back(where + "names " + cause.tag + ", which no PV row sends: it cannot be forced");
    } else if (std::isnan(facts.limit[i])) {
      problems.push_back(where + "needs " + cause.tag + "." + LimitField(cause.condition) +
                         ", which FIX lacks (or a Limit in the matrix)");
    }
  }
  std::vector<PointName> points;
  std::vector<std::string> names;
  for (const MatrixEffect& e : c.matrix.effects) {
    points.push_back(PointName{MatrixNode(c, e.node), e.tag, EffectField(e)});
    names.push_back("the effect " + e.tag + ":" + e.state + " needs " + e.tag + "." + EffectField(e));
  }
  for (const std::string& reset : c.matrix.reset) {
    PointName p;
    if (!ParsePointName(reset, p.node, p.tag, p.field)) {
      problems.push_back(c.matrix.path + ": the reset " + reset + " is no point (NODE:TAG.FIELD)");
      continue;
    }
    points.push_back(p);
    names.push_back("the reset needs " + reset);
  }
  const std::vector<int16_t> errors = PointErrors(fix.api(), points);
  for (size_t k = 0; k < errors.size(); ++k) {
    if (errors[k] != 0) {
      problems.push_back(c.matrix.path + ": " + names[k] + ", which FIX lacks");
    }
  }
  return problems;
}

MatrixStates::MatrixStates(const FixLibrary& fix, const Case& c)
    : fix_(fix),
      case_(c),
      group_(std::make_unique<FixGroup>(fix.api(), static_cast<int32_t>(c.matrix.effects.size()))) {
  for (const MatrixCause& cause : c.matrix.causes) {
    rows_.push_back(CauseRow(c, cause));
  }
  for (const MatrixEffect& e : c.matrix.effects) {
    handles_.push_back(group_->created() ? group_->Define(MatrixNode(c, e.node), e.tag, EffectField(e)) : 0);
    states_.emplace_back();
    states_.back().reserve(48);
  }
  if (group_->created() && !handles_.empty()) {
    group_->Resolve();
  }
}

void MatrixStates::Drive(const MatrixChecks& checks, Malfunctions& transmitters, int64_t step) const {
  // Every cause's row released, then the forced ones driven: causes on one
  // point (its H and its HH) share its row.
  for (const int row : rows_) {
    if (row >= 0) {
      transmitters.Drive(static_cast<size_t>(row), std::nan(""));
    }
  }
  for (size_t i = 0; i < rows_.size(); ++i) {
    const double sent = checks.Sent(i, step);
    if (rows_[i] >= 0 && !std::isnan(sent)) {
      transmitters.Drive(static_cast<size_t>(rows_[i]), sent);
    }
  }
  if (checks.ResetAt(step)) {
    for (const std::string& reset : case_.matrix.reset) {
      CaseEvent event;
      if (ParsePointName(reset, event.node, event.tag, event.field)) {
        event.isText = true;
        event.text = "YES";
        ApplyEvent(fix_, event);
      }
    }
  }
}

void MatrixStates::Sample(MatrixChecks& checks, int64_t step) {
  const bool read = group_->created() && group_->Read() == 0;
  for (size_t e = 0; e < handles_.size(); ++e) {
    if (!read || handles_[e] <= 0 || group_->PointError(handles_[e]) != 0 ||
        group_->GetText(handles_[e], states_[e]) != 0) {
      states_[e] = "(unread)";
    }
  }
  checks.Sample(step, states_);
}

}  // namespace host
