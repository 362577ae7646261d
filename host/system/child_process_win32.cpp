// Child processes on Windows: CreateProcessW from the arguments quoted by the
// C runtime's rules, in a job object that ends them with their parent, the
// child's output read through a pipe.
#include "system/child_process.h"

#include <windows.h>

#include <chrono>

namespace host {

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
  const BOOL started = CreateProcessW(program.c_str(), &wideLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                                      nullptr, &startup, &info);
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

}  // namespace host
