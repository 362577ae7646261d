// The private temporary folder: mkdtemp on Linux (mode 0700), on Windows a
// fresh name in the user's own temporary folder made with CreateDirectory,
// which fails rather than reuse a folder that exists.
#include "system/temp_folder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <cstdlib>
#include <vector>

#include "system/paths.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <stdlib.h>
#endif

namespace host {

std::unique_ptr<TempFolder> TempFolder::Make(const std::string& prefix, std::string& error) {
  std::error_code ec;
  const std::string base = GenericName(std::filesystem::temp_directory_path(ec));
  if (ec) {
    error = "no temporary folder: " + ec.message();
    return nullptr;
  }
#if defined(_WIN32)
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string name = base + (base.empty() || base.back() == '/' ? "" : "/") + prefix +
                             std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
                             std::to_string(attempt);
    if (CreateDirectoryW(PathOf(name).c_str(), nullptr) != 0) {
      return std::unique_ptr<TempFolder>(new TempFolder(name));
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      error = name + ": cannot make the folder (error " + std::to_string(GetLastError()) + ")";
      return nullptr;
    }
  }
  error = base + ": no fresh folder name for " + prefix;
  return nullptr;
#else
  std::string pattern = base + (base.empty() || base.back() == '/' ? "" : "/") + prefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    error = pattern + ": cannot make the folder: " + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<TempFolder>(new TempFolder(name.data()));
#endif
}

namespace {

#if defined(_WIN32)
const char* const TempVariables[2] = {"TMP", "TEMP"};
void SetVariable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }
void UnsetVariable(const char* name) { _putenv_s(name, ""); }
#else
const char* const TempVariables[2] = {"TMPDIR", nullptr};
void SetVariable(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }
void UnsetVariable(const char* name) { unsetenv(name); }
#endif

}  // namespace

TempFolderForChildren::TempFolderForChildren(const std::string& folder) {
  for (size_t k = 0; k < 2; ++k) {
    const char* name = TempVariables[k];
    const char* value = name == nullptr ? nullptr : std::getenv(name);
    old_[k] = Old{name, value != nullptr, value != nullptr ? value : ""};
    if (name != nullptr) {
      SetVariable(name, folder);
    }
  }
}

TempFolderForChildren::~TempFolderForChildren() {
  for (const Old& old : old_) {
    if (old.name != nullptr) {
      old.set ? SetVariable(old.name, old.value) : UnsetVariable(old.name);
    }
  }
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(PathOf(path_), ec);
}

}  // namespace host
