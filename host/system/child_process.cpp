// Child processes: fork and execvp on Linux, CreateProcessW in a job object on
// Windows, each with its output read through a pipe. No shell is involved.
#include "system/child_process.h"

#include <chrono>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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
  const char* emulator = std::getenv("FIXDCS_EMULATED");
  if (emulator != nullptr && *emulator != '\0') {
    return {emulator, "-L", "/", program};
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

namespace {
// How long a child asked to stop has before it is killed.
constexpr std::chrono::seconds StopGrace{5};
}  // namespace

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

#if !defined(_WIN32)

bool ChildProcess::Start(const std::vector<std::string>& args, std::string& error) {
  if (args.empty() || running_) {
    error = "nothing to start";
    return false;
  }
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error = "cannot start " + args[0] + ": " + std::strerror(errno);
    return false;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // The child: only async-signal-safe calls until exec.
    // The program starts with no signal blocked, whatever the thread that
    // started it blocks (dcshost test's workers block the stop signals).
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
      _exit(127);  // the parent is already gone
    }
    dup2(fds[1], STDOUT_FILENO);
    dup2(fds[1], STDERR_FILENO);
    execvp(argv[0], argv.data());
    const char message[] = "cannot start the program: exec failed\n";
    (void)!write(STDERR_FILENO, message, sizeof message - 1);
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    error = "cannot start " + args[0] + ": " + std::strerror(errno);
    return false;
  }
  pipe_ = fds[0];
  id_ = pid;
  running_ = true;
  started_ = std::chrono::steady_clock::now();
  return true;
}

void ChildProcess::Signal(int signal) {
  if (running_) {
    kill(static_cast<pid_t>(id_), signal);
  }
}

int ChildProcess::Wait(const std::atomic<int>* stop) {
  if (!running_) {
    return status_;
  }
  std::chrono::steady_clock::time_point asked{};
  bool askedToStop = false;
  char buffer[4096];
  for (bool open = true; open;) {
    pollfd fd{pipe_, POLLIN, 0};
    if (poll(&fd, 1, 50) > 0) {
      const ssize_t got = read(pipe_, buffer, sizeof buffer);
      if (got > 0) {
        Keep(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        open = false;
      }
    }
    const int asking = stop != nullptr && stop->load() != 0 ? stop->load() : OutOfTime() ? SIGTERM : 0;
    if (asking != 0 && !askedToStop) {
      askedToStop = true;
      asked = std::chrono::steady_clock::now();
      Signal(asking);
    } else if (askedToStop && std::chrono::steady_clock::now() - asked > StopGrace) {
      Signal(SIGKILL);
    }
  }
  if (tail_ > 0 && output_.size() > tail_) {
    output_.erase(0, output_.size() - tail_);
  }
  close(pipe_);
  pipe_ = -1;
  int raw = 0;
  while (waitpid(static_cast<pid_t>(id_), &raw, 0) < 0 && errno == EINTR) {
  }
  running_ = false;
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
  return status_;
}

ChildProcess::~ChildProcess() {
  if (running_) {
    Signal(SIGKILL);
    Wait();
  }
}

#else  // Windows

namespace {

// Narrow text in the system's code page (what main's argv and the narrow file
// functions use) as UTF-16.
std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
  wide.resize(wide.size() - 1);
  return wide;
}

// The job object every child runs in: its processes end when the last handle
// to it closes, which is when dcshost ends however it ends.
HANDLE childrenJob = nullptr;  // a plain handle: nothing to construct or destroy

BOOL WINAPI MakeChildrenJob(PINIT_ONCE, PVOID, PVOID*) {
  childrenJob = CreateJobObjectW(nullptr, nullptr);
  if (childrenJob != nullptr) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(childrenJob, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  return TRUE;
}

HANDLE ChildrenJob() {
  static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
  InitOnceExecuteOnce(&once, MakeChildrenJob, nullptr, nullptr);
  return childrenJob;
}

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& args, std::string& error) {
  if (args.empty() || running_) {
    error = "nothing to start";
    return false;
  }
  std::string line;
  for (const std::string& arg : args) {
    line += (line.empty() ? "" : " ") + QuoteWindowsArgument(arg);
  }
  std::wstring wideLine = Wide(line);
  // Children started at once by several threads would inherit each other's
  // pipes and keep them open: the pipe is made and handed on under one lock.
  static SRWLOCK starting = SRWLOCK_INIT;
  AcquireSRWLockExclusive(&starting);
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    ReleaseSRWLockExclusive(&starting);
    error = "cannot start " + args[0] + ": no pipe";
    return false;
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info{};
  const std::wstring program = Wide(args[0]);
  const BOOL started = CreateProcessW(program.c_str(), &wideLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                                      nullptr, nullptr, &startup, &info);
  CloseHandle(writeEnd);
  ReleaseSRWLockExclusive(&starting);
  if (!started) {
    CloseHandle(readEnd);
    error = "cannot start " + args[0] + ": Windows error " + std::to_string(GetLastError());
    return false;
  }
  if (HANDLE job = ChildrenJob(); job != nullptr) {
    AssignProcessToJobObject(job, info.hProcess);
  }
  ResumeThread(info.hThread);
  process_ = info.hProcess;
  thread_ = info.hThread;
  pipe_ = readEnd;
  id_ = static_cast<long>(info.dwProcessId);
  running_ = true;
  started_ = std::chrono::steady_clock::now();
  return true;
}

void ChildProcess::Signal(int signal) {
  if (running_) {
    TerminateProcess(process_, static_cast<UINT>(128 + signal));
  }
}

int ChildProcess::Wait(const std::atomic<int>* stop) {
  if (!running_) {
    return status_;
  }
  char buffer[4096];
  for (bool open = true; open;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) {
      open = false;  // the child closed its end
    } else if (available > 0) {
      DWORD got = 0;
      if (ReadFile(pipe_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        Keep(buffer, got);
      }
    } else {
      WaitForSingleObject(process_, 20);
    }
    if (stop != nullptr && stop->load() != 0) {
      Signal(stop->load());
    } else if (OutOfTime()) {
      Signal(15);  // ended as SIGTERM ends it
    }
  }
  if (tail_ > 0 && output_.size() > tail_) {
    output_.erase(0, output_.size() - tail_);
  }
  WaitForSingleObject(process_, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  CloseHandle(pipe_);
  CloseHandle(thread_);
  CloseHandle(process_);
  running_ = false;
  status_ = static_cast<int>(code);
  return status_;
}

ChildProcess::~ChildProcess() {
  if (running_) {
    Signal(9);
    Wait();
  }
}

#endif

}  // namespace host
