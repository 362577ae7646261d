// The checks of a strategy's loops, as an acceptance test makes them: a
// split-range controller's output swept over its range in manual, each
// output's share and the plant's answer read at each point; a cascade's
// slave broken by its failed transmitter (out of cascade, its master
// tracking, not winding up) and put back without a bump; a ratio's flow
// following a step of its wild flow and an operator's change of the ratio.
#include <algorithm>
#include <cmath>

#include "checkout/loop_check_script.h"
#include "checkout/loop_checks.h"

namespace host {
namespace {

// Readings as a list: "0, 50, 100".
template <size_t N>
std::string Listed(const std::array<double, N>& values) {
  std::string text;
  for (const double v : values) {
    text += (text.empty() ? "" : ", ") + Measured(std::fabs(v) < 1e-9 ? 0.0 : v);
  }
  return text;
}

// A split output's share (percent) of the controller's output u, from the part it takes.
double Share(const std::pair<double, double>& part, double u) {
  return std::clamp(100.0 * (u - part.first) / (part.second - part.first), 0.0, 100.0);
}

}  // namespace

// MANL, then the output set to 0, 25, 50, 75 and 100 %; at the end of each
// hold the PV and each output's share read; then the output as it was and
// AUTO unless the sweep failed.
void LoopChecks::SplitAt(size_t i, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  if (s.split0 < 0 || s.stoppedBy != nullptr || step < s.split0 || (step - s.split0) % s.splitHold != 0) {
    return;
  }
  const auto point = static_cast<int>((step - s.split0) / s.splitHold);
  if (point > Points) {
    return;
  }
  if (point == 0) {
    s.splitU0 = 100.0 * signals.Output(loop.controller);
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "MANL", "split range"});
  } else {
    s.splitPv[point - 1] = signals.Pv(loop.pv);
    for (size_t k = 0; k < loop.splitRows.size(); ++k) {
      s.splitShare[k][point - 1] = signals.Command(loop.splitRows[k]);
    }
    s.splitEnds = point;
  }
  if (point < Points) {
    due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, 25.0 * point, ""});
    return;
  }
  due.push_back(LoopAction{LoopAction::Kind::SetOutput, i, s.splitU0, ""});
  std::string ignored;
  if (SplitPassed(i, ignored)) {
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO"});
  } else {
    Stop(i, "split range", s.split0);
  }
}

// Each output must take its part of the controller's output (within 1 %),
// and the plant must answer each step of the sweep (0.1 % of span).
bool LoopChecks::SplitPassed(size_t i, std::string& measured) const {
  const Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  const double span = loop.high - loop.low;
  std::string cause, shares;
  for (size_t k = 0; k < loop.splitRows.size(); ++k) {
    const std::string& tag = case_->pvImport[loop.splitRows[k]].tag;
    const std::pair<double, double>& part = loop.splitParts[k];
    const bool stated = std::isfinite(part.first) && std::isfinite(part.second) && part.second > part.first;
    shares += (shares.empty() ? "" : "; ") + tag + " at " + Listed(s.splitShare[k]) + " %" +
              (stated ? " (its part " + Measured(part.first) + " to " + Measured(part.second) + " %)"
                      : " (its part not stated)");
    for (int p = 0; p < Points && stated && cause.empty(); ++p) {
      const double wanted = Share(part, 25.0 * p);
      if (std::fabs(s.splitShare[k][p] - wanted) > 1.0) {
        cause = tag + " read " + Measured(s.splitShare[k][p]) + " % at output " + Measured(25.0 * p) +
                " %, where its part gives " + Measured(wanted) + " %: its range (F_SPLO, F_SPHI) or its wiring; ";
      }
    }
  }
  for (int p = 1; p < Points && cause.empty(); ++p) {
    if (std::fabs(s.splitPv[p] - s.splitPv[p - 1]) < 0.001 * std::fabs(span)) {
      cause = "no answer between " + Measured(25.0 * (p - 1)) + " and " + Measured(25.0 * p) +
              " %: the output that moves over that part does not reach the plant; ";
    }
  }
  measured = cause + "output 0/25/50/75/100 %: " + shares + "; " + case_->pv[loop.pv].tag + " at " + Listed(s.splitPv) +
             " after " + Measured(static_cast<double>(s.splitHold) * dt_) + " s each";
  return s.splitEnds == Points && cause.empty();
}

// In AUTO and cascade; the slave's transmitter failed; read back, recovered,
// AUTO; back in cascade, and the slave's target read once it has taken the
// master's output again.
void LoopChecks::CascadeBreakAt(size_t i, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  if (s.cas0 < 0 || s.stoppedBy != nullptr) {
    return;
  }
  const auto master = static_cast<size_t>(loop.masterRow);
  if (step == s.cas0) {
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO", "cascade break"});
    due.push_back(LoopAction{LoopAction::Kind::SetCascade, i, 0.0, "YES"});
  } else if (step == s.casFail) {
    s.masterU0 = 100.0 * signals.Output(master);
    due.push_back(LoopAction{LoopAction::Kind::FailPv, i, 0.0, ""});
  } else if (step == s.cas1) {
    s.masterU1 = 100.0 * signals.Output(master);
    s.slaveTarget1 = signals.Target(loop.controller);
    due.push_back(LoopAction{LoopAction::Kind::ReadCascade, i, 0.0, ""});
    due.push_back(LoopAction{LoopAction::Kind::RecoverPv, i, 0.0, ""});
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO"});
  } else if (step == s.casBack) {
    s.targetBack = signals.Target(loop.controller);
    due.push_back(LoopAction{LoopAction::Kind::SetCascade, i, 0.0, "YES"});
  } else if (step == s.casBack + 2) {
    s.bump = signals.Target(loop.controller) - s.targetBack;
    s.casMeasured = true;
    std::string ignored;
    if (!CascadeBreakPassed(i, ignored)) {
      Stop(i, "cascade break", s.cas0);
    }
  }
}

void LoopChecks::CascadeAfter(size_t i, const std::string& mode, const std::string& cascade) {
  scripts_[i].casMode = mode;
  scripts_[i].casAfter = cascade;
}

// The slave must leave cascade for MANL; its master's output must follow the
// slave's target (within 0.5 % of the output), so it cannot wind up; and the
// return to cascade must not move the slave's target by more than 0.5 % of
// its span.
bool LoopChecks::CascadeBreakPassed(size_t i, std::string& measured) const {
  const Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  const std::string& slave = case_->controllers[loop.controller].tag;
  const std::string& master = case_->controllers[static_cast<size_t>(loop.masterRow)].tag;
  const double span = loop.high - loop.low;
  const double tracked = 100.0 * (s.slaveTarget1 - loop.low) / span;
  const bool left = s.casAfter == "NO";
  const bool tracking = std::fabs(s.masterU1 - tracked) <= 0.5;
  const bool bumpless = std::fabs(s.bump) <= 0.005 * std::fabs(span);
  std::string cause;
  if (!left || s.casMode != "MANL") {
    cause = slave +
            (left ? " left cascade but stayed in " + s.casMode : " stayed in cascade (A_CASC " + s.casAfter + ")") +
            " with its measurement failed: the cascade does not break; ";
  } else if (!tracking) {
    cause = master +
            "'s output is not its slave's target: it does not track, and winds up while the cascade is "
            "broken; ";
  } else if (!bumpless) {
    cause = slave + "'s target jumped on the return to cascade: the return is not bumpless; ";
  }
  measured = cause + case_->pv[loop.pv].tag + " failed with " + slave +
             " in cascade: " + (left ? "A_CASC NO" : "A_CASC " + s.casAfter) + ", " + s.casMode + "; " + master +
             "'s output " + Measured(s.masterU0) + " -> " + Measured(s.masterU1) + " %, " + slave + "'s target " +
             Measured(s.slaveTarget1) + " is " + Measured(tracked) + " % of its range" +
             (tracking ? " (tracking)" : "") + "; back in cascade, its target moved by " + Measured(s.bump) +
             " (limit " + Measured(0.005 * std::fabs(span)) + ")";
  return s.casMeasured && cause.empty();
}

// In AUTO and cascade, the station's ratio and bias read; the wild flow
// stepped by a tenth of its span; the ratio changed by a tenth; both put
// back.
void LoopChecks::RatioAt(size_t i, int64_t step, const LoopSignals& signals, std::vector<LoopAction>& due) {
  Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  if (s.rat0 < 0 || s.stoppedBy != nullptr) {
    return;
  }
  if (step == s.rat0) {
    due.push_back(LoopAction{LoopAction::Kind::SetMode, i, 0.0, "AUTO", "ratio"});
    due.push_back(LoopAction{LoopAction::Kind::SetCascade, i, 0.0, "YES"});
    due.push_back(LoopAction{LoopAction::Kind::ReadRatio, i, 0.0, ""});
  } else if (step == s.ratStep) {
    s.wild0 = signals.Pv(static_cast<size_t>(loop.wildPv));
    const double dw = 0.1 * (loop.wildHigh - loop.wildLow);
    s.wild1 = s.wild0 + dw <= loop.wildHigh ? s.wild0 + dw : s.wild0 - dw;
    s.flow0 = signals.Pv(loop.pv);
    s.phases[0].wanted = s.ratio * s.wild1 + s.bias;
    due.push_back(LoopAction{LoopAction::Kind::DriveWild, i, s.wild1, ""});
  } else if (step == s.ratChange) {
    s.newRatio = 1.1 * s.ratio * s.wild1 + s.bias <= loop.high ? 1.1 * s.ratio : 0.9 * s.ratio;
    s.phases[1].wanted = s.newRatio * s.wild1 + s.bias;
    due.push_back(LoopAction{LoopAction::Kind::SetRatio, i, s.newRatio, ""});
  } else if (step == s.ratEnd) {
    due.push_back(LoopAction{LoopAction::Kind::SetRatio, i, s.ratio, ""});
    due.push_back(LoopAction{LoopAction::Kind::ReleaseWild, i, 0.0, ""});
    s.ratMeasured = true;
    std::string ignored;
    if (!RatioPassed(i, ignored)) {
      Stop(i, "ratio", s.rat0);
    }
  }
}

void LoopChecks::SlaveRead(size_t i, const std::string& mode, const std::string& cascade,
                           const std::string& configured) {
  scripts_[i].slaveMode = mode;
  scripts_[i].slaveCascade = cascade;
  scripts_[i].slaveBreak = configured;
}

void LoopChecks::RatioRead(size_t i, double ratio, double bias) {
  scripts_[i].ratio = ratio;
  scripts_[i].bias = bias;
}

void LoopChecks::SampleRatio(size_t i, int64_t step, const LoopSignals& signals) {
  Script& s = scripts_[i];
  if (s.ratStep < 0 || step < s.ratStep || step >= s.ratEnd || s.stoppedBy != nullptr) {
    return;
  }
  const bool changed = step >= s.ratChange;
  Script::RatioPhase& phase = s.phases[changed ? 1 : 0];
  const double pv = signals.Pv(loops_[i].pv);
  if (std::fabs(pv - phase.wanted) > settings_[i].settleBand / 100.0 * std::fabs(loops_[i].high - loops_[i].low)) {
    phase.outsideAt = static_cast<double>(step + 1 - (changed ? s.ratChange : s.ratStep)) * dt_;
  }
  phase.last = pv;
  phase.seen = true;
}

// The flow must settle within the band of the ratio times the wild flow plus
// the bias, within the settling time, after each change.
bool LoopChecks::RatioPassed(size_t i, std::string& measured) const {
  const Script& s = scripts_[i];
  const CheckedLoop& loop = loops_[i];
  const LoopCheckSettings& set = settings_[i];
  const std::string& flow = case_->pv[loop.pv].tag;
  const std::string& wild = case_->pv[static_cast<size_t>(loop.wildPv)].tag;
  const double band = set.settleBand / 100.0 * std::fabs(loop.high - loop.low);
  std::string cause;
  std::string phases;
  for (size_t k = 0; k < s.phases.size(); ++k) {
    const Script::RatioPhase& p = s.phases[k];
    const bool settled = p.seen && std::fabs(p.last - p.wanted) <= band;
    phases += std::string(k == 0 ? wild + " stepped " + Measured(s.wild0) + " -> " + Measured(s.wild1)
                                 : "; ratio " + Measured(s.ratio) + " -> " + Measured(s.newRatio)) +
              ": " + flow + " at " + Measured(p.last) + " (wanted " + Measured(p.wanted) + "), within " +
              Measured(set.settleBand) + " % of span " + (settled ? "after " + Measured(p.outsideAt) + " s" : "never") +
              " (limit " + Measured(set.settlingTime) + ")";
    if (!cause.empty()) {
      continue;
    }
    if (!std::isfinite(s.ratio) || !std::isfinite(s.bias)) {
      cause = "the ratio station " + loop.ratioStation + "'s F_RATIO or F_BIAS could not be read; ";
    } else if (k == 0 && std::fabs(p.last - s.flow0) < 0.001 * std::fabs(loop.high - loop.low)) {
      cause = flow + " did not follow " + wild + "'s step: the loop is not in cascade, or " + loop.ratioStation +
              " reads another flow; ";
    } else if (!settled) {
      cause = flow + " settled away from F_RATIO x " + wild +
              " + F_BIAS: the station's ratio or bias is not the "
              "flow's, or the loop cannot reach it; ";
    } else if (p.outsideAt > set.settlingTime) {
      cause = "too slow: " + flow + " took " + Measured(p.outsideAt) + " s to follow; ";
    }
  }
  measured = cause + phases;
  return s.ratMeasured && cause.empty();
}

}  // namespace host
