// The FIX libraries dcshost runs against, loaded at run time by full path from
// one folder before the driver, so that the driver's imports bind to them: any
// FIX that has the functions the driver itself uses (by name on Linux, by
// ordinal on Windows). The simulated database's extras (loading a database
// file, scanning its blocks) are looked up by name and used only where present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace host {

// The FIX functions, with the driver's signatures.
struct FixApi {
  int32_t (*CreateGroup)(int32_t points, int32_t reserved);
  int16_t (*DeleteGroup)(int32_t group);
  int32_t (*DefinePoint)(int32_t group, const char* node, const char* tag, const char* field, int32_t reserved);
  int16_t (*ResolveGroup)(int32_t group);
  int16_t (*ReadGroup)(int32_t group);
  int16_t (*WriteGroup)(int32_t group);
  int16_t (*WaitGroup)(int32_t group);
  int16_t (*PointError)(int32_t group, int32_t point);
  int16_t (*GetFloat)(int32_t group, int32_t point, float* value);
  int16_t (*GetAscii)(int32_t group, int32_t point, char* buffer, int32_t length);
  int16_t (*SetFloat)(int32_t group, int32_t point, float* value);
  int16_t (*SetAscii)(int32_t group, int32_t point, const char* text);
  int32_t (*RunningCheck)();
  int32_t (*ErrorText)(int32_t code, char* buffer, int32_t length);
};

// What only the simulated database has; each entry null when absent.
struct SimulatedDatabaseApi {
  int (*LoadFile)(const char* path, char* error, size_t length);
  int (*LoadText)(const char* text, const char* name, char* error, size_t length);
  size_t (*SaveText)(char* buffer, size_t length);
  void (*Scan)(double seconds);
  void (*SetJournal)(int on);
  // A failed transmitter on a field (its points then fail), or its recovery.
  void (*SetTransmitterFailed)(const char* node, const char* tag, const char* field, int failed);
  void (*SetNodeDown)(const char* node, int down);
  // The tag a PID block controls (its INPUT), or null; absent from older builds.
  const char* (*PidInput)(const char* node, const char* tag);
  // The strategies: a PID's remote target's source (a master or a ratio
  // station), a ratio station's wild flow, a split-range output's controller;
  // each null where there is none, and absent from older builds.
  const char* (*PidRemote)(const char* node, const char* tag);
  const char* (*RatioInput)(const char* node, const char* tag);
  const char* (*SplitSource)(const char* node, const char* tag);
};

class FixLibrary {
 public:
  // Loads EDA and FIXTOOLS from the folder; null and a message naming the
  // file and the missing function or the loader's error when that fails.
  static std::unique_ptr<FixLibrary> Load(const std::string& folder, std::string& error);
  ~FixLibrary();
  FixLibrary(const FixLibrary&) = delete;
  FixLibrary& operator=(const FixLibrary&) = delete;

  const FixApi& api() const { return api_; }
  const SimulatedDatabaseApi& simulated() const { return simulated_; }
  // True for the simulated database: it loads database files and scans on demand.
  bool IsSimulated() const {
    const SimulatedDatabaseApi& s = simulated_;
    return s.LoadFile != nullptr && s.LoadText != nullptr && s.SaveText != nullptr && s.Scan != nullptr &&
           s.SetTransmitterFailed != nullptr && s.SetNodeDown != nullptr;
  }
  const std::string& edaPath() const { return edaPath_; }
  const std::string& toolsPath() const { return toolsPath_; }
  // FIX's text for an error code, or "FIX error code N" when it has none.
  std::string ErrorText(int16_t code) const;

 private:
  FixLibrary() = default;
  void* eda_ = nullptr;
  void* tools_ = nullptr;
  FixApi api_{};
  SimulatedDatabaseApi simulated_{};
  std::string edaPath_;
  std::string toolsPath_;
};

}  // namespace host
