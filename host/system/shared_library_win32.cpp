// Run-time loading of shared libraries on Windows: LoadLibrary, by name or by
// ordinal, and the module's own file.
#include "system/shared_library.h"

#include <windows.h>

namespace host {

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
void* LoadedLibrary(const std::string& fileName) {
  HMODULE module = nullptr;
  return GetModuleHandleExA(0, fileName.c_str(), &module) != 0 ? reinterpret_cast<void*>(module) : nullptr;
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

}  // namespace host
