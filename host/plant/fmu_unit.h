// One FMU, from its file to its last step: unpacked into a private folder,
// its model description read, the binary for this platform loaded (its path
// and SHA-256 printed first: an FMU is native code), instantiated, initialised
// and stepped through the FMI 2.0 co-simulation calls. Every failure path ends
// the instance, unloads the library and removes the folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "plant/fmi2.h"
#include "plant/model_description.h"
#include "system/temp_folder.h"

namespace host {

// This dcshost's platform among an FMU's binaries: "linux64", "linux32" or
// "win32", and in words ("64-bit Linux").
const char* FmuPlatform();
const char* FmuPlatformWords();

// The platform of the same operating system in the other word size
// ("linux32" beside "linux64"), whose binaries a worker of that word size runs.
const char* FmuOtherPlatform();

// Where an FMU's code runs: nowhere (`check` reads only), in this process, in
// a worker process (this process reads and hashes, the worker loads), or here
// as that worker, announced already by its dcshost.
enum class FmuCode { Read, Here, Worker, Serve };

// How a step ended: done, the FMU ended the simulation (a discarded step
// with fmi2Terminated), or failed.
enum class FmuStep { Done, Ended, Failed };

// A file name as a "file:" URI, each byte beyond the unreserved ones escaped.
std::string FileUri(const std::string& path);

class FmuUnit {
 public:
  // Opens the FMU at `file` (an .fmu zip file, or a folder it was unpacked
  // into) for the instance named `instance`; null with a message saying what
  // is wrong and where. `out` gets the FMU's path and SHA-256 before its
  // binary is loaded, and its log while it runs.
  // With FmuCode::Read or Worker its binary is found and hashed but never
  // loaded here, and it cannot start; for a worker the binary may be the
  // other word size's. A worker (Serve) opens the folder `unpacked` that its
  // dcshost unpacked `file` into.
  static std::unique_ptr<FmuUnit> Open(const std::string& file, const std::string& instance, std::ostream& out,
                                       std::string& error, FmuCode code = FmuCode::Here,
                                       const std::string& unpacked = std::string());
  ~FmuUnit();
  FmuUnit(const FmuUnit&) = delete;
  FmuUnit& operator=(const FmuUnit&) = delete;

  const ModelDescription& description() const { return md_; }
  // Whether its state can be saved as bytes: its model description offers it
  // and, where its code is loaded, its binary has every state function;
  // false with why, naming the first function missing.
  bool CanSaveState(std::string& error) const;
  const std::string& file() const { return file_; }
  // The .fmu's SHA-256, or for a folder its binary's.
  const std::string& sha256() const { return sha256_; }
  // The binary loaded, as the FMU names it (binaries/PLATFORM/ID.so), and its
  // own SHA-256: the code that runs, which the archive's hash covers only as packed.
  const std::string& binaryName() const { return binaryName_; }
  const std::string& binarySha256() const { return binarySha256_; }
  // The platform of that binary ("linux64"), and the folder the FMU is in.
  const std::string& platform() const { return platform_; }
  const std::string& folder() const { return folderPath_; }
  // Debug logging on, for the categories given (all when empty), before Start.
  void LogDebug(const std::vector<std::string>& categories) { debug_ = true, categories_ = categories; }
  // The categories logged, or null when debug logging is off.
  const std::vector<std::string>* debugCategories() const { return debug_ ? &categories_ : nullptr; }

  // The variables a step sets before fmi2DoStep and gets after it, in the
  // order its arrays hold them; each must be a Real, Integer or Boolean.
  void Bind(const std::vector<const FmuVariable*>& inputs, const std::vector<const FmuVariable*>& outputs);
  // Instantiates it, sets each start given (parameters and inputs), sets up
  // the experiment at `startTime` with no stop time, and initialises it.
  bool Start(double startTime, const std::vector<std::pair<const FmuVariable*, double>>& starts, std::string& error);
  // One step: the inputs set, fmi2DoStep from `now` over `h`, the outputs got
  // (one call per type). Allocates nothing. Failed with the FMU's own words
  // when it discards the step or fails; Ended, its outputs got, when it
  // discarded the step because it ended the simulation (endedAt() says when).
  FmuStep Step(double now, double h, const double* inputs, double* outputs, std::string& error);
  double endedAt() const { return endedAt_; }
  // The outputs as they are now, without a step (after Start).
  bool Outputs(double* outputs, std::string& error);
  // Its state as bytes, and back: false with a message where the FMU cannot.
  bool SaveState(std::vector<unsigned char>& bytes, std::string& error);
  bool RestoreState(const std::vector<unsigned char>& bytes, std::string& error);

 private:
  struct Calls;
  struct ByType {  // one type's references and where their values go
    std::vector<fmi2::ValueReference> references;
    std::vector<size_t> slots;
    std::vector<double> reals;
    std::vector<int> integers;
  };
  FmuUnit() = default;
  bool Load(const std::string& folder, std::ostream& out, FmuCode code, std::string& error);
  bool Failed(const char* call, int status, std::string& error);
  // "FMU NAME (FILE)", and a failure in its words: "...: WHAT: its last log text".
  std::string Who() const { return "FMU " + instance_ + " (" + file_ + ")"; }
  std::string binaryName_, binarySha256_, platform_, folderPath_;
  std::string who_;  // Who(), kept for the calls into its code (system/foreign_call.h)
  std::string Failure(const std::string& what) const {
    return Who() + ": " + what + (lastLog_.empty() ? std::string() : ": " + lastLog_);
  }
  bool SetInputs(const double* inputs);
  bool GetOutputs(double* outputs);
  static void SplitByType(const std::vector<const FmuVariable*>& vars, ByType byType[3]);

  std::string file_, instance_, sha256_, resources_;
  std::unique_ptr<TempFolder> folder_;
  ModelDescription md_;
  void* library_ = nullptr;
  std::unique_ptr<Calls> calls_;
  fmi2::Component component_ = nullptr;
  bool initialised_ = false, debug_ = false;
  // A call returned fmi2Error (no fmi2Terminate after it) or fmi2Fatal (no call at all).
  bool erred_ = false, fatal_ = false;
  double endedAt_ = 0.0;
  std::vector<std::string> categories_;
  ByType inputs_[3], outputs_[3];  // Real, Integer, Boolean
  std::ostream* out_ = nullptr;
  std::string lastLog_;
  fmi2::CallbackFunctions callbacks_{};

 public:
  // The FMU's logger, for the callback: prints a message with the instance
  // and category, and keeps the last one for the message of a failed call.
  void Logged(const char* instance, int status, const char* category, const char* message);
};

}  // namespace host
