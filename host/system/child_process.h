// Child processes started from an argument vector, never through a shell: the
// program and each argument reach the child as they are, whatever they hold
// (spaces, quotes, '$', ';', backquotes, letters beyond ASCII). The child's
// output (standard output and error joined) is captured. A child never
// outlives dcshost: on Linux it is sent SIGTERM when its parent dies, on
// Windows it runs in a job object whose processes end when dcshost ends.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace host {

class ChildProcess {
 public:
  ChildProcess() = default;
  // Ends a child still running and waits for it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts args[0] (a path, or on Linux a name looked up in PATH) with args;
  // false with a message when it cannot start.
  bool Start(const std::vector<std::string>& args, std::string& error);
  // Reads the child's output until it exits. Once *stop is nonzero the child
  // is asked to stop with that signal (Windows: it is ended); one that has
  // not stopped five seconds later is killed. The exit status: the child's
  // own, 128 + N when it was ended by signal N, -1 when none was started.
  int Wait(const std::atomic<int>* stop = nullptr);
  // Sends the child a signal (Windows: ends it with status 128 + signal).
  void Signal(int signal);
  // Keeps only the last `bytes` of the child's output (0, the default: all of it).
  void KeepTail(size_t bytes) { tail_ = bytes; }
  // Ends the child once it has run `seconds` (0, the default: no limit), as a
  // stop would: SIGTERM, then SIGKILL five seconds later (Windows: ended).
  void TimeLimit(double seconds) { limit_ = seconds; }
  bool timedOut() const { return timedOut_; }
  const std::string& output() const { return output_; }
  // The process id, or 0.
  long id() const { return id_; }

 private:
  std::string output_;
  long id_ = 0;
#if defined(_WIN32)
  void* process_ = nullptr;
  void* thread_ = nullptr;
  void* pipe_ = nullptr;
#else
  int pipe_ = -1;
#endif
  // Appends what the child printed, keeping the tail asked for.
  void Keep(const char* data, size_t size);
  // True once the time limit has passed (and marks it).
  bool OutOfTime();
  bool running_ = false;
  int status_ = -1;
  size_t tail_ = 0;
  double limit_ = 0.0;
  bool timedOut_ = false;
  std::chrono::steady_clock::time_point started_{};
};

// A child dcshost talks to (an FMU's worker): started from an argument
// vector with one duplex channel as its standard input and output, its
// standard error dcshost's own, never outliving dcshost (as ChildProcess).
// Every read is bounded by a time limit, and a stop signal ends the wait.
class WorkerProcess {
 public:
  enum class Got { Ok, Ended, TimedOut, Stopped };
  WorkerProcess() = default;
  // Kills a worker still running and waits for it.
  ~WorkerProcess();
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  bool Start(const std::vector<std::string>& args, std::string& error);
  // Sends every byte; false once the worker is gone. Allocates nothing.
  bool Send(const void* data, size_t size);
  // Reads exactly `size` bytes within `seconds`; Ended when the worker closed
  // its end (it died), Stopped when dcshost was asked to stop. Allocates nothing.
  Got Receive(void* data, size_t size, double seconds);
  // Waits up to `seconds` for the worker to end by itself, kills it after,
  // and says how it ended: "exited with status 3", "was ended by signal 11 (SIGSEGV)".
  std::string End(double seconds);
  long id() const { return id_; }

 private:
  long id_ = 0;
  bool running_ = false;
#if defined(_WIN32)
  void* process_ = nullptr;
  void* toWorker_ = nullptr;
  void* fromWorker_ = nullptr;
#else
  int channel_ = -1;
#endif
};

// Runs a program to its end; its exit status as ChildProcess::Wait gives it,
// and everything it printed (or why it could not start) in output.
int RunProgram(const std::vector<std::string>& args, std::string& output, const std::atomic<int>* stop = nullptr);

// How to start a program of this build as a child: its path, after the
// program DCSHOST_LAUNCHER names where it names one (where the kernel cannot
// execute an i686 dcshost, it runs under an emulator such as qemu-i386, and
// so must the runs it starts).
std::vector<std::string> ProgramArgs(const std::string& program);

// Windows: one command line from an argument vector, each argument quoted so
// that the C runtime's parser gives it back as it is. Elsewhere unused, but
// tested on every target.
std::string QuoteWindowsArgument(const std::string& argument);

}  // namespace host
