// Run-time loading of shared libraries on Linux (dlopen) and Windows
// (LoadLibraryA), for the driver and the FIX libraries alike.
#pragma once

#include <string>

namespace host {

// The library at path, or null with the loader's message in error.
void* OpenLibrary(const std::string& path, std::string& error);
// The same for a library that brings its own dependencies beside it (an
// FMU's binary): on Windows they are looked for in its folder first; on
// Linux such a library finds them itself ($ORIGIN in its run path).
void* OpenLibraryBeside(const std::string& path, std::string& error);
// A library this process has loaded already, by its file name ("libplinth.so",
// "plinth.dll"), held until CloseLibrary; null when none of that name is loaded.
void* LoadedLibrary(const std::string& fileName);
void* FindSymbol(void* library, const char* name);
// Windows: the export at an ordinal; Linux: null (there are no ordinals).
void* FindOrdinal(void* library, int ordinal);
void CloseLibrary(void* library);
// The full path of a loaded library's file, or the path it was loaded by.
std::string LibraryFile(void* library, const std::string& loadedAs);
// The folder of the running program, with its trailing separator.
std::string ProgramFolder();
// A shared library's file name on this platform: "EDA" -> libEDA.so or EDA.dll.
std::string LibraryFileName(const std::string& name);

}  // namespace host
