// Loads the driver library at run time the way the host does (dlopen or
// LoadLibraryA, the nine entry points by name) and unloads it again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "datadef/record.h"

namespace host {

struct DriverEntryPoints {
  void (*DCSInitialize)();
  int32_t (*DCSLoad)(DCSDataDef*);
  int32_t (*DCSConfigure)(DCSDataDef*);
  uint8_t (*DCSStart)(DCSDataDef*);
  int32_t (*DCSSimulate)(DCSDataDef*);
  void (*DCSStop)();
  void (*DCSTimeZero)();
  void (*DCSReset)(DCSDataDef*);
  void (*DCSDestroy)(DCSDataDef*);
};

class DriverLibrary {
 public:
  // Loads the library at path; null and a message naming the path and the
  // missing entry point or the loader's error when that fails.
  static std::unique_ptr<DriverLibrary> Load(const std::string& path, std::string& error);
  ~DriverLibrary();
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  const DriverEntryPoints& entry() const { return entry_; }
  // The operating system's handle of the loaded module.
  void* handle() const { return handle_; }

 private:
  DriverLibrary() = default;
  void* handle_ = nullptr;
  DriverEntryPoints entry_{};
};

// The driver library's file beside the running program.
std::string DefaultDriverPath();

}  // namespace host
