// Output files: a temporary file beside the target, renamed into place once
// complete; errors kept from the first failed write.
#include "system/output_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "system/paths.h"

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace host {
namespace {

namespace fs = std::filesystem;

// A name for the temporary file beside the target, unique within this
// process and among processes.
std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
#if defined(_WIN32)
  const long pid = _getpid();
#else
  const long pid = getpid();
#endif
  return path + ".dcshost-" + std::to_string(pid) + "-" + std::to_string(counter++) + ".tmp";
}

// Replaces the target by the temporary file; 0, or the reason's code.
int Replace(const std::string& temp, const std::string& path) {
#if defined(_WIN32)
  const fs::path from = PathOf(temp);
  const fs::path to = PathOf(path);
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : EACCES;
#else
  return std::rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno;
#endif
}

}  // namespace

bool OutputFile::Fail(int code, std::string& error) {
  error = path_ + ": cannot write " + what_ + ": " + std::strerror(code);
  return false;
}

bool OutputFile::Open(const std::string& path, const std::string& what, std::string& error) {
  return OpenWith(path, what, TemporaryName(path), error);
}

bool OutputFile::OpenGrowing(const std::string& path, const std::string& what, std::string& error) {
  return OpenWith(path, what, path + ".partial", error);
}

bool OutputFile::OpenWith(const std::string& path, const std::string& what, const std::string& temp,
                          std::string& error) {
  path_ = path;
  what_ = what;
  std::error_code ec;
  for (const std::string& name : {path, temp}) {  // never written through, never replaced
    if (fs::is_symlink(fs::symlink_status(PathOf(name), ec))) {
      error = name + ": cannot write " + what +
              ": it is a symbolic link, which dcshost never writes through or "
              "replaces";
      return false;
    }
  }
  const fs::file_status status = fs::status(PathOf(path), ec);
  if (fs::is_directory(status) || fs::is_directory(PathOf(temp), ec)) {
    return Fail(EISDIR, error);
  }
  // A device or a pipe is written directly: it cannot be replaced by a file.
  temp_ = fs::exists(status) && !fs::is_regular_file(status) ? std::string() : temp;
  errno = 0;
  file_ = std::fopen((temp_.empty() ? path : temp_).c_str(), "wb");
  if (file_ == nullptr) {
    const int code = errno != 0 ? errno : EACCES;
    temp_.clear();
    return Fail(code, error);
  }
  failure_ = 0;
  return true;
}

void OutputFile::Flush() {
  if (file_ != nullptr && failure_ == 0 && std::fflush(file_) != 0) {
    failure_ = errno != 0 ? errno : EIO;
  }
}

void OutputFile::Write(const char* data, size_t size) {
  if (file_ != nullptr && failure_ == 0 && size > 0 && std::fwrite(data, 1, size, file_) != size) {
    failure_ = errno != 0 ? errno : EIO;
  }
}

bool OutputFile::Commit(std::string& error) {
  if (file_ == nullptr) {
    return Fail(EBADF, error);
  }
  errno = 0;
  if (std::fflush(file_) != 0 && failure_ == 0) {
    failure_ = errno != 0 ? errno : EIO;
  }
#if defined(_WIN32)
  if (!temp_.empty() && failure_ == 0 && _commit(_fileno(file_)) != 0) {
    failure_ = errno != 0 ? errno : EIO;
  }
#else
  if (!temp_.empty() && failure_ == 0 && fsync(fileno(file_)) != 0) {
    failure_ = errno != 0 ? errno : EIO;
  }
#endif
  if (std::fclose(file_) != 0 && failure_ == 0) {
    failure_ = errno != 0 ? errno : EIO;
  }
  file_ = nullptr;
  if (failure_ == 0 && !temp_.empty()) {
    failure_ = Replace(temp_, path_);
  }
  if (failure_ != 0) {
    if (!temp_.empty()) {
      (void)std::remove(temp_.c_str());
    }
    temp_.clear();
    return Fail(failure_, error);
  }
  temp_.clear();
  return true;
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) {
    (void)std::fclose(file_);
  }
  if (!temp_.empty()) {
    (void)std::remove(temp_.c_str());
  }
}

bool WriteWholeFile(const std::string& path, const std::string& what, const std::string& text, std::string& error) {
  OutputFile file;
  if (!file.Open(path, what, error)) {
    return false;
  }
  file.Write(text);
  return file.Commit(error);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  const fs::path pa = PathOf(a);
  const fs::path pb = PathOf(b);
  if (fs::exists(pa, ec) && fs::exists(pb, ec)) {
    return fs::equivalent(pa, pb, ec);
  }
  const fs::path ca = fs::weakly_canonical(fs::absolute(pa, ec), ec);
  const fs::path cb = fs::weakly_canonical(fs::absolute(pb, ec), ec);
  return !ca.empty() && ca == cb;
}

}  // namespace host
