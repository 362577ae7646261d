// Loop check actions through FIX: each a write in a group of dcshost's own,
// as an operator event is made, or the simulated database's transmitter fault.
#include "run/loop_actions.h"

#include <cmath>

#include "fix/fix_group.h"
#include "fix/operator_events.h"

namespace host {

void DoLoopActions(Session& session, LoopChecks& checks, Malfunctions& transmitters, int64_t step,
                   std::vector<LoopAction>& due) {
  RecordSignals signals(session.builder());
  checks.At(step, signals, due);
  const Case& c = session.scenario();
  const FixLibrary& fix = session.fix();
  for (const LoopAction& action : due) {
    const CheckedLoop& loop = checks.Loops()[action.loop];
    const CasePVRow& pv = c.pv[loop.pv];
    CaseEvent event;
    if (loop.discrete) {  // the command's point: an operator's start or stop
      const CasePVRow& command = c.pvImport[loop.controller];
      event.node = command.node;
      event.tag = command.tag;
      event.field = command.field;
      event.isText = true;
      event.text = action.text;
      ApplyEvent(fix, event);
      continue;
    }
    const CaseCtrlRow& ctrl = c.controllers[loop.controller];
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
      case LoopAction::Kind::DrivePv: transmitters.Drive(loop.pv, action.value); break;
      case LoopAction::Kind::ReleasePv: transmitters.Drive(loop.pv, std::nan("")); break;
      case LoopAction::Kind::ReadPv:
        checks.PvRead(action.loop, ReadFloats(fix.api(), {PointName{pv.node, pv.tag, pv.field}})[0]);
        break;
      case LoopAction::Kind::LocalTarget:
        checks.CascadeRead(action.loop,
                           ReadTexts(fix.api(), {PointName{ctrl.node, ctrl.tag, "A_CASC"}}, "(no cascade)")[0]);
        event.field = "A_CASC";
        event.isText = true;
        event.text = "NO";
        ApplyEvent(fix, event);
        break;
      case LoopAction::Kind::RestoreCascade:
      case LoopAction::Kind::SlaveCascade: {
        const bool slave = action.kind == LoopAction::Kind::SlaveCascade;
        // Back as it was, "YES" or "NO" (a cascade break or ratio check put it in cascade); nothing where
        // the controller has no cascade switch.
        const std::string& back = slave ? action.text : checks.CascadeBefore(action.loop);
        if (back == "YES" || back == "NO") {
          const CaseCtrlRow& row = slave ? c.controllers[static_cast<size_t>(loop.slaveRow)] : ctrl;
          event.node = row.node;
          event.tag = row.tag;
          if (slave) {  // a cascade broken to MANL: the slave in AUTO first, then back in cascade
            event.field = "A_AUTO";
            event.isText = true;
            event.text = "AUTO";
            ApplyEvent(fix, event);
          }
          event.field = "A_CASC";
          event.isText = true;
          event.text = back;
          ApplyEvent(fix, event);
        }
        break;
      }
      case LoopAction::Kind::SetCascade:
        event.field = "A_CASC";
        event.isText = true;
        event.text = action.text;
        ApplyEvent(fix, event);
        break;
      case LoopAction::Kind::ReadCascade: {
        const std::vector<std::string> read = ReadTexts(
            fix.api(), {PointName{ctrl.node, ctrl.tag, "A_AUTO"}, PointName{ctrl.node, ctrl.tag, "A_CASC"}}, "(none)");
        checks.CascadeAfter(action.loop, read[0], read[1]);
        break;
      }
      case LoopAction::Kind::ReadSlave: {
        const CaseCtrlRow& slave = c.controllers[static_cast<size_t>(loop.slaveRow)];
        const std::vector<std::string> read =
            ReadTexts(fix.api(),
                      {PointName{slave.node, slave.tag, "A_AUTO"}, PointName{slave.node, slave.tag, "A_CASC"},
                       PointName{slave.node, slave.tag, "A_CASCBRK"}},
                      "(none)");
        checks.SlaveRead(action.loop, read[0], read[1], read[2]);
        break;
      }
      case LoopAction::Kind::ReadRatio: {
        const std::vector<double> read = ReadFloats(fix.api(), {PointName{ctrl.node, loop.ratioStation, "F_RATIO"},
                                                                PointName{ctrl.node, loop.ratioStation, "F_BIAS"}});
        checks.RatioRead(action.loop, read[0], read[1]);
        break;
      }
      case LoopAction::Kind::SetRatio:
        event.tag = loop.ratioStation;
        event.field = "F_RATIO";
        event.value = action.value;
        ApplyEvent(fix, event);
        break;
      case LoopAction::Kind::DriveWild:
      case LoopAction::Kind::ReleaseWild:
        transmitters.Drive(static_cast<size_t>(loop.wildPv),
                           action.kind == LoopAction::Kind::DriveWild ? action.value : std::nan(""));
        break;
      case LoopAction::Kind::SetCommand: break;  // a discrete loop's, above
    }
  }
}

}  // namespace host
