// Child processes on Windows: CreateProcessW from the arguments quoted by the
// C runtime's rules, in a job object that ends them with their parent, the
// child's output read through a pipe.
#include "system/child_process.h"

#include "system/stop_signal.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>

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

// Children started at once by several threads would inherit each other's
// pipes and keep them open: every child's pipes are made and handed on under
// this one lock, whichever kind of child it is.
SRWLOCK starting = SRWLOCK_INIT;

HANDLE ChildrenJob() {
  static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
  InitOnceExecuteOnce(&once, MakeChildrenJob, nullptr, nullptr);
  return childrenJob;
}

// Starts args[0] suspended, from its quoted command line, with the standard
// handles `startup` gives and the inheritable handles inherited; false with
// a message.
bool CreateSuspended(const std::vector<std::string>& args, STARTUPINFOW& startup, PROCESS_INFORMATION& info,
                     std::string& error) {
  std::string line;
  for (const std::string& arg : args) {
    line += (line.empty() ? "" : " ") + QuoteWindowsArgument(arg);
  }
  std::wstring wideLine = Wide(line);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  const std::wstring program = Wide(args[0]);
  if (!CreateProcessW(program.c_str(), &wideLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                      &startup, &info)) {
    error = "cannot start " + args[0] + ": Windows error " + std::to_string(GetLastError());
    return false;
  }
  return true;
}

// A started child into the children's job, then running.
void Adopt(const PROCESS_INFORMATION& info) {
  if (HANDLE job = ChildrenJob(); job != nullptr) {
    AssignProcessToJobObject(job, info.hProcess);
  }
  ResumeThread(info.hThread);
}

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& args, std::string& error) {
  if (args.empty() || running_) {
    error = "nothing to start";
    return false;
  }
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
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info{};
  const bool started = CreateSuspended(args, startup, info, error);
  CloseHandle(writeEnd);
  ReleaseSRWLockExclusive(&starting);
  if (!started) {
    CloseHandle(readEnd);
    return false;
  }
  Adopt(info);
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

bool WorkerProcess::Start(const std::vector<std::string>& args, std::string& error) {
  if (args.empty() || running_) {
    error = "nothing to start";
    return false;
  }
  AcquireSRWLockExclusive(&starting);
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
  if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0)) {
    for (HANDLE h : {inRead, inWrite}) {
      if (h != nullptr) {
        CloseHandle(h);
      }
    }
    ReleaseSRWLockExclusive(&starting);
    error = "cannot start " + args[0] + ": no pipe";
    return false;
  }
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  const bool started = CreateSuspended(args, startup, info, error);
  CloseHandle(inRead);
  CloseHandle(outWrite);
  ReleaseSRWLockExclusive(&starting);
  if (!started) {
    CloseHandle(inWrite), CloseHandle(outRead);
    return false;
  }
  Adopt(info);
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  toWorker_ = inWrite;
  fromWorker_ = outRead;
  id_ = static_cast<long>(info.dwProcessId);
  running_ = true;
  return true;
}

bool WorkerProcess::Send(const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (running_ && size > 0) {
    DWORD sent = 0;
    if (!WriteFile(toWorker_, at, static_cast<DWORD>(size), &sent, nullptr) || sent == 0) {
      return false;
    }
    at += sent;
    size -= sent;
  }
  return running_;
}

WorkerProcess::Got WorkerProcess::Receive(void* data, size_t size, double seconds) {
  // Anonymous pipes have no wait with a time limit: the pipe is looked at,
  // briefly yielding at first (an answer is usually there within
  // microseconds), then every millisecond.
  char* at = static_cast<char*>(data);
  const auto due = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (int idle = 0; size > 0;) {
    DWORD available = 0;
    if (!PeekNamedPipe(fromWorker_, nullptr, 0, nullptr, &available, nullptr)) {
      return Got::Ended;
    }
    if (available > 0) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(size < available ? size : available);
      if (!ReadFile(fromWorker_, at, want, &got, nullptr) || got == 0) {
        return Got::Ended;
      }
      at += got;
      size -= got;
      idle = 0;
      continue;
    }
    if (StopFlagOfHandlers().load() != 0) {
      return Got::Stopped;
    }
    if (std::chrono::steady_clock::now() >= due) {
      return Got::TimedOut;
    }
    if (++idle < 200) {
      SwitchToThread();
    } else {
      WaitForSingleObject(process_, 1);
    }
  }
  return Got::Ok;
}

std::string WorkerProcess::End(double seconds) {
  if (!running_) {
    return "was not running";
  }
  CloseHandle(toWorker_);  // a worker waiting for its next call reads the end
  const bool killed = WaitForSingleObject(process_, static_cast<DWORD>(seconds * 1000.0)) != WAIT_OBJECT_0;
  if (killed) {
    TerminateProcess(process_, 137);
    WaitForSingleObject(process_, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  CloseHandle(fromWorker_);
  CloseHandle(process_);
  running_ = false;
  if (killed) {
    return "was killed, not having ended by itself";
  }
  char hex[16];
  (void)std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  return code >= 0xC0000000UL
             ? std::string("ended with exception ") + hex + (code == 0xC0000005UL ? " (access violation)" : "")
             : "exited with status " + std::to_string(code);
}

WorkerProcess::~WorkerProcess() {
  if (running_) {
    (void)End(0.0);
  }
}

}  // namespace host
