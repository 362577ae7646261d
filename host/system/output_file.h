// A file dcshost writes (a trace, a plot, a saved state, a JUnit report),
// written whole or not at all: into a temporary file beside its target, which
// is flushed to the disk and renamed into place only when complete. A failed
// write (a full disk, no folder, no permission) names the file and the
// system's reason, and leaves an older file of that name as it was. A target
// that is not a regular file (a device, a pipe) is written directly; one that
// is a symbolic link is refused, never followed or replaced. Which paths a
// command writes is settled first, by its OutputPlan.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace host {

class OutputFile {
 public:
  OutputFile() = default;
  // Removes the temporary file of an output never committed.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // `what` names the output in messages ("the trace"). False with
  // "PATH: cannot write WHAT: REASON".
  bool Open(const std::string& path, const std::string& what, std::string& error);
  // As Open, for a file that grows while the command runs (a trace): its
  // temporary file is PATH.partial, flushed by Flush, so that a process that
  // dies on the way leaves what was flushed under a name that says so.
  bool OpenGrowing(const std::string& path, const std::string& what, std::string& error);
  // Flushes what was written so far into the file (a growing file's rows).
  void Flush();
  bool IsOpen() const { return file_ != nullptr; }
  // Buffered; a failure is kept and reported by Commit.
  void Write(const char* data, size_t size);
  void Write(const std::string& text) { Write(text.data(), text.size()); }
  // Flushes, syncs and closes the file and renames it into place; false with
  // "PATH: cannot write WHAT: REASON" when any write failed.
  bool Commit(std::string& error);
  const std::string& path() const { return path_; }

 private:
  // Opens `temp`, the name the file has until Commit renames it to `path`.
  bool OpenWith(const std::string& path, const std::string& what, const std::string& temp, std::string& error);
  bool Fail(int code, std::string& error);
  std::string path_;
  std::string what_;
  std::string temp_;  // empty when the target is written directly
  std::FILE* file_ = nullptr;
  int failure_ = 0;  // the errno of the first failed write
};

// Writes the whole text to path through an OutputFile; false with a message.
bool WriteWholeFile(const std::string& path, const std::string& what, const std::string& text, std::string& error);

// True when the two names are the same file however spelled (a relative or
// absolute path, "./", "..", a link); for names of files that do not exist
// yet, when they would be the same file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace host
