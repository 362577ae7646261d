// The FMU worker's loop: one call read, made and answered at a time.
#include "plant/fmu_serve.h"

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "plant/fmu_unit.h"
#include "plant/fmu_wire.h"

namespace host {
namespace {

class Server {
 public:
  explicit Server(const WorkerChannel& channel) : channel_(channel) {}
  int Serve();

 private:
  bool Open(fmuwire::Reader& call);
  bool Start(fmuwire::Reader& call);
  // The answer: what, the log of the call, then `more` (its values or, failed, the error).
  bool Answer(uint32_t what, const std::vector<unsigned char>& more);
  bool Fail(const std::string& error);
  bool Values(uint32_t what, const std::vector<double>& values, double endedAt);

  const WorkerChannel& channel_;
  std::ostringstream log_;
  std::unique_ptr<FmuUnit> unit_;
  std::vector<double> in_, out_;
  std::vector<unsigned char> call_, answer_, more_;
};

int Server::Serve() {
  for (;;) {
    fmuwire::Header header;
    if (!channel_.read(&header, sizeof header)) {
      unit_.reset();  // dcshost closed the channel: the FMU terminated and freed
      return 0;
    }
    if (header.size > fmuwire::MostBytes) {
      return 2;
    }
    call_.resize(header.size);
    if (header.size > 0 && !channel_.read(call_.data(), call_.size())) {
      return 2;
    }
    fmuwire::Reader call(call_.data(), call_.size());
    std::string error;
    bool answered = false;
    if (header.what != fmuwire::Open && !unit_) {
      return 2;  // every call but the first needs the FMU open
    }
    if (header.what == fmuwire::Open) {
      answered = Open(call);
    } else if (header.what == fmuwire::Start) {
      answered = Start(call);
    } else if (header.what == fmuwire::Step) {
      const double now = call.Real(), h = call.Real();
      for (double& x : in_) {
        x = call.Real();
      }
      const FmuStep step = unit_->Step(now, h, in_.data(), out_.data(), error);
      answered = step == FmuStep::Failed
                     ? Fail(error)
                     : Values(step == FmuStep::Ended ? fmuwire::Ended : fmuwire::Done, out_, unit_->endedAt());
    } else if (header.what == fmuwire::Outputs) {
      answered = unit_->Outputs(out_.data(), error) ? Values(fmuwire::Done, out_, 0.0) : Fail(error);
    } else if (header.what == fmuwire::SaveState) {
      std::vector<unsigned char> bytes;
      answered = unit_->SaveState(bytes, error) ? Answer(fmuwire::Done, bytes) : Fail(error);
    } else if (header.what == fmuwire::RestoreState) {
      const std::vector<unsigned char> bytes(call_.begin(), call_.end());
      answered = unit_->RestoreState(bytes, error) ? Answer(fmuwire::Done, {}) : Fail(error);
    } else if (header.what == fmuwire::CanSaveState) {
      answered = unit_->CanSaveState(error) ? Answer(fmuwire::Done, {}) : Fail(error);
    } else {
      return 2;
    }
    if (!answered) {
      unit_.reset();
      return 0;  // dcshost is gone
    }
  }
}

bool Server::Open(fmuwire::Reader& call) {
  const std::string file = call.Text(), folder = call.Text(), instance = call.Text();
  const bool debug = call.Word() != 0;
  std::vector<std::string> categories;
  for (uint32_t n = call.Word(), k = 0; k < n && call.ok(); ++k) {
    categories.push_back(call.Text());
  }
  std::string error;
  unit_ = FmuUnit::Open(file, instance, log_, error, FmuCode::Serve, folder);
  if (!unit_) {
    return Fail(error);
  }
  if (debug) {
    unit_->LogDebug(categories);
  }
  std::vector<const FmuVariable*> bound[2];
  for (auto& vars : bound) {
    for (uint32_t n = call.Word(), k = 0; k < n && call.ok(); ++k) {
      const std::string name = call.Text();
      const FmuVariable* v = unit_->description().Find(name);
      if (v == nullptr) {
        return Fail("the FMU's worker found no variable '" + name + "'");
      }
      vars.push_back(v);
    }
  }
  if (!call.ok()) {
    return Fail("the FMU's worker was sent a malformed call");
  }
  unit_->Bind(bound[0], bound[1]);
  in_.assign(bound[0].size(), 0.0);
  out_.assign(bound[1].size(), 0.0);
  return Answer(fmuwire::Done, {});
}

bool Server::Start(fmuwire::Reader& call) {
  const double startTime = call.Real();
  std::vector<std::pair<const FmuVariable*, double>> starts;
  for (uint32_t n = call.Word(), k = 0; k < n && call.ok(); ++k) {
    const std::string name = call.Text();
    const double value = call.Real();
    const FmuVariable* v = unit_->description().Find(name);
    if (v == nullptr) {
      return Fail("the FMU's worker found no variable '" + name + "'");
    }
    starts.emplace_back(v, value);
  }
  std::string error;
  return unit_->Start(startTime, starts, error) ? Answer(fmuwire::Done, {}) : Fail(error);
}

bool Server::Answer(uint32_t what, const std::vector<unsigned char>& more) {
  // The header and what follows in one write: dcshost wakes once per answer.
  const std::string log = log_.str();
  log_.str(std::string());
  answer_.assign(sizeof(fmuwire::Header), 0);
  fmuwire::Writer writer(answer_);
  writer.Text(log);
  writer.Raw(more.data(), more.size());
  const fmuwire::Header header{what, static_cast<uint32_t>(answer_.size() - sizeof header)};
  std::memcpy(answer_.data(), &header, sizeof header);
  return channel_.write(answer_.data(), answer_.size());
}

bool Server::Fail(const std::string& error) {
  more_.clear();
  fmuwire::Writer(more_).Text(error);
  return Answer(fmuwire::Failed, more_);
}

bool Server::Values(uint32_t what, const std::vector<double>& values, double endedAt) {
  more_.clear();
  fmuwire::Writer writer(more_);
  writer.Number(endedAt);
  writer.Raw(values.data(), values.size() * sizeof(double));
  return Answer(what, more_);
}

}  // namespace

int ServeFmu(const WorkerChannel& channel) {
  Server server(channel);
  return server.Serve();
}

}  // namespace host
