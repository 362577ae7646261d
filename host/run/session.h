// One use of the driver as the host uses it: the FIX libraries, loaded first
// so that the driver's imports bind to them, the driver library, the record
// built from the case, and the process model. The session releases itself:
// once the columns are declared, its destructor calls DCSStop, DCSReset and
// DCSDestroy, then unloads the driver and FIX, on every path.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "case/case.h"
#include "checkout/loop_checks.h"
#include "fix/fix_library.h"
#include "plant/process_model.h"
#include "run/driver_library.h"
#include "run/host_messages.h"
#include "run/record_builder.h"
#include "run/run_options.h"

namespace host {

// Where one of the model's external inputs is read from in the host's record:
// a controller row's output (the fraction 0-1) or a PV-import row's value.
struct InputSource {
  bool controller = false;
  int32_t row = 0;
};

// Loads FIX from the folder (empty: the simulated database beside the
// program), printing the files' full paths, and the case's database file into
// the simulated database; null with a message in error when either fails.
std::unique_ptr<FixLibrary> OpenFix(const Case& c, const std::string& folder, std::ostream& out, std::string& error);

class Session {
 public:
  // Loads FIX from the options' folder (printing the files' full paths), the
  // case's database into the simulated database, the model and the driver.
  // Null, with the reason printed, when one cannot be used: the case is refused.
  static std::unique_ptr<Session> Open(const Case& c, const RunOptions& options, std::ostream& out);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // DCSInitialize, DCSLoad and the record filled from the case; from here on
  // the destructor releases the declarations.
  void Declare();
  const DriverEntryPoints& dcs() const { return driver_->entry(); }
  DCSDataDef* record() { return builder_.record(); }
  RecordBuilder& builder() { return builder_; }
  ProcessModel& model() { return model_; }
  const ProcessModel& model() const { return model_; }
  // The model variable each controller row drives and each PV row carries,
  // by index, resolved when the session opens; ProcessModel::None for none.
  const std::vector<int>& drives() const { return drives_; }
  const std::vector<int>& carries() const { return carries_; }
  // The row each of the model's external inputs reads, in ExternalInputs()'s order.
  const std::vector<InputSource>& inputs() const { return inputs_; }
  const FixLibrary& fix() const { return *fix_; }
  // The driver library's path as loaded.
  const std::string& driverPath() const { return driverPath_; }
  // The loops the case's loop checks may reach, as paired and grouped when the session opened.
  const std::vector<CheckedLoop>& loops() const { return loops_; }
  // The case as run: a "tieback" case with its loops closed by blocks.
  const Case& scenario() const { return case_; }
  // Prints the driver's messages since the last call, each with its context.
  void CollectMessages(RunResult& result, std::ostream& out);
  // Releases the declarations now (DCSStop, DCSReset, DCSDestroy) and prints
  // what the driver reported on the way; the destructor then has nothing left.
  void End(RunResult& result, std::ostream& out);

 private:
  explicit Session(Case c) : case_(std::move(c)) {}
  void Release();
  // A "tieback" case's loops closed (its tiebacks printed), and the loops paired for loop checks.
  bool CloseAndPairLoops(std::ostream& out, std::string& error);
  // The rows' model variables and the model's external inputs resolved; false
  // with the first unknown one in error.
  bool BindModel(std::string& error);
  // The model's external inputs to their rows, named as the trace names them.
  bool BindInputs(std::string& error);
  // The paired loops in groups checked at once: in a plant of blocks, no
  // loop's output reaches the PV of another in its group; in the tank, every
  // loop alone.
  void GroupLoops();
  Case case_;
  std::unique_ptr<FixLibrary> fix_;
  std::unique_ptr<DriverLibrary> driver_;
  RecordBuilder builder_;
  ProcessModel model_;
  std::vector<int> drives_;
  std::vector<int> carries_;
  std::vector<InputSource> inputs_;
  std::vector<CheckedLoop> loops_;
  std::string driverPath_;
  HostMessages messages_;  // the driver's messages, printed by the session with their context
  size_t messagesSeen_ = 0;
  bool declared_ = false;
};

}  // namespace host
