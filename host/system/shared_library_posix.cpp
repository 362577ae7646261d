// Run-time loading of shared libraries on Linux: dlopen and dlsym, and the
// file a library was loaded from, links resolved.
#include "system/shared_library.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace host {

void* OpenLibrary(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* message = dlerror();
    error = message != nullptr ? std::string(message) : path + ": cannot be loaded";
  }
  return library;
}
void* OpenLibraryBeside(const std::string& path, std::string& error) { return OpenLibrary(path, error); }
void* LoadedLibrary(const std::string& fileName) { return dlopen(fileName.c_str(), RTLD_NOW | RTLD_NOLOAD); }
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

}  // namespace host
