// The session: FIX, the driver, the record and the model of one run or check,
// and the driver's messages printed with the row they concern.
#include "run/session.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <unordered_map>

#include "fix/fix_group.h"
#include "run/record_names.h"
#include "run/tiebacks.h"
#include "system/exit_status.h"
#include "system/shared_library.h"

namespace host {

namespace {

// Resolves every event's point in a group of dcshost's own; false with the
// first bad one in error. Reads and writes nothing.
bool EventPointsExist(const FixLibrary& fix, const std::vector<CaseEvent>& events, std::string& error) {
  if (events.empty()) {
    return true;
  }
  std::vector<PointName> points;
  points.reserve(events.size());
  for (const CaseEvent& event : events) {
    points.push_back(PointName{event.node, event.tag, event.field});
  }
  const std::vector<int16_t> codes = PointErrors(fix.api(), points);
  for (size_t i = 0; i < events.size(); ++i) {
    const int16_t code = codes[i];
    if (code != 0) {
      const CaseEvent& e = events[i];
      error = Where(e.origin) + ": FIX has no point " + PointText(e.node, e.tag, e.field) + ": " + fix.ErrorText(code);
      return false;
    }
  }
  return true;
}

}  // namespace

std::unique_ptr<FixLibrary> OpenFix(const Case& c, const std::string& folder, std::ostream& out, std::string& error) {
  std::unique_ptr<FixLibrary> fix = FixLibrary::Load(folder.empty() ? ProgramFolder() : folder, error);
  if (!fix) {
    return nullptr;
  }
  out << "FIX libraries: " << fix->edaPath() << ", " << fix->toolsPath()
      << (fix->IsSimulated() ? " (the simulated database)" : "") << '\n';
  if (c.database.empty()) {
    return fix;
  }
  if (!fix->IsSimulated()) {
    error = c.path + ": the case names a database file (" + c.database +
            "), which only the simulated database loads; this FIX keeps its own database: leave 'database' out "
            "of the case to run against it";
    return nullptr;
  }
  char dbError[512] = "";
  if (fix->simulated().LoadFile(c.database.c_str(), dbError, sizeof dbError) == 0) {
    error = dbError;
    return nullptr;
  }
  return fix;
}

std::unique_ptr<Session> Session::Open(const Case& c, const RunOptions& options, std::ostream& out) {
  std::unique_ptr<Session> session(new Session(c));
  session->messagesSeen_ = session->messages_.Count();
  const auto fail = [&out](const std::string& message) {
    Say(out, message);
    return nullptr;
  };
  std::string error;
  session->fix_ = OpenFix(c, options.fixFolder, out, error);
  if (!session->fix_) {
    return fail(error);
  }
  const FixLibrary& fix = *session->fix_;
  if (!session->CloseAndPairLoops(out, error)) {
    return fail(error);
  }
  if (!options.plantCode) {
    session->model_.LoadNoCode();
  }
  if (!session->model_.Configure(session->case_.model, c.stepSeconds, out, error)) {
    return fail(error);
  }
  if (options.fmuLog) {
    session->model_.LogFmus();
  }
  if (!session->BindModel(error)) {
    return fail(error);
  }
  session->GroupLoops();
  if (!EventPointsExist(fix, c.events, error)) {
    return fail(error);
  }
  const std::string path = options.driverPath.empty() ? DefaultDriverPath() : options.driverPath;
  session->driverPath_ = path;
  session->driver_ = DriverLibrary::Load(path, error);
  if (!session->driver_) {
    return fail(error);
  }
  return session;
}

bool Session::CloseAndPairLoops(std::ostream& out, std::string& error) {
  const Case& written = case_;
  const bool overLoops = std::any_of(written.expectations.begin(), written.expectations.end(),
                                     [](const CaseExpectation& e) { return !e.loops.empty(); });
  if (written.model.type != ModelType::Tieback && written.loopChecks.empty() && !overLoops) {
    return true;
  }
  const LoopFacts facts = ReadLoopFacts(*fix_, written);
  Tiebacks tiebacks;
  const bool tieback = written.model.type == ModelType::Tieback;
  if (tieback && !BuildTiebacks(written, facts, tiebacks, error)) {
    return false;
  }
  if (tieback) {
    SayPairing(written, tiebacks, 10, out);
  }
  loops_ = LoopsToCheck(written, facts, tieback ? &tiebacks : nullptr);
  return !tieback || CloseLoops(case_, tiebacks, error);
}

bool Session::BindModel(std::string& error) {
  for (const CaseCtrlRow& row : case_.controllers) {
    drives_.push_back(row.drives.empty() ? ProcessModel::None : model_.Index(row.drives));
    if (!row.drives.empty() && !model_.TakesDrives()) {
      // In a model of blocks 'drives' only links a loop for its tieback: the
      // block it names reads the controller as "TAG.output" itself.
      if (drives_.back() == ProcessModel::None) {
        error = Where(row.origin) +
                ": a model of blocks takes no 'drives' but a loop's link, and no block is "
                "named '" +
                row.drives + "': a block reads this controller as \"" + row.tag + ".output\"";
        return false;
      }
      drives_.back() = ProcessModel::None;
      continue;
    }
    if (!row.drives.empty() && drives_.back() == ProcessModel::None) {
      error = Where(row.origin) + ": the model has no input '" + row.drives + "'";
      return false;
    }
  }
  for (const CasePVRow& row : case_.pv) {
    carries_.push_back(row.from.empty() ? ProcessModel::None : model_.Index(row.from));
    if (!row.from.empty() && carries_.back() == ProcessModel::None) {
      error = Where(row.origin) + ": the model has no output '" + row.from + "'";
      return false;
    }
  }
  return BindInputs(error);
}

void Session::GroupLoops() {
  const size_t n = loops_.size();
  if (model_.TakesDrives()) {
    for (size_t i = 0; i < n; ++i) {
      loops_[i].group = static_cast<int>(i);
    }
    return;
  }
  // Two loops conflict where one's output moves the variable the other's PV
  // carries, or a variable a PV row sends to the other's target (coupled
  // through the DCS). Found from what each controller's input reaches,
  // through the loops that carry each variable: linear in what the inputs reach.
  // variable -> loops; controller row -> loops; a discrete loop's command (PV-import row) -> loops
  std::unordered_map<size_t, std::vector<size_t>> carriedBy, loopsOf, commandsOf;
  for (size_t j = 0; j < n; ++j) {
    const int pv = carries_[loops_[j].pv];
    if (pv != ProcessModel::None) {
      carriedBy[static_cast<size_t>(pv)].push_back(j);
    }
    (loops_[j].discrete ? commandsOf : loopsOf)[loops_[j].controller].push_back(j);
  }
  std::unordered_map<std::string, size_t> targets;  // each checked controller's target point -> its row
  for (const auto& [row, loops] : loopsOf) {
    targets.emplace(TargetPoint(case_.controllers[row]), row);
  }
  for (size_t r = 0; r < case_.pv.size() && !targets.empty(); ++r) {  // a PV row that writes one of those targets
    const CasePVRow& row = case_.pv[r];
    const auto target = targets.find(PointText(row.node, row.tag, row.field));
    if (target != targets.end() && carries_[r] != ProcessModel::None) {
      const std::vector<size_t>& loops = loopsOf[target->second];
      std::vector<size_t>& carriers = carriedBy[static_cast<size_t>(carries_[r])];
      carriers.insert(carriers.end(), loops.begin(), loops.end());
    }
  }
  const std::vector<std::vector<size_t>> reached = model_.ReachedByInputs();
  std::vector<std::vector<size_t>> conflicts(n);
  for (size_t k = 0; k < inputs_.size() && k < reached.size(); ++k) {
    const auto& byRow = inputs_[k].controller ? loopsOf : commandsOf;
    const auto loops = byRow.find(static_cast<size_t>(inputs_[k].row));
    if (loops == byRow.end()) {
      continue;
    }
    for (const size_t variable : reached[k]) {
      const auto carriers = carriedBy.find(variable);
      for (size_t a = 0; carriers != carriedBy.end() && a < loops->second.size(); ++a) {
        for (const size_t j : carriers->second) {
          conflicts[loops->second[a]].push_back(j);
          conflicts[j].push_back(loops->second[a]);
        }
      }
    }
  }
  // A cascade's master and slave, and a ratio's controlled flow and the loop
  // of its wild flow, are coupled through the DCS's own strategies.
  std::unordered_map<size_t, std::vector<size_t>> loopsOfPv;
  for (size_t j = 0; j < n; ++j) {
    loopsOfPv[loops_[j].pv].push_back(j);
  }
  for (size_t i = 0; i < n; ++i) {
    const auto slave = loops_[i].slaveRow >= 0 ? loopsOf.find(static_cast<size_t>(loops_[i].slaveRow)) : loopsOf.end();
    const auto wild = loops_[i].wildPv >= 0 ? loopsOfPv.find(static_cast<size_t>(loops_[i].wildPv)) : loopsOfPv.end();
    for (const auto& coupled :
         {slave != loopsOf.end() ? &slave->second : nullptr, wild != loopsOfPv.end() ? &wild->second : nullptr}) {
      for (size_t k = 0; coupled != nullptr && k < coupled->size(); ++k) {
        conflicts[i].push_back((*coupled)[k]);
        conflicts[(*coupled)[k]].push_back(i);
      }
    }
  }
  // Each loop into the first group that holds no loop it conflicts with.
  std::vector<int> taken;
  for (size_t i = 0; i < n; ++i) {
    taken.clear();
    for (const size_t j : conflicts[i]) {
      if (j < i) {
        taken.push_back(loops_[j].group);
      }
    }
    std::sort(taken.begin(), taken.end());
    int group = 0;
    for (const int t : taken) {
      group += t == group ? 1 : 0;
    }
    loops_[i].group = group;
  }
}

bool Session::BindInputs(std::string& error) {
  const std::vector<RecordSignal> signals = RecordSignals(case_);
  RecordNameMap named;
  if (!NameRecord(signals, named, error)) {
    return false;
  }
  // No model variable takes a row's name: a block that reads it would read the other.
  const std::vector<std::string>& variables = model_.Names();
  for (size_t k = 0; k < variables.size(); ++k) {
    if (const auto found = named.find(variables[k]); found != named.end()) {
      // Only an FMU's outputs ("BLOCK.OUTPUT") hold a '.' as rows' names do.
      const size_t dot = variables[k].find('.');
      const std::string whose = dot == std::string::npos ? "the model's '" + variables[k] + "'"
                                                         : "block '" + variables[k].substr(0, dot) +
                                                               "' (fmu): its output '" + variables[k] + "'";
      error = Where(model_.OriginOf(k)) + ": " + whose + " has the name of " +
              Described(signals[found->second.signal]) + ": one name, one signal; rename the block";
      return false;
    }
  }
  // Each external input from its row, which gives it its value at the start too.
  const std::vector<ExternalInput>& wanted = model_.ExternalInputs();
  for (size_t k = 0; k < wanted.size(); ++k) {
    const auto found = named.find(wanted[k].name);
    if (found == named.end() || !signals[found->second.signal].Readable()) {
      error = Where(wanted[k].origin) + ": the model reads '" + wanted[k].name +
              "', which is no controller row's "
              "\"TAG.output\" and no PV-import row's \"TAG.FIELD\" (either may begin with \"NODE:\")";
      return false;
    }
    const RecordSignal& from = signals[found->second.signal];
    if (found->second.shared) {
      error = Where(wanted[k].origin) + ": the model reads '" + wanted[k].name +
              "', which rows on several nodes "
              "have (" +
              Described(from) + " among them): name it as \"" + from.fullName + "\" or its like";
      return false;
    }
    const bool controller = from.table == TableKind::Ctrl;
    inputs_.push_back(InputSource{controller, static_cast<int32_t>(from.row)});
    model_.SetInput(k, controller ? case_.controllers[from.row].output : case_.pvImport[from.row].value);
  }
  if (!wanted.empty()) {
    model_.Settle();
  }
  return true;
}

void Session::Declare() {
  dcs().DCSInitialize();
  dcs().DCSLoad(record());
  declared_ = true;
  for (const CaseCtrlRow& row : case_.controllers) {
    builder_.AddCtrl({row.node, row.tag, row.field, row.active, row.mode, row.output, row.tv1});
  }
  for (size_t i = 0; i < case_.pv.size(); ++i) {
    const CasePVRow& row = case_.pv[i];
    const int from = carries_[i];
    const double value = from == ProcessModel::None ? row.value : model_.Value(static_cast<size_t>(from));
    builder_.AddPV({row.node, row.tag, row.field, row.active, value});
  }
  for (const CasePVRow& row : case_.pvImport) {
    builder_.AddPVImport({row.node, row.tag, row.field, row.active, row.value});
  }
  builder_.SetInitCycle(case_.initCycle);
}

void Session::Release() {
  if (declared_) {
    declared_ = false;
    dcs().DCSStop();
    dcs().DCSReset(record());
    dcs().DCSDestroy(record());
  }
}

void Session::End(RunResult& result, std::ostream& out) {
  Release();
  CollectMessages(result, out);
}

Session::~Session() { Release(); }

namespace {

// Table, row, point and origin of a row-numbered report ("...VendorMsg" and
// "...VendorCode" end with the row number).
std::string ContextOf(const Case& c, const std::string& key, const std::string& args) {
  const size_t comma = args.rfind(',');
  if (key.find("Vendor") == std::string::npos || comma == std::string::npos) {
    return std::string();
  }
  const long row = std::strtol(args.c_str() + comma + 1, nullptr, 10);
  const auto describe = [&](TableKind kind, const auto& rows) -> std::string {
    std::string label =
        row < 0 ? std::string(TableDescriptors()[static_cast<size_t>(kind)].label) + " row " + std::to_string(row)
                : RowLabel(TableDescriptors()[static_cast<size_t>(kind)].label, static_cast<size_t>(row));
    if (row < 0 || static_cast<size_t>(row) >= rows.size()) {
      return label;
    }
    const auto& r = rows[static_cast<size_t>(row)];
    return label + ", " + PointText(r.node, r.tag, r.field) + " (" + Where(r.origin) + ")";
  };
  if (key.rfind("DCSCtrl", 0) == 0) {
    return describe(TableKind::Ctrl, c.controllers);
  }
  if (key.rfind("DCSPVImport", 0) == 0) {
    return describe(TableKind::PVImport, c.pvImport);
  }
  return describe(TableKind::PV, c.pv);
}

}  // namespace

void Session::CollectMessages(RunResult& result, std::ostream& out) {
  for (; messagesSeen_ < messages_.Count(); ++messagesSeen_) {
    const size_t i = messagesSeen_;
    ReportedMessage message{messages_.Key(i), messages_.Said(i), ContextOf(case_, messages_.Key(i), messages_.Args(i))};
    out << "  message " << message.key << ": " << message.text;
    if (!message.context.empty()) {
      out << "  [" << message.context << "]";
    }
    out << '\n';
    result.messages.push_back(std::move(message));
  }
}

}  // namespace host
