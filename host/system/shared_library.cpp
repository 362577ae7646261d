// Run-time loading of shared libraries on Linux and Windows.
#include "system/shared_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

namespace host {

#if defined(_WIN32)
void* OpenLibrary(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    error = path + ": LoadLibraryA failed with error " + std::to_string(GetLastError());
  }
  return reinterpret_cast<void*>(module);
}
void* OpenLibraryBeside(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    error = path + ": LoadLibraryExA failed with error " + std::to_string(GetLastError());
  }
  return reinterpret_cast<void*>(module);
}
void* FindSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void* FindOrdinal(void* library, int ordinal) {
  return reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(library), MAKEINTRESOURCEA(static_cast<WORD>(ordinal))));
}
void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
std::string LibraryFile(void* library, const std::string& loadedAs) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(library), path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : loadedAs;
}
std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string program(path, length < MAX_PATH ? length : 0);
  const size_t slash = program.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".\\") : program.substr(0, slash + 1);
}
std::string LibraryFileName(const std::string& name) { return name + ".dll"; }
#else
void* OpenLibrary(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* message = dlerror();
    error = message != nullptr ? std::string(message) : path + ": cannot be loaded";
  }
  return library;
}
void* OpenLibraryBeside(const std::string& path, std::string& error) { return OpenLibrary(path, error); }
void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }
void* FindOrdinal(void* /*library*/, int /*ordinal*/) { return nullptr; }
void CloseLibrary(void* library) { dlclose(library); }
std::string LibraryFile(void* library, const std::string& loadedAs) {
  const link_map* map = nullptr;
  if (dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr &&
      map->l_name[0] != '\0') {
    char resolved[PATH_MAX];
    if (realpath(map->l_name, resolved) != nullptr) {
      return resolved;
    }
    return map->l_name;
  }
  return loadedAs;
}
std::string ProgramFolder() {
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string program(path, length > 0 ? static_cast<size_t>(length) : 0);
  const size_t slash = program.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : program.substr(0, slash + 1);
}
std::string LibraryFileName(const std::string& name) { return "lib" + name + ".so"; }
#endif

}  // namespace host
