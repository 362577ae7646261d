// Loop check actions through FIX: each a write in a group of dcshost's own,
// as an operator event is made, or the simulated database's transmitter fault.
#include "run/loop_actions.h"

#include "fix/fix_group.h"
#include "fix/operator_events.h"

namespace host {

void DoLoopActions(Session& session, LoopChecks& checks, int64_t step, std::vector<LoopAction>& due) {
  RecordSignals signals(session.builder());
  checks.At(step, signals, due);
  const Case& c = session.scenario();
  const FixLibrary& fix = session.fix();
  for (const LoopAction& action : due) {
    const CheckedLoop& loop = checks.Loops()[action.loop];
    const CaseCtrlRow& ctrl = c.controllers[loop.controller];
    const CasePVRow& pv = c.pv[loop.pv];
    CaseEvent event;
    event.node = ctrl.node;
    event.tag = ctrl.tag;
    switch (action.kind) {
      case LoopAction::Kind::SetMode:
        event.field = "A_AUTO";
        event.isText = true;
        event.text = action.text;
        ApplyEvent(fix, event);
        break;
      case LoopAction::Kind::SetOutput:
      case LoopAction::Kind::SetTarget:
        event.field = action.kind == LoopAction::Kind::SetOutput ? "F_CV" : "F_TV1";
        event.value = action.value;
        ApplyEvent(fix, event);
        break;
      case LoopAction::Kind::FailPv:
      case LoopAction::Kind::RecoverPv:
        if (fix.simulated().SetTransmitterFailed != nullptr) {
          fix.simulated().SetTransmitterFailed(pv.node.c_str(), pv.tag.c_str(), pv.field.c_str(),
                                               action.kind == LoopAction::Kind::FailPv ? 1 : 0);
        }
        break;
      case LoopAction::Kind::ReadMode:
        checks.ModeRead(action.loop, ReadTexts(fix.api(), {PointName{ctrl.node, ctrl.tag, "A_AUTO"}}, "(no mode)")[0]);
        break;
    }
  }
}

}  // namespace host
