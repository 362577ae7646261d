// The cause-and-effect matrix checked, as an acceptance test checks it:
// each cause forced from the plant side (its point's PV row sent beyond its
// limit) alone, and each voting group in every combination that must and
// must not trip; every effect's state read from FIX at each step, those
// marked X must act within their time (not before the cause's delay) and
// the others must not; then the cause cleared, the reset commands written,
// and every effect back as it was. It plans, says what each PV row sends
// and when to reset, and measures; the runner drives and reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "case/case.h"
#include "checkout/expectations.h"

namespace host {

// What FIX and the case say of each cause, read once before the run.
struct MatrixFacts {
  std::vector<int> pv;        // per cause: the PV row that sends its tag, -1 where none does
  std::vector<double> limit;  // per cause: the limit it must pass (the matrix's, else FIX's), NaN where neither
  std::vector<double> span;   // per cause: its point's span (F_EHI - F_ELO), 100 where FIX states none
};

// The field an effect's state is read from: a controller's mode ("AUTO",
// "MANL") from A_AUTO, any other state from A_STATE.
const char* EffectField(const MatrixEffect& effect);

class MatrixChecks {
 public:
  void Plan(const Case& c, const MatrixFacts& facts, double stepSeconds, int64_t from);
  bool Empty() const { return tests_.empty(); }
  size_t Count() const { return tests_.size(); }  // the forcings
  int64_t StepsNeeded() const { return end_; }
  bool Active(int64_t step) const { return !tests_.empty() && step >= from_ && step <= end_; }
  // What a cause's PV row sends at the step: beyond its limit while it is
  // forced, else NaN (the plant's value).
  double Sent(size_t cause, int64_t step) const;
  // Whether the reset commands are written before the step.
  bool ResetAt(int64_t step) const;
  // After the step: each effect's state as FIX holds it, in the matrix's order.
  void Sample(int64_t step, const std::vector<std::string>& states);
  // One verdict per cause, its row's cells in what it measured.
  std::vector<Verdict> Judge(const Case& c) const;
  std::vector<Verdict> NotReached(const Case& c, const std::string& why) const;

  // A cell of the matrix sheet: marked X or not, how it went, and when a
  // marked effect acted (s after the cause was forced).
  struct Cell {
    bool marked = false, judged = false, passed = false;
    double seconds = -1.0;
    std::string note;   // why it failed
    std::string brief;  // the same in a word or two, for the sheet's cell
  };
  std::vector<std::vector<Cell>> Cells() const;  // per cause, per effect

 private:
  // One forcing: the causes forced together, whether they must trip, and
  // its steps: the baseline read at `base`, forced from base + 1 to
  // `release`, reset before `reset`, the return read at `back`.
  struct Test {
    std::vector<size_t> causes;
    bool trips = true;
    int64_t base = 0, release = 0, reset = 0, back = 0;
    std::vector<std::string> before;  // each effect's state before
    std::vector<double> acted;        // s after forcing that each effect reached its state, -1: never
    std::vector<bool> returned;       // each effect back as it was after the reset
    bool judged = false;              // its return read
  };
  bool CellOf(size_t cause, size_t effect, Cell& cell) const;
  const Case* case_ = nullptr;
  MatrixFacts facts_;
  std::vector<Test> tests_;
  double dt_ = 1.0;
  int64_t from_ = 0, end_ = 0;
};

}  // namespace host
