// The calls of an FMU made through its worker, and what is said when the
// worker ends without answering.
#include "plant/fmu_worker.h"

#include <algorithm>
#include <cstring>

#include "case/case.h"
#include "system/shared_library.h"

namespace host {

std::string FmuWorkerProgram(const std::string& platform) {
  return ProgramFolder() + "dcshost-fmu-" + platform + (platform.rfind("win", 0) == 0 ? ".exe" : "");
}

std::unique_ptr<FmuWorker> FmuWorker::Open(const FmuUnit& unit, const std::string& instance, double seconds,
                                           const std::vector<std::string>* debugCategories,
                                           const std::vector<const FmuVariable*>& inputs,
                                           const std::vector<const FmuVariable*>& outputs, std::ostream& log,
                                           std::string& error) {
  std::unique_ptr<FmuWorker> worker(new FmuWorker());
  worker->who_ = "FMU " + instance + " (" + unit.file() + ")";
  worker->seconds_ = seconds;
  worker->inputs_ = inputs.size();
  worker->outputs_ = outputs.size();
  worker->log_ = &log;
  const std::string program = FmuWorkerProgram(unit.platform());
  // A worker of this dcshost's word size runs as dcshost does (under its
  // emulator, where it has one); one of the other word size runs natively.
  const std::vector<std::string> args =
      unit.platform() == FmuPlatform() ? ProgramArgs(program) : std::vector<std::string>{program};
  if (!worker->process_.Start(args, error)) {
    error = worker->who_ + ": its " + unit.platform() + " worker " + program + " cannot start: " + error;
    return nullptr;
  }
  worker->Begin();
  fmuwire::Writer call(worker->call_);
  call.Text(unit.file());
  call.Text(unit.folder());
  call.Text(instance);
  call.Number(static_cast<uint32_t>(debugCategories != nullptr ? 1 : 0));
  call.Number(static_cast<uint32_t>(debugCategories != nullptr ? debugCategories->size() : 0));
  for (size_t k = 0; debugCategories != nullptr && k < debugCategories->size(); ++k) {
    call.Text((*debugCategories)[k]);
  }
  for (const auto* vars : {&inputs, &outputs}) {
    call.Number(static_cast<uint32_t>(vars->size()));
    for (const FmuVariable* v : *vars) {
      call.Text(v->name);
    }
  }
  if (worker->Call(fmuwire::Open, "its opening", error) != fmuwire::Done) {
    return nullptr;
  }
  // A step's call and answer are made in these, sized once.
  worker->call_.reserve(sizeof(fmuwire::Header) + (inputs.size() + 2) * sizeof(double));
  worker->answer_.reserve(1024 + (outputs.size() + 1) * sizeof(double));
  return worker;
}

FmuWorker::~FmuWorker() {
  (void)process_.End(5.0);  // closing the channel ends the FMU and the worker
}

uint32_t FmuWorker::Call(uint32_t what, const char* name, std::string& error) {
  if (gone_) {
    error = who_ + ": its worker has ended";
    return fmuwire::Failed;
  }
  // The header goes before the call's bytes, in the room left for it: one write.
  const fmuwire::Header header{what, static_cast<uint32_t>(call_.size() - sizeof(fmuwire::Header))};
  std::memcpy(call_.data(), &header, sizeof header);
  fmuwire::Header answer;
  WorkerProcess::Got got = WorkerProcess::Got::Ended;
  if (process_.Send(call_.data(), call_.size())) {
    got = process_.Receive(&answer, sizeof answer, seconds_);
    if (got == WorkerProcess::Got::Ok && (answer.size > fmuwire::MostBytes || answer.what > fmuwire::Ended)) {
      got = WorkerProcess::Got::Ended;  // not an answer: the worker is not to be trusted further
    }
    if (got == WorkerProcess::Got::Ok) {
      answer_.resize(answer.size);
      got = answer.size == 0 ? got : process_.Receive(answer_.data(), answer_.size(), seconds_);
    }
  }
  if (got != WorkerProcess::Got::Ok) {
    gone_ = true;
    const std::string pid = std::to_string(process_.id());
    const std::string how = process_.End(got == WorkerProcess::Got::Ended ? 2.0 : 0.0);
    error = who_ + ": " +
            (got == WorkerProcess::Got::TimedOut ? std::string("did not finish ") + name + " within " +
                                                       Shown(seconds_) + " s; its worker (pid " + pid + ") " + how
             : got == WorkerProcess::Got::Stopped
                 ? std::string("was stopped during ") + name + "; its worker (pid " + pid + ") " + how
                 : std::string("its worker (pid ") + pid + ") ended during " + name + ": it " + how);
    return fmuwire::Failed;
  }
  fmuwire::Reader reader(answer_.data(), answer_.size());
  const uint32_t logged = reader.Word();
  if (logged > 0 && logged <= reader.left()) {
    log_->write(reinterpret_cast<const char*>(answer_.data()) + sizeof logged, logged);
  }
  after_ = sizeof logged + std::min<size_t>(logged, reader.left());
  if (answer.what == fmuwire::Failed) {
    fmuwire::Reader why(answer_.data() + after_, answer_.size() - after_);
    error = why.Text();
  }
  return answer.what;
}

bool FmuWorker::TakeValues(double* outputs, std::string& error) {
  if (answer_.size() != after_ + (outputs_ + 1) * sizeof(double)) {
    error = who_ + ": its worker answered with " + std::to_string(answer_.size()) + " bytes, not its outputs";
    return false;
  }
  std::memcpy(&endedAt_, answer_.data() + after_, sizeof(double));
  std::memcpy(outputs, answer_.data() + after_ + sizeof(double), outputs_ * sizeof(double));
  return true;
}

bool FmuWorker::Start(double startTime, const std::vector<std::pair<const FmuVariable*, double>>& starts,
                      std::string& error) {
  Begin();
  fmuwire::Writer call(call_);
  call.Number(startTime);
  call.Number(static_cast<uint32_t>(starts.size()));
  for (const auto& [v, value] : starts) {
    call.Text(v->name);
    call.Number(value);
  }
  return Call(fmuwire::Start, "its start", error) == fmuwire::Done;
}

FmuStep FmuWorker::Step(double now, double h, const double* inputs, double* outputs, std::string& error) {
  Begin();
  fmuwire::Writer call(call_);
  call.Number(now);
  call.Number(h);
  call.Raw(inputs, inputs_ * sizeof(double));
  const uint32_t answer = Call(fmuwire::Step, "its step", error);
  if (answer == fmuwire::Failed || !TakeValues(outputs, error)) {
    return FmuStep::Failed;
  }
  return answer == fmuwire::Ended ? FmuStep::Ended : FmuStep::Done;
}

bool FmuWorker::Outputs(double* outputs, std::string& error) {
  Begin();
  return Call(fmuwire::Outputs, "the reading of its outputs", error) == fmuwire::Done && TakeValues(outputs, error);
}

bool FmuWorker::SaveState(std::vector<unsigned char>& bytes, std::string& error) {
  Begin();
  if (Call(fmuwire::SaveState, "the saving of its state", error) != fmuwire::Done) {
    return false;
  }
  bytes.assign(answer_.begin() + static_cast<std::ptrdiff_t>(after_), answer_.end());
  return true;
}

bool FmuWorker::RestoreState(const std::vector<unsigned char>& bytes, std::string& error) {
  Begin();
  call_.insert(call_.end(), bytes.begin(), bytes.end());
  return Call(fmuwire::RestoreState, "the restoring of its state", error) == fmuwire::Done;
}

bool FmuWorker::CanSaveState(std::string& error) {
  Begin();
  return Call(fmuwire::CanSaveState, "the check of its state functions", error) == fmuwire::Done;
}

}  // namespace host
