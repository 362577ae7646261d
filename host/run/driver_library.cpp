// Run-time loading of the driver library on Linux and Windows.
#include "run/driver_library.h"

#include "system/shared_library.h"

namespace host {
namespace {

template <typename Fn>
bool Bind(void* handle, const char* name, Fn& target, const std::string& path, std::string& error) {
  void* symbol = FindSymbol(handle, name);
  if (symbol == nullptr) {
    error = path + ": entry point " + name + " not found";
    return false;
  }
  target = reinterpret_cast<Fn>(symbol);
  return true;
}

}  // namespace

std::unique_ptr<DriverLibrary> DriverLibrary::Load(const std::string& path, std::string& error) {
  std::unique_ptr<DriverLibrary> library(new DriverLibrary());
  library->handle_ = OpenLibrary(path, error);
  if (library->handle_ == nullptr) {
    return nullptr;
  }
  DriverEntryPoints& e = library->entry_;
  void* h = library->handle_;
  const bool bound =
      Bind(h, "DCSInitialize", e.DCSInitialize, path, error) && Bind(h, "DCSLoad", e.DCSLoad, path, error) &&
      Bind(h, "DCSConfigure", e.DCSConfigure, path, error) && Bind(h, "DCSStart", e.DCSStart, path, error) &&
      Bind(h, "DCSSimulate", e.DCSSimulate, path, error) && Bind(h, "DCSStop", e.DCSStop, path, error) &&
      Bind(h, "DCSTimeZero", e.DCSTimeZero, path, error) && Bind(h, "DCSReset", e.DCSReset, path, error) &&
      Bind(h, "DCSDestroy", e.DCSDestroy, path, error);
  if (!bound) {
    return nullptr;  // the destructor unloads the library
  }
  return library;
}

DriverLibrary::~DriverLibrary() {
  if (handle_ != nullptr) {
    CloseLibrary(handle_);
  }
}

std::string DefaultDriverPath() { return ProgramFolder() + LibraryFileName("fixdcs"); }

}  // namespace host
