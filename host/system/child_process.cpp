// Child processes, what both platforms share: arguments quoted for Windows'
// runtime, a program's own argument vector, a child's kept output and its
// time limit. Starting, waiting and signalling are in child_process_posix.cpp
// (fork and execvp) and child_process_win32.cpp (CreateProcessW in a job
// object). No shell is involved.
#include "system/child_process.h"

#include <chrono>
#include <cstdlib>

namespace host {

std::string QuoteWindowsArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    return argument;
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped; others stay as they are.
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');  // before the closing quote
  return quoted + "\"";
}

std::vector<std::string> ProgramArgs(const std::string& program) {
  const char* launcher = std::getenv("DCSHOST_LAUNCHER");
  if (launcher != nullptr && *launcher != '\0') {
    return {launcher, program};
  }
  return {program};
}

int RunProgram(const std::vector<std::string>& args, std::string& output, const std::atomic<int>* stop) {
  ChildProcess child;
  std::string error;
  if (!child.Start(args, error)) {
    output = error;
    return -1;
  }
  const int status = child.Wait(stop);
  output = child.output();
  return status;
}

void ChildProcess::Keep(const char* data, size_t size) {
  output_.append(data, size);
  if (tail_ > 0 && output_.size() > 2 * tail_) {  // trimmed now and then, not at every read
    output_.erase(0, output_.size() - tail_);
  }
}

bool ChildProcess::OutOfTime() {
  if (limit_ > 0.0 && !timedOut_ &&
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count() > limit_) {
    timedOut_ = true;
  }
  return timedOut_;
}

}  // namespace host
