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
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace host {

namespace {

long ThisProcess() {
#if defined(_WIN32)
  return static_cast<long>(GetCurrentProcessId());
#else
  return static_cast<long>(getpid());
#endif
}

// Whether process `pid` is alive (or cannot be told: then it counts as alive).
bool Alive(long pid) {
#if defined(_WIN32)
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) {
    return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
  }
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
#else
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

// Removes the folders of `prefix` in `base` that a process now dead made and
// left (it crashed, or was killed): "PREFIX<pid>-...", this user's own.
void RemoveDeadOwners(const std::string& base, const std::string& prefix) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(PathOf(base), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = GenericName(it->path().filename());
    const size_t dash = name.find('-', prefix.size());
    if (name.compare(0, prefix.size(), prefix) != 0 || dash == std::string::npos || dash == prefix.size() ||
        dash - prefix.size() > 9 || name.find_first_not_of("0123456789", prefix.size()) != dash) {
      continue;
    }
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    std::error_code kind;
    if (pid == ThisProcess() || Alive(pid) || !std::filesystem::is_directory(it->symlink_status(kind))) {
      continue;
    }
#if !defined(_WIN32)
    struct stat info {};
    if (lstat(it->path().c_str(), &info) != 0 || info.st_uid != geteuid()) {
      continue;  // another user's: not ours to remove
    }
#endif
    std::error_code removed;
    std::filesystem::remove_all(it->path(), removed);
  }
}

}  // namespace

std::unique_ptr<TempFolder> TempFolder::Make(const std::string& prefix, std::string& error) {
  std::error_code ec;
  const std::string base = GenericName(std::filesystem::temp_directory_path(ec));
  if (ec) {
    error = "no temporary folder: " + ec.message();
    return nullptr;
  }
  RemoveDeadOwners(base, prefix);
#if defined(_WIN32)
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string name = base + (base.empty() || base.back() == '/' ? "" : "/") + prefix +
                             std::to_string(ThisProcess()) + "-" + std::to_string(GetTickCount()) + "-" +
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
  std::string pattern =
      base + (base.empty() || base.back() == '/' ? "" : "/") + prefix + std::to_string(ThisProcess()) + "-XXXXXX";
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
