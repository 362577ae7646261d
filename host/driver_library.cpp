// Run-time loading of the driver library on Linux and Windows.
#include "driver_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace host {
namespace {

#if defined(_WIN32)
void* OpenLibrary(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    error = path + ": LoadLibraryA failed with error " + std::to_string(GetLastError());
  }
  return reinterpret_cast<void*>(module);
}
void* FindSymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* OpenLibrary(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    error = path + ": " + dlerror();
  }
  return handle;
}
void* FindSymbol(void* handle, const char* name) { return dlsym(handle, name); }
void CloseLibrary(void* handle) { dlclose(handle); }
#endif

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
  const bool bound = Bind(h, "DCSInitialize", e.DCSInitialize, path, error) &&
                     Bind(h, "DCSLoad", e.DCSLoad, path, error) &&
                     Bind(h, "DCSConfigure", e.DCSConfigure, path, error) &&
                     Bind(h, "DCSStart", e.DCSStart, path, error) &&
                     Bind(h, "DCSSimulate", e.DCSSimulate, path, error) &&
                     Bind(h, "DCSStop", e.DCSStop, path, error) &&
                     Bind(h, "DCSTimeZero", e.DCSTimeZero, path, error) &&
                     Bind(h, "DCSReset", e.DCSReset, path, error) &&
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

std::string DefaultDriverPath() {
#if defined(_WIN32)
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string program(path, length);
  const size_t slash = program.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + "fixdcs.dll";
#else
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string program(path, length > 0 ? static_cast<size_t>(length) : 0);
  const size_t slash = program.find_last_of('/');
  return (slash == std::string::npos ? std::string("./") : program.substr(0, slash + 1)) +
         "libfixdcs.so";
#endif
}

}  // namespace host
